#pragma once
// Wubi-86 phrase codes for new words, made from the full codes of their
// characters:
//   one character        its full code;
//   two characters       the first two keys of each;
//   three characters     the first key of the first two, the first two keys of the third;
//   four or more         the first key of the first three characters and of the last.
// A character's full code is its longest code in a table. Text is GBK or
// GB18030 bytes; keys are characters of the code (ASCII letters in Wubi
// tables). Cutting words into characters needs no encoding: a GBK
// character's second byte is never a digit, so valid GBK text never looks
// like a four-byte character. Sorting does: the entries are sorted in the
// encoding of the word list.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/text_encoding.h"

namespace zelmora {

// Where a character has several full codes, a word gets every combination of
// them, but never more than this many codes.
inline constexpr std::size_t kMaxCodesPerWord = 16;

// The full codes of every character that a table codes. Lookups of one- and
// two-byte characters go through a flat array indexed by the character's byte
// value; four-byte characters, which tables rarely hold, through a map.
class CharacterTable {
public:
    CharacterTable();

    // Records `code` for `word` when the word is exactly one character and the
    // code is not empty: a longer code than the ones held replaces them, one of
    // the same length joins them (once). Returns whether the pair was used.
    bool add(std::string_view code, std::string_view word);

    // The character's full codes in the order the table gave them, or nullptr
    // when the table doesn't code it. `character` is one whole character.
    const std::vector<std::string>* fullCodes(std::string_view character) const;

    // How many characters have a code.
    std::size_t size() const { return codes_.size(); }

    // Takes over the full codes of the characters that `other` codes and this
    // table doesn't: a fallback for characters a table lacks.
    void addMissing(const CharacterTable& other);

private:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    uint32_t* slotFor(std::string_view character, bool create);
    std::vector<uint32_t> narrow_;                 // 65,536 slots: index into codes_ or kNone
    std::unordered_map<uint32_t, uint32_t> wide_;  // four-byte characters
    std::vector<std::vector<std::string>> codes_;
    // The same codes as a set, once a character has many: a table that gives
    // one character thousands of codes is read in linear time.
    std::vector<std::unordered_set<std::string>> manyCodes_;
};

// The character table of a code-table text of group lines (cut as the
// expansion cuts them): only words of a single character count.
CharacterTable BuildCharacterTable(std::string_view tableText);

// The codes of one word.
struct WordCodes {
    bool coded = false;
    std::vector<std::string> codes;  // distinct, at most kMaxCodesPerWord; empty unless coded
    std::string missing;             // the first character without a code, when not coded
    std::size_t combinations = 0;    // distinct codes before the cap (saturates)
};
WordCodes EncodeWord(const CharacterTable& table, std::string_view word);

// One code-word pair to write, with the weight given on the word's line.
struct EncodedEntry {
    std::string code;
    std::string word;
    std::optional<std::string> weight;  // verbatim
    std::size_t line = 0;               // 1-based line of the word list, 0 when not from one
};

// A word that was left out, or one whose codes were capped.
struct WordNote {
    std::size_t line = 0;
    std::string word;
    std::string character;         // the character without a code (left-out words)
    std::size_t combinations = 0;  // codes before the cap (capped words)
};

struct EncodeResult {
    std::vector<EncodedEntry> entries;  // in the order of the word list
    std::vector<WordNote> leftOut;
    std::vector<WordNote> capped;
};

// Codes a word list (fails on a NUL byte, naming its line): one word per line (CR LF, CR or LF), optionally followed
// by a tab and a weight. Blanks around the word and the weight are dropped;
// lines without a word are skipped. A code-word pair that an earlier line
// already gave is not repeated (the first line's weight stays).
EncodeResult EncodeWordList(const CharacterTable& table, std::string_view wordList);

// The order in which the expansion sorts the entry lines "code word" of the
// entries: the same collation and the same partition sort.
std::vector<std::uint32_t> ExpansionOrder(const std::vector<EncodedEntry>& entries, TextEncoding encoding);

// The entries as the sorted one-word-per-line table, byte for byte what the
// expansion gives for them, but that a word that would not read back as one
// word (blanks, commas or quotes in it) is quoted as QuotedToken quotes it; with `group`, folded into group lines as
// the grouping of equal codes folds them.
std::string FormatEncodedEntries(const std::vector<EncodedEntry>& entries, bool group, TextEncoding encoding);

// One line of a table as a merge sees it: its code (empty for a line without
// one: blank, comment, header) and its words.
struct MergeLine {
    std::string code;
    std::vector<std::string> words;
};

// Where the new pairs of a merge go. A new word goes after the existing
// candidates of its code, on the last line with that code. Codes the table
// lacks get lines of their own, in byte order of code; when the table's codes
// stand in byte order, each goes before the first line whose code is greater
// (its place in the order), otherwise after the last line with a code. A
// code-word pair the table (or an earlier entry) already has is not added.
struct MergePlan {
    // Lines of the table that entries (indices) join.
    std::map<std::size_t, std::vector<std::size_t>> after;
    const std::vector<std::size_t>& joining(std::size_t line) const;  // empty when none
    struct NewCode {
        std::size_t beforeLine;            // the line count for after the last line
        std::vector<std::size_t> entries;  // in the entries' order
    };
    std::vector<NewCode> newCodes;  // in byte order of code, by beforeLine
    std::size_t added = 0;
};
MergePlan PlanMerge(const std::vector<MergeLine>& lines, const std::vector<EncodedEntry>& entries);

// A table as a merge reads it, in line order: each line's code (empty for a
// line without one), and the words of only those lines whose code some entry
// has, so that nothing is kept per line of a large table.
class MergeSource {
public:
    virtual ~MergeSource() = default;
    virtual std::size_t lineCount() const = 0;
    // Valid until the next call.
    virtual std::string_view code(std::size_t line) = 0;
    virtual void words(std::size_t line, std::vector<std::string>& out) = 0;
};
MergePlan PlanMerge(MergeSource& table, const std::vector<EncodedEntry>& entries);

// Builds a table's text line by line: the table's own lines keep their own
// line breaks; inserted lines take the table's usual break, and a table that
// ended without a break still does.
class TableWriter {
public:
    explicit TableWriter(std::string_view defaultBreak) : defaultBreak_(defaultBreak) {}
    void line(std::string_view text, std::string_view lineBreak);  // a line of the table
    void insert(std::string_view text);                            // a new line
    std::string take() { return std::move(out_); }
    void reserve(std::size_t bytes) { out_.reserve(bytes); }

private:
    std::string defaultBreak_;
    std::string out_;
    bool owed_ = false;  // the last line written had no break
};

// Adds entries to a table of group lines (cut as the expansion cuts them) as
// PlanMerge places them: new words are appended to their code's line (or,
// when that line's last token would take them in, go on a line of their own
// right after it), and new codes get group lines. Every other byte of the table stays. Line breaks of
// new lines follow the table's first line break (CR LF when it has none).
// `added` receives the number of pairs added.
std::string MergeIntoGroupLines(std::string_view tableText, const std::vector<EncodedEntry>& entries,
                                std::size_t* added = nullptr);

}  // namespace zelmora

#pragma once
// Codes for new words, made from the full codes of their characters: one
// character gets its full code, a phrase the keys that a phrase rule
// (formats::PhraseRule) takes from its characters. The rules are given: a
// table's own (an engine header's), or the Wubi-86 rules
// (formats::WubiPhraseRules):
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
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/text_encoding.h"
#include "formats/phrase_rules.h"

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

// Why a word got no code.
enum class Uncoded {
    NoCharacterCode,  // a character has no code in the table
    NoRule,           // no rule is for words of its length
    NoSuchCharacter,  // its rule asks for a character beyond the word
    NoSuchKey,        // its rule asks a character only for keys beyond the character's full code
};

// The codes of one word.
struct WordCodes {
    bool coded = false;
    std::vector<std::string> codes;  // distinct, at most kMaxCodesPerWord; empty unless coded
    std::size_t combinations = 0;    // distinct codes before the cap (saturates)
    // When not coded: why; the character without a code (NoCharacterCode,
    // the first one) or without the keys (NoSuchKey); the word's length in
    // characters (0 for NoCharacterCode); the rule's character (NoSuchCharacter)
    // or the first key it asks of `missing` (NoSuchKey).
    Uncoded why = Uncoded::NoCharacterCode;
    std::string missing;
    std::size_t characters = 0;
    int asked = 0;
};

// A word of one character gets its full codes. A phrase of n characters takes
// the rule for exactly n characters, else the rule for the most characters
// up to n of those for "n or more"; of equal rules, the first. The rule's keys
// are taken in its order: a key beyond a character's full code is left out
// (a character coded by one key gives one where the rule asks two), but a
// character that has none of the keys asked of it leaves the word uncoded, as
// does a rule asking for a character beyond the word.
WordCodes EncodeWord(const CharacterTable& table, std::string_view word, const std::vector<formats::PhraseRule>& rules);

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
    std::string character;         // as WordCodes::missing (left-out words)
    std::size_t combinations = 0;  // codes before the cap (capped words)
    // As in WordCodes (left-out words).
    Uncoded why = Uncoded::NoCharacterCode;
    std::size_t characters = 0;
    int asked = 0;
};

struct EncodeResult {
    std::vector<EncodedEntry> entries;  // in the order of the word list
    std::vector<WordNote> leftOut;
    std::vector<WordNote> capped;
};

// Codes a word list by the rules, as EncodeWord codes a word (fails on a NUL byte, naming its line): one word per line
// (CR LF, CR or LF), optionally followed by a tab and a weight. Blanks around the word and the weight are dropped;
// lines without a word are skipped. A code-word pair that an earlier line
// already gave is not repeated (the first line's weight stays).
EncodeResult EncodeWordList(const CharacterTable& table, std::string_view wordList,
                            const std::vector<formats::PhraseRule>& rules);

// The order in which the expansion sorts the entry lines "code word" of the
// entries: the same collation and the same partition sort.
std::vector<std::uint32_t> ExpansionOrder(const std::vector<EncodedEntry>& entries, TextEncoding encoding);

// The entries as the sorted one-word-per-line table, byte for byte what the
// expansion gives for them, but that a word that would not read back as one
// word (blanks, commas or quotes in it) is quoted as QuotedToken quotes it; with `group`, folded into group lines as
// the grouping of equal codes folds them.
std::string FormatEncodedEntries(const std::vector<EncodedEntry>& entries, bool group, TextEncoding encoding);

}  // namespace zelmora

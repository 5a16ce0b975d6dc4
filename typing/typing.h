#pragma once
// How a table types: a text (or a word list) typed through the table's
// entries in the engine's candidate order, counted key by key. No Qt.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/text_encoding.h"
#include "formats/document.h"

namespace zelmora::typing {

struct TypingOptions {
    std::size_t autoCommit = 4;  // a first candidate of this many letters commits itself; 0: never
    std::size_t pageSize = 5;
    std::string selectKeys = ";'4567890";  // the keys of places 2, 3, ... on a page
};

// The keys that type one entry, by kind.
struct Stroke {
    std::uint32_t letters = 0, spaces = 0, selections = 0, pageDowns = 0;
    std::uint32_t position = 1;  // among the candidates of its code, 1-based
    std::uint32_t entry = 0;     // the entry's index in table order
    std::uint32_t keys() const { return letters + spaces + selections + pageDowns; }
    // A first candidate committed by the space, which punctuation typed next saves.
    bool owesSpace() const { return position == 1 && spaces == 1; }
};

// The keys of the entry of a code of `codeLength` letters at `position`.
Stroke StrokeOf(std::size_t codeLength, std::size_t position, const TypingOptions& options);

// The table as a typist meets it: every word by its cheapest entry (fewest
// keys; ties to a first candidate, then the shorter code, then table order).
class TypingTable {
public:
    TypingTable(const std::vector<formats::TableEntry>& entries, TextEncoding textEncoding,
                const TypingOptions& options);
    const Stroke* find(std::u32string_view word) const;
    std::size_t longestWord() const { return longest_; }
    const formats::TableEntry& entry(std::uint32_t index) const { return entries_[index]; }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::u32string_view s) const { return std::hash<std::u32string_view>()(s); }
    };
    std::unordered_map<std::u32string, Stroke, Hash, std::equal_to<>> words_;
    std::vector<formats::TableEntry> entries_;
    std::size_t longest_ = 0;
};

enum class Segmentation { Greedy, Optimal };

// What typing a text took.
struct Figures {
    // Characters: typed through the table (Han among them), missing (Han the
    // table has no one-character entry for), unkeyed (other such characters),
    // keyed (typed by their own key: punctuation, and letters and digits).
    std::uint64_t tableCharacters = 0, han = 0, missing = 0, unkeyed = 0, keyedPunctuation = 0, keyedOther = 0;
    std::uint64_t commits = 0;
    // The table's keys by kind, and the keys of keyed characters.
    std::uint64_t letters = 0, spaces = 0, selections = 0, pageDowns = 0, keyedKeys = 0;
    std::uint64_t spacesSaved = 0;  // by punctuation typed next
    std::uint64_t selectionCommits = 0, selectionCharacters = 0;
    std::uint64_t wordCommits = 0, hanInWords = 0, firstCandidateWords = 0;
    std::map<std::size_t, std::uint64_t> byCodeLength, byWordLength, byPosition;  // commits
    std::map<char32_t, std::uint64_t> missingCharacters, unkeyedCharacters;

    std::uint64_t tableKeys() const { return letters + spaces + selections + pageDowns; }
    // 字均码长: the table's keys per character typed through it.
    double keysPerCharacter() const;
    // Keys per character over everything typed (keyed characters too).
    double keysPerTypedCharacter() const;
    // 选重率: selections per character typed through the table.
    double selectionRate() const;
    // 打词率: the share of Han characters typed in words of two or more.
    double wordRate() const;
    Figures& operator+=(const Figures& other);
};

// The key a character is typed by without the table, and how many keys that
// takes (2 with shift); 0 keys: the character goes through the table.
struct Keyed {
    std::uint32_t keys = 0;
    bool punctuation = false;
    std::size_t length = 1;  // characters it stands for ("……" is one key)
};
Keyed KeyedAt(std::u32string_view text, std::size_t i);

bool IsHan(char32_t c);

// Types UTF-32 text through the table, piece after piece (a piece ends where
// a word can't go on: at a blank, a keyed or a missing character, or its end).
class Typist {
public:
    Typist(const TypingTable& table, Segmentation segmentation);
    void type(std::u32string_view text);
    // After the last text: a space still owed is typed.
    void finish();
    const Figures& figures() const { return figures_; }
    // Each commit, when asked for: the entry's index and the word's length.
    std::vector<std::pair<std::uint32_t, std::uint32_t>>* commits = nullptr;

private:
    void run(std::u32string_view run);
    void commit(const Stroke& s, std::size_t length, std::u32string_view word);
    void payOwedSpace();
    const TypingTable& table_;
    Segmentation segmentation_;
    Figures figures_;
    bool owed_ = false;  // a first candidate's space not typed yet
};

// Text as UTF-32, from text held as GB18030 (or GBK) bytes.
std::u32string Utf32Of(std::string_view text, TextEncoding textEncoding);

}  // namespace zelmora::typing

#pragma once
// How a table types: a text (or a word list) typed through the table's
// entries in the engine's candidate order, counted key by key. No Qt.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_encoding.h"
#include "formats/document.h"
#include "typing/keyboard.h"

namespace zelmora::typing {

struct TypingOptions {
    std::size_t autoCommit = 4;  // a first candidate of this many letters commits itself; 0: never
    std::size_t pageSize = 5;
    std::string selectKeys = ";'4567890";  // the keys of places 2, 3, ... on a page
};
// Fails (Failure) on a page size of 0, or fewer selection keys than places.
void CheckOptions(const TypingOptions& options);

// The keys that type one entry, by kind.
struct Stroke {
    std::uint32_t letters = 0, spaces = 0, selections = 0, pageDowns = 0;
    std::uint32_t position = 1;  // among the candidates of its code, 1-based
    std::uint32_t entry = 0;     // the entry's index in table order
    char selectKey = 0;          // the selection key pressed, if any
    // The code's keys, held here for a code of up to 8 (the typist presses
    // them for every commit; a longer one is read from the table).
    std::array<char, 8> code{};
    std::uint32_t keys() const { return letters + spaces + selections + pageDowns; }
    // A first candidate committed by the space, which punctuation typed next saves.
    bool owesSpace() const { return position == 1 && spaces == 1; }
};

// The keys of the entry of a code of `codeLength` letters at `position`.
Stroke StrokeOf(std::size_t codeLength, std::size_t position, const TypingOptions& options);

bool IsHan(char32_t c);

// The table as a typist meets it: every word by its cheapest entry (fewest
// keys; ties to a first candidate, then the shorter code, then table order),
// its words in a trie of characters so that a text is matched in one walk.
class TypingTable {
public:
    TypingTable(const std::vector<formats::TableEntry>& entries, TextEncoding textEncoding,
                const TypingOptions& options);
    // The cheapest entry typing `word`, or nullptr.
    const Stroke* find(std::u32string_view word) const;
    // Every entry's own stroke, in table order.
    const Stroke& strokeOf(std::uint32_t entry) const { return strokes_[entry]; }
    const formats::TableEntry& entry(std::uint32_t index) const { return entries_[index]; }
    std::size_t size() const { return entries_.size(); }
    const std::u32string& wordOf(std::uint32_t entry) const { return words_[entry]; }
    std::string_view codeOf(std::uint32_t entry) const { return entries_[entry].code; }
    const TypingOptions& options() const { return options_; }

    // The trie: node 0 is the root; -1 is no node.
    using Node = std::int32_t;
    Node child(Node node, char32_t c) const;
    // The cheapest stroke of the word ending at `node`, or nullptr.
    const Stroke* strokeAt(Node node) const {
        const std::int32_t s = nodes_[static_cast<std::size_t>(node)];
        return s < 0 ? nullptr : &strokes_[static_cast<std::size_t>(s)];
    }

private:
    Node addChild(Node node, char32_t c);
    std::vector<formats::TableEntry> entries_;
    std::vector<std::u32string> words_;  // each entry's word as code points
    std::vector<Stroke> strokes_;        // each entry's stroke
    std::vector<std::int32_t> nodes_;    // per node: the cheapest entry of its word, or -1
    std::vector<Node> rootChildren_;     // by code point, below kRootSpan
    // Other edges: (node << 21 | code point) -> child, open addressing.
    std::vector<std::uint64_t> edgeKeys_;
    std::vector<Node> edgeChildren_;
    std::size_t edgeCount_ = 0;
    TypingOptions options_;
};

enum class Segmentation { Greedy, Optimal };

// What typing a text took.
struct Figures {
    // Characters: typed through the table (Han among them), missing (Han the
    // table has no one-character entry for), unkeyed (other such characters),
    // keyed (typed by their own key: punctuation, and letters and digits).
    std::uint64_t tableCharacters = 0, han = 0, missing = 0, unkeyed = 0, keyedPunctuation = 0, keyedOther = 0;
    std::uint64_t commits = 0;
    // The table's keys by kind, and the keys of keyed characters (shift included).
    std::uint64_t letters = 0, spaces = 0, selections = 0, pageDowns = 0, keyedKeys = 0;
    std::uint64_t spacesSaved = 0;  // by punctuation typed next
    std::uint64_t selectionCommits = 0, selectionCharacters = 0;
    std::uint64_t wordCommits = 0, hanInWords = 0, firstCandidateWords = 0, hanInFirstCandidateWords = 0;
    // Commits by code length, word length and candidate position (index: the value).
    std::vector<std::uint64_t> byCodeLength, byWordLength, byPosition;
    std::map<char32_t, std::uint64_t> missingCharacters, unkeyedCharacters;
    // Every key pressed, by the character its key types unshifted (' ': the
    // space bar), and shift by the hand that holds it (the other hand's pinky).
    std::array<std::uint64_t, 128> keyUse{};
    std::uint64_t leftShifts = 0, rightShifts = 0;
    // Two keys in a row, neither the space (shift takes no part either).
    std::uint64_t pairs = 0, alternatingPairs = 0, sameFingerPairs = 0, sameKeyPairs = 0;

    std::uint64_t tableKeys() const { return letters + spaces + selections + pageDowns; }
    std::uint64_t allKeys() const { return tableKeys() + keyedKeys; }
    std::uint64_t typedCharacters() const { return tableCharacters + keyedPunctuation + keyedOther; }
    // 字均码长: the table's keys per character typed through it.
    double keysPerCharacter() const;
    // Keys per character over everything typed (keyed characters too).
    double keysPerTypedCharacter() const;
    // 选重率: selections per character typed through the table.
    double selectionRate() const;
    // 打词率: the share of Han characters typed in words of two or more.
    double wordRate() const;
    // The share of Han characters typed in first-candidate words.
    double firstCandidateWordRate() const;
    double handAlternationRate() const;
    double sameFingerRate() const;
    double sameKeyRate() const;
    // Keys per finger (shift on the pinky that holds it), and per hand (left, right, thumbs).
    std::array<std::uint64_t, kFingers> fingerUse() const;
    std::array<std::uint64_t, 3> handUse() const;
    Figures& operator+=(const Figures& other);
    bool operator==(const Figures& other) const = default;
};

// The key a character is typed by without the table, and how many keys that
// takes (2 with shift); 0 keys: the character goes through the table.
struct Keyed {
    std::uint32_t keys = 0;
    bool punctuation = false;
    std::size_t length = 1;  // characters it stands for ("……" is one key)
    char key = 0;            // the key, by what it types unshifted
};
Keyed KeyedAt(std::u32string_view text, std::size_t i);

// A piece of text typed apart from what comes before it, with what joining it
// to the piece before needs: whether a space is still owed at its end, what
// was typed first (punctuation saves the previous piece's owed space, anything
// else pays it), and the first and last keys (a pair across the join).
struct Part {
    enum class Lead : std::uint8_t { Nothing, Punctuation, Other };
    Figures figures;
    Lead lead = Lead::Nothing;
    bool owed = false;
    char firstKey = 0, lastKey = 0;  // 0: none, or the space came before/after
};
// `a` followed by `b`, as if typed in one go.
void Join(Part& a, const Part& b);

// One commit, for a segmentation written out: the entry and the word's length.
struct Commit {
    std::uint32_t entry = 0, length = 0;
};

// Types UTF-32 text through the table, piece after piece. A run ends where a
// word can't go on: at a blank, a keyed or a missing character, or the end.
class Typist {
public:
    Typist(const TypingTable& table, Segmentation segmentation);
    // More of the same text (a word may not go on from one call to the next).
    // `next`: the character right after `text` when it is known to be a
    // keyed one (0: the end, or not known), which tells the optimal
    // segmentation whether punctuation saves the last word's space.
    void type(std::u32string_view text, char32_t next = 0);
    // A text of its own, typed `weight` times (a word of a frequency list):
    // what is owed at its end is typed, and no pair runs into the next.
    void typeAlone(std::u32string_view text, std::uint64_t weight);
    // After the last text: a space still owed is typed.
    void finish();
    const Figures& figures() const { return part_.figures; }
    Part& part() { return part_; }
    // When set: each commit in order, and how often each entry was typed.
    std::vector<Commit>* commits = nullptr;
    std::vector<std::uint64_t>* entryUse = nullptr;

private:
    void run(std::u32string_view run, bool punctuationNext);
    bool punctuationNext(std::u32string_view text, std::size_t i, char32_t next) const;
    void commit(const Stroke& s, std::size_t length, std::u32string_view word);
    void keyed(const Keyed& k);
    void press(char key);
    void payOwedSpace();
    void lead(Part::Lead kind);
    const TypingTable& table_;
    Segmentation segmentation_;
    Part part_;
    std::uint64_t w_ = 1;  // what each thing typed counts
    char previous_ = 0;    // the last key, 0 after a space or at the start
    bool pressed_ = false;
    struct Best {
        std::uint64_t keys = 0, commits = 0;
        std::size_t length = 0;
        const Stroke* stroke = nullptr;
    };
    std::vector<Best> best_;  // the optimal segmentation's table, reused
};

// Text as UTF-32, from text held as GB18030 (or GBK) bytes.
std::u32string Utf32Of(std::string_view text, TextEncoding textEncoding);
// Code points as UTF-8, for reports.
std::string Utf8Of(std::u32string_view text);

}  // namespace zelmora::typing

#pragma once
// Scoring a table: texts streamed through it in parts on several threads,
// word-frequency lists, and single characters over a set, weighted.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/encoding.h"
#include "formats/table_stream.h"
#include "typing/typing.h"

namespace zelmora::typing {

struct ScoreOptions {
    Segmentation segmentation = Segmentation::Greedy;
    unsigned threads = 2;
    // The text is typed in parts of about this many characters, cut where a
    // word can't go on (a blank or a keyed character), and the parts joined.
    std::size_t partCharacters = std::size_t(1) << 20;
};

// What a scoring may hand back besides the figures.
struct Trace {
    // Each part's commits, in the text's order.
    std::function<void(const std::vector<Commit>&)> onCommits;
    // How often each entry was typed (sized to the table's entries).
    std::vector<std::uint64_t>* entryUse = nullptr;
};

// A text file typed through the table; its encoding recognised as a table's
// unless given. Fails naming the file (and line) on bytes that are no text,
// and on a text with nothing to type.
Figures ScoreText(const TypingTable& table, formats::ByteSource& text, formats::Encoding encoding,
                  const std::string& name, const ScoreOptions& options, const Trace& trace = {});
// Text already in memory, typed the same way (in parts when it is long).
Figures ScoreString(const TypingTable& table, std::u32string_view text, const ScoreOptions& options,
                    const Trace& trace = {});

// A word-frequency list: words and their counts, in the list's order.
struct FrequencyList {
    std::string name;
    std::vector<std::pair<std::u32string, std::uint64_t>> words;
};
// "jieba" and "essay" name the lists Debian ships (python3-jieba's dict.txt,
// simplified; rime-essay's essay.txt, which mixes traditional characters
// in); anything else is a file's path. Fails naming the package when missing.
std::string FrequencyListPath(const std::string& nameOrPath);
// `word<blank>count` lines, anything after the count ignored (jieba's tags);
// blank lines and lines starting with '#' skipped. Any encoding a table may
// be in. Fails naming the file and line of a line that isn't so.
FrequencyList ReadFrequencyList(std::string_view bytes, const std::string& name);
FrequencyList LoadFrequencyList(const std::string& nameOrPath);

// Each word of the list typed on its own, once per count.
Figures ScoreFrequencies(const TypingTable& table, const FrequencyList& list, Segmentation segmentation,
                         const Trace& trace = {});

// Single characters over a set, each weighted by its own one-character line
// of the frequency list: typed by full codes only (each character's longest
// code, its cheapest entry there) and with short codes (its cheapest entry).
struct CharacterFigures {
    std::string set;
    std::uint64_t characters = 0, present = 0;    // in the set; the table has
    std::uint64_t weight = 0, missingWeight = 0;  // counts of the set's characters; of those the table lacks
    std::uint64_t fullKeys = 0, shortKeys = 0;    // weighted, over the present characters
    std::uint64_t fullSelections = 0, shortSelections = 0;
    std::vector<std::pair<char32_t, std::uint64_t>> missing;  // by weight, highest first
    double fullKeysPerCharacter() const;
    double shortKeysPerCharacter() const;
    double selectionRate() const;  // with short codes
};
// "gb2312" (the 6,763 characters of GB 2312), "gb2312-1" (its 3,755 of level 1)
// or "top:N" (the list's N most frequent single characters). Fails on others.
std::vector<char32_t> CharacterSet(const std::string& name, const FrequencyList& list);
CharacterFigures ScoreCharacters(const TypingTable& table, const FrequencyList& list, const std::string& setName);

// A word whose typing a change made dearer or cheaper, and what that costs
// over the input: its keys typed alone in each table, times how often the
// input typed it (as a word of either table's segmentation, the more often).
struct WordChange {
    std::u32string word;
    std::uint64_t times = 0, oldKeys = 0, newKeys = 0;
    std::int64_t impact() const {
        return static_cast<std::int64_t>(times) *
               (static_cast<std::int64_t>(newKeys) - static_cast<std::int64_t>(oldKeys));
    }
};
// From each table's entry use (Trace::entryUse) on the same input; the
// dearest first, then the cheapest last (most keys saved).
std::vector<WordChange> CompareTyping(const TypingTable& before, const std::vector<std::uint64_t>& beforeUse,
                                      const TypingTable& after, const std::vector<std::uint64_t>& afterUse,
                                      Segmentation segmentation);

}  // namespace zelmora::typing

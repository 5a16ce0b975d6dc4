#pragma once
// The figures maintainers count in a code table: how many entries, codes,
// characters and phrases; how many codes hold several candidates; how the
// candidates and code lengths spread; how often each key is used; which
// GB 2312 characters the table codes. Pure functions of the entries.
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "formats/document.h"

namespace zelmora::analysis {

struct Gb2312Level {
    std::size_t total = 0;    // characters of the level (3,755 and 3,008)
    std::size_t present = 0;  // coded by a single-character entry
    std::string missing;      // the others, GB18030 bytes one after the other
};

// Code lengths and key positions from this one on are counted together, in a
// last row "16+". Shape-based schemes (Wubi, Zhengma, Cangjie) use four or
// five keys and most others stay under 16, so real tables keep a row per
// length; a broken table (a line that is one code of millions of letters)
// then costs one row, not a row per letter, in memory and in the output.
inline constexpr std::size_t kSummedFrom = 16;

struct TableStats {
    std::size_t entries = 0;           // code-word pairs
    std::size_t codes = 0;             // distinct codes
    std::size_t singleCharacters = 0;  // entries whose word is one character
    std::size_t phrases = 0;           // entries whose word has two or more
    // Codes with two or more candidates, and the candidates they hold.
    std::size_t duplicateCodes = 0;
    std::size_t entriesOnDuplicateCodes = 0;
    // Candidates behind the first of their code: the ones to be chosen.
    std::size_t behindFirst = 0;
    // candidatesPerCode[n]: codes with n candidates (index 0 unused).
    std::vector<std::size_t> candidatesPerCode;
    // By code length in bytes: entries and distinct codes (index 0: empty
    // codes; index kSummedFrom: that length and longer).
    std::vector<std::size_t> entriesByLength, codesByLength;
    // Keys of the distinct codes: a-z, and anything else.
    std::array<std::size_t, 26> keys{};
    std::size_t otherKeys = 0, keysTotal = 0;
    // keysAt[p][k]: key k at position p (0-based) of a code; otherKeysAt[p].
    // Index kSummedFrom - 1: that position and every later one.
    std::vector<std::array<std::size_t, 26>> keysAt;
    std::vector<std::size_t> otherKeysAt;

    // Whether the last rows sum the codes of kSummedFrom keys or more.
    bool summedRows() const { return entriesByLength.size() > kSummedFrom; }
    Gb2312Level level1, level2;
};

TableStats ComputeStats(const std::vector<formats::TableEntry>& entries);

// The same, entry by entry, for a table read as a stream: no figure depends
// on the order of the entries. Keeps a copy of each distinct code only.
class StatsCounter {
public:
    StatsCounter();
    ~StatsCounter();
    StatsCounter(const StatsCounter&) = delete;
    StatsCounter& operator=(const StatsCounter&) = delete;
    void add(const formats::TableEntry& entry);
    TableStats finish();

private:
    struct Counts;
    std::unique_ptr<Counts> counts_;
};

// part / whole as a percentage with two decimals ("12.34%"); "0.00%" of nothing.
std::string Percent(std::size_t part, std::size_t whole);

// The figures as plain text (UTF-8), one figure a line.
std::string FormatStatsText(const TableStats& stats);
// The figures as one JSON object (UTF-8), missing characters as strings.
std::string FormatStatsJson(const TableStats& stats);

}  // namespace zelmora::analysis

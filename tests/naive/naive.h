#pragma once
// Literal, slow implementations of every derivation, step for step as the
// behaviour is described (collation called directly, substring search of the
// whole pool per line, whole-text rebuild per merge, linear FindLine). The
// differential tests hold the fast implementations to these, byte for byte.
// Text is GBK, as the window holds it.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/line_list.h"

namespace naive {

void SortLines(zelmora::LineList& list);
std::string Expand(std::string_view text);
std::string Group(std::string_view text);

struct Classes {
    std::array<zelmora::LineList, 4> lines;
    std::array<std::string, 4> pools;
};
Classes Split(std::string_view text);

struct Classified {
    std::array<std::string, 4> texts;
    std::array<std::size_t, 4> counts{};
};
Classified Classify(std::string_view text);

struct Duplicates {
    std::string dup, uniq;
    std::size_t dupCount = 0, chars = 0, uniqCount = 0;
};
Duplicates ExtractDuplicates(std::string_view text);

struct FullCodes {
    std::array<std::string, 4> texts;  // three, four, all, short
    std::array<std::size_t, 4> counts{};
};
FullCodes ExtractFullCodes(std::string_view text);

struct Shortest {
    std::array<std::string, 5> texts;  // one..four, all
    std::array<std::size_t, 5> counts{};
};
Shortest ExtractShortest(std::string_view text);

struct Relation {
    std::array<std::string, 4> texts;  // short codes, full codes, words, reordered
    std::array<std::size_t, 4> counts{};
};
Relation Relate(std::string_view entries, std::string_view source);

}  // namespace naive

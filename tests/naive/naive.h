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

// The partition sort, step for step, over positions 0..count-1: `cmp(i, j)`
// compares the items at i and j (negative, zero, positive), `swap(i, j)`
// exchanges them. SortLines is this with CompareLines.
template <typename Cmp, typename Swap>
void PartitionSort(long long count, Cmp&& cmp, Swap&& swap) {
    if (count < 2) return;
    auto partition = [&](auto& self, long long L, long long R) -> void {
        long long I, J, P;
        do {
            I = L;
            J = R;
            P = (L + R) / 2;
            do {
                while (cmp(I, P) < 0) ++I;
                while (cmp(J, P) > 0) --J;
                if (I <= J) {
                    swap(I, J);
                    if (P == I)
                        P = J;
                    else if (P == J)
                        P = I;
                    ++I;
                    --J;
                }
            } while (I <= J);
            if (L < J) self(self, L, J);
            L = I;
        } while (I < R);
    };
    partition(partition, 0, count - 1);
}

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

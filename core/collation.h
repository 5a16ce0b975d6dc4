#pragma once
// Locale services fixed for reproducible output: ICU collation "zh" (pinyin) at
// secondary strength over text decoded from code page 936 ("windows-936").
#include <string>
#include <string_view>
#include <vector>

#include "core/line_list.h"

namespace zelmora {

// Negative, zero or positive. Byte-identical texts are equal.
int CompareLines(std::string_view a, std::string_view b);

// The collation sort key of a text: comparing keys bytewise gives the same
// answers as CompareLines, at a fraction of the cost.
std::string SortKey(std::string_view text);

// Sort keys of many texts, packed into one buffer (offsets[i]..offsets[i+1]).
struct SortKeys {
    std::string bytes;
    std::vector<std::size_t> offsets;  // count + 1 entries
    std::string_view at(std::size_t i) const {
        return std::string_view(bytes).substr(offsets[i], offsets[i + 1] - offsets[i]);
    }
};
SortKeys MakeSortKeys(const std::vector<std::string>& texts);

// The partition sort, step for step, ordering by CompareLines.
void SortLines(LineList& list);
void SortLines(std::vector<std::string>& lines);

// Index of the first line equal under CompareLines, or -1.
long long FindLine(const LineList& list, std::string_view text);

// UTF-16 code units of the "windows-936" decoding of a text.
std::u16string DecodeGbk(std::string_view text);
// Byte length minus the UTF-16 code units of the decoding.
long long DoubleByteCharCount(std::string_view text);

// Partition sort over a permutation, comparing through `cmp` (a three-way
// compare of two items). Exposed for testing against
// the literal procedure.
template <typename Compare>
void PartitionSort(std::vector<std::size_t>& perm, Compare&& cmp) {
    if (perm.size() < 2) return;
    // Left part by recursion, right part by iteration, pivot tracked by slot.
    auto sortRange = [&](auto& self, long long L, long long R) -> void {
        long long I, J, P;
        do {
            I = L;
            J = R;
            P = (L + R) >> 1;
            do {
                while (cmp(perm[I], perm[P]) < 0) ++I;
                while (cmp(perm[J], perm[P]) > 0) --J;
                if (I <= J) {
                    std::swap(perm[I], perm[J]);
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
    sortRange(sortRange, 0, static_cast<long long>(perm.size()) - 1);
}

}  // namespace zelmora

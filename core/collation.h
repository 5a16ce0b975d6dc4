#pragma once
// Locale services fixed for reproducible output: ICU collation "zh" (pinyin) at
// secondary strength over text decoded from code page 936 ("windows-936").
#include <cstdint>
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
SortKeys MakeSortKeys(const std::vector<std::string_view>& texts);

// Many short texts in one buffer: text i is bytes[begin[i], begin[i+1]).
// Far smaller than a vector of strings for a million entry lines.
struct TextArena {
    std::string bytes;
    std::vector<std::uint32_t> begin{0};
    std::size_t size() const { return begin.size() - 1; }
    std::string_view operator[](std::size_t i) const {
        return std::string_view(bytes).substr(begin[i], begin[i + 1] - begin[i]);
    }
    void endText() { begin.push_back(static_cast<std::uint32_t>(bytes.size())); }
};

// The order SortLines gives: order[k] is the index of the line that ends up at k.
std::vector<std::uint32_t> SortedOrder(const std::vector<std::string_view>& texts);
std::vector<std::uint32_t> SortedOrder(const TextArena& texts);

// The partition sort, step for step, ordering by CompareLines.
void SortLines(LineList& list);
void SortLines(std::vector<std::string>& lines);

// Index of the first line equal under CompareLines, or -1.
long long FindLine(const LineList& list, std::string_view text);

// UTF-16 code units of the "windows-936" decoding of a text (of the "gb18030"
// decoding while the text encoding is GB18030).
std::u16string DecodeGbk(std::string_view text);
// Byte length minus the UTF-16 code units of the decoding. While the text
// encoding is GB18030: the number of two- and four-byte characters.
long long DoubleByteCharCount(std::string_view text);

// How the texts are decoded for collation and counting, for every thread:
// GBK ("windows-936", the default) or GB18030, for tables read from UTF-8,
// UTF-16 or GB18030 files and held as GB18030 bytes.
enum class TextEncoding { Gbk, Gb18030 };
void SetTextEncoding(TextEncoding encoding);
TextEncoding CurrentTextEncoding();

// The partition sort over any array of items, comparing through `cmp` (a
// three-way compare of two items). The pivot is tracked by its slot. After a
// partition the two parts are disjoint, so the order in which they are sorted
// does not change the result: the smaller part goes to recursion and the
// larger is iterated, which keeps the stack shallow on any input.
template <typename Item, typename Compare>
void PartitionSortSlots(std::vector<Item>& items, Compare&& cmp) {
    if (items.size() < 2) return;
    auto sortRange = [&](auto& self, long long L, long long R) -> void {
        while (L < R) {
            long long I = L, J = R, P = (L + R) >> 1;
            do {
                while (cmp(items[I], items[P]) < 0) ++I;
                while (cmp(items[J], items[P]) > 0) --J;
                if (I <= J) {
                    std::swap(items[I], items[J]);
                    if (P == I)
                        P = J;
                    else if (P == J)
                        P = I;
                    ++I;
                    --J;
                }
            } while (I <= J);
            if (J - L < R - I) {
                if (L < J) self(self, L, J);
                L = I;
            } else {
                if (I < R) self(self, I, R);
                R = J;
            }
        }
    };
    sortRange(sortRange, 0, static_cast<long long>(items.size()) - 1);
}

}  // namespace zelmora

#pragma once
// Locale services fixed for reproducible output: ICU collation "zh" (pinyin) at
// secondary strength over text decoded from its encoding: code page 936
// ("windows-936") for GBK, "gb18030" for GB18030. Every function is told the
// encoding of the texts it is given; any thread may call any of them.
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/limits.h"
#include "core/line_list.h"
#include "core/partition_sort.h"
#include "core/side_by_side.h"
#include "core/text_encoding.h"

namespace zelmora {

// Negative, zero or positive. Byte-identical texts are equal.
int CompareLines(std::string_view a, std::string_view b, TextEncoding encoding);

// The collation sort key of a text: comparing keys bytewise gives the same
// answers as CompareLines, at a fraction of the cost.
std::string SortKey(std::string_view text, TextEncoding encoding);
// The same key appended to `out`.
void AppendSortKey(std::string_view text, TextEncoding encoding, std::string& out);

// A key for telling whether texts are equal under the collation, cheaper to
// write than the sort key: two texts' equality keys are the same bytes
// exactly when their sort keys are. It does not order them.
void AppendEqualityKey(std::string_view text, TextEncoding encoding, std::string& out);

// Sort keys of many texts, packed into one buffer (offsets[i]..offsets[i+1]).
struct SortKeys {
    std::string bytes;
    std::vector<std::size_t> offsets;  // count + 1 entries
    std::string_view at(std::size_t i) const {
        return std::string_view(bytes).substr(offsets[i], offsets[i + 1] - offsets[i]);
    }
};
SortKeys MakeSortKeys(const std::vector<std::string>& texts, TextEncoding encoding);
SortKeys MakeSortKeys(const std::vector<std::string_view>& texts, TextEncoding encoding);
struct TextArena;
SortKeys MakeSortKeys(const TextArena& texts, TextEncoding encoding);

// Many short texts in one buffer: text i is bytes[begin[i], begin[i+1]).
// Far smaller than a vector of strings for a million entry lines. Offsets are
// 32 bits: a text that would end beyond `maxBytes` fails (Failure) instead of
// wrapping around.
struct TextArena {
    std::string bytes;
    std::vector<std::uint32_t> begin{0};
    std::size_t maxBytes = kMaxUint32;  // lowered by tests of the limit
    std::size_t size() const { return begin.size() - 1; }
    std::string_view operator[](std::size_t i) const {
        return std::string_view(bytes).substr(begin[i], begin[i + 1] - begin[i]);
    }
    void endText() {
        if (bytes.size() > maxBytes) FailTooLarge(bytes.size(), "bytes of lines", maxBytes);
        begin.push_back(static_cast<std::uint32_t>(bytes.size()));
    }
};

// The order SortLines gives: order[k] is the index of the line that ends up at
// k. Indexes are 32 bits: more than kMaxUint32 texts fail.
std::vector<std::uint32_t> SortedOrder(const std::vector<std::string_view>& texts, TextEncoding encoding);
std::vector<std::uint32_t> SortedOrder(const TextArena& texts, TextEncoding encoding);
// The same, with each text's dense rank in that order (0 for the first;
// texts that compare equal share a rank): what SortedOrderOfRanks needs.
std::vector<std::uint32_t> SortedOrder(const std::vector<std::string_view>& texts, TextEncoding encoding,
                                       std::vector<std::uint32_t>& ranks);
std::vector<std::uint32_t> SortedOrder(const TextArena& texts, TextEncoding encoding,
                                       std::vector<std::uint32_t>& ranks);
// The order SortedOrder gives texts whose ranks these are, by the same steps
// on the same comparison results, without a key: for subsets of lines ranked
// once. `interchangeable(i, j)`, when given, says that texts i and j of a tie
// are the same bytes, so that either may come first: ties of such texts
// alone are then no reason to take the partition sort's steps.
std::vector<std::uint32_t> SortedOrderOfRanks(
    const std::vector<std::uint32_t>& ranks,
    const std::function<bool(std::uint32_t, std::uint32_t)>& interchangeable = {});

// The partition sort, step for step, ordering by CompareLines.
void SortLines(LineList& list, TextEncoding encoding);
void SortLines(std::vector<std::string>& lines, TextEncoding encoding);

// Index of the first line equal under CompareLines, or -1.
long long FindLine(const LineList& list, std::string_view text, TextEncoding encoding);

// UTF-16 code units of the decoding of a text ("windows-936" or "gb18030"),
// with ICU's default substitute for bytes that are no character.
std::u16string ToUtf16(std::string_view text, TextEncoding encoding);
// GBK: byte length minus the UTF-16 code units of the decoding. GB18030: the
// number of characters of two or four bytes, as CharWidth walks them.
long long DoubleByteCharCount(std::string_view text, TextEncoding encoding);

// The partition sort over any array of items, comparing through `cmp` (a
// three-way compare of two items). The pivot is tracked by its slot. After a
// partition the two parts are disjoint, so the order in which they are sorted
// does not change the result: the smaller part goes to recursion and the
// larger is iterated, which keeps the stack shallow on any input. A range
// still being split past `depthLimit` partitions (by default 2·log2 n + 16)
// is finished by an exact replay of the same steps in O(m log² m), so no
// order of the items makes the sort quadratic.
namespace partition_sort {

// One partition of items[L..R] around its middle item, the pivot tracked by
// its slot: afterwards items[L..J] are at most the pivot and items[I..R] at
// least, J < I.
template <typename Item, typename Compare>
std::pair<long long, long long> Partition(std::vector<Item>& items, long long L, long long R, Compare& cmp) {
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
    return {I, J};
}

// Sorts items[L..R] as PartitionSortSlots does a range reached after `depth`
// partitions.
template <typename Item, typename Compare>
void SortRange(std::vector<Item>& items, long long L, long long R, int depth, int depthLimit, Compare& cmp,
               PartitionSortWork& done) {
    auto sortRange = [&](auto& self, long long l, long long r, int d) -> void {
        while (l < r) {
            if (d >= depthLimit) {
                Replay(items, l, r, cmp, done);
                return;
            }
            ++d;
            const auto [I, J] = Partition(items, l, r, cmp);
            if (J - l < r - I) {
                if (l < J) self(self, l, J, d);
                l = I;
            } else {
                if (I < r) self(self, I, r, d);
                r = J;
            }
        }
    };
    sortRange(sortRange, L, R, depth);
}

}  // namespace partition_sort

template <typename Item, typename Compare>
void PartitionSortSlots(std::vector<Item>& items, Compare&& cmp, PartitionSortWork* work = nullptr,
                        int depthLimit = -1) {
    if (items.size() < 2) return;
    PartitionSortWork ownWork;
    PartitionSortWork& done = work ? *work : ownWork;
    if (depthLimit < 0) depthLimit = partition_sort::DepthLimit(items.size());
    partition_sort::SortRange(items, 0, static_cast<long long>(items.size()) - 1, 0, depthLimit, cmp, done);
}

// The same arrangement, on two threads for a large array. Parts of a
// partition are disjoint, so each may be sorted anywhere: a thread that takes
// a big part partitions it once and leaves one of the two parts for whichever
// thread is free, and sorts small parts whole. `cmp` must be safe to call from
// two threads at once. Fewer than `alone` items are sorted on this thread
// only.
template <typename Item, typename Compare>
void PartitionSortSlotsOnTwoThreads(std::vector<Item>& items, Compare&& cmp, PartitionSortWork* work = nullptr,
                                    std::size_t alone = 1 << 16) {
    if (items.size() < std::max<std::size_t>(alone, 2)) return PartitionSortSlots(items, cmp, work);
    const int depthLimit = partition_sort::DepthLimit(items.size());
    struct Range {
        long long L, R;
        int depth;
    };
    // Parts at most this big are sorted whole by one thread.
    const long long small = std::max<long long>(static_cast<long long>(items.size() / 32), 2);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Range> waiting{{0, static_cast<long long>(items.size()) - 1, 0}};
    int busy = 0;         // threads working on a part
    bool failed = false;  // a thread failed: the other stops too
    auto sortParts = [&](PartitionSortWork& done) {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return failed || !waiting.empty() || busy == 0; });
            if (failed || waiting.empty()) return;  // nothing left and nobody to leave more
            Range r = waiting.back();
            waiting.pop_back();
            ++busy;
            lock.unlock();
            try {
                while (r.R - r.L + 1 > small && r.depth < depthLimit) {
                    const auto [I, J] = partition_sort::Partition(items, r.L, r.R, cmp);
                    // The smaller part is left for the other thread; this one goes on with the larger.
                    Range left{r.L, J, r.depth + 1}, right{I, r.R, r.depth + 1};
                    if (J - r.L > r.R - I) std::swap(left, right);
                    if (left.L < left.R) {
                        std::lock_guard<std::mutex> guard(mutex);
                        waiting.push_back(left);
                        changed.notify_one();
                    }
                    r = right;
                }
                if (r.L < r.R) partition_sort::SortRange(items, r.L, r.R, r.depth, depthLimit, cmp, done);
            } catch (...) {
                lock.lock();
                failed = true;
                changed.notify_all();
                throw;
            }
            lock.lock();
            --busy;
            changed.notify_all();
        }
    };
    PartitionSortWork firstWork, secondWork;
    SideBySide([&] { sortParts(firstWork); }, [&] { sortParts(secondWork); });
    if (work) {
        work->treeSteps += firstWork.treeSteps + secondWork.treeSteps;
        work->replays += firstWork.replays + secondWork.replays;
    }
}

}  // namespace zelmora

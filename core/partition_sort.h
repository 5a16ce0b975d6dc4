#pragma once
// The bounded replay behind PartitionSortSlots: when a range has been
// partitioned deeper than any fair input needs (a crafted order makes the
// middle pivot split off one line at a time), the rest of that range is
// finished here, in O(m log² m) for m items, with exactly the arrangement the
// partition procedure would have reached.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace zelmora {

// Work beyond the comparisons that a partition sort did, for tests that hold
// it to a bound.
struct PartitionSortWork {
    std::uint64_t treeSteps = 0;  // tree nodes visited or updated by the replay
    std::size_t replays = 0;      // ranges finished by the replay
};

namespace partition_sort {

// Items' ranks by position, with the minimum and maximum over every
// power-of-two block: the partition's scans then jump straight to the next
// item that stops them instead of walking over every item that doesn't.
class RankTree {
public:
    RankTree(const std::vector<std::int32_t>& ranks, std::uint64_t& steps) : steps_(steps) {
        size_ = 1;
        while (size_ < ranks.size()) size_ <<= 1;
        min_.assign(2 * size_, std::numeric_limits<std::int32_t>::max());
        max_.assign(2 * size_, std::numeric_limits<std::int32_t>::min());
        for (std::size_t i = 0; i < ranks.size(); ++i) min_[size_ + i] = max_[size_ + i] = ranks[i];
        for (std::size_t k = size_ - 1; k > 0; --k) pull(k);
        steps_ += 2 * size_;
    }
    void set(std::size_t i, std::int32_t rank) {
        std::size_t k = size_ + i;
        min_[k] = max_[k] = rank;
        for (k >>= 1; k > 0; k >>= 1) {
            pull(k);
            ++steps_;
        }
    }
    // First position >= i whose rank is >= v, or -1.
    long long firstAtLeast(std::size_t i, std::int32_t v) const {
        std::size_t k = size_ + i;
        if (max_[k] < v) {
            for (;;) {
                ++steps_;
                if (k == 1) return -1;
                if ((k & 1) == 0 && max_[k + 1] >= v) {
                    ++k;
                    break;
                }
                k >>= 1;
            }
            while (k < size_) {
                ++steps_;
                k <<= 1;
                if (max_[k] < v) ++k;
            }
        }
        return static_cast<long long>(k - size_);
    }
    // Last position <= j whose rank is <= v, or -1.
    long long lastAtMost(std::size_t j, std::int32_t v) const {
        std::size_t k = size_ + j;
        if (min_[k] > v) {
            for (;;) {
                ++steps_;
                if (k == 1) return -1;
                if ((k & 1) == 1 && min_[k - 1] <= v) {
                    --k;
                    break;
                }
                k >>= 1;
            }
            while (k < size_) {
                ++steps_;
                k = 2 * k + 1;
                if (min_[k] > v) --k;
            }
        }
        return static_cast<long long>(k - size_);
    }

private:
    void pull(std::size_t k) {
        min_[k] = std::min(min_[2 * k], min_[2 * k + 1]);
        max_[k] = std::max(max_[2 * k], max_[2 * k + 1]);
    }
    std::size_t size_;
    std::vector<std::int32_t> min_, max_;
    std::uint64_t& steps_;
};

// Finishes items[L..R] as the partition procedure would. Items that compare
// equal can differ (as lines that differ only in case do), and where they end
// up depends on every step the procedure takes, so the steps are replayed
// exactly, on ranks: each scan that would walk is one tree search, and the
// swaps, the only steps that move items, are never more than O(m log m) in
// all. When no two items compare equal, the only sorted arrangement is the
// procedure's, and a plain sort gives it.
template <typename Item, typename Compare>
void Replay(std::vector<Item>& items, long long L, long long R, Compare& cmp, PartitionSortWork& work) {
    ++work.replays;
    const std::size_t m = static_cast<std::size_t>(R - L + 1);
    Item* base = items.data() + L;
    std::vector<std::uint32_t> byKey(m);
    for (std::size_t i = 0; i < m; ++i) byKey[i] = static_cast<std::uint32_t>(i);
    std::sort(byKey.begin(), byKey.end(), [&](std::uint32_t a, std::uint32_t b) { return cmp(base[a], base[b]) < 0; });
    std::vector<std::int32_t> rank(m);
    std::int32_t r = 0;
    rank[byKey[0]] = 0;
    for (std::size_t k = 1; k < m; ++k) {
        if (cmp(base[byKey[k - 1]], base[byKey[k]]) < 0) ++r;
        rank[byKey[k]] = r;
    }
    if (static_cast<std::size_t>(r) + 1 == m) {
        std::vector<Item> sorted;
        sorted.reserve(m);
        for (std::uint32_t i : byKey) sorted.push_back(std::move(base[i]));
        std::move(sorted.begin(), sorted.end(), base);
        return;
    }
    std::vector<std::uint32_t>().swap(byKey);
    RankTree tree(rank, work.treeSteps);
    auto sortRange = [&](auto& self, long long lo, long long hi) -> void {
        while (lo < hi) {
            long long I = lo, J = hi;
            // The pivot is tracked by its slot, so its rank holds for the whole partition.
            const std::int32_t pivot = rank[static_cast<std::size_t>((lo + hi) >> 1)];
            do {
                I = tree.firstAtLeast(static_cast<std::size_t>(I), pivot);
                J = tree.lastAtMost(static_cast<std::size_t>(J), pivot);
                if (I < 0 || J < 0) throw std::logic_error("partition ran off its range");
                if (I <= J) {
                    if (I != J) {
                        auto i = static_cast<std::size_t>(I), j = static_cast<std::size_t>(J);
                        std::swap(base[i], base[j]);
                        std::swap(rank[i], rank[j]);
                        tree.set(i, rank[i]);
                        tree.set(j, rank[j]);
                    }
                    ++I;
                    --J;
                }
            } while (I <= J);
            if (J - lo < hi - I) {
                if (lo < J) self(self, lo, J);
                lo = I;
            } else {
                if (I < hi) self(self, I, hi);
                hi = J;
            }
        }
    };
    sortRange(sortRange, 0, static_cast<long long>(m) - 1);
}

// How many partitions deep a range may go before the replay takes it: fair
// orders stay below it, and a crafted one reaches it after O(n log n)
// comparisons.
inline int DepthLimit(std::size_t n) {
    int bits = 0;
    while (n >>= 1) ++bits;
    return 2 * bits + 16;
}

}  // namespace partition_sort

}  // namespace zelmora

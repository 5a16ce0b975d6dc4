#include "transform/entry_table.h"

#include <algorithm>
#include <string>

#include "core/code_table.h"
#include "core/collation.h"
#include "core/failure.h"
#include "core/limits.h"
#include "core/text.h"

namespace zelmora {

EntryTable::EntryTable(std::string_view text, TextEncoding encoding) : text_(text), encoding_(encoding) {}

const LengthClasses& EntryTable::classes() {
    std::call_once(classesOnce_, [&] { classes_ = SplitByCodeLength(text_); });
    return classes_;
}

EntryTable::Membership& EntryTable::membership(int cls, Pools pools) {
    return memberships_[cls - 1][static_cast<int>(pools)];
}

const std::vector<char>& EntryTable::inPool(int cls, Pools pools) {
    Membership& m = membership(cls, pools);
    std::call_once(m.once, [&] {
        const LengthClasses& classes = this->classes();
        std::string searched;
        switch (pools) {
            case Pools::P1:
                searched = classes.pools[0];
                break;
            case Pools::P12:
                searched = classes.pools[0] + classes.pools[1];
                break;
            case Pools::P123:
                searched = classes.pools[0] + classes.pools[1] + classes.pools[2];
                break;
            case Pools::P4:
                searched = classes.pools[3];
                break;
        }
        const auto& lines = classes.lines[cls - 1];
        m.in = PoolMembership(searched, lines.size(), [&](std::size_t i) { return WordTail(lines[i]); });
    });
    return m.in;
}

void EntryTable::setRanks(std::vector<std::uint32_t> ranks, std::vector<std::uint32_t> lineStarts) {
    std::call_once(rankOnce_, [&] {
        CheckLimit(text_.size(), "bytes of the one-word-per-line table", kMaxUint32);
        if (!lineStarts.empty()) {
            lineStarts_ = std::move(lineStarts);
        } else {
            lineStarts_.reserve(ranks.size());
            ForEachLine(text_, [&](std::string_view line) {
                lineStarts_.push_back(static_cast<std::uint32_t>(line.data() - text_.data()));
            });
        }
        if (ranks.size() != lineStarts_.size()) throw Failure("Entry ranks do not match the lines of the table");
        ranks_ = std::move(ranks);
        ranked_.store(true, std::memory_order_release);
    });
}

std::vector<std::uint32_t> EntryTable::sortedOrder(const std::vector<std::string_view>& lines) {
    // Without the expansion's ranks, keying every line to sort some of them
    // would cost more than keying those.
    if (!ranked_.load(std::memory_order_acquire)) return SortedOrder(lines, encoding_);
    std::vector<std::uint32_t> ranks(lines.size());
    // The lines come mostly in the text's order, forwards or backwards: each
    // is looked for from where the last was found, in steps that double, so a
    // near one costs a few probes rather than a search of every line start.
    const std::size_t count = lineStarts_.size();
    std::size_t last = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto offset = static_cast<std::uint32_t>(lines[i].data() - text_.data());
        std::size_t lo = 0, hi = 0, step = 1;  // the line is in [lo, hi)
        if (last < count && lineStarts_[last] <= offset) {
            lo = last;
            for (; lo + step < count && lineStarts_[lo + step] <= offset; step *= 2) lo += step;
            hi = std::min(count, lo + step);
        } else {
            hi = last;
            for (; step <= hi && lineStarts_[hi - step] > offset; step *= 2) hi -= step;
            lo = step <= hi ? hi - step : 0;
        }
        const auto at = std::upper_bound(lineStarts_.begin() + static_cast<std::ptrdiff_t>(lo),
                                         lineStarts_.begin() + static_cast<std::ptrdiff_t>(hi), offset);
        last = static_cast<std::size_t>(at - lineStarts_.begin()) - 1;
        ranks[i] = ranks_[last];
    }
    // Lines of one rank that are the same bytes give the same text whichever
    // comes first.
    return SortedOrderOfRanks(ranks, [&](std::uint32_t a, std::uint32_t b) { return lines[a] == lines[b]; });
}

}  // namespace zelmora

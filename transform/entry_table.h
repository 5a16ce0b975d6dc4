#pragma once
// What the derivations of one one-word-per-line table share, worked out once
// whichever of them asks first: the lines by code length with their tail
// pools, which lines' word tails the shorter classes' pools hold (each pool
// indexed once and the index dropped when answered), and, when the expansion
// that wrote the text hands them over, the collation rank of every line, so
// that any set of its lines is sorted without a key. The
// pipeline's derivations ask from two threads at once; each part is worked
// out by one of them while the other waits for it.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

#include "core/text_encoding.h"
#include "transform/classify.h"

namespace zelmora {

class EntryTable {
public:
    // `text` must outlive the table: lines are views into it.
    EntryTable(std::string_view text, TextEncoding encoding);
    EntryTable(const EntryTable&) = delete;
    EntryTable& operator=(const EntryTable&) = delete;

    TextEncoding encoding() const { return encoding_; }
    std::string_view text() const { return text_; }
    // Worked out on first need.
    const LengthClasses& classes();

    // For each line of class `cls` (1..4), 1 when its word tail is in the
    // pool of the classes `pools` names ("1", "12", "123" or "4").
    enum class Pools { P1, P12, P123, P4 };
    const std::vector<char>& inPool(int cls, Pools pools);

    // The order SortedOrder gives these lines (views into the text, each a
    // whole line of it): by their ranks when they were handed over, else by
    // their keys. Lines that are the same bytes may trade places: the lines
    // in this order are SortedOrder's, whichever of them stands where.
    std::vector<std::uint32_t> sortedOrder(const std::vector<std::string_view>& lines);

    // Hands over the ranks of the text's lines when they are known already
    // (from the expansion that wrote it): line k of the text has ranks[k].
    // `lineStarts`, when not empty, are where the lines start (the expansion
    // knows them), sparing a walk over the text.
    void setRanks(std::vector<std::uint32_t> ranks, std::vector<std::uint32_t> lineStarts = {});

private:
    struct Membership {
        std::once_flag once;
        std::vector<char> in;
    };
    Membership& membership(int cls, Pools pools);

    std::string_view text_;
    TextEncoding encoding_;
    std::once_flag classesOnce_;
    LengthClasses classes_;
    Membership memberships_[4][4];
    std::once_flag rankOnce_;
    std::atomic<bool> ranked_{false};
    std::vector<std::uint32_t> lineStarts_;  // byte offset of each line of the text
    std::vector<std::uint32_t> ranks_;       // collation rank of each line
};

}  // namespace zelmora

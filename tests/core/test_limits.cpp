// Structures that count in 32 bits: a table beyond them fails with a message
// that says so, at the first text that would not fit, and never wraps around.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "core/collation.h"
#include "core/failure.h"
#include "core/limits.h"

using namespace zelmora;

namespace {

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.what();
    }
    return "(no failure)";
}

}  // namespace

TEST(Limits, PassAtTheLimitAndFailOneBeyondIt) {
    EXPECT_NO_THROW(CheckLimit(10, "entries", 10));
    EXPECT_EQ(MessageOf([] { CheckLimit(11, "entries", 10); }), "Table too large: 11 entries (limit 10)");
    EXPECT_NO_THROW(CheckLimit(kMaxUint32, "lines to sort", kMaxUint32));
    EXPECT_EQ(MessageOf([] { CheckLimit(kMaxUint32 + 1, "lines to sort", kMaxUint32); }),
              "Table too large: 4294967296 lines to sort (limit 4294967295)");
}

TEST(Limits, TextArenaStopsBeforeAnOffsetWouldWrap) {
    // The default limit is the largest offset the arena can hold.
    TextArena wide;
    EXPECT_EQ(wide.maxBytes, std::numeric_limits<decltype(wide.begin)::value_type>::max());

    TextArena a;
    a.maxBytes = 10;
    a.bytes = "abcd";
    a.endText();
    a.bytes += "efghij";
    a.endText();  // ends exactly at the limit
    a.bytes += "k";
    EXPECT_EQ(MessageOf([&] { a.endText(); }), "Table too large: 11 bytes of lines (limit 10)");
    // The texts before the failure are whole; none was cut short.
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0], "abcd");
    EXPECT_EQ(a[1], "efghij");
    // An empty text at the limit still fits.
    TextArena empty;
    empty.maxBytes = 0;
    EXPECT_NO_THROW(empty.endText());
    EXPECT_EQ(empty.size(), 1u);
}

// Structures that count in 32 bits: a table beyond them fails with a message
// that says so, at the first text that would not fit, and never wraps around.
#include <gtest/gtest.h>

#include <sys/mman.h>

#include <functional>
#include <limits>

#include "core/collation.h"
#include "core/failure.h"
#include "core/gbk.h"
#include "core/limits.h"
#include "core/text_lines.h"

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

// Read-only zero bytes that take address space but no memory: texts too long
// for ICU's int32 lengths, for functions that must refuse them before reading.
class ZeroPages {
public:
    explicit ZeroPages(std::size_t size) : size_(size) {
        void* p = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        data_ = p == MAP_FAILED ? nullptr : static_cast<const char*>(p);
    }
    ~ZeroPages() {
        if (data_) munmap(const_cast<char*>(data_), size_);
    }
    ZeroPages(const ZeroPages&) = delete;
    ZeroPages& operator=(const ZeroPages&) = delete;
    const char* data() const { return data_; }

private:
    std::size_t size_;
    const char* data_ = nullptr;
};

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

TEST(Limits, TextLinesReachTheLastByteOfTheLongestTextAndRefuseALongerOne) {
    ZeroPages zeros(kMaxUint32 + std::size_t{1});
    ASSERT_NE(zeros.data(), nullptr) << "cannot map " << kMaxUint32 + 1 << " bytes of address space";
    TextLines lines(std::string_view(zeros.data(), kMaxUint32));
    const std::string_view last(zeros.data() + kMaxUint32 - 3, 3);
    lines.push_back(last);
    EXPECT_EQ(lines[0].data(), last.data());
    EXPECT_EQ(lines[0].size(), last.size());
    EXPECT_EQ(MessageOf([&] { TextLines longer(std::string_view(zeros.data(), kMaxUint32 + 1)); }),
              "Table too large: 4294967296 bytes of the one-word-per-line table (limit 4294967295)");
}

TEST(Limits, TextsBeyondIcuLengthsFailInsteadOfComingOutEmpty) {
    const std::size_t size = kMaxInt32 + std::size_t{1};
    ZeroPages zeros(size);
    ASSERT_NE(zeros.data(), nullptr) << "cannot map " << size << " bytes of address space";
    const std::string_view huge(zeros.data(), size);
    const std::string expected = "Table too large: 2147483648 bytes of text to decode at once (limit 2147483646)";
    EXPECT_EQ(MessageOf([&] { ToUtf16(huge, TextEncoding::Gbk); }), expected);
    EXPECT_EQ(MessageOf([&] { ToUtf16(huge, TextEncoding::Gb18030); }), expected);
    EXPECT_EQ(MessageOf([&] { SortKey(huge, TextEncoding::Gbk); }), expected);
    EXPECT_EQ(MessageOf([&] { CompareLines(huge, "a", TextEncoding::Gbk); }), expected);
    // ASCII and whole characters are counted without decoding: no limit, and
    // the count right.
    EXPECT_EQ(DoubleByteCharCount(huge, TextEncoding::Gbk), 0);
    const std::u16string_view units(reinterpret_cast<const char16_t*>(zeros.data()), size / 2);
    EXPECT_EQ(MessageOf([&] { EncodeGbk(units); }),
              "Table too large: 1073741824 characters of text to encode at once (limit 1073741822)");
}

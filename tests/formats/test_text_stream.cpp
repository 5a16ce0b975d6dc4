// Texts read block by block as code points: the same code points however the
// blocks fall, the encoding DecodeText recognises, failures naming the line.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "core/failure.h"
#include "formats/encoding.h"
#include "formats/encoding_internal.h"
#include "formats/text_stream.h"
#include "tests/test_util.h"

using namespace zelmora::formats;
using zelmora::Failure;

namespace {

// Gives at most `most` bytes a read, as a pipe may.
class CutSource final : public ByteSource {
public:
    CutSource(std::string_view bytes, std::size_t most) : bytes_(bytes), most_(most) {}
    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min({size, most_, bytes_.size() - at_});
        bytes_.copy(buffer, n, at_);
        at_ += n;
        return n;
    }
    void rewind() override { at_ = 0; }

private:
    std::string_view bytes_;
    std::size_t most_, at_ = 0;
};

struct Read {
    std::u32string text;
    Encoding encoding = Encoding::Auto;
    bool hadBom = false, closeCall = false;
    std::string failure;
};

Read ReadText(std::string_view bytes, Encoding encoding, std::size_t most = 1 << 20, std::size_t size = 1 << 20) {
    Read r;
    try {
        CutSource source(bytes, most);
        TextStream stream(source, encoding, "t.txt");
        r.encoding = stream.encoding();
        r.hadBom = stream.hadBom();
        r.closeCall = stream.closeCall();
        while (stream.next(r.text, size)) {}
    } catch (const Failure& f) {
        r.failure = f.what();
    }
    return r;
}

// By Encoding: ICU's name, the byte-order mark.
const char* const kIcuNames[] = {"", "windows-936", "gb18030", "UTF-8", "UTF-16LE", "UTF-16BE"};
const char* const kMarks[] = {"", "", "\x84\x31\x95\x33", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};

std::string Bytes(const std::u32string& text, Encoding e, bool bom) {
    const std::string_view utf32(reinterpret_cast<const char*>(text.data()), text.size() * 4);
    const auto k = static_cast<int>(e);
    return (bom ? kMarks[k] : "") + testutil::Convert(kIcuNames[k], "UTF-32LE", utf32);
}

// Prose with CR LF, CR and LF lines, and (but for GBK) characters beyond the BMP.
std::u32string Prose(bool gbk) {
    std::u32string s;
    for (int i = 0; i < 20; ++i) s += U"春眠不觉晓，处处闻啼鸟。\r\n夜来风雨声 (ASCII too),\r花落知多少？\n";
    if (!gbk) s += U"𠀀𪚥 Extension B\n";
    return s + U"末行没有换行";
}

constexpr Encoding kEncodings[] = {Encoding::Utf8, Encoding::Gb18030, Encoding::Gbk, Encoding::Utf16le,
                                   Encoding::Utf16be};

}  // namespace

TEST(TextStream, EachEncodingWithAndWithoutMarkGivesTheTextsCodePoints) {
    for (Encoding e : kEncodings) {
        for (bool bom : {false, true}) {
            if (bom && e == Encoding::Gbk) continue;
            const std::u32string text = Prose(e == Encoding::Gbk);
            for (Encoding given : {e, Encoding::Auto}) {
                const Read r = ReadText(Bytes(text, e, bom), given);
                const std::string what = std::string(EncodingName(e)) + (bom ? " with" : " without") +
                                         " mark, read as " + EncodingName(given);
                EXPECT_EQ(r.failure, "") << what;
                EXPECT_TRUE(r.text == text) << what;
                EXPECT_EQ(r.hadBom, bom) << what;
            }
        }
    }
}

// GBK keeps the private-use code points of the characters GB18030-2022
// moved, and reads 0x80 as the euro sign, as tables in GBK read.
TEST(TextStream, GbkAndGb18030ReadAsTheirTablesRead) {
    const std::string moved = "\xA6\xD9\xA6\xDA\xFE\x59 \xB0\xA1\n";
    for (const auto& [e, bytes] :
         {std::pair{Encoding::Gbk, moved + "\x80"}, {Encoding::Gb18030, moved + "\x81\x30\x81\x30"}}) {
        std::vector<char32_t> expected;
        DecodeCodePoints(DecodeText(bytes, e).text, TextEncodingOf(e), expected);
        const Read r = ReadText(bytes, e, 3, 2);
        EXPECT_EQ(r.failure, "") << EncodingName(e);
        EXPECT_TRUE(r.text == std::u32string(expected.begin(), expected.end())) << EncodingName(e);
    }
}

TEST(TextStream, EveryCutOfTheBlocksGivesTheCodePointsOfOneRead) {
    for (Encoding e : kEncodings) {
        for (bool bom : {false, true}) {
            const std::string bytes = Bytes(Prose(e == Encoding::Gbk), e, bom && e != Encoding::Gbk);
            const Read whole = ReadText(bytes, e);
            for (std::size_t most = 1; most <= 7; ++most) {
                for (std::size_t size : {1u, 3u, 5u, 7u, 1001u}) {
                    const Read r = ReadText(bytes, e, most, size);
                    EXPECT_TRUE(r.text == whole.text) << EncodingName(e) << " in blocks of " << most << ", " << size;
                }
            }
        }
    }
}

TEST(TextStream, RecognisesTheEncodingDecodeTextDoes) {
    const std::u32string prose = Prose(true);
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"UTF-8 prose", Bytes(prose, Encoding::Utf8, false)},
        {"GBK prose", Bytes(prose, Encoding::Gbk, false)},
        {"UTF-16LE without mark", Bytes(prose, Encoding::Utf16le, false)},
        {"UTF-16BE without mark", Bytes(prose, Encoding::Utf16be, false)},
        {"a close call", Bytes(U"Сибирь\n", Encoding::Utf8, false)},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        const DecodedText d = DecodeText(c.bytes, Encoding::Auto);
        for (std::size_t most : {1u, 5u, 1u << 20}) {
            const Read r = ReadText(c.bytes, Encoding::Auto, most);
            EXPECT_EQ(r.encoding, d.encoding) << c.name;
            EXPECT_EQ(r.closeCall, d.closeCall) << c.name;
        }
    }
}

TEST(TextStream, FailuresNameTheFileAndTheLineWhateverTheCut) {
    const struct {
        const char* name;
        std::string bytes;
        Encoding encoding;
        const char* message;  // how it begins
    } cases[] = {
        {"invalid UTF-8", "a\r\nb\rc\xC0\xAF d\n", Encoding::Utf8, "\"t.txt\", line 3: bytes 0xC0 0xAF 0x20 0x64"},
        {"UTF-8 ending inside a character", "a\n\xE6\xB1", Encoding::Utf8, "\"t.txt\", line 2: the file ends inside"},
        {"a lone low surrogate", std::string("a\0\n\0\0\xDC\x41\0", 8), Encoding::Utf16le,
         "\"t.txt\", line 2: bytes 0x00 0xDC 0x41 0x00 are not valid UTF-16LE"},
        {"a lone high surrogate", std::string("\xD8\0\0\x41", 4), Encoding::Utf16be,
         "\"t.txt\", line 1: bytes 0xD8 0x00 0x00 0x41"},
        {"an odd byte", std::string("\0a\0", 3), Encoding::Utf16be, "\"t.txt\", line 1: the file ends inside"},
        {"a truncated four-byte character", "\xB0\xA1\r\n\r\n\x81\x30\x81", Encoding::Gb18030,
         "\"t.txt\", line 3: the file ends inside a GB18030 character (0x81 0x30 0x81)"},
        {"no GBK character", "a\n\n\n\x81\x20zz", Encoding::Gbk, "\"t.txt\", line 4: bytes 0x81 0x20 0x7A 0x7A"},
        {"a NUL byte", std::string("a\r\n\xB0\xA1\n\r\0", 8), Encoding::Gb18030, "\"t.txt\", line 4 holds a NUL byte"},
        {"a NUL unit", std::string("a\0\n\0\0\0", 6), Encoding::Utf16le, "\"t.txt\", line 2 holds a NUL byte"},
    };
    for (const auto& c : cases) {
        for (std::size_t most = 1; most <= 7; ++most) {
            const Read r = ReadText(c.bytes, c.encoding, most, most);
            EXPECT_EQ(r.failure.rfind(c.message, 0), 0u) << c.name << ": " << r.failure;
        }
        // UTF-8 and UTF-16 fail as the whole-file decoder does.
        if (c.encoding != Encoding::Gbk && c.encoding != Encoding::Gb18030 && c.bytes.find('\0') == c.bytes.npos) {
            try {
                DecodeText(c.bytes, c.encoding);
                ADD_FAILURE() << c.name << " decodes whole";
            } catch (const Failure& f) {
                EXPECT_EQ("\"t.txt\", line" + std::string(f.what()).substr(4), ReadText(c.bytes, c.encoding).failure);
            }
        }
    }
}

// 100 MB of text without a line break, generated as read, ending in a byte
// that is no character.
TEST(TextStream, MemoryStaysFlatOnALongLine) {
    constexpr std::size_t kSize = 100'000'000;
    class Generated final : public ByteSource {
    public:
        std::size_t read(char* buffer, std::size_t size) override {
            std::size_t n = 0;
            for (; n < size && at_ < kSize; ++n, ++at_) buffer[n] = at_ + 1 == kSize ? '\xFF' : "\xE6\xB1\x89"[at_ % 3];
            return n;
        }
        void rewind() override { at_ = 0; }

    private:
        std::size_t at_ = 0;
    } source;
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    TextStream stream(source, Encoding::Auto, "t.txt");
    std::u32string block;
    std::size_t count = 0;
    try {
        for (; stream.next(block, 1 << 16); block.clear()) count += block.size();
        ADD_FAILURE() << "the last byte read";
    } catch (const Failure& f) {
        EXPECT_EQ(std::string(f.what()).rfind("\"t.txt\", line 1: bytes 0xFF", 0), 0u) << f.what();
    }
    getrusage(RUSAGE_SELF, &after);
    EXPECT_GT(count, kSize / 3 - (1 << 16));  // all but the block that failed
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024) << "kilobytes";
}

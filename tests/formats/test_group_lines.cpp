// A table read straight into the group lines the derivations run on gives
// what the document ReadTable reads gives, byte for byte, and fails alike.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/failure.h"
#include "formats/convert.h"
#include "formats/document.h"
#include "tests/test_util.h"

using namespace zelmora::formats;
using zelmora::Failure;

namespace {

std::string Gb(std::string_view utf8) { return testutil::Convert("gb18030", "UTF-8", utf8); }

const char* const kHeader = "# Rime dictionary\n---\nname: t\nversion: \"1\"\n...\n";

std::string FailureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.what();
    }
    return "(no failure)";
}

std::string SwapLinefeeds(std::string s) {
    for (char& c : s)
        if (c == '\n') c = '\r';
    return s;
}

std::string CrLf(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// Forty candidates of one code, weights repeating, between other codes.
std::string ManyCandidates() {
    std::string lines = "了\tb\t1\n";
    for (int k = 0; k < 40; ++k) lines += "字" + std::to_string(k) + "\taa\t" + std::to_string(k * 7 % 5) + "\n";
    return lines + "子\tb\t2\n";
}

struct Case {
    const char* name;
    std::string bytes;
    Encoding encoding = Encoding::Auto;
    Format format = Format::Auto;
};

std::vector<Case> RimeCases() {
    const std::string h = kHeader;
    auto header = [](const std::string& settings) { return "---\nname: t\n" + settings + "...\n"; };
    return {
        {"weights order each code's words, ties in file order", h + "工\ta\t5\n式\ta\t9\n戈\ta\t5\n也\tb\n地\tb\t1\n"},
        {"codes apart come together where they first stand", h + "工\ta\t1\n了\tb\t1\n戈\ta\t2\n子\tb\t3\n"},
        {"file order without by_weight", header("sort: original\n") + "工\ta\t1\n戈\ta\t9\n"},
        {"columns reordered, with a stem",
         header("columns:\n  - code\n  - weight\n  - stem\n  - text\n") + "a\t3\taa\t工\na\t7\t\t戈\nb\t\tbb\t了\n"},
        {"no weight column", header("columns:\n  - text\n  - code\n") + "工\ta\t99\n戈\ta\t1\n"},
        {"weights as strtod reads them",
         h + "一\ta\t1e3\n二\ta\t999.5\n三\ta\t-4\n四\ta\t+7\n五\ta\t0x10\n六\ta\t1234567890123456789\n七\ta\t"
             "123456789012345\n八\ta\t 12\n九\ta\tx\n十\ta\t0012\n"},
        {"weights that are no number among others",
         h + "一\ta\t3\n二\ta\tnan\n三\ta\t5\n四\ta\t-nan\n五\ta\t1\n六\ta\tinf\n七\ta\t5\n八\ta\tnan\n"},
        {"a code of many candidates", h + ManyCandidates()},
        {"comments, blanks and lines without a code or text",
         h + "# a comment\n\n  \t \n工\ta\t1\n只有字\n\tb\t2\n了\t\t3\n戈\ta\t2\n"},
        {"# no comment makes # lines data", h + "# no comment\n#\ta\t1\n工\ta\t2\n"},
        {"CR LF, lone CR and no last break", "---\r\nname: t\r\n...\r\n工\ta\t1\r\n戈\ta\t2\r了\tb\t1"},
        {"words and codes that need quoting", h + "工 作\ta\t1\n\"戈\"\ta\t2\n了\ta b\t1\n\\\tc\t1\n"},
        {"four-byte and GB18030-2022's moved characters", h + "𠀀\ta\t1\n龴\ta\t2\n\xEF\xB8\x90\tb\t1\n"},
        {"a UTF-8 byte-order mark", "\xEF\xBB\xBF" + h + "工\ta\t1\n"},
        {"GB18030 bytes", Gb(h + "工\ta\t1\n戈\ta\t2\n"), Encoding::Gb18030},
        {"the header alone", h},
        {"the format given", h + "工\ta\t1\n", Encoding::Utf8, Format::Rime},
        {"a Rime header read as another format", h + "a 工\n", Encoding::Utf8, Format::Plain},
    };
}

TEST(GroupLines, ReadStraightFromARimeDictionaryAsFromItsDocument) {
    for (const Case& c : RimeCases()) {
        const TableDocument doc = ReadTable(c.bytes, c.encoding, c.format);
        for (bool keep : {false, true}) {
            const GroupLineTable t =
                ReadGroupLines(c.bytes, c.encoding, c.format, [&](Encoding, bool) { return keep; });
            EXPECT_EQ(t.groupLines, ToGroupLines(doc)) << c.name;
            EXPECT_EQ(t.encoding, doc.encoding) << c.name;
            EXPECT_EQ(t.hadBom, doc.hadBom) << c.name;
            EXPECT_EQ(t.format, doc.format) << c.name;
            // Only a Rime dictionary is read without its document, when asked so.
            EXPECT_EQ(t.document.has_value(), keep || doc.format != Format::Rime) << c.name;
            if (t.document) {
                EXPECT_EQ(t.document->entries, doc.entries) << c.name;
            }
        }
    }
}

// Past a megabyte of data lines two readers take half each: what one reader
// makes of them, and its failures, whatever the halves hold.
TEST(GroupLines, ABigDictionaryReadInTwoHalvesAsInOne) {
    std::string lines;
    for (int k = 0; lines.size() < (std::size_t(3) << 19); ++k)
        lines += "词" + std::to_string(k % 977) + "\t" + std::string(1, static_cast<char>('a' + k % 26)) +
                 std::string(1, static_cast<char>('a' + k % 7)) + "\t" + std::to_string(k % 13) + "\n";
    const std::string h = kHeader, nul(1, '\0');
    const std::size_t half = lines.size() / 2;
    const std::vector<Case> cases = {
        {"halves alike", h + lines + lines},
        {"a NUL byte in the second half", h + lines + lines.substr(0, half) + nul + lines},
        {"a NUL byte in the first half", h + lines.substr(0, half) + nul + lines + lines},
        {"NUL bytes in both", h + lines.substr(0, half) + nul + lines + nul + lines},
        {"comments turned off in the first half", h + "# no comment\n#\tzz\t1\n" + lines + "#\tzz\t2\n" + lines},
        {"comments turned off in the second half", h + lines + lines + "# no comment\n#\tzz\t1\n" + lines},
        {"CR line breaks only", h + SwapLinefeeds(lines + lines)},
        {"CR LF line breaks", h + CrLf(lines + lines)},
        {"lines without a code", h + lines + "词\n\t\t\n" + lines},
    };
    for (const Case& c : cases) {
        std::string whole;
        const std::string expected = FailureOf([&] { whole = ToGroupLines(ReadTable(c.bytes)); });
        std::string halves;
        EXPECT_EQ(FailureOf([&] { halves = ReadGroupLines(c.bytes, Encoding::Auto, Format::Auto, {}).groupLines; }),
                  expected)
            << c.name;
        EXPECT_EQ(halves, whole) << c.name;
    }
}

TEST(GroupLines, EverySampleFormatGivesItsDocumentsGroupLines) {
    for (const char* file :
         {"rime_wubi.dict.yaml", "libime_wubi.txt", "fcitx4_wubi.txt", "ibus_wubi.txt", "yong_wubi.txt",
          "duoduo_wubi.txt", "bingling_wubi.txt", "sogou_phrase.txt", "baidu_phrase.txt", "plain_wubi_gbk.txt"}) {
        const std::string bytes = testutil::FormatsSample(file);
        const GroupLineTable t = ReadGroupLines(bytes, Encoding::Auto, Format::Auto, {});
        EXPECT_EQ(t.groupLines, ToGroupLines(ReadTable(bytes))) << file;
    }
}

TEST(GroupLines, FailsAsReadingTheDocumentFails) {
    const std::string h = kHeader;
    const std::vector<Case> cases = {
        {"a NUL byte on a data line", h + "工\ta\t1\n戈\ta" + std::string(1, '\0') + "\t2\n"},
        {"a NUL byte in the header", "---\nname: t" + std::string(1, '\0') + "\n...\n工\ta\n"},
        {"no end line", "---\nname: t\n工\ta\t1\n"},
        {"a header that is no YAML", "---\nname: [t\n...\n工\ta\t1\n"},
        {"bytes that are no UTF-8", h + "工\ta\t1\n\xE5\xB7\n", Encoding::Utf8},
        {"the file ends inside a character", h + "工\ta\t1\n\xE5\xB7", Encoding::Utf8},
        {"given as Rime, a plain table", "a 工\n", Encoding::Utf8, Format::Rime},
        {"given as Rime, another format's header", "[Data]\na 工\n", Encoding::Utf8, Format::Rime},
    };
    for (const Case& c : cases) {
        const std::string expected = FailureOf([&] { ReadTable(c.bytes, c.encoding, c.format); });
        EXPECT_NE(expected, "(no failure)") << c.name;
        EXPECT_EQ(FailureOf([&] { ReadGroupLines(c.bytes, c.encoding, c.format, {}); }), expected) << c.name;
    }
}

}  // namespace

// A writer without its source is refused where the results would need the
// source's entries (weights, stems, lines to name), never left to drop them.
TEST(GroupLines, AWriterWithoutItsSourceOnlyForPlainResultsThatLackNothing) {
    const struct {
        Format format;
        Encoding encoding;
        bool allowed;
    } cases[] = {
        {Format::Plain, Encoding::Utf8, true}, {Format::Plain, Encoding::Gb18030, true},
        {Format::Plain, Encoding::Gbk, false},  // may lack characters: the lines are named
        {Format::Rime, Encoding::Utf8, false}, {Format::Ibus, Encoding::Utf8, false},
    };
    for (const auto& c : cases) {
        OutputSettings out;
        out.write.format = c.format;
        out.write.encoding = c.encoding;
        out.write.textEncoding = zelmora::TextEncoding::Gb18030;
        EXPECT_EQ(!ResultWriter::NeedsSource(out), c.allowed)
            << FormatName(c.format) << " " << EncodingName(c.encoding);
        bool built = true;
        try {
            ResultWriter writer(out);
        } catch (const std::logic_error&) {
            built = false;
        }
        EXPECT_EQ(built, c.allowed) << FormatName(c.format) << " " << EncodingName(c.encoding);
    }
}

// Tables in the formats and encodings of input engines: reading, writing back,
// candidate order, and what the derivations make of them.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "core/code_table.h"
#include "core/collation.h"
#include "core/failure.h"
#include "core/text.h"
#include "formats/checking.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/encoding_internal.h"
#include "formats/writing.h"
#include "tests/test_util.h"
#include "transform/expand.h"
#include "transform/pipeline.h"

using namespace zelmora::formats;
using zelmora::Failure;

namespace {

std::string Slurp(const std::string& name) { return testutil::FormatsSample(name); }

std::string Gb(std::string_view utf8) { return testutil::Convert("gb18030", "UTF-8", utf8); }
std::string Utf8(std::string_view gb) { return testutil::Convert("UTF-8", "gb18030", gb); }

using zelmora::TextEncoding;

std::string SwapLineBreaks(const std::string& s) {
    if (s.find("\r\n") != std::string::npos) {
        std::string out;
        for (char c : s)
            if (c != '\r') out += c;
        return out;
    }
    std::string out;
    for (char c : s) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.what();
    }
    return "(no failure)";
}

struct Sample {
    const char* file;
    Format format;
};
const Sample kSamples[] = {{"rime_wubi.dict.yaml", Format::Rime},    {"libime_wubi.txt", Format::Libime},
                           {"fcitx4_wubi.txt", Format::Fcitx4},      {"ibus_wubi.txt", Format::Ibus},
                           {"yong_wubi.txt", Format::Yong},          {"duoduo_wubi.txt", Format::Duoduo},
                           {"bingling_wubi.txt", Format::Bingling},  {"sogou_phrase.txt", Format::SogouPhrase},
                           {"baidu_phrase.txt", Format::BaiduPhrase}};

// The same table as GBK group lines, candidates in the order the samples give.
std::string GbkTable() { return Slurp("plain_wubi_gbk.txt"); }

std::string WriteBack(const TableDocument& doc) {
    WriteOptions o;
    o.format = doc.format;
    o.encoding = doc.encoding;
    o.bom = doc.hadBom;
    return WriteTable(doc, o);
}

}  // namespace

TEST(FormatsRoundTrip, EverySampleComesBackByteForByteInEveryEncoding) {
    for (const auto& s : kSamples) {
        const std::string utf8 = Slurp(s.file);
        ASSERT_FALSE(utf8.empty()) << s.file;
        struct Variant {
            std::string name, bytes;
            Encoding given, expected;
        };
        const std::vector<Variant> variants = {
            {"as written", utf8, Encoding::Auto, Encoding::Utf8},
            {"other line breaks", SwapLineBreaks(utf8), Encoding::Auto, Encoding::Utf8},
            {"UTF-8 with BOM", "\xEF\xBB\xBF" + utf8, Encoding::Auto, Encoding::Utf8},
            {"UTF-16LE with BOM", "\xFF\xFE" + testutil::Convert("UTF-16LE", "UTF-8", utf8), Encoding::Auto,
             Encoding::Utf16le},
            {"UTF-16BE with BOM", "\xFE\xFF" + testutil::Convert("UTF-16BE", "UTF-8", utf8), Encoding::Auto,
             Encoding::Utf16be},
            {"UTF-16BE without BOM", testutil::Convert("UTF-16BE", "UTF-8", utf8), Encoding::Utf16be,
             Encoding::Utf16be},
            {"GB18030", Gb(utf8), Encoding::Auto, Encoding::Gb18030},
            {"GBK", Gb(utf8), Encoding::Gbk, Encoding::Gbk},
        };
        for (const auto& v : variants) {
            TableDocument doc = ReadTable(v.bytes, v.given);
            EXPECT_EQ(doc.format, s.format) << s.file << ", " << v.name;
            EXPECT_EQ(doc.encoding, v.expected) << s.file << ", " << v.name;
            EXPECT_EQ(doc.entries.size(), 13u) << s.file << ", " << v.name;
            EXPECT_EQ(WriteBack(doc), v.bytes) << s.file << ", " << v.name;
        }
    }
}

TEST(FormatsRead, EveryFormatGivesTheSameGroupLinesInCandidateOrder) {
    // Rime's candidates are out of weight order in the file; "sort: by_weight"
    // orders them, and codes keep the order of their first appearance.
    const std::string expected = zelmora::TrimText(zelmora::NormalizeLineBreaks(GbkTable()));
    for (const auto& s : kSamples) {
        TableDocument doc = ReadTable(Slurp(s.file));
        EXPECT_EQ(Utf8(ToGroupLines(doc)), Utf8(expected)) << s.file;
    }
    TableDocument plain = ReadTable(GbkTable(), Encoding::Gbk, Format::Plain);
    EXPECT_EQ(ToGroupLines(plain), zelmora::NormalizeLineBreaks(GbkTable()));
}

TEST(FormatsRead, RimeKeepsWeightsStemsAndFileOrderWithoutByWeight) {
    TableDocument doc = ReadTable(Slurp("rime_wubi.dict.yaml"));
    ASSERT_GE(doc.entries.size(), 2u);
    EXPECT_EQ(doc.entries[0].word, Gb("工"));
    EXPECT_EQ(doc.entries[0].weight, std::optional<std::string>("99454797"));
    EXPECT_EQ(doc.entries[0].stem, std::optional<std::string>("aa"));
    EXPECT_EQ(doc.entries[1].stem, std::nullopt);
    // The commented-out candidate is no entry, and the header is kept whole.
    for (const auto& e : doc.entries) EXPECT_NE(e.word, Gb("#子"));
    EXPECT_NE(doc.opaque.find("sort: by_weight"), std::string::npos);

    std::string original = Slurp("rime_wubi.dict.yaml");
    std::string unsorted = original;
    unsorted.replace(unsorted.find("\nsort: by_weight"), 16, "\nsort: original");
    TableDocument fileOrder = ReadTable(unsorted);
    EXPECT_EQ(Utf8(ToGroupLines(fileOrder)).rfind("a 工 戈\r\naa 式\r\naaaa 工 恭恭敬敬\r\n", 0), 0u);
}

TEST(FormatsWrite, AChangedEntryRewritesOnlyItsLine) {
    for (const auto& s : kSamples) {
        std::string original = Slurp(s.file);
        TableDocument doc = ReadTable(original);
        for (auto& e : doc.entries)
            if (e.code == "ab" && e.word == Gb("芭")) e.word = Gb("苩");
        std::string written = WriteBack(doc);
        std::string expected = original;
        std::size_t at = expected.find("芭");
        ASSERT_NE(at, std::string::npos) << s.file;
        expected.replace(at, std::string("芭").size(), "苩");
        EXPECT_EQ(written, expected) << s.file;
    }
}

TEST(FormatsWrite, ConversionBetweenFormatsKeepsEveryEntry) {
    for (const auto& from : kSamples) {
        TableDocument src = ReadTable(Slurp(from.file));
        for (const auto& to : kSamples) {
            WriteOptions o;
            o.format = to.format;
            o.encoding = Encoding::Utf8;
            std::string bytes = WriteTable(src, o);
            TableDocument back = ReadTable(bytes);
            EXPECT_EQ(back.format, to.format) << from.file << " -> " << to.file;
            EXPECT_EQ(ToGroupLines(back), ToGroupLines(src)) << from.file << " -> " << to.file;
        }
    }
    // Weights go along where the format has them.
    TableDocument rime = ReadTable(Slurp("rime_wubi.dict.yaml"));
    WriteOptions o;
    o.format = Format::Ibus;
    TableDocument ibus = ReadTable(WriteTable(rime, o));
    EXPECT_EQ(ibus.entries[0].weight, std::optional<std::string>("99454797"));
    // Pinyin, prompt and phrase lines have no equivalent elsewhere: counted, left out.
    std::size_t dropped = 0;
    WriteTable(ReadTable(Slurp("libime_wubi.txt")), o, &dropped);
    EXPECT_EQ(dropped, 4u);
}

TEST(FormatsPipeline, ResultsEqualThoseOfTheSameTableInGbk) {
    zelmora::PipelineResult gbk = zelmora::RunPipeline(GbkTable(), std::nullopt, TextEncoding::Gbk);
    for (const auto& s : kSamples) {
        TableDocument doc = ReadTable(Slurp(s.file));
        zelmora::PipelineResult r = zelmora::RunPipeline(ToGroupLines(doc), std::nullopt, TextEncoding::Gb18030);
        EXPECT_EQ(r.statusLines, gbk.statusLines) << s.file;
        ASSERT_EQ(r.outputs.size(), gbk.outputs.size());
        for (std::size_t i = 0; i < r.outputs.size(); ++i)
            EXPECT_EQ(r.outputs[i], gbk.outputs[i]) << s.file << ": " << gbk.outputs[i].first;
    }
}

TEST(FormatsPipeline, ExtensionBCharactersGoThroughTheDerivationsWhole) {
    TableDocument doc = ReadTable(Slurp("rime_extb.dict.yaml"));
    EXPECT_EQ(doc.textEncoding(), TextEncoding::Gb18030);
    std::string source = ToGroupLines(doc);
    EXPECT_EQ(Utf8(source), "a 工 𠀀\r\naaaa 𠀀 工\r\nwwww 𪚥\r\nww 𪚥");
    // Four-byte characters hide no separator: tokens, code lengths and tails stay whole.
    EXPECT_EQ(testutil::Vec(zelmora::SplitTokens(Gb("aaaa 𠀀 工"))),
              (std::vector<std::string>{"aaaa", Gb("𠀀"), Gb("工")}));
    EXPECT_EQ(zelmora::CodeLength(Gb("aaaa 𠀀")), 4);
    EXPECT_EQ(zelmora::WordTail(Gb("ww 𪚥")), Gb(" 𪚥"));
    EXPECT_EQ(zelmora::DoubleByteCharCount(Gb("a 工 𠀀"), TextEncoding::Gb18030), 2);

    zelmora::PipelineResult r = zelmora::RunPipeline(source, std::nullopt, doc.textEncoding());
    std::map<std::string, std::string> out(r.outputs.begin(), r.outputs.end());
    std::string entries = Utf8(out["一字一行"]);
    for (const char* line : {"a 工", "a 𠀀", "aaaa 𠀀", "aaaa 工", "wwww 𪚥", "ww 𪚥"})
        EXPECT_NE(entries.find(line), std::string::npos) << line;
    EXPECT_EQ(Utf8(out["最简二码"]), "ww 𪚥");
    EXPECT_NE(Utf8(out["重码"]).find("aaaa 𠀀 工"), std::string::npos);
    bool found = false;
    for (const auto& [tab, status] : r.statusLines)
        if (tab == "重码") {
            found = true;
            EXPECT_EQ(status, "重码：2行 4字；不重码2");
        }
    EXPECT_TRUE(found);
    // UTF-8 holds them; GBK does not, and says where.
    EXPECT_NE(EncodeText(out["一字一行"], Encoding::Utf8, false, TextEncoding::Gb18030).find("𠀀"), std::string::npos);
    std::string m = MessageOf([&] { EncodeText(out["最简二码"], Encoding::Gbk, false, TextEncoding::Gb18030); });
    EXPECT_NE(m.find("Line 1"), std::string::npos) << m;
    EXPECT_NE(m.find("U+2A6A5"), std::string::npos) << m;
}

TEST(FormatsEncoding, Utf16WithoutByteOrderMark) {
    // "aaaa 工\r\n" in UTF-16, both byte orders, no mark.
    const std::string le("a\0a\0a\0a\0 \0\xE5\x5D\r\0\n\0", 16);
    const std::string be("\0a\0a\0a\0a\0 \x5D\xE5\0\r\0\n", 16);
    DecodedText l = DecodeText(le, Encoding::Auto);
    EXPECT_EQ(l.encoding, Encoding::Utf16le);
    EXPECT_FALSE(l.hadBom);
    EXPECT_EQ(l.text, "aaaa " + testutil::G("工") + "\r\n");
    DecodedText b = DecodeText(be, Encoding::Auto);
    EXPECT_EQ(b.encoding, Encoding::Utf16be);
    EXPECT_EQ(b.text, l.text);
    // Text of CJK only (no zeros) is not taken for UTF-16.
    EXPECT_EQ(DecodeText(testutil::G("工工"), Encoding::Auto).encoding, Encoding::Gb18030);
}

TEST(FormatsEncoding, AutoDetectionAndItsFailures) {
    EXPECT_EQ(DecodeText("a \xE5\xB7\xA5", Encoding::Auto).encoding, Encoding::Utf8);
    EXPECT_EQ(DecodeText("plain ascii", Encoding::Auto).encoding, Encoding::Utf8);
    DecodedText gbk = DecodeText(testutil::G("a 工"), Encoding::Auto);
    EXPECT_EQ(gbk.encoding, Encoding::Gb18030);
    EXPECT_EQ(gbk.text, testutil::G("a 工"));  // kept as it is
    DecodedText bom = DecodeText(
        "\xEF\xBB\xBF"
        "a",
        Encoding::Auto);
    EXPECT_TRUE(bom.hadBom);
    EXPECT_EQ(bom.text, "a");
    // A BOM that is not the given encoding's stays part of the text.
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF"
                         "a",
                         Encoding::Gbk)
                  .text,
              "\xEF\xBB\xBF"
              "a");

    // A UTF-8 file cut inside its last character: named, not read as GB18030.
    std::string cut = "a \xE5\xB7\xA5\nb \xE5\xB7\xA5\nc \xE5\xB7";
    std::string m = MessageOf([&] { ReadTable(cut); });
    EXPECT_NE(m.find("Line 3"), std::string::npos) << m;
    EXPECT_NE(m.find("truncated"), std::string::npos) << m;
    m = MessageOf([&] { DecodeText("a\r\nb\r\n" + testutil::G("工"), Encoding::Utf8); });
    EXPECT_NE(m.find("Line 3"), std::string::npos) << m;
    m = MessageOf([&] { DecodeText(std::string("a\0\n\0b", 5), Encoding::Utf16le); });
    EXPECT_NE(m.find("truncated"), std::string::npos) << m;
    m = MessageOf([&] { DecodeText(std::string("\x00\xD8\x41\x00", 4), Encoding::Utf16le); });
    EXPECT_NE(m.find("not valid UTF-16LE"), std::string::npos) << m;
    EXPECT_EQ(MessageOf([] { ParseEncoding("latin1"); }).find("Unknown encoding"), 0u);
    EXPECT_EQ(MessageOf([] { ParseFormat("xml"); }).find("Unknown format"), 0u);
}

TEST(FormatsEncoding, WritingNamesTheLineOfACharacterTheEncodingLacks) {
    std::vector<TableEntry> entries = {{"a", Gb("工"), {}, {}}, {"aa", Gb("式"), {}, {}}, {"wwww", Gb("𪚥"), {}, {}}};
    std::string m = MessageOf([&] { WriteEntries(entries, Format::Plain, Encoding::Gbk); });
    EXPECT_NE(m.find("Line 3"), std::string::npos) << m;
    m = MessageOf([&] { WriteEntries(entries, Format::Yong, Encoding::Gbk); });
    EXPECT_NE(m.find("Line 7"), std::string::npos) << m;  // after the four header lines
    EXPECT_EQ(Utf8(ToGroupLines(ReadTable(WriteEntries(entries, Format::Rime, Encoding::Utf16le, true)))),
              "a 工\r\naa 式\r\nwwww 𪚥");
    EXPECT_EQ(WriteEntries(entries, Format::Plain, Encoding::Gb18030), Gb("a 工\r\naa 式\r\nwwww 𪚥\r\n"));
}

TEST(FormatsRead, TruncatedFilesAndWrongFormatsFailClearly) {
    std::string rime = Slurp("rime_wubi.dict.yaml");
    std::string m = MessageOf([&] { ReadTable(rime.substr(0, rime.find("encoder:"))); });
    EXPECT_NE(m.find("Line 7"), std::string::npos) << m;
    EXPECT_NE(m.find("truncated"), std::string::npos) << m;
    std::string ibus = Slurp("ibus_wubi.txt");
    m = MessageOf([&] { ReadTable(ibus.substr(0, ibus.find("wq\t"))); });
    EXPECT_NE(m.find("END_TABLE"), std::string::npos) << m;
    EXPECT_NE(m.find("truncated"), std::string::npos) << m;
    std::string libime = Slurp("libime_wubi.txt");
    m = MessageOf([&] { ReadTable(libime.substr(0, libime.find("[Data]"))); });
    EXPECT_NE(m.find("[Data]"), std::string::npos) << m;
    std::string yong = Slurp("yong_wubi.txt");
    m = MessageOf([&] { ReadTable(yong.substr(0, yong.find("[DATA]"))); });
    EXPECT_NE(m.find("[DATA]"), std::string::npos) << m;

    // The header of another format, given with the wrong --format: read as
    // given, and the failure of that reading names the line that shows the
    // other format.
    m = MessageOf([&] { ReadTable(rime, Encoding::Auto, Format::Libime); });
    EXPECT_NE(m.find("--format rime"), std::string::npos) << m;
    m = MessageOf([&] { ReadTable(Slurp("ibus_wubi.txt"), Encoding::Auto, Format::Yong); });
    EXPECT_NE(m.find("No [DATA] line"), std::string::npos) << m;
    EXPECT_NE(m.find("--format ibus"), std::string::npos) << m;
    EXPECT_NE(m.find("looks like the header of an ibus-table table"), std::string::npos) << m;
    m = MessageOf([&] { ReadTable(rime, Encoding::Auto, Format::Ibus); });
    EXPECT_NE(m.find("No BEGIN_TABLE line"), std::string::npos) << m;
    EXPECT_NE(m.find("(line 7, \"---\", looks like the header of a Rime table"), std::string::npos) << m;
    // Plain reads any lines: the header's are lines without words.
    const TableDocument asPlain = ReadTable(libime, Encoding::Auto, Format::Plain);
    EXPECT_EQ(asPlain.format, Format::Plain);
    ASSERT_FALSE(asPlain.problems.empty());
    EXPECT_EQ(asPlain.problems[0].message, "a code without words");
    m = MessageOf([&] { ReadTable(GbkTable(), Encoding::Gbk, Format::Rime); });
    EXPECT_NE(m.find("No Rime header"), std::string::npos) << m;
    // libime and fcitx4 read each other's keywords, as their engines do.
    EXPECT_EQ(ReadTable(Slurp("fcitx4_wubi.txt"), Encoding::Auto, Format::Libime).entries.size(), 13u);
}

TEST(FormatsCheck, ReportsEachKindOfSuspiciousLine) {
    TableDocument doc = ReadTable(Slurp("plain_suspicious.txt"));
    std::vector<TableProblem> found = CheckTable(doc);
    const std::vector<std::pair<std::size_t, std::string>> expected = {
        {2, "word \"式\" under code \"aa\" again (first on line 2)"},
        {3, "code \"ABC\" has characters outside a-z"},
        {4, "code \"aaaaa\" is longer than four letters"},
        {5, "blank line"},
        {6, "a code without words"},
        {7, "does not round-trip: would be written back as \"aad 其\""}};
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].line, expected[i].first);
        EXPECT_EQ(found[i].message, expected[i].second);
    }
    for (const auto& s : kSamples) EXPECT_TRUE(CheckTable(ReadTable(Slurp(s.file))).empty()) << s.file;
    // Bytes that are no GBK character, on the line they stand on.
    TableDocument bad = ReadTable("a x\r\nb \x81\x20y\r\n", Encoding::Gbk, Format::Plain);
    found = CheckTable(bad);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].line, 2u);
    EXPECT_NE(found[0].message.find("0x81"), std::string::npos);
}

TEST(FormatsWrite, AFirstCodeBeginningWithTheByteOrderMarksCharacterComesBack) {
    // U+FEFF at the very start reads as a byte-order mark: written without
    // one, the code would lose it.
    const std::string plain = Gb("\uFEFF\uFEFFa 工\r\nb 了\r\n");  // the mark, then the code
    TableDocument doc = ReadTable(plain, Encoding::Gb18030, Format::Plain);
    ASSERT_EQ(doc.entries.front().code, Gb("\uFEFFa"));
    for (Encoding e : {Encoding::Gb18030, Encoding::Utf8, Encoding::Utf16le, Encoding::Utf16be}) {
        WriteOptions o;
        o.format = Format::Plain;
        o.encoding = e;
        const std::string written = WriteTable(doc, o);
        EXPECT_EQ(ReadTable(written, e, Format::Plain).entries, doc.entries) << EncodingName(e);
        EXPECT_EQ(ReadTable(written).entries, doc.entries) << EncodingName(e);
    }
}

TEST(FormatsWrite, OtherEncodingsOfTheSameFormatRoundTrip) {
    // yong reads GB18030 unless its header says "encode=UTF-8": the line goes
    // with the encoding, and comes back with it.
    std::string yong = Slurp("yong_wubi.txt");
    TableDocument doc = ReadTable(yong);
    WriteOptions o;
    o.format = Format::Yong;
    o.encoding = Encoding::Gb18030;
    std::string gb = WriteTable(doc, o);
    EXPECT_EQ(gb.find("encode="), std::string::npos);
    TableDocument back = ReadTable(gb);
    EXPECT_EQ(back.encoding, Encoding::Gb18030);
    EXPECT_EQ(back.entries, doc.entries);
    o.encoding = Encoding::Utf8;
    EXPECT_EQ(WriteTable(back, o), yong);

    // Characters beyond the BMP through UTF-16 (surrogate pairs) and back.
    std::string extb = Slurp("rime_extb.dict.yaml");
    TableDocument rime = ReadTable(extb);
    o.format = Format::Rime;
    o.encoding = Encoding::Utf16be;
    o.bom = true;
    std::string utf16 = WriteTable(rime, o);
    EXPECT_EQ(utf16, "\xFE\xFF" + testutil::Convert("UTF-16BE", "UTF-8", extb));
    TableDocument again = ReadTable(utf16);
    EXPECT_TRUE(again.hadBom);
    EXPECT_EQ(again.entries, rime.entries);
    o.encoding = Encoding::Utf8;
    o.bom = false;
    EXPECT_EQ(WriteTable(again, o), extb);
}

TEST(FormatsWrite, EntriesTheTargetWouldReadAsCommentsOrBlanksAreRefused) {
    auto convert = [](const std::string& plain, Format to) {
        WriteOptions o;
        o.format = to;
        o.encoding = Encoding::Utf8;
        return MessageOf([&] { WriteTable(ReadTable(plain, Encoding::Utf8, Format::Plain), o); });
    };
    // Each would be written as a comment or a blank line and vanish on reading.
    EXPECT_NE(convert("a 工\n#a 戈\n", Format::Yong).find("\"#a\" begins with #"), std::string::npos);
    EXPECT_NE(convert("a #工\n", Format::Rime).find("\"#工\" begins with # in the first column"), std::string::npos);
    EXPECT_NE(convert("\" \" \"  \"\n", Format::Rime).find("are only blanks"), std::string::npos);
    EXPECT_NE(convert("###a 工\n", Format::Ibus).find("\"###a\" begins with ###"), std::string::npos);
    EXPECT_NE(convert(";a 工\n", Format::Fcitx4).find("\";a\" begins with ;"), std::string::npos);
    EXPECT_NE(convert("&c 一\n", Format::Fcitx4).find("\"&c\" begins with a pinyin, prompt or phrase key"),
              std::string::npos);

    // A # anywhere else, or where the format reads no comment, goes through and comes back.
    const std::string table = "a#b 工#\n# 戈\n##a 其\n";
    for (Format to : {Format::Yong, Format::Rime, Format::Ibus, Format::Libime, Format::Fcitx4}) {
        WriteOptions o;
        o.format = to;
        o.encoding = Encoding::Utf8;
        TableDocument doc = ReadTable(table, Encoding::Utf8, Format::Plain);
        if (to == Format::Yong) doc.entries.erase(doc.entries.begin() + 1, doc.entries.end());
        TableDocument back = ReadTable(WriteTable(doc, o), Encoding::Utf8, to);
        EXPECT_EQ(back.entries.size(), doc.entries.size()) << FormatName(to);
        for (std::size_t i = 0; i < std::min(back.entries.size(), doc.entries.size()); ++i) {
            EXPECT_EQ(back.entries[i].code, doc.entries[i].code) << FormatName(to);
            EXPECT_EQ(back.entries[i].word, doc.entries[i].word) << FormatName(to);
        }
    }
}

// Every one- and two-byte code of both encodings, and four-byte ones across
// their range, written as UTF-8 from the table of short characters as ICU's
// converter writes them, or refused alike.
TEST(FormatsEncoding, CharactersWrittenAsUtf8AsTheConverterWritesThem) {
    auto hex = [](const std::string& code) {
        std::string h;
        for (unsigned char c : code) h += "0123456789ABCDEF"[c >> 4], h += "0123456789ABCDEF"[c & 15];
        return h;
    };
    std::vector<std::string> codes;
    for (int b = 1; b < 0x80; ++b) codes.emplace_back(1, static_cast<char>(b));
    for (int lead = 0x80; lead <= 0xFF; ++lead)
        for (int trail = 0x30; trail <= 0xFF; ++trail)
            codes.push_back(std::string{static_cast<char>(lead), static_cast<char>(trail)});
    // Four bytes: lead, digit, lead, digit, through the BMP and the planes
    // beyond it; some no character.
    for (int b1 = 0x81; b1 <= 0xFE; b1 += 3)
        for (int b3 = 0x81; b3 <= 0xFE; b3 += 29)
            codes.push_back(std::string{static_cast<char>(b1), static_cast<char>('0' + b1 % 10), static_cast<char>(b3),
                                        static_cast<char>('0' + b3 % 10)});
    for (const zelmora::TextEncoding te : {zelmora::TextEncoding::Gbk, zelmora::TextEncoding::Gb18030}) {
        std::size_t written = 0;
        for (const std::string& code : codes) {
            const std::string text = "a" + code + "\r\n";
            std::string fast, slow = "\xEF\xBB\xBF";
            bool fastFails = false, slowFails = false;
            try {
                fast = EncodeText(text, Encoding::Utf8, true, te);
            } catch (const Failure&) {
                fastFails = true;
            }
            try {
                AppendUtf8ThroughConverter(text, te, slow, 1, kConversionPiece);
            } catch (const Failure&) {
                slowFails = true;
            }
            ASSERT_EQ(fastFails, slowFails) << hex(code);
            if (fastFails) continue;
            ++written;
            ASSERT_EQ(fast, slow) << hex(code);
        }
        EXPECT_GT(written, 20000u);
    }
}

// Every BMP character and characters of the planes beyond, as UTF-8 alone and
// all in one text, decoded from the table of the BMP's characters as ICU's
// converter decodes them; bytes that are no UTF-8 fail alike.
TEST(FormatsEncoding, Utf8DecodedAsTheConverterDecodesIt) {
    auto utf8 = [](char32_t cp) {
        std::u32string one(1, cp);
        return testutil::Convert("UTF-8", "UTF-32LE", std::string_view(reinterpret_cast<const char*>(one.data()), 4));
    };
    std::vector<std::string> texts;
    std::string all;
    for (char32_t cp = 0; cp <= 0x10FFFF; cp += cp < 0x10000 ? 1 : 997) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        texts.push_back("a" + utf8(cp) + "\r\n");
        all += utf8(cp);
    }
    texts.push_back(all);
    // No UTF-8: a lone continuation byte, an overlong form, a surrogate, past
    // U+10FFFF, and a text ending inside a character.
    for (const char* bad : {"a\x80"
                            "b",
                            "\xC0\xAF", "x\xED\xA0\x80", "\xF4\x90\x80\x80", "ab\r\n\xE5\xB7"})
        texts.emplace_back(bad);
    std::size_t decoded = 0;
    for (const std::string& text : texts) {
        std::string slow;
        const std::string slowFailure =
            MessageOf([&] { slow = Utf8ToGb18030ThroughConverter(text, kConversionPiece); });
        std::string fast;
        const std::string fastFailure = MessageOf([&] { fast = DecodeText(text, Encoding::Utf8).text; });
        ASSERT_EQ(fastFailure, slowFailure) << text.size();
        if (fastFailure != "(no failure)") continue;
        ++decoded;
        ASSERT_EQ(fast, slow) << text.size();
    }
    EXPECT_EQ(decoded, texts.size() - 5);
}

// A long text written from the tables of characters fills the room made for
// the most it can take (three bytes for every two), after what was there; the
// BMP's four-byte characters come from their table as the converter gives them.
TEST(FormatsEncoding, LongTextsWrittenAsUtf8AsTheConverterWritesThem) {
    for (const zelmora::TextEncoding te : {zelmora::TextEncoding::Gbk, zelmora::TextEncoding::Gb18030}) {
        std::string twoBytes, mixed;
        for (int lead = 0x81; lead <= 0xFE; ++lead)
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
                if (MessageOf([&] { EncodeText(code, Encoding::Utf8, false, te); }) != "(no failure)") continue;
                twoBytes += code;
                mixed +=
                    code + (trail % 7 ? "" : "a ") +
                    (te == zelmora::TextEncoding::Gb18030 && trail % 11 == 0 ? "\x95\x32\x82\x36\x81\x30\x81\x30" : "");
            }
        // Every four-byte character of the BMP, 81 30 81 30 to 84 31 A4 39.
        std::string fourBytes;
        if (te == zelmora::TextEncoding::Gb18030)
            for (int b1 = 0x81; b1 <= 0x84; ++b1)
                for (int b2 = '0'; b2 <= '9'; ++b2)
                    for (int b3 = 0x81; b3 <= 0xFE; ++b3)
                        for (int b4 = '0'; b4 <= '9'; ++b4) {
                            if (b1 == 0x84 && (b2 > '1' || (b2 == '1' && b3 > 0xA4))) continue;
                            fourBytes += {static_cast<char>(b1), static_cast<char>(b2), static_cast<char>(b3),
                                          static_cast<char>(b4)};
                        }
        for (const std::string& text : {twoBytes, mixed, fourBytes}) {
            std::string slow = "\xEF\xBB\xBF";
            AppendUtf8ThroughConverter(text, te, slow, 1, kConversionPiece);
            EXPECT_EQ(EncodeText(text, Encoding::Utf8, true, te), slow);
        }
    }
}

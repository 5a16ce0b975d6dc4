// The formats of the Windows input methods and typing simulators: files
// written by hand from each format's description, recognised and read in
// candidate order; what the writers write and refuse; positions; headers
// kept; the encoding chosen when none is asked for.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/failure.h"
#include "formats/checking.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/reading.h"
#include "formats/writing.h"
#include "tests/test_util.h"

using namespace zelmora::formats;
using zelmora::Failure;

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;  // code, word, UTF-8

std::string Utf16leBom(const std::string& utf8) { return "\xFF\xFE" + testutil::Convert("UTF-16LE", "UTF-8", utf8); }
std::string Gb(const std::string& utf8) { return testutil::Convert("gb18030", "UTF-8", utf8); }
std::string Utf8(const std::string& gb) { return testutil::Convert("UTF-8", "gb18030", gb); }

Pairs PairsOf(const std::vector<TableEntry>& entries) {
    Pairs pairs;
    for (const TableEntry& e : entries) pairs.emplace_back(Utf8(e.code), Utf8(e.word));
    return pairs;
}

std::vector<TableEntry> EntriesOf(const Pairs& pairs) {
    std::vector<TableEntry> entries;
    for (const auto& [code, word] : pairs) entries.push_back({Gb(code), Gb(word), {}, {}});
    return entries;
}

}  // namespace

TEST(WindowsFormats, HandWrittenFilesAreRecognisedAndReadInCandidateOrder) {
    const struct {
        const char* name;
        std::string bytes;
        Format format;
        Encoding encoding;
        Pairs entries;
    } cases[] = {
        {"duoduo, with its settings line",
         Utf16leBom("---config@码表分类=主码-1\r\n工\ta\r\n式\ta\r\n戈\tag\r\n"),
         Format::Duoduo,
         Encoding::Utf16le,
         {{"a", "工"}, {"a", "式"}, {"ag", "戈"}}},
        {"duoduo in UTF-8", "工\ta\n戈\tag\n", Format::Duoduo, Encoding::Utf8, {{"a", "工"}, {"ag", "戈"}}},
        {"bingling, keys before the table",
         Utf16leBom("Name=五笔86\r\nMaxCodes=4\r\n[Description]\r\n[CODETABLE]\r\na\t工\r\nag\t戈\r\na\t式\r\n"),
         Format::Bingling,
         Encoding::Utf16le,
         {{"a", "工"}, {"a", "式"}, {"ag", "戈"}}},
        {"jidian: plain group lines in UTF-16LE",
         Utf16leBom("a 工 式\r\nag 戈\r\n"),
         Format::Plain,
         Encoding::Utf16le,
         {{"a", "工"}, {"a", "式"}, {"ag", "戈"}}},
        {"sogou: positions order a code's candidates, ties in file order",
         Utf16leBom(";搜狗自定义短语\r\n;注释\r\naa,3=丙\r\nb,1=乙\r\naa,1=甲\r\naa,2=丁\r\naa,1=戊\r\n"),
         Format::SogouPhrase,
         Encoding::Utf16le,
         {{"aa", "甲"}, {"aa", "戊"}, {"aa", "丁"}, {"aa", "丙"}, {"b", "乙"}}},
        {"sogou: a word may hold the separators",
         Utf16leBom("aa,1=a=b,c\r\n"),
         Format::SogouPhrase,
         Encoding::Utf16le,
         {{"aa", "a=b,c"}}},
        {"baidu",
         Utf16leBom("aa=2,乙\r\naa=1,甲\r\nb=1,x,y\r\n"),
         Format::BaiduPhrase,
         Encoding::Utf16le,
         {{"aa", "甲"}, {"aa", "乙"}, {"b", "x,y"}}},
        {"baidu: a gap is read",
         "aa=5,乙\naa=1,甲\n",
         Format::BaiduPhrase,
         Encoding::Utf8,
         {{"aa", "甲"}, {"aa", "乙"}}},
    };
    for (const auto& c : cases) {
        const TableDocument doc = ReadTable(c.bytes);
        EXPECT_EQ(doc.format, c.format) << c.name;
        EXPECT_EQ(doc.encoding, c.encoding) << c.name;
        EXPECT_EQ(PairsOf(doc.entries), c.entries) << c.name;
        EXPECT_TRUE(doc.problems.empty()) << c.name << ": " << doc.problems[0].message;
    }
}

TEST(WindowsFormats, LinesOfTheOlderFormatsKeepTheirRecognition) {
    // Lines near the new formats' shapes that showed a format before.
    const struct {
        const char* line;
        Format shown;
    } cases[] = {
        {"a\t工", Format::Plain},           // a plain line parted by a tab: the code comes first
        {"工\tA", Format::Plain},           // a code that is no a-z code
        {"工 x\ta", Format::Plain},         // a blank in the word
        {"ab\tcd", Format::Plain},          // ASCII alone
        {"len=4", Format::Yong},            // a yong setting
        {"key=abc,d", Format::Yong},        // a value with a comma but no position
        {"name=1,x", Format::BaiduPhrase},  // the one shape a baidu line shares with a yong setting
        {"a,b=c", Format::Plain},           // no position
        {"a,0=c", Format::Plain},           // positions count from 1
        {"KeyCode=abc", Format::Libime},   {"[Data]", Format::Libime},
        {"[DATA]", Format::Yong},          {"BEGIN_TABLE", Format::Ibus},
    };
    for (const auto& c : cases) {
        const std::optional<Format> shown = FormatShownBy(Gb(c.line));
        ASSERT_TRUE(shown.has_value()) << c.line;
        EXPECT_EQ(*shown, c.shown) << c.line << ": " << FormatName(*shown);
    }
}

TEST(WindowsFormats, WrittenAsTheirProgramsWriteThem) {
    const std::vector<TableEntry> entries =
        EntriesOf({{"a", "工"}, {"a", "式"}, {"a", "戈"}, {"a", "七"}, {"a", "八"}, {"a", "九"}, {"ag", "戈"}});
    const struct {
        Format format;
        std::string text;  // UTF-8, from the format's description
    } cases[] = {
        {Format::Duoduo, "工\ta\r\n式\ta\r\n戈\ta\r\n七\ta\r\n八\ta\r\n九\ta\r\n戈\tag\r\n"},
        {Format::Bingling, "[CODETABLE]\r\na\t工\r\na\t式\r\na\t戈\r\na\t七\r\na\t八\r\na\t九\r\nag\t戈\r\n"},
        {Format::Jidian, "a 工 式 戈 七 八 九\r\nag 戈\r\n"},
        {Format::SogouPhrase, "a,1=工\r\na,2=式\r\na,3=戈\r\na,4=七\r\na,5=八\r\na,6=九\r\nag,1=戈\r\n"},
        {Format::BaiduPhrase, "a=1,工\r\na=2,式\r\na=3,戈\r\na=4,七\r\na=5,八\r\na=6,九\r\nag=1,戈\r\n"},
        // The space takes a page's first, ; ' 4 5 the others, = turns a page of five.
        {Format::Jisu, "工\ta_\t1\r\n式\ta;\t2\r\n戈\ta'\t3\r\n七\ta4\t4\r\n八\ta5\t5\r\n九\ta=_\t6\r\n戈\tag_\t1\r\n"},
    };
    for (const auto& c : cases) {
        WriteOptions o;
        o.format = c.format;
        ChooseOutputEncoding(o, Encoding::Auto, false, Encoding::Gbk, false);
        EXPECT_EQ(o.encoding, Encoding::Utf16le) << FormatName(c.format);
        EXPECT_TRUE(o.bom) << FormatName(c.format);
        EXPECT_EQ(WriteEntries(entries, o), Utf16leBom(c.text)) << FormatName(c.format);
    }
}

TEST(WindowsFormats, WhatAFormatCannotHoldIsRefusedNamingTheInputLine) {
    const struct {
        Format format;
        const char* table;  // plain, UTF-8: the fault is on line 2
        const char* why;
    } cases[] = {
        {Format::Duoduo, "a 工\n\"a b\" 戈\n", "holds white space"},
        {Format::Duoduo, "a 工\nb \"x\ty\"\n", "holds a tab"},
        {Format::Bingling, "a 工\n\"a\tb\" 戈\n", "holds white space"},
        {Format::Bingling, "a 工\nb \"x\ty\"\n", "holds a tab"},
        {Format::SogouPhrase, "a 工\n\"a,b\" 戈\n", "a comma"},
        {Format::SogouPhrase, "a 工\n;a 戈\n", "begins with ;"},
        {Format::BaiduPhrase, "a 工\na=b 戈\n", "an equals sign"},
        {Format::Jisu, "a 工\na_b 戈\n", "holds white space or _"},
    };
    for (const auto& c : cases) {
        const TableDocument doc = ReadTable(c.table, Encoding::Utf8, Format::Plain);
        WriteOptions o;
        o.format = c.format;
        o.inputName = "t.txt";
        ChooseOutputEncoding(o, Encoding::Auto, false, doc.encoding, doc.hadBom);
        std::string message;
        try {
            WriteTable(doc, o);
        } catch (const Failure& f) {
            message = f.what();
        }
        EXPECT_EQ(message.rfind("\"t.txt\", line 2: ", 0), 0u) << FormatName(c.format) << ": " << message;
        EXPECT_NE(message.find(c.why), std::string::npos) << FormatName(c.format) << ": " << message;
    }
}

TEST(WindowsFormats, WrittenBackInTheirOwnFormatTheFileStaysAsItWas) {
    // Headers, comments and positions as the file has them; the encoding kept
    // when none is asked for.
    for (const std::string& bytes :
         {Utf16leBom("Name=五笔\r\nUsedCodes=abc\r\n[CODETABLE]\r\na\t工\r\n"), std::string("---config@x=1\n工\ta\n"),
          Utf16leBom(";c\r\naa,3=丙\r\naa,1=甲\r\n"), Gb("aa=2,乙\r\naa=2,甲\r\n")}) {
        const TableDocument doc = ReadTable(bytes);
        WriteOptions o;
        o.format = doc.format;
        ChooseOutputEncoding(o, Encoding::Auto, false, doc.encoding, doc.hadBom, doc.format);
        EXPECT_EQ(WriteTable(doc, o), bytes) << FormatName(doc.format);
    }
}

TEST(WindowsFormats, AChangedPhraseLineKeepsItsPosition) {
    // Candidates stand by position: the k-th of a code, changed or moved,
    // takes the position the k-th line had.
    TableDocument doc = ReadTable(Utf16leBom(";c\r\naa,9=丙\r\naa,5=甲\r\nb,7=乙\r\n"));
    ASSERT_EQ(PairsOf(doc.entries), (Pairs{{"aa", "甲"}, {"aa", "丙"}, {"b", "乙"}}));
    std::swap(doc.entries[0], doc.entries[1]);
    doc.entries[2].word = Gb("丁");
    WriteOptions o;
    o.format = doc.format;
    ChooseOutputEncoding(o, Encoding::Auto, false, doc.encoding, doc.hadBom, doc.format);
    const std::string written = WriteTable(doc, o);
    EXPECT_EQ(written, Utf16leBom(";c\r\naa,9=甲\r\naa,5=丙\r\nb,7=丁\r\n"));
    EXPECT_EQ(PairsOf(ReadTable(written).entries), (Pairs{{"aa", "丙"}, {"aa", "甲"}, {"b", "丁"}}));
}

TEST(WindowsFormats, TheCheckNotesAPositionGapAndNothingInAFileWithout) {
    const struct {
        std::string table;
        std::vector<std::size_t> gapLines;
    } cases[] = {
        {"aa,1=甲\naa,2=乙\nb,1=丙\nb,1=丁\n", {}},
        {"aa,1=甲\naa,3=乙\nb,2=丙\n", {2, 3}},
        {"aa=2,甲\naa=1,乙\n", {1}},  // out of order: the check can't tell it from a gap
    };
    for (const auto& c : cases) {
        const TableDocument doc = ReadTable(c.table);
        std::vector<std::size_t> gaps;
        for (const TableProblem& p : CheckTable(doc)) {
            EXPECT_NE(p.message.find("a gap"), std::string::npos) << c.table << ": " << p.message;
            gaps.push_back(p.line);
        }
        EXPECT_EQ(gaps, c.gapLines) << c.table;
    }
}

TEST(WindowsFormats, JisuIsWrittenOnlyAndJidianIsReadAsPlain) {
    EXPECT_THROW(ReadTable("工\ta_\t1\n", Encoding::Auto, Format::Jisu), Failure);
    const TableDocument doc = ReadTable(Utf16leBom("a 工 式\r\n"), Encoding::Auto, Format::Jidian);
    EXPECT_EQ(doc.format, Format::Plain);
    EXPECT_EQ(PairsOf(doc.entries), (Pairs{{"a", "工"}, {"a", "式"}}));
    for (const char* name : {"duoduo", "bingling", "jidian", "sogou-phrase", "baidu-phrase", "jisu"})
        EXPECT_EQ(FormatName(ParseFormat(name)), std::string(name));
}

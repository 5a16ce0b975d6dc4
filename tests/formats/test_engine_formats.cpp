// What the input engines need of the tables written for them, and what
// their own files look like when read: recognition, encodings, candidate
// order, weights, phrase rules, characters an encoding lacks, damaged text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/failure.h"
#include "formats/checking.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/encoding_internal.h"
#include "formats/lines.h"
#include "formats/name_uuid.h"
#include "formats/table_stream.h"
#include "formats/writing.h"
#include "tests/test_util.h"

using namespace zelmora::formats;
using zelmora::Failure;
using zelmora::TextEncoding;

namespace {

WriteOptions Opts(Format format, Encoding encoding = Encoding::Utf8) {
    WriteOptions o;
    o.format = format;
    o.encoding = encoding;
    return o;
}
std::string Words(const TableDocument& doc) {
    std::string out;
    for (const auto& e : doc.entries) out += e.code + ":" + testutil::Convert("UTF-8", "gb18030", e.word) + " ";
    return out;
}

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& x) {
        return x.what();
    }
    return {};
}

// What the system's iconv makes of bytes, or "error".
std::string Iconv(const std::string& from, const std::string& to, const std::string& bytes) {
    char in[] = "/tmp/zelmora-iconv-XXXXXX";
    int fd = mkstemp(in);
    if (fd < 0) return "error";
    FILE* f = fdopen(fd, "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    std::string cmd = "iconv -f " + from + " -t " + to + " " + in + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = pclose(p);
    std::remove(in);
    return status == 0 ? out : "error";
}

}  // namespace

TEST(EngineFormats, EnginesOwnFilesAreRecognisedByTheirHeaders) {
    // fcitx4's own dump (mb2txt), with ';' comments before it.
    TableDocument fcitx = ReadTable(
        "; dumped\n;fcitx Version 0x03 Table file\nKeyCode=abcdefghijklmnopqrstuvwxy\nLength=4\nPinyin=@\n"
        "PinyinLength=4\nPrompt=&\nConstructPhrase=^\n[Rule]\ne2=p11+p12+p21+p22\n[Data]\na \xe5\xb7\xa5\n"
        "; a comment among the data\n@gong \xe5\xb7\xa5\n");
    EXPECT_EQ(fcitx.format, Format::Fcitx4);
    EXPECT_EQ(Words(fcitx), "a:工 ");
    ASSERT_EQ(fcitx.layout.engine.rules.size(), 1u);
    EXPECT_EQ(fcitx.layout.engine.pinyinKey, "@");
    // The standard ibus-table source, as ibus-table's template begins.
    TableDocument ibus = ReadTable(
        "SCIM_Generic_Table_Phrase_Library_TEXT\nVERSION_1_0\nBEGIN_DEFINITION\nNAME = x\n"
        "RULES = ce2:p11+p12+p21+p22;ca4:p11+p21+p31+p-11\nEND_DEFINITION\nBEGIN_TABLE\n"
        "a\t\xe7\x94\xb2\t1\na\t\xe4\xb9\x99\t5\na\t\xe4\xb8\x99\t5\nEND_TABLE\n");
    EXPECT_EQ(ibus.format, Format::Ibus);
    // By frequency, highest first, ties in file order.
    EXPECT_EQ(Words(ibus), "a:乙 a:丙 a:甲 ");
    ASSERT_EQ(ibus.layout.engine.rules.size(), 2u);
    EXPECT_EQ(ibus.layout.engine.rules[1].keys.back().character, -1);
    // A Rime dictionary without "sort:" is sorted by weight, as Rime does.
    TableDocument rime = ReadTable("---\nname: t\n...\n\xe7\x94\xb2\ta\t1\n\xe4\xb9\x99\ta\t9\n");
    EXPECT_EQ(Words(rime), "a:乙 a:甲 ");

    EXPECT_TRUE(ReadsAsPlainGbk(testutil::G("a 工\r\naa 式\r\n")));
    EXPECT_TRUE(ReadsAsPlainGbk("a b\r\n"));
    EXPECT_FALSE(ReadsAsPlainGbk("# Rime\n---\nname: t\n...\n" + testutil::G("工") + "\ta\n"));
    EXPECT_FALSE(ReadsAsPlainGbk("a \xe5\xb7\xa5\n"));  // UTF-8
    EXPECT_FALSE(ReadsAsPlainGbk(";fcitx Version 0x03 Table file\n" + testutil::G("a 工\n")));
}

TEST(EngineFormats, GbkIsToldFromUtf8ByWhatEachDecodingGives) {
    // 一些 in GBK is valid UTF-8 (һЩ): the GBK reading gives common Chinese.
    DecodedText d = DecodeText("ggpx \xd2\xbb\xd0\xa9\r\n", Encoding::Auto);
    EXPECT_EQ(d.encoding, Encoding::Gb18030);
    EXPECT_FALSE(d.closeCall);
    EXPECT_EQ(testutil::Convert("UTF-8", "gb18030", d.text), "ggpx 一些\r\n");
    // UTF-8 whose bytes happen to be GBK too stays UTF-8.
    for (std::string s : {"abxy \xe7\x94\xb2\xe4\xb9\x99\r\n", "a \xe5\xb7\xa5\naa \xe5\xbc\x8f\n"})
        EXPECT_EQ(DecodeText(s, Encoding::Auto).encoding, Encoding::Utf8) << s;
    // A long table leaves no doubt either way.
    std::string utf8, gbk;
    for (int i = 0; i < 200; ++i) utf8 += "a \xe5\xb7\xa5\xe4\xb8\x80\n", gbk += "a \xd2\xbb\xd0\xa9\n";
    DecodedText u = DecodeText(utf8, Encoding::Auto), g = DecodeText(gbk, Encoding::Auto);
    EXPECT_EQ(u.encoding, Encoding::Utf8);
    EXPECT_FALSE(u.closeCall);
    EXPECT_EQ(g.encoding, Encoding::Gb18030);
    EXPECT_FALSE(g.closeCall);
    // A byte-order mark still decides.
    EXPECT_EQ(DecodeText("\xef\xbb\xbfggpx \xd2\xbb\xd0\xa9", Encoding::Auto).encoding, Encoding::Utf8);
    // Fed in blocks of any size, the same verdict.
    for (const std::string* s : {&utf8, &gbk}) {
        for (std::size_t block : {1u, 2u, 3u, 7u}) {
            EncodingJudge e;
            for (std::size_t i = 0; i < s->size(); i += block) e.feed(std::string_view(*s).substr(i, block), false);
            e.feed({}, true);
            EXPECT_EQ(e.verdict().encoding, DecodeText(*s, Encoding::Auto).encoding);
        }
    }
}

TEST(EngineFormats, Gb18030FollowsThe2022EditionAsIconvDoes) {
    // The 18 characters whose mapping 2022 changed, and their old stand-ins.
    const char32_t moved[] = {0xFE10, 0xFE11, 0xFE12, 0xFE13, 0xFE14, 0xFE15, 0xFE16, 0xFE17, 0xFE18,
                              0xFE19, 0x9FB4, 0x9FB5, 0x9FB6, 0x9FB7, 0x9FB8, 0x9FB9, 0x9FBA, 0x9FBB};
    auto utf8 = [](char32_t c) {
        std::string s;
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
        return s;
    };
    for (char32_t c : moved) {
        const std::string u = utf8(c);
        const std::string ours = DecodeText(u, Encoding::Utf8).text;
        EXPECT_EQ(ours.size(), 2u) << std::hex << static_cast<unsigned>(c);
        EXPECT_EQ(ours, Iconv("UTF-8", "GB18030", u)) << std::hex << static_cast<unsigned>(c);
        // And back: iconv's bytes read as the character.
        EXPECT_EQ(EncodeText(Iconv("UTF-8", "GB18030", u), Encoding::Utf8, false, TextEncoding::Gb18030), u);
    }
    // The private-use stand-ins now have the four-byte codes, both ways.
    const std::string pua = "\xee\xa0\x9e";  // U+E81E
    const std::string four = DecodeText(pua, Encoding::Utf8).text;
    EXPECT_EQ(four, "\x82\x35\x90\x37");
    EXPECT_EQ(EncodeText(four, Encoding::Utf8, false, TextEncoding::Gb18030), pua);
    // Characters 2022 left alone are as before.
    EXPECT_EQ(DecodeText("\xe5\xb7\xa5", Encoding::Utf8).text, Iconv("UTF-8", "GB18030", "\xe5\xb7\xa5"));
}

TEST(EngineFormats, EngineOutputIsUtf8WithoutAMarkWhereTheCompilerRefusesOne) {
    for (Format f : {Format::Rime, Format::Libime, Format::Fcitx4, Format::Ibus}) {
        WriteOptions w;
        w.format = f;
        ChooseOutputEncoding(w, Encoding::Auto, false, Encoding::Gbk, false);
        EXPECT_EQ(w.encoding, Encoding::Utf8) << FormatName(f);
        ChooseOutputEncoding(w, Encoding::Auto, false, Encoding::Utf8, true);
        EXPECT_EQ(w.bom, f == Format::Rime || f == Format::Ibus) << FormatName(f);
        EXPECT_NE(MessageOf([&] { ChooseOutputEncoding(w, Encoding::Gbk, false, Encoding::Utf8, false); }), "")
            << FormatName(f);
    }
    WriteOptions w;
    w.format = Format::Libime;
    EXPECT_NE(MessageOf([&] {
                  ChooseOutputEncoding(w, Encoding::Auto, true, Encoding::Utf8, false);
              }).find("byte-order mark"),
              std::string::npos);
    // Plain and yong keep the input's encoding.
    for (Format f : {Format::Plain, Format::Yong}) {
        w.format = f;
        ChooseOutputEncoding(w, Encoding::Auto, false, Encoding::Gbk, false);
        EXPECT_EQ(w.encoding, Encoding::Gbk);
    }
}

TEST(EngineFormats, WeightsKeepTheCandidateOrderInEveryEngine) {
    // A fractional Rime weight, ties and a missing weight.
    const std::string rime =
        "---\nsort: by_weight\n...\n"
        "\xe7\x94\xb2\ta\t450\n\xe4\xb9\x99\ta\t450.5\n\xe4\xb8\x99\ta\t7\n\xe4\xb8\x81\ta\t7\n"
        "\xe5\xb7\xa5\taa\n\xe6\x88\x88\taa\t3\n";
    TableDocument doc = ReadTable(rime);
    EXPECT_EQ(Words(doc), "a:乙 a:甲 a:丙 a:丁 aa:戈 aa:工 ");
    WriteOptions o;
    o.format = Format::Ibus;
    o.encoding = Encoding::Utf8;
    std::string ibus = WriteTable(doc, o);
    // Whole numbers that fall strictly within each code, near the weights.
    EXPECT_NE(ibus.find("a\t乙\t451\na\t甲\t450\na\t丙\t8\na\t丁\t7\naa\t戈\t3\naa\t工\t0\n"), std::string::npos)
        << ibus;
    EXPECT_EQ(Words(ReadTable(ibus)), Words(doc));
    // Integer frequencies that already fall are kept as written.
    TableDocument ints = ReadTable("BEGIN_TABLE\na\t\xe7\x94\xb2\t90\na\t\xe4\xb9\x99\t10\nEND_TABLE\n");
    EXPECT_NE(WriteTable(ints, o).find("a\t甲\t90\na\t乙\t10\n"), std::string::npos);
    // Rime output sorts by the weights when they order the candidates.
    o.format = Format::Rime;
    std::string back = WriteTable(ReadTable(ibus), o);
    EXPECT_NE(back.find("sort: by_weight"), std::string::npos);
    EXPECT_EQ(Words(ReadTable(back)), Words(doc));
    // Weights that don't order the candidates: Rime keeps the written order.
    const std::vector<TableEntry> rising = {{"a", Gb("甲"), "1", {}}, {"a", Gb("乙"), "9", {}}};
    std::string original = WriteEntries(rising, o);
    EXPECT_NE(original.find("sort: original"), std::string::npos);
    EXPECT_EQ(Words(ReadTable(original)), "a:甲 a:乙 ");
    // The fractional weight stays as written in Rime.
    TableDocument again = ReadTable(WriteTable(ReadTable(rime), Opts(Format::Rime)));
    EXPECT_NE(WriteTable(again, Opts(Format::Rime)).find("450.5"), std::string::npos);
}

TEST(EngineFormats, ACodesLinesStandingApartGiveOneCandidateList) {
    // A plain table may give a code's words on lines far apart; the engines
    // rank each code's candidates as one list, in the table's order.
    const TableDocument plain =
        ReadTable(Gb("aa 甲\r\nbb 乙\r\naa 丙 丁\r\nbb 戊\r\naa 己\r\n"), Encoding::Gbk, Format::Plain);
    for (Format f : {Format::Ibus, Format::Rime, Format::Libime, Format::Fcitx4, Format::Yong}) {
        const std::string out = WriteTable(plain, Opts(f));
        EXPECT_EQ(Words(ReadTable(out)), "aa:甲 aa:丙 aa:丁 aa:己 bb:乙 bb:戊 ") << out;
        if (f == Format::Ibus) {
            EXPECT_NE(out.find("aa\t甲\t4\naa\t丙\t3\naa\t丁\t2\naa\t己\t1\n"), std::string::npos) << out;
        }
    }
}

// libime refuses a table whose rules reach past its Length: a fresh header
// keeps only the rules that fit the longest code.
TEST(EngineFormats, LibimeRulesFitTheLongestCode) {
    struct Case {
        const char* what;
        std::string longestCode, ownRules, header;
    };
    const std::vector<Case> cases = {
        {"Wubi-86's rules need 4 keys", "abcd", "",
         "Length=4\n[Rule]\ne2=p11+p12+p21+p22\ne3=p11+p21+p31+p32\na4=p11+p21+p31+n11\n[Data]\n"},
        {"none of them fits 3 keys", "abc", "", "Length=3\n[Data]\n"},
        {"nor 2", "ab", "", "Length=2\n[Data]\n"},
        {"a table's own short rules fit, a rule for 4 characters doesn't", "abc",
         "e2=p11+p21\ne3=p11+p21+p31\na4=p11+p21+p31\n", "Length=3\n[Rule]\ne2=p11+p21\ne3=p11+p21+p31\n[Data]\n"},
        {"a key number past the length doesn't fit", "ab", "e2=p11+p23\ne2=p11+n21\n",
         "Length=2\n[Rule]\ne2=p11+n21\n[Data]\n"},
    };
    for (const Case& c : cases) {
        WriteOptions o;
        o.format = Format::Libime;
        o.encoding = Encoding::Utf8;
        if (!c.ownRules.empty())
            o.engine =
                ReadTable("KeyCode=abc\nLength=5\n[Rule]\n" + c.ownRules + "[Data]\na \xe5\xb7\xa5\n").layout.engine;
        const std::string out = WriteEntries({{"a", Gb("工"), {}, {}}, {c.longestCode, Gb("五"), {}, {}}}, o);
        EXPECT_NE(out.find("\n" + c.header), std::string::npos) << c.what << "\n" << out;
    }
}

TEST(EngineFormats, EveryEngineFileCarriesPhraseRules) {
    const std::vector<TableEntry> entries = {{"a", Gb("工"), {}, {}}, {"zzzz", Gb("五"), {}, {}}};
    auto write = [&](Format f, const EngineSettings& engine = {}) {
        WriteOptions o;
        o.format = f;
        o.encoding = Encoding::Utf8;
        o.name = "wubi86";
        o.engine = engine;
        return WriteEntries(entries, o);
    };
    EXPECT_NE(
        write(Format::Libime).find("[Rule]\ne2=p11+p12+p21+p22\ne3=p11+p21+p31+p32\na4=p11+p21+p31+n11\n[Data]\n"),
        std::string::npos);
    std::string fcitx = write(Format::Fcitx4);
    EXPECT_EQ(fcitx.rfind(";fcitx Version 0x03 Table file\nKeyCode=az\nLength=4\n", 0), 0u) << fcitx;
    std::string rime = write(Format::Rime);
    EXPECT_NE(rime.find("encoder:\n  exclude_patterns:\n    - '^z.*$'\n  rules:\n    - length_equal: 2\n"
                        "      formula: \"AaAbBaBb\"\n    - length_equal: 3\n      formula: \"AaBaCaCb\"\n"
                        "    - length_in_range: [4, 10]\n      formula: \"AaBaCaZa\"\n"),
              std::string::npos)
        << rime;
    std::string ibus = write(Format::Ibus);
    EXPECT_EQ(ibus.rfind("SCIM_Generic_Table_Phrase_Library_TEXT\nVERSION_1_0\n", 0), 0u);
    for (const char* line :
         {"NAME = wubi86\n", "NAME.zh_CN = wubi86\n", "SYMBOL = 五\n", "STATUS_PROMPT = 五\n", "LANGUAGES = zh_CN\n",
          "AUTHOR = ", "SERIAL_NUMBER = ", "VALID_INPUT_CHARS = az\n", "MAX_KEY_LENGTH = 4\n",
          "USER_CAN_DEFINE_PHRASE = TRUE\n", "RULES = ce2:p11+p12+p21+p22;ce3:p11+p21+p31+p32;ca4:p11+p21+p31+p-11\n"})
        EXPECT_NE(ibus.find(line), std::string::npos) << line;
    // The UUID is the name's: stable, and another for another name.
    EXPECT_EQ(NameUuid("wubi86"), NameUuid("wubi86"));
    EXPECT_NE(NameUuid("wubi86"), NameUuid("wubi98"));
    EXPECT_EQ(NameUuid("wubi86").size(), 36u);
    EXPECT_EQ(NameUuid("wubi86")[14], '5');
    EXPECT_NE(ibus.find("UUID = " + NameUuid("wubi86") + "\n"), std::string::npos);

    // The source's own rules and keys go over, in each engine's syntax.
    TableDocument libime = ReadTable(
        "KeyCode=abc\nLength=5\nPinyin=@\n[Rule]\ne2=p11+p21+p12+p22\na3=p11+p21+n11+n12\n"
        "[Data]\na \xe5\xb7\xa5\n");
    EngineSettings own = libime.layout.engine;
    EXPECT_NE(write(Format::Ibus, own).find("RULES = ce2:p11+p21+p12+p22;ca3:p11+p21+p-11+p-12\n"), std::string::npos);
    EXPECT_NE(write(Format::Rime, own)
                  .find("formula: \"AaBaAbBb\"\n    - length_in_range: [3, 10]\n      formula: \"AaBaZaZb\""),
              std::string::npos);
    std::string libimeAgain = write(Format::Libime, own);
    EXPECT_NE(libimeAgain.find("Pinyin=@\n[Rule]\ne2=p11+p21+p12+p22\na3=p11+p21+n11+n12\n"), std::string::npos);
    // fcitx4 wants Length - 1 rules: the longest rule repeats for longer codes.
    std::vector<TableEntry> longer = entries;
    longer.push_back({"abcdef", Gb("工"), {}, {}});
    WriteOptions o;
    o.format = Format::Fcitx4;
    o.encoding = Encoding::Utf8;
    std::string six = WriteEntries(longer, o);
    EXPECT_NE(
        six.find(
            "e2=p11+p12+p21+p22\ne3=p11+p21+p31+p32\ne4=p11+p21+p31+n11\ne5=p11+p21+p31+n11\na6=p11+p21+p31+n11\n"),
        std::string::npos)
        << six;
    // Read back, each engine's rules are the same rules.
    for (Format f : {Format::Libime, Format::Rime, Format::Ibus})
        EXPECT_EQ(ReadTable(write(f, own)).layout.engine.rules, own.rules) << FormatName(f);
}

TEST(EngineFormats, WordsTheEncodingLacksFailOrAreLeftOutWithTheirInputLines) {
    // Line 5 and 7 hold characters GBK lacks: one from CJK Extension B, one
    // that GB18030 has at a two-byte code GBK gives a private-use character.
    const std::string rime = "# t\n---\nsort: original\n...\n\xf0\xa0\x80\x80\ta\n\xe5\xb7\xa5\ta\n\xe9\xbe\xb4\tcny\n";
    const std::string plain =
        "a \xe5\xb7\xa5 \xf0\xa0\x80\x80 \xe6\x88\x88\r\nb \xf0\xa0\x80\x80\r\nc \xe4\xb8\x80\r\n";
    struct Case {
        std::string bytes;
        Format to;
        std::string expected;  // UTF-8 of what is written
        std::vector<std::size_t> lines;
    };
    const std::vector<Case> cases = {
        {rime, Format::Plain, "a 工\r\n", {5, 7}},
        {plain, Format::Plain, "a 工 戈\r\nc 一\r\n", {1, 2}},
        {plain, Format::Yong, "name=t\nkey=ac\nlen=1\n[DATA]\na 工 戈\nc 一\n", {1, 2}},
    };
    for (const Case& c : cases) {
        for (bool streamed : {false, true}) {
            std::vector<SkippedWord> skipped;
            WriteOptions o;
            o.format = c.to;
            o.encoding = Encoding::Gbk;
            o.name = "t";
            o.unencodable = Unencodable::Skip;
            o.skipped = &skipped;
            std::string out;
            if (streamed) {
                MemorySource in(c.bytes);
                struct Sink : ByteSink {
                    std::string bytes;
                    void write(std::string_view b) override { bytes += b; }
                } sink;
                StreamSettings s;
                s.blockSize = 5;
                // Plain lines read in parts of one entry, as long lines are.
                s.partedLine = 8;
                s.partEntries = 1;
                StreamConversion r = ConvertTableStream(
                    in, sink, Encoding::Auto, Format::Auto, [&](const InputFacts&) { return o; }, s);
                ASSERT_TRUE(r.streamed);
                out = sink.bytes;
            } else {
                out = WriteTable(ReadTable(c.bytes), o);
            }
            EXPECT_EQ(testutil::U(out), c.expected) << streamed;
            std::vector<std::size_t> lines;
            for (const auto& w : skipped) lines.push_back(w.line);
            EXPECT_EQ(lines, c.lines) << streamed;
            // Error: the first of them, by its input line and character.
            o.unencodable = Unencodable::Error;
            o.inputName = "in.txt";
            std::string m = MessageOf([&] { WriteTable(ReadTable(c.bytes), o); });
            EXPECT_EQ(m.rfind("\"in.txt\", line " + std::to_string(c.lines[0]) + ": the character \"𠀀\" (U+20000)", 0),
                      0u)
                << m;
        }
    }
    // What GBK can't hold, iconv's GBK can't either, and the rest it reads.
    std::vector<SkippedWord> skipped;
    WriteOptions o = Opts(Format::Plain, Encoding::Gbk);
    o.unencodable = Unencodable::Skip;
    o.skipped = &skipped;
    std::string out = WriteTable(ReadTable(rime), o);
    EXPECT_NE(Iconv("GBK", "UTF-8", out), "error");
    for (const auto& w : skipped) EXPECT_EQ(Iconv("UTF-8", "GBK", w.character), "error") << w.character;
}

TEST(EngineFormats, CheckReportsMarksOfDamagedText) {
    // U+FFFD, a private-use character, a compatibility ideograph (U+F9E7 for
    // 裏 U+88CF) and U+FA1F, which is a unified ideograph despite its block.
    const std::string table = "wqfn \xe4\xbd\x8e\xef\xbf\xbd\nyxxy \xee\xa1\xa4\njjhy \xef\xa7\xa7\nab \xef\xa8\x9f\n";
    std::vector<TableProblem> found = CheckTable(ReadTable(table, Encoding::Utf8));
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].line, 1u);
    EXPECT_EQ(found[0].message.rfind("replacement character U+FFFD", 0), 0u) << found[0].message;
    EXPECT_EQ(found[1].line, 2u);
    EXPECT_EQ(found[1].message.rfind("private-use character U+E864", 0), 0u) << found[1].message;
    EXPECT_EQ(found[2].line, 3u);
    EXPECT_EQ(found[2].message,
              "CJK compatibility ideograph \"\xEF\xA7\xA7\" U+F9E7 (unified: \"\xE8\xA3\x8F\" U+88CF)");
    // The streamed check finds the same.
    struct Sink : ProblemSink {
        std::vector<TableProblem> found;
        void report(const TableProblem& p) override { found.push_back(p); }
        void restart() override { found.clear(); }
    } sink;
    MemorySource in(table);
    CheckTableStream(in, sink, Encoding::Utf8, Format::Auto);
    ASSERT_EQ(sink.found.size(), found.size());
    for (std::size_t i = 0; i < found.size(); ++i) EXPECT_EQ(sink.found[i].message, found[i].message);
}

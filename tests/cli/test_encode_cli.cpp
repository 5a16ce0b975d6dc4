// zelmora-cli encode as a user runs it: the word list in, entry lines out,
// left-out words on standard error with the exit status, merging into a file.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/cli/cli_harness.h"
#include "tests/test_util.h"

namespace fs = std::filesystem;
using testutil::CliResult;
using testutil::G;
using testutil::Slurp;
using testutil::Spit;
using testutil::U;

namespace {

class EncodeCli : public testutil::CliFixture {
protected:
    CliResult encode(const std::string& args, const std::string& input = "") { return cli("encode " + args, input); }
};

}  // namespace

TEST_F(EncodeCli, WordListFromStandardInputAndFile) {
    const std::string words = G("计算机\t120\r\n中国\r\n中\r\n经济学家\r\n");
    CliResult r = encode("", words);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(U(r.out), "khk 中\r\nkhlg 中国\r\nxiip 经济学家\r\nytsm 计算机\r\n");

    Spit(dir_ / "words.txt", words + G("中华人民共和国\n"));
    r = encode("words.txt --group");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(U(r.out), "khk 中\r\nkhlg 中国\r\nkwwl 中华人民共和国\r\nxiip 经济学家\r\nytsm 计算机\r\n");
}

TEST_F(EncodeCli, LeftOutWordsAreReportedAndTheRestWritten) {
    CliResult r = encode("-", G("中国\nA股\n\n学家\n中国，\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(U(r.out), "ippe 学家\r\nkhlg 中国\r\n");
    EXPECT_NE(r.err.find("line 2: 'A' has no code in the table"), std::string::npos) << U(r.err);
    // Messages are UTF-8 whatever the output encoding (GBK here).
    EXPECT_NE(r.err.find("line 5: '，' has no code in the table; \"中国，\" left out"), std::string::npos) << r.err;
}

TEST_F(EncodeCli, UserTableWithTwoFullCodes) {
    Spit(dir_ / "t.txt", G("abcd 甲\r\nfgcd 甲\r\nxyzw 乙\r\nab 甲乙\r\n"));
    CliResult r = encode("--table t.txt --group", G("甲乙\n甲\n"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(U(r.out), "abcd 甲\r\nabxy 甲乙\r\nfgcd 甲\r\nfgxy 甲乙\r\n");
}

TEST_F(EncodeCli, MergeIntoATableFile) {
    Spit(dir_ / "t.txt", G("a 工\r\nkhlg 国中\r\nytsm 计算机\r\n"));
    CliResult r = encode("--merge t.txt --out merged.txt", G("中国\n计算机\n学家\n"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(U(Slurp(dir_ / "merged.txt")), "a 工\r\nippe 学家\r\nkhlg 国中 中国\r\nytsm 计算机\r\n");
    // The table file itself is untouched.
    EXPECT_EQ(U(Slurp(dir_ / "t.txt")), "a 工\r\nkhlg 国中\r\nytsm 计算机\r\n");

    r = encode("--merge merged.txt", G("中国\n"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, Slurp(dir_ / "merged.txt"));
}

TEST_F(EncodeCli, HelpTellsTheCap) {
    CliResult r = encode("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("at most 16 codes per word"), std::string::npos) << r.out;
}

TEST_F(EncodeCli, Utf8WordListWithWeightsIntoRime) {
    // A UTF-8 list: output in UTF-8, messages too; weights go into the Rime file.
    const std::string words = "中国\t100\r\n中\r\nA股\t3\r\n计算机\t7\r\n";
    CliResult r = encode("", words);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "khk 中\r\nkhlg 中国\r\nytsm 计算机\r\n");
    EXPECT_NE(r.err.find("line 3: 'A' has no code in the table; \"A股\" left out"), std::string::npos) << r.err;

    r = encode("--output-format rime --out new.dict.yaml", words);
    EXPECT_EQ(r.status, 1);
    const std::string dict = Slurp(dir_ / "new.dict.yaml");
    const std::string data = dict.substr(dict.find("\n...") + 4);
    EXPECT_NE(dict.find("name: \"new\""), std::string::npos) << dict;
    // Sorted as the entry lines sort: by code, then word.
    EXPECT_EQ(data, "\n\n中\tkhk\n中国\tkhlg\t100\n计算机\tytsm\t7\n") << dict;

    // --group is for plain group lines only.
    r = encode("--output-format rime --group", words);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--group"), std::string::npos);
}

TEST_F(EncodeCli, RimeTableAsCharacterTableAndMergeTarget) {
    const std::string header =
        "# test\n---\nname: t\nversion: \"1\"\nsort: original\ncolumns:\n  - text\n  - code\n  - weight\n...\n\n";
    Spit(dir_ / "t.dict.yaml", header + "甲\tab\t5\n甲\tabcd\t5\n甲\tfgcd\t4\n乙\txyzw\t3\n甲乙\tabxy\t9\n");
    // Two full codes for 甲 in a Rime table: two codes for each word with 甲.
    CliResult r = encode("--table t.dict.yaml", "甲乙\t2\n乙甲\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "abxy 甲乙\r\nfgxy 甲乙\r\nxyab 乙甲\r\nxyfg 乙甲\r\n");

    // Merged into the same table: lines kept byte for byte, 甲乙 under abxy not
    // added twice, the new pairs after their code's candidates or at the end.
    r = encode("--table t.dict.yaml --merge t.dict.yaml", "甲乙\t2\n乙甲\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, header +
                         "甲\tab\t5\n甲\tabcd\t5\n甲\tfgcd\t4\n乙\txyzw\t3\n甲乙\tabxy\t9\n甲乙\tfgxy\t2\n"
                         "乙甲\txyab\n乙甲\txyfg\n");
}

TEST_F(EncodeCli, MergeKeepsAGbkTablesBytes) {
    // A GBK table read through format detection comes back with only the new
    // line (and, on standard output, a break after its last).
    const std::string table = G("a 工\r\nkhlg 国中\r\nytsm 计算机");
    Spit(dir_ / "t.txt", table);
    CliResult r = encode("--merge t.txt", G("中国人\n"));
    EXPECT_EQ(r.status, 0) << U(r.err);
    EXPECT_EQ(U(r.out), "a 工\r\nkhlg 国中\r\nklww 中国人\r\nytsm 计算机\r\n");
    r = encode("--merge t.txt --out merged.txt", G("中国人\n"));
    EXPECT_EQ(r.status, 0) << U(r.err);
    EXPECT_EQ(U(Slurp(dir_ / "merged.txt")), "a 工\r\nkhlg 国中\r\nklww 中国人\r\nytsm 计算机");
}

TEST_F(EncodeCli, WordsTheOutputEncodingLacksFailOrAreLeftOutByTheirListLines) {
    Spit(at("words.txt"), "工\n𠀀\n");
    const std::string table =
        " --table '" + std::string(ZELMORA_FORMATS_DATA) + "/rime_extb.dict.yaml' --output-encoding gbk";
    CliResult r = cli("encode '" + at("words.txt") + "'" + table);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("words.txt\", line 2: the character \"𠀀\" (U+20000)"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    r = cli("encode '" + at("words.txt") + "'" + table + " --unencodable skip --skipped '" + at("skipped.txt") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testutil::U(r.out), "aaaa 工\r\n");
    EXPECT_NE(r.err.find("1 word left out"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(at("skipped.txt")), "2\taaaa\t𠀀\t𠀀\tU+20000\n");
}

TEST_F(EncodeCli, AWordWithACommaReadsBackAsOneWord) {
    Spit(dir_ / "t.txt", G("aaaa 工\r\nkhk 中\r\nxxxx \",\"\r\n"));
    CliResult r = encode("--table t.txt --out words.txt", G("工,中\n中\n"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(U(Slurp(dir_ / "words.txt")), "axkh \"工,中\"\r\nkhk 中");
    // Read back as a table: two entries, the first word whole.
    r = cli("convert words.txt back.txt --output-format rime --output-encoding utf-8");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(Slurp(dir_ / "back.txt").find("工,中\taxkh\n中\tkhk\n"), std::string::npos) << Slurp(dir_ / "back.txt");
    r = cli("check words.txt");
    EXPECT_EQ(r.status, 0) << r.out;
}

TEST_F(EncodeCli, ANulByteStopsTheMergeAndTheWordListNamingTheLine) {
    const std::string table = G("aaaa 工\r\nbbbb 子") + std::string("\0", 1) + G("了\r\ncccc 又\r\n");
    Spit(dir_ / "t.txt", table);
    CliResult r = encode("--merge t.txt --out t.txt", G("中国\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Line 2"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("NUL"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(dir_ / "t.txt"), table);
    // In a Rime table too.
    Spit(dir_ / "r.dict.yaml", "---\nname: r\n...\n工\taaaa\n子" + std::string("\0", 1) + "了\tbbbb\n又\tcccc\n");
    r = encode("--merge r.dict.yaml --out r.dict.yaml", G("中国\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Line 5"), std::string::npos) << r.err;

    // A word list: in GBK, and U+0000 in UTF-16.
    r = encode("--out words.txt", G("中\n国\n中国") + std::string("\0", 1) + G("人\n工\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Line 3 of the word list"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "words.txt"));
    const std::string utf16 = std::string("\xFF\xFE\x2D\x4E\n\x00\x00\x00\xFD\x56\n\x00", 12);
    r = encode("--out words.txt", utf16);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Line 2 of the word list"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "words.txt"));
}

TEST_F(EncodeCli, AHugeUncodedWordIsCutInTheMessage) {
    std::string word;
    for (int i = 0; i < 200000; ++i) word += G("中");
    CliResult r = encode("", word + "A\n" + G("中国\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(U(r.out), "khlg 中国\r\n");
    EXPECT_LT(r.err.size(), 500u) << r.err.size();
    std::string shown;
    for (int i = 0; i < 100; ++i) shown += "中";
    EXPECT_NE(r.err.find("\"" + shown + "…" + " (200001 characters)\" left out"), std::string::npos) << r.err;
}

TEST_F(EncodeCli, AFailureReadingTheTableOrTheMergeTargetNamesTheFile) {
    // GBK bytes read as UTF-8: the message says which of the files it is,
    // and names no option of another command.
    Spit(dir_ / "gbk.txt", G("a 工\r\n"));
    for (const char* option : {"--table", "--merge"}) {
        CliResult r = encode(std::string(option) + " gbk.txt --table-encoding utf-8", G("工\n"));
        EXPECT_EQ(r.status, 1) << option;
        EXPECT_NE(r.err.find("The table \"gbk.txt\": Line 1: bytes 0xB9 0xA4"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("--encoding"), std::string::npos) << r.err;
    }
}

// The same characters and phrases in each engine's syntax, with phrase rules
// that differ from Wubi-86's: two characters take the first key of the first
// and three of the second; three take two keys of the first and one of the
// others; five or more end with key 4 of the fifth; none is for four.
// 中 khk, 国 lgyi, 人 wwww, 民 nav. 人民 has its Wubi-86 code, wwna (the
// table's rules give wnav); the other phrases have the table's codes.
struct RuleTable {
    const char* syntax;
    const char* file;
    std::string text;
};

std::vector<RuleTable> RuleTables() {
    return {
        {"rime", "t.dict.yaml",
         "---\nname: t\nversion: \"1\"\nsort: original\nencoder:\n  rules:\n    - length_equal: 2\n"
         "      formula: \"AaBaBbBc\"\n    - length_equal: 3\n      formula: \"AaAbBaCa\"\n"
         "    - length_in_range: [5, 10]\n      formula: \"AaBaCaEd\"\n...\n"
         "中\tkhk\n国\tlgyi\n人\twwww\n民\tnav\n中国\tklgy\n人民\twwna\n中国人\tkhlw\n中国人民\tklwn\n中国人民国\tklwi\n"},
        {"libime", "t.txt",
         "KeyCode=abcdefghijklmnopqrstuvwxy\nLength=4\n[Rule]\ne2=p11+p21+p22+p23\ne3=p11+p12+p21+p31\n"
         "a5=p11+p21+p31+p54\n[Data]\nkhk 中\nlgyi 国\nwwww 人\nnav 民\nklgy 中国\nwwna 人民\nkhlw 中国人\n"
         "klwn 中国人民\nklwi 中国人民国\n"},
        {"ibus", "t.txt",
         "SCIM_Generic_Table_Phrase_Library_TEXT\nVERSION_1_0\nBEGIN_DEFINITION\nNAME = t\nMAX_KEY_LENGTH = 4\n"
         "RULES = ce2:p11+p21+p22+p23;ce3:p11+p12+p21+p31;ca5:p11+p21+p31+p54\nEND_DEFINITION\nBEGIN_TABLE\n"
         "khk\t中\t9\nlgyi\t国\t9\nwwww\t人\t9\nnav\t民\t9\nklgy\t中国\t9\nwwna\t人民\t9\nkhlw\t中国人\t9\n"
         "klwn\t中国人民\t9\nklwi\t中国人民国\t9\nEND_TABLE\n"},
    };
}

TEST_F(EncodeCli, ATablesOwnPhraseRulesCodeItsNewWords) {
    for (const RuleTable& t : RuleTables()) {
        SCOPED_TRACE(t.syntax);
        Spit(dir_ / t.file, t.text);
        CliResult r =
            encode(std::string("--table ") + t.file, "中国\n中国人\n中国人民\n人民\n中国人民中\n中国人民国\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "khlw 中国人\r\nklgy 中国\r\nklwi 中国人民国\r\nwnav 人民\r\n");
        EXPECT_NE(r.err.find("line 3: no phrase rule is for words of 4 characters; \"中国人民\" left out"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("line 5: the phrase rule for words of 5 characters asks for key 4 of '中', whose full "
                             "code is shorter; \"中国人民中\" left out"),
                  std::string::npos)
            << r.err;

        // Merged into the table it came from: by its rules (国人: lwww; Wubi-86 gives lgww).
        r = encode(std::string("--table ") + t.file + " --merge " + t.file, "国人\n");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("lwww"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("lgww"), std::string::npos) << r.out;
    }
}

TEST_F(EncodeCli, TheCheckHoldsPhrasesAgainstTheTablesOwnRules) {
    for (const RuleTable& t : RuleTables()) {
        for (const char* mode : {"", " --no-stream"}) {
            SCOPED_TRACE(std::string(t.syntax) + mode);
            Spit(dir_ / t.file, t.text);
            CliResult r = cli(std::string("check ") + t.file + mode);
            EXPECT_EQ(r.status, 1) << r.err;
            // Only 人民, whose code is Wubi-86's, is reported; the phrases the
            // table's rules code are not, nor the one they can't (中国人民).
            EXPECT_NE(r.out.find(": phrase \"人民\" has code \"wwna\"; the table's phrase rules give \"wnav\"\n"),
                      std::string::npos)
                << r.out;
            EXPECT_EQ(r.out.find("phrase \"中国"), std::string::npos) << r.out;
            EXPECT_NE(
                r.out.find(": phrases: 5 checked by the table's phrase rules, 1 with a wrong code, 1 not codable"),
                std::string::npos)
                << r.out;
        }
    }
    // Rules that are the Wubi-86 rules are named so.
    CliResult r = cli("check '" + std::string(ZELMORA_FORMATS_DATA) + "/libime_wubi.txt'");
    EXPECT_NE(r.out.find(": phrases: 1 checked by the Wubi-86 rules, 0 with a wrong code"), std::string::npos) << r.out;
}

namespace {

// The line of `code` in group lines, without its line break.
std::string GroupLineOf(const std::string& text, const std::string& code) {
    const std::string lines = "\n" + text;
    const std::size_t at = lines.find("\n" + code + " ");
    if (at == std::string::npos) return {};
    std::string line = lines.substr(at + 1, lines.find('\n', at + 1) - at - 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

// 以以 (nyny) merged into a table of each format whose code nyny holds 似似
// then 拟拟, with a weight that would put it first and without one: read back,
// it comes after them; where a weight was lowered, standard error says so.
TEST_F(EncodeCli, AMergedWordGoesAfterTheExistingCandidatesInEveryFormat) {
    struct Table {
        const char* file;
        std::string text;
        bool weights;  // candidates stand by weight: a high one is lowered
    };
    const std::string rimeHeader = "---\nname: t\nversion: \"1\"\ncolumns:\n  - text\n  - code\n  - weight\n";
    const std::vector<Table> tables = {
        {"p.txt", "nywy 以\nnyny 似似 拟拟\n", false},
        {"r.dict.yaml", rimeHeader + "sort: by_weight\n...\n以\tnywy\t100\n拟拟\tnyny\t7\n似似\tnyny\t50\n", true},
        {"o.dict.yaml", rimeHeader + "sort: original\n...\n以\tnywy\t100\n似似\tnyny\t5\n拟拟\tnyny\t70\n", false},
        {"l.txt", "KeyCode=abcdefghijklmnopqrstuvwxy\nLength=4\n[Data]\nnywy 以\nnyny 似似\nnyny 拟拟\n", false},
        {"f.txt", "键码=abcdefghijklmnopqrstuvwxy\n码长=4\n[数据]\nnywy 以\nnyny 似似\nnyny 拟拟\n", false},
        {"i.txt",
         "SCIM_Generic_Table_Phrase_Library_TEXT\nVERSION_1_0\nBEGIN_DEFINITION\nNAME = t\nMAX_KEY_LENGTH = 4\n"
         "END_DEFINITION\nBEGIN_TABLE\nnywy\t以\t9\nnyny\t拟拟\t3\nnyny\t似似\t8\nEND_TABLE\n",
         true},
        {"y.txt", "encode=UTF-8\nname=t\nkey=abcdefghijklmnopqrstuvwxyz\nlen=4\n[DATA]\nnywy 以\nnyny 似似 拟拟\n",
         false},
    };
    for (const Table& t : tables) {
        for (const char* weight : {"\t999999999", ""}) {
            SCOPED_TRACE(std::string(t.file) + weight);
            Spit(at(t.file), t.text);
            Spit(at("w.txt"), std::string("以以") + weight + "\n");
            CliResult r = encode(std::string("w.txt --encoding utf-8 --merge ") + t.file + " --out m.txt");
            ASSERT_EQ(r.status, 0) << r.err;
            CliResult back = cli("convert m.txt - --output-format plain --output-encoding utf-8");
            ASSERT_EQ(back.status, 0) << back.err;
            EXPECT_EQ(GroupLineOf(back.out, "nyny"), "nyny 似似 拟拟 以以") << back.out;
            const bool lowered = t.weights && *weight;
            EXPECT_EQ(r.err.find("\"以以\" nyny: ") != std::string::npos, lowered) << r.err;
            EXPECT_EQ(r.err.find(" 999999999 lowered to ") != std::string::npos, lowered) << r.err;
        }
    }
    // --by-weight: the word list's weight decides.
    Spit(at("w.txt"), "以以\t999999999\n");
    for (const char* file : {"r.dict.yaml", "i.txt"}) {
        SCOPED_TRACE(file);
        CliResult r = encode(std::string("w.txt --encoding utf-8 --by-weight --merge ") + file + " --out m.txt");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(GroupLineOf(cli("convert m.txt - --output-format plain --output-encoding utf-8").out, "nyny"),
                  "nyny 以以 似似 拟拟");
    }
}

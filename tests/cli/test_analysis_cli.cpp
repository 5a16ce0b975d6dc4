// zelmora-cli check (phrase codes), stats and diff, run as a program.
#include "tests/cli/cli_harness.h"
#include "tests/test_util.h"

using testutil::CliFixture;
using testutil::CliResult;
using testutil::G;
using testutil::Slurp;
using testutil::Spit;

namespace {

class AnalysisCli : public CliFixture {};

std::string Sample(const std::string& name) { return std::string(ZELMORA_FORMATS_DATA) + "/" + name; }

}  // namespace

TEST_F(AnalysisCli, CheckReportsWrongPhraseCodesWithTheSummaryStreamedOrWhole) {
    Spit(at("t.txt"), G("aaaa 工\r\nwthf 作\r\naawt 工作\r\naaw 工作\r\nabwt 工作\r\nkwww 中华人民\r\nab A股\r\n"));
    for (const char* whole : {"", " --no-stream"}) {
        CliResult r = cli(std::string("check t.txt") + whole);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.out.find("t.txt:5: phrase \"工作\" has code \"abwt\"; the Wubi-86 rules give \"aawt\"\n"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("t.txt:6: phrase \"中华人民\" has code \"kwww\"; the Wubi-86 rules give \"kwwn\"\n"),
                  std::string::npos);
        EXPECT_NE(r.out.find("t.txt: phrases: 5 checked by the Wubi-86 rules, 2 with a wrong code, 1 not codable"),
                  std::string::npos)
            << r.out;
        // The uncodable phrase mixes Han with a letter: the variant check's finding.
        EXPECT_NE(r.out.find("t.txt:7: word \"A股\" under code \"ab\" mixes"), std::string::npos) << r.out;
        EXPECT_NE(r.err.find("3 findings on 3 lines"), std::string::npos) << r.err;
    }
    // --chars: 作 coded otherwise there makes line 3 wrong and line 5's a short code of nothing.
    Spit(at("chars.txt"), G("wxyy 作\r\n"));
    CliResult r = cli("check t.txt --chars chars.txt");
    EXPECT_NE(r.out.find("t.txt:3: phrase \"工作\" has code \"aawt\"; the Wubi-86 rules give \"aawx\""),
              std::string::npos)
        << r.out;
    r = cli("check t.txt --no-phrases --no-mixed");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("phrase"), std::string::npos) << r.out;
    r = cli("check t.txt --chars missing.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos) << r.err;
    // A clean table: nothing suspicious, the summary still there.
    Spit(at("ok.txt"), G("aaaa 工\r\nwthf 作\r\naawt 工作\r\n"));
    r = cli("check ok.txt");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("phrases: 1 checked by the Wubi-86 rules, 0 with a wrong code"), std::string::npos) << r.out;
}

TEST_F(AnalysisCli, CheckLeavesOutEachKindOfVariantFindingItsOptionNames) {
    Spit(at("v.txt"), G("tv 筆\r\ntvfh 筆 律\r\ntvfa 律\r\naaaa 工\r\nbcd 工\r\nzzy ①\r\nttnt T恤\r\n"));
    const struct {
        const char* option;
        const char* finding;
    } kinds[] = {
        {"--no-variants",
         "v.txt:2: traditional \"筆\" stands before the simplified character \"律\" under code \"tvfh\""},
        {"--no-variant-shortcodes", "v.txt:1: traditional \"筆\" holds short code \"tv\""},
        {"--no-symbols", "v.txt:6: code \"zzy\" holds only symbols"},
        {"--no-mixed", "v.txt:7: word \"T恤\" under code \"ttnt\" mixes Han characters with ASCII letters or digits"},
        {"--no-stray-codes", "v.txt:5: character \"工\" has code \"bcd\", neither its full code \"aaaa\""},
    };
    std::string all;
    for (const auto& k : kinds) {
        CliResult with = cli("check v.txt --no-phrases");
        CliResult without = cli(std::string("check v.txt --no-phrases ") + k.option);
        EXPECT_EQ(with.status, 1) << k.option;
        EXPECT_NE(with.out.find(k.finding), std::string::npos) << k.option << "\n" << with.out;
        EXPECT_EQ(without.status, 1) << k.option << "\n" << without.out;  // the other kinds still found
        EXPECT_EQ(without.out.find(k.finding), std::string::npos) << k.option << "\n" << without.out;
        EXPECT_NE(without.err.find("4 findings on 4 lines"), std::string::npos) << k.option << "\n" << without.err;
        all += std::string(" ") + k.option;
    }
    CliResult none = cli("check v.txt --no-phrases" + all);
    EXPECT_EQ(none.status, 0) << none.out;
    EXPECT_NE(none.out.find("nothing suspicious"), std::string::npos) << none.out;
}

TEST_F(AnalysisCli, StatsAsTextAndJson) {
    CliResult r = cli("stats " + Sample("plain_wubi_gbk.txt"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("entries: "), std::string::npos);
    EXPECT_NE(r.out.find("GB 2312 level 2: "), std::string::npos);
    CliResult j = cli("stats --json -", "a 工 戈\nb 了\n");
    ASSERT_EQ(j.status, 0) << j.err;
    EXPECT_EQ(j.out.front(), '{');
    EXPECT_NE(j.out.find("\"entries\": 3,"), std::string::npos) << j.out;
    EXPECT_NE(j.out.find("\"duplicate_codes\": 1,"), std::string::npos) << j.out;
    r = cli("stats nothing.txt");
    EXPECT_EQ(r.status, 1);
}

TEST_F(AnalysisCli, DiffExitStatusTellsSameDifferentAndTrouble) {
    Spit(at("old.txt"), G("a 工 戈\r\naa 式\r\nab 节 芭\r\n"));
    Spit(at("new.txt"), G("a 戈 工\r\naaa 式\r\nab 节 苗\r\n"));
    CliResult r = cli("diff old.txt old.txt");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("identical"), std::string::npos);
    r = cli("diff old.txt new.txt");
    EXPECT_EQ(r.status, 1) << r.err;
    for (const char* l : {"+ ab 苗\n", "- ab 芭\n", "> 式 aa -> aaa\n", "~ a: 工 戈 -> 戈 工\n",
                          "old 5 entries, new 5: 1 added, 1 removed, 1 moved, 1 reordered\n"})
        EXPECT_NE(r.out.find(l), std::string::npos) << l << "\n" << r.out;
    r = cli("diff old.txt new.txt --tsv");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "added\tab\t苗\nremoved\tab\t芭\nmoved\t式\taa\taaa\nreordered\ta\t工 戈\t戈 工\n");
    r = cli("diff old.txt new.txt -q");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    r = cli("diff old.txt missing.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos) << r.err;
    r = cli("diff old.txt");
    EXPECT_EQ(r.status, 2);
    r = cli("diff old.txt new.txt --old-format nonsense");
    EXPECT_EQ(r.status, 2);
}

TEST_F(AnalysisCli, DiffOfWeightsAloneDiffersWithExitStatusOne) {
    const std::string head = "---\nname: t\nversion: \"1\"\nsort: original\n...\n";
    Spit(at("old.dict.yaml"), head + "工\ta\t10\n戈\ta\t5\n");
    Spit(at("new.dict.yaml"), head + "工\ta\t10\n戈\ta\t8\n");
    Spit(at("plain.txt"), G("a 工 戈\r\n"));
    struct Run {
        std::string args;
        int status;
        std::string out;  // empty: not compared
    };
    const Run runs[] = {
        {"diff old.dict.yaml new.dict.yaml", 1,
         "reweighted (1):\n~w a 戈 5 -> 8\nold 2 entries, new 2: 0 added, 0 removed, 0 moved, 0 reordered, 1 "
         "reweighted\n"},
        {"diff old.dict.yaml new.dict.yaml --tsv", 1, "weight\ta\t戈\t5\t8\n"},
        {"diff old.dict.yaml new.dict.yaml -q", 1, ""},
        // A plain table has no weights to differ in.
        {"diff old.dict.yaml plain.txt", 0, ""},
        {"diff old.dict.yaml old.dict.yaml", 0, ""},
    };
    for (const Run& run : runs) {
        CliResult r = cli(run.args);
        EXPECT_EQ(r.status, run.status) << run.args << "\n" << r.out << r.err;
        if (!run.out.empty()) {
            EXPECT_EQ(r.out, run.out) << run.args;
        }
    }
}

TEST_F(AnalysisCli, DiffOfEveryFormatAndEncodingAgainstEveryOther) {
    // The plain sample converted into each format and encoding; every pair of them
    // holds the same entries in the same order, whichever side each stands on.
    // The engines' formats in UTF-8 (what the engines read), plain text in
    // the other encodings too.
    std::vector<std::string> files = {Sample("plain_wubi_gbk.txt")};
    std::vector<std::pair<std::string, std::string>> kinds = {
        {"plain", "utf-8"},          {"plain", "gb18030"}, {"plain", "utf-16le --bom"},
        {"plain", "utf-16be --bom"}, {"rime", "utf-8"},    {"libime", "utf-8"},
        {"fcitx4", "utf-8"},         {"ibus", "utf-8"},    {"yong", "utf-8"}};
    for (const auto& [f, e] : kinds) {
        std::string name = f + "-" + e.substr(0, e.find(' ')) + ".txt";
        CliResult c = cli("convert '" + Sample("plain_wubi_gbk.txt") + "' " + name + " --output-format " + f +
                          " --output-encoding " + e);
        ASSERT_EQ(c.status, 0) << f << " " << e << ": " << c.err;
        files.push_back(at(name));
    }
    for (const auto& a : files)
        for (const auto& b : files) {
            CliResult r = cli("diff '" + a + "' '" + b + "'");
            EXPECT_EQ(r.status, 0) << a << " vs " << b << "\n" << r.out << r.err;
        }
    // And a change seen through two different formats.
    Spit(at("changed.txt"), Slurp(Sample("plain_wubi_gbk.txt")) + G("zz 新\r\n"));
    CliResult r = cli("diff '" + at("rime-utf-8.txt") + "' changed.txt --tsv");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "added\tzz\t新\n");
}

// zelmora-cli score and diff --text/--freq, run as a program, on tables small
// enough to type by hand.
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/cli_harness.h"
#include "tests/test_util.h"

using testutil::CliFixture;
using testutil::CliResult;
using testutil::G;
using testutil::Slurp;
using testutil::Spit;
using namespace std::string_literals;

namespace {

class TypingCli : public CliFixture {
protected:
    // 节 and 芭 share "ab"; 你们 is a word of three letters.
    void SetUp() override {
        CliFixture::SetUp();
        Spit(at("t.txt"), G("a 工\r\naa 式\r\nab 节 芭\r\nwq 你\r\nwqa 你们\r\nwu 们\r\n"));
        Spit(at("x.txt"), "你们工节芭。\n");
        Spit(at("y.txt"), "工芭\n");
    }
    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) names.insert(e.path().filename().string());
        for (const char* harness : {"stdin", "stdout", "stderr"}) names.erase(harness);
        return names;
    }
};

// The cells after `label` on its row of a text report (in the section
// "== name ==" when given), joined by one blank.
std::string Cells(const std::string& out, const std::string& label, const std::string& section = "") {
    std::size_t from = 0, to = out.size();
    if (!section.empty()) {
        from = out.find("== " + section + " ==\n");
        if (from == std::string::npos) return "no section " + section;
        to = std::min(out.find("\n== ", from + 1), out.size());
    }
    const std::size_t at = out.find("\n" + label + "  ", from);
    if (at == std::string::npos || at > to) return "no row " + label;
    std::istringstream row(out.substr(at + 1 + label.size(), out.find('\n', at + 1) - at - 1 - label.size()));
    std::string cell, cells;
    while (row >> cell) cells += (cells.empty() ? "" : " ") + cell;
    return cells;
}

const char* const kKeysPerCharacter = "keys per character (字均码长)";
const char* const kSelectionRate = "selection rate (选重率, per character)";

}  // namespace

TEST_F(TypingCli, FiguresWorkedByHand) {
    // 你们 wqa+space 4, 工 a+space 2, 节 ab+space 3, 芭 ab+; 3, 。 by its key.
    const struct {
        const char* text;
        const char* options;
        std::vector<std::pair<const char*, const char*>> rows;
    } cases[] = {
        {"你们工节芭。\n",
         "",
         {{kKeysPerCharacter, "2.400"},
          {kSelectionRate, "20.00%"},
          {"word rate (打词率, Han characters in words)", "40.00%"},
          {"commits", "4"}}},
        // Punctuation next saves 节's space.
        {"工节。\n", "", {{kKeysPerCharacter, "2.000"}, {"spaces saved by punctuation", "1"}}},
        {"芭芭\n", "", {{kKeysPerCharacter, "3.000"}, {kSelectionRate, "100.00%"}, {"key ;", "2"}}},
        {"芭芭\n", "--select-keys 2345", {{"key 2", "2"}}},
        // Two letters commit 节 alone; 芭 on a page of its own: ab = space.
        {"节\n", "--auto-commit 2", {{kKeysPerCharacter, "2.000"}}},
        {"芭\n", "--page-size 1", {{kKeysPerCharacter, "4.000"}, {"  page-down keys", "1"}}},
        // 卷 is no character of the table: missing, outside the keys per character.
        {"工卷\n", "", {{kKeysPerCharacter, "2.000"}, {"Han characters the table lacks (missing)", "1"}}},
    };
    for (const auto& c : cases) {
        Spit(at("text.txt"), c.text);
        CliResult r = cli("score t.txt text.txt "s + c.options);
        ASSERT_EQ(r.status, 0) << c.text << r.err;
        for (const auto& [label, value] : c.rows) EXPECT_EQ(Cells(r.out, label), value) << c.text << c.options;
    }
}

TEST_F(TypingCli, JsonParsesAndTsvHoldsItsValues) {
    CliResult j = cli("score t.txt x.txt --json");
    ASSERT_EQ(j.status, 0) << j.err;
    Spit(at("figures.json"), j.out);
    EXPECT_EQ(std::system(("python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
                           "assert d[0][\"tables\"][\"t.txt\"][\"keys_per_character\"] == 2.4' '" +
                           at("figures.json") + "'")
                              .c_str()),
              0)
        << j.out;
    CliResult t = cli("score t.txt x.txt --tsv");
    ASSERT_EQ(t.status, 0) << t.err;
    std::istringstream lines(t.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "input\tfigure\tt.txt");
    int rows = 0;
    while (std::getline(lines, line)) {
        const std::size_t a = line.find('\t'), b = line.find('\t', a + 1);
        ASSERT_EQ(line.substr(0, a), "x.txt") << line;
        EXPECT_NE(j.out.find("\"" + line.substr(a + 1, b - a - 1) + "\": " + line.substr(b + 1)), std::string::npos)
            << line;
        ++rows;
    }
    EXPECT_GT(rows, 40);
}

TEST_F(TypingCli, SeveralTextsGiveASectionEachAndATotalAndAgainstTheDifference) {
    CliResult r = cli("score t.txt x.txt y.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Cells(r.out, kKeysPerCharacter, "x.txt"), "2.400");
    EXPECT_EQ(Cells(r.out, kKeysPerCharacter, "y.txt"), "2.500");
    EXPECT_EQ(Cells(r.out, kKeysPerCharacter, "total"), "2.429");  // 17 keys, 7 characters
    // 芭 first: x.txt saves the space 节 took (。 comes next) and y.txt its selection.
    Spit(at("t2.txt"), G("a 工\r\naa 式\r\nab 芭 节\r\nwq 你\r\nwqa 你们\r\nwu 们\r\n"));
    r = cli("score t.txt x.txt y.txt --against t2.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Cells(r.out, "", "x.txt"), "t.txt t2.txt difference") << r.out;
    EXPECT_EQ(Cells(r.out, kKeysPerCharacter, "x.txt"), "2.400 2.200 -0.200");
    EXPECT_EQ(Cells(r.out, kSelectionRate, "total"), "28.57% 14.29% -14.29 pp");
    r = cli("score t.txt x.txt --against t2.txt --tsv");
    EXPECT_NE(r.out.find("input\tfigure\tt.txt\tt2.txt\tdifference\n"), std::string::npos) << r.out;
}

TEST_F(TypingCli, AStandardInputTextIsTypedThroughBothTables) {
    Spit(at("t2.txt"), G("a 工\r\naa 式\r\nab 芭 节\r\nwq 你\r\nwqa 你们\r\nwu 们\r\n"));
    for (const auto& [args, status] :
         {std::pair{"score t.txt - --against t2.txt", 0}, {"diff t.txt t2.txt --text -", 1}}) {
        CliResult r = cli(args, Slurp(at("x.txt")));
        EXPECT_EQ(r.status, status) << args << r.err;
        EXPECT_EQ(Cells(r.out, kKeysPerCharacter, "standard input"), "2.400 2.200 -0.200") << args << r.out;
    }
}

TEST_F(TypingCli, SplitWritesEachCommitAndEntriesEachEntrysCount) {
    CliResult r = cli("score t.txt x.txt y.txt --split split.txt --entries entries.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(at("split.txt")), "你们\twqa\t1\n工\ta\t1\n节\tab\t1\n芭\tab\t2\n工\ta\t1\n芭\tab\t2\n");
    EXPECT_EQ(Slurp(at("entries.txt")),
              "a\t工\t2\naa\t式\t0\nab\t节\t1\nab\t芭\t2\nwq\t你\t0\nwqa\t你们\t1\nwu\t们\t0\n");
}

TEST_F(TypingCli, BadInputFailsNamingTheFileAndWritesNothing) {
    Spit(at("late.txt"), "我们\n工作\n中华\xff人民\n");  // recognised as UTF-8 up to line 3
    Spit(at("gbk.txt"), G("工节\n"));                    // GBK bytes, no UTF-8
    Spit(at("elf.bin"),
         "\x7f"
         "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0\x3e\0\x01\0\0\0\x10\x61\0\0"s);
    Spit(at("empty.txt"), "");
    Spit(at("blank.txt"), " \n\t\r\n\n");
    Spit(at("none.txt"), "\r\n\r\n");
    Spit(at("freq.txt"), "工 10\n节 5\n芭 many\n");
    Spit(at("good.txt"), "工 10\n节 5\n");
    const struct {
        const char* args;
        std::vector<const char*> message;
    } cases[] = {
        {"late.txt", {"late.txt", "line 3"}},
        {"gbk.txt --text-encoding utf-8", {"gbk.txt", "line 1"}},
        {"elf.bin", {"elf.bin", "NUL"}},
        {"empty.txt", {"empty.txt"}},
        {"blank.txt", {"blank.txt"}},
        {"x.txt empty.txt", {"empty.txt"}},  // a good text first
        {"x.txt --against none.txt", {"none.txt", "no entries"}},
        {"--freq freq.txt", {"freq.txt", "line 3"}},
        {"--freq good.txt --chars gb2313", {"gb2313"}},
        {"x.txt --chars gb2312", {"--chars", "--freq"}},
    };
    for (const auto& c : cases) {
        const std::set<std::string> before = files();
        CliResult r = cli("score t.txt "s + c.args + " --split split.txt --entries entries.txt");
        EXPECT_EQ(r.status, 2) << c.args << r.out;
        for (const char* part : c.message) EXPECT_NE(r.err.find(part), std::string::npos) << c.args << ": " << r.err;
        EXPECT_EQ(files(), before) << c.args;  // no output, no temporary file
        EXPECT_EQ(r.out, "") << c.args;
    }
    CliResult r = cli("score none.txt x.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("\"none.txt\": the table has no entries"), std::string::npos) << r.err;
}

TEST_F(TypingCli, EveryFormatAndEncodingGivesThePlainTablesFigures) {
    // The built-in table with words, one of them behind a character, and a
    // text with words, selections, punctuation, letters and digits.
    CliResult r = cli("builtin");
    ASSERT_EQ(r.status, 0) << r.err;
    Spit(at("plain.txt"), r.out + G("aawt 工作\r\nwqwu 你们\r\nkhlg 中华人民共和国 中国\r\n"));
    Spit(at("text.txt"), "我们的工作，你们的工作：中华人民共和国匪茂。\nABC 123！“中国”\n");
    const std::string plain = cli("score plain.txt text.txt --json").out;
    ASSERT_NE(plain.find("\"selections\": 4,"), std::string::npos) << plain;
    ASSERT_NE(plain.find("\"words\": 5,"), std::string::npos) << plain;
    for (const char* kind :
         {"rime --output-encoding utf-8", "libime --output-encoding utf-8", "fcitx4 --output-encoding utf-8",
          "ibus --output-encoding utf-8", "yong --output-encoding utf-8", "yong --output-encoding gbk",
          "plain --output-encoding utf-8", "plain --output-encoding gb18030", "plain --output-encoding utf-16le --bom",
          "plain --output-encoding utf-16be --bom"}) {
        CliResult c = cli("convert plain.txt other.tab --output-format "s + kind);
        ASSERT_EQ(c.status, 0) << kind << c.err;
        std::string json = cli("score other.tab text.txt --json").out;
        const std::size_t name = json.find("\"other.tab\"");
        ASSERT_NE(name, std::string::npos) << kind << json;
        EXPECT_EQ(json.replace(name, 11, "\"plain.txt\""), plain) << kind;
    }
}

TEST_F(TypingCli, DiffTellsWhatAChangeDoesToTyping) {
    // 节 goes behind 芭 under a four-letter code: a first candidate commits
    // itself there, a second takes its selection key.
    Spit(at("old.txt"), G("abcd 节 芭\r\nwq 你\r\n"));
    Spit(at("new.txt"), G("abcd 芭 节\r\nwq 你\r\n"));
    Spit(at("d.txt"), "节节节芭你\n");
    Spit(at("f.txt"), "节 3\n芭 1\n你 1\n");
    for (const char* input : {"--text d.txt", "--freq f.txt"}) {
        CliResult r = cli("diff old.txt new.txt "s + input);
        EXPECT_EQ(r.status, 1) << input << r.err;
        EXPECT_EQ(Cells(r.out, kKeysPerCharacter), "4.000 4.400 +0.400") << input << r.out;
        EXPECT_NE(r.out.find("words typed dearer (1), most keys lost first:\n"
                             "  +3 keys: typed 3 times, 4 keys -> 5  节\n"
                             "words typed cheaper (1), most keys saved first:\n"
                             "  -1 keys: typed 1 time, 5 keys -> 4  芭\n"),
                  std::string::npos)
            << input << r.out;
    }
    CliResult r = cli("diff old.txt old.txt --text d.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("words typed dearer (0)"), std::string::npos) << r.out;
    r = cli("diff old.txt new.txt --text missing.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos) << r.err;
}

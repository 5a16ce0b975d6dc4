// zelmora-cli as a user runs it: help, errors that write nothing, the
// expansion byte for byte, the whole pipeline into result files.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "resources/resources.h"
#include "tests/cli/cli_harness.h"
#include "tests/test_util.h"
#include "transform/expand.h"
#include "transform/full_codes.h"
#include "transform/group.h"
#include "transform/relation.h"

namespace fs = std::filesystem;
using testutil::G;

using testutil::CliFixture;
using testutil::CliResult;
using testutil::Slurp;
using testutil::Spit;
using CliTest = CliFixture;

TEST_F(CliTest, HelpExplainsUsage) {
    CliResult r = cli("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* word : {"expand", "run", "builtin", "relate"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    CliResult e = cli("expand --help");
    EXPECT_EQ(e.status, 0);
    EXPECT_NE(e.out.find("FILE"), std::string::npos);
}

TEST_F(CliTest, VersionIsTheProjectsBeforeAnyCommand) {
    CliResult r = cli("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "zelmora-cli " ZELMORA_PROJECT_VERSION "\n");
    EXPECT_EQ(r.err, "");
    // After a command it is no option of that command.
    CliResult late = cli("expand --version");
    EXPECT_NE(late.status, 0);
    EXPECT_EQ(late.out, "");
}

TEST_F(CliTest, ErrorsGoToStderrAndWriteNothing) {
    CliResult unknown = cli("expand --bogus");
    EXPECT_NE(unknown.status, 0);
    EXPECT_EQ(unknown.out, "");
    EXPECT_NE(unknown.err.find("bogus"), std::string::npos);

    CliResult missing = cli("expand '" + (dir_ / "nope.txt").string() + "'");
    EXPECT_NE(missing.status, 0);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("Cannot open file \"" + (dir_ / "nope.txt").string() + "\""), std::string::npos)
        << missing.err;

    CliResult none = cli("");
    EXPECT_NE(none.status, 0);

    CliResult noSource =
        cli("run --out '" + (dir_ / "out").string() + "' --source '" + (dir_ / "nope.txt").string() + "'");
    EXPECT_NE(noSource.status, 0);
    EXPECT_EQ(noSource.out, "");
    EXPECT_FALSE(fs::exists(dir_ / "out" / "一字一行.txt"));
}

TEST_F(CliTest, ExpandIsByteExactFromFileAndStdin) {
    std::string table = G("aa 式\r\na 工 戈\nab\r\rb,子,\"x y\"\r\n") + "\x81";
    // The expansion as the window has it, and a break after its last line.
    std::string expected = zelmora::ExpandToEntryLines(table, zelmora::TextEncoding::Gbk) + "\r\n";
    Spit(dir_ / "t.txt", table);
    EXPECT_EQ(cli("expand '" + (dir_ / "t.txt").string() + "'").out, expected);
    EXPECT_EQ(cli("expand", table).out, expected);
    EXPECT_EQ(cli("expand -", table).out, expected);
    CliResult empty = cli("expand", "");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(cli("expand --builtin").out,
              zelmora::ExpandToEntryLines(zelmora::OpenBuiltinTable().readAll(), zelmora::TextEncoding::Gbk) + "\r\n");
}

TEST_F(CliTest, ExpandAndEncodePrintLinesThatEndWithABreak) {
    // Runs appended to one file stay lines apart: each output ends with one
    // line break, in its encoding and of its lines' kind; no text, no break.
    Spit(dir_ / "t.txt", G("aaww 工人\r\nkhlg 中国"));
    const std::string crlf = "\r\n", utf16 = std::string("\r\0\n\0", 4);
    const struct {
        const char* args;
        std::string input, lineBreak;
    } cases[] = {
        {"expand t.txt", "", crlf},
        {"expand", G("khlg 中国"), crlf},
        {"expand t.txt --output-encoding utf-16le", "", utf16},
        {"expand t.txt --output-format rime", "", "\n"},
        {"expand", "", ""},
        {"encode", G("中国\n工人\n"), crlf},
        {"encode --group", G("中国\n"), crlf},
        {"encode --output-encoding utf-16le", G("中国\n"), utf16},
        {"encode --output-format libime", G("中国\n"), "\n"},
        {"encode --merge t.txt", G("中国人\n"), crlf},
        {"encode", "", ""},
    };
    for (const auto& c : cases) {
        const CliResult r = cli(c.args, c.input);
        ASSERT_EQ(r.status, 0) << c.args << ": " << r.err;
        const std::string& out = r.out;
        if (c.lineBreak.empty()) {
            EXPECT_EQ(out, "") << c.args;
            continue;
        }
        ASSERT_GT(out.size(), 2 * c.lineBreak.size()) << c.args;
        EXPECT_EQ(out.substr(out.size() - c.lineBreak.size()), c.lineBreak) << c.args << ": " << out;
        const std::string before = out.substr(0, out.size() - c.lineBreak.size());
        EXPECT_NE(before.substr(before.size() - c.lineBreak.size()), c.lineBreak) << c.args << ": " << out;
    }
}

TEST_F(CliTest, BuiltinWritesTheTableBytes) {
    CliResult r = cli("builtin");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == zelmora::OpenBuiltinTable().bytes());
}

TEST_F(CliTest, RunOnTheBuiltinTable) {
    fs::path out = dir_ / "new" / "results";
    CliResult r = cli("run --builtin --out '" + out.string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "原码表\t10690行\n一字一行\t10951行\n重码一行\t10690行\n码长分类\t行数:一码25 二码599 三码4396 四码5931\n"
        "全码\t行数:三码832 四码5931 全部6763 三简3564\n出简不出全\t行数:一码25 二码588 三码3811 四码2339 全部6763\n"
        "重码\t重码：249行 510字；不重码10441\n简码全码\t行数:全部简码4188 简码全码3911 简码字3911 置后10690\n");
    const std::string table = zelmora::OpenBuiltinTable().readAll();
    const std::string entries = zelmora::ExpandToEntryLines(table, zelmora::TextEncoding::Gbk);
    EXPECT_EQ(Slurp(out / "一字一行.txt"), entries);
    EXPECT_EQ(Slurp(out / "重码一行.txt"), zelmora::GroupEqualCodes(entries));
    EXPECT_EQ(Slurp(out / "三简.txt"), zelmora::ExtractFullCodes(entries, zelmora::TextEncoding::Gbk).shortText);
    EXPECT_EQ(Slurp(out / "简码字的全码重码时置后.txt"),
              zelmora::RelateShortAndFullCodes(entries, table, zelmora::TextEncoding::Gbk).reorderedText);
    for (const char* hint :
         {"一字一行", "重码一行", "一码",   "二码",     "三码",     "四码",       "全码三码",
          "全码四码", "全码全部", "三简",   "最简一码", "最简二码", "最简三码",   "最简四码",
          "最简全部", "重码",     "不重码", "全部简码", "简码全码", "有简码的字", "简码字的全码重码时置后"})
        EXPECT_TRUE(fs::exists(out / (std::string(hint) + ".txt"))) << hint;
    int files = 0;
    for (const auto& e : fs::directory_iterator(out)) {
        EXPECT_NE(e.path().filename().string()[0], '.') << "temporary file left: " << e.path();
        ++files;
    }
    EXPECT_EQ(files, 21);
}

TEST_F(CliTest, RunWithOwnEntriesAndEmptyResults) {
    Spit(dir_ / "src.txt", G("a 工\r\nb 子"));
    Spit(dir_ / "entries.txt", G("zz 人\nzz 大\n"));
    fs::path out = dir_ / "out";
    fs::create_directories(out);
    Spit(out / "三简.txt", "old content that must go");
    CliResult r = cli("run --source '" + (dir_ / "src.txt").string() + "' --entries '" +
                      (dir_ / "entries.txt").string() + "' --out '" + out.string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "原码表\t2行\n一字一行\t2行\n重码一行\t1行\n码长分类\t行数:一码0 二码2 三码0 四码0\n"
              "全码\t行数:三码0 四码0 全部0 三简0\n出简不出全\t行数:一码0 二码2 三码0 四码0 全部2\n"
              "重码\t重码：0行 0字；不重码2\n简码全码\t行数:全部简码2 简码全码0 简码字0 置后2\n");
    EXPECT_EQ(Slurp(out / "一字一行.txt"), G("zz 人\r\nzz 大\r\n"));
    EXPECT_EQ(Slurp(out / "重码一行.txt"), G("zz 人 大"));
    EXPECT_EQ(Slurp(out / "三简.txt"), "");
    EXPECT_TRUE(fs::exists(out / "四码.txt"));
}

TEST_F(CliTest, SingleDerivationCommands) {
    fs::path out = dir_ / "o";
    CliResult f = cli("fullcodes --builtin --out '" + out.string() + "'");
    ASSERT_EQ(f.status, 0) << f.err;
    EXPECT_EQ(f.out, "全码\t行数:三码832 四码5931 全部6763 三简3564\n");
    EXPECT_TRUE(fs::exists(out / "全码全部.txt"));
    EXPECT_FALSE(fs::exists(out / "一码.txt"));
    EXPECT_EQ(cli("dups --builtin --out '" + out.string() + "'").out, "重码\t重码：249行 510字；不重码10441\n");
    EXPECT_EQ(cli("group --builtin --out '" + out.string() + "'").out, "重码一行\t10690行\n");
    EXPECT_EQ(cli("classify --builtin --out '" + out.string() + "'").out,
              "码长分类\t行数:一码25 二码599 三码4396 四码5931\n");
    EXPECT_EQ(cli("shortest --builtin --out '" + out.string() + "'").out,
              "出简不出全\t行数:一码25 二码588 三码3811 四码2339 全部6763\n");
    EXPECT_EQ(cli("relate --builtin --out '" + out.string() + "'").out,
              "简码全码\t行数:全部简码4188 简码全码3911 简码字3911 置后10690\n");
    EXPECT_NE(cli("fullcodes --builtin --source x --out '" + out.string() + "'").status, 0);
}

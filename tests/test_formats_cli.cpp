// zelmora-cli on tables of other encodings and formats: convert, check, and
// the table commands with --encoding/--format and their output options.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/cli_harness.h"
#include "tests/test_util.h"

namespace fs = std::filesystem;
using testutil::CliResult;
using testutil::Slurp;
using testutil::Spit;

namespace {

std::string Sample(const std::string& name) { return std::string(ZELMORA_FORMATS_DATA) + "/" + name; }

using FormatsCli = testutil::CliFixture;

}  // namespace

TEST_F(FormatsCli, ConvertWritesTheSameFileBackAndOtherFormatsOnRequest) {
    for (const char* name : {"rime_wubi.dict.yaml", "libime_wubi.txt", "fcitx4_wubi.txt", "ibus_wubi.txt", "yong_wubi.txt"}) {
        CliResult r = cli("convert '" + Sample(name) + "' '" + at("same") + "'");
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_EQ(Slurp(at("same")), Slurp(Sample(name))) << name;
    }
    // Rime to GBK plain text: the group lines in candidate order.
    CliResult r = cli("convert '" + Sample("rime_wubi.dict.yaml") + "' '" + at("plain.txt") +
                "' --output-format plain --output-encoding gbk");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(at("plain.txt")), Slurp(Sample("plain_wubi_gbk.txt")));
    // And back from GBK to UTF-8 Rime with a byte-order mark.
    r = cli("convert '" + at("plain.txt") + "' '" + at("back.dict.yaml") + "' --encoding gbk --output-format rime "
            "--output-encoding utf-8 --bom");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string back = Slurp(at("back.dict.yaml"));
    EXPECT_EQ(back.rfind("\xEF\xBB\xBF# Rime dictionary", 0), 0u);
    EXPECT_NE(back.find("name: \"back\""), std::string::npos);
    EXPECT_NE(back.find("恭恭敬敬\taaaa\n工\taaaa\n"), std::string::npos);
}

TEST_F(FormatsCli, ACharacterTheOutputEncodingLacksWritesNothing) {
    Spit(at("old.txt"), "keep me");
    CliResult r = cli("convert '" + Sample("rime_extb.dict.yaml") + "' '" + at("old.txt") + "' --output-encoding gbk");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Line 8"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("U+20000"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(at("old.txt")), "keep me");

    r = cli("run --source '" + Sample("rime_extb.dict.yaml") + "' --out '" + at("results") + "' --output-encoding gbk");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(at("results")));
}

TEST_F(FormatsCli, RunOnARimeTableGivesTheResultsOfTheSameTableInGbk) {
    CliResult gbk = cli("run --source '" + Sample("plain_wubi_gbk.txt") + "' --out '" + at("gbk") + "'");
    ASSERT_EQ(gbk.status, 0) << gbk.err;
    CliResult rime = cli("run --source '" + Sample("rime_wubi.dict.yaml") + "' --format rime --out '" + at("rime") + "'");
    ASSERT_EQ(rime.status, 0) << rime.err;
    EXPECT_EQ(rime.out, gbk.out);
    std::size_t files = 0;
    for (const auto& f : fs::directory_iterator(at("gbk"))) {
        ++files;
        std::string utf8 = Slurp(at("rime") + "/" + f.path().filename().string());
        EXPECT_EQ(testutil::G(utf8), Slurp(f.path())) << f.path().filename();
    }
    EXPECT_EQ(files, 21u);

    // Results written as Rime dictionaries keep the source's weights.
    CliResult asRime = cli("fullcodes --source '" + Sample("rime_wubi.dict.yaml") + "' --out '" + at("r2") +
                     "' --output-format rime");
    ASSERT_EQ(asRime.status, 0) << asRime.err;
    std::string four = Slurp(at("r2") + "/全码四码.dict.yaml");
    EXPECT_NE(four.find("恭恭敬敬\taaaa\t672000\n"), std::string::npos) << four;
}

TEST_F(FormatsCli, WithoutOptionsTheCommandsStayAsTheyWere) {
    Spit(at("table.txt"), Slurp(Sample("plain_wubi_gbk.txt")));
    CliResult plain = cli("run --source '" + at("table.txt") + "' --out '" + at("a") + "'");
    CliResult given = cli("run --source '" + at("table.txt") + "' --out '" + at("b") +
                    "' --encoding gbk --format plain --output-encoding gbk");
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(plain.out, given.out);
    for (const auto& f : fs::directory_iterator(at("a")))
        EXPECT_EQ(Slurp(f.path()), Slurp(at("b") + "/" + f.path().filename().string())) << f.path().filename();

    CliResult expand = cli("expand '" + Sample("yong_wubi.txt") + "' --format yong");
    ASSERT_EQ(expand.status, 0) << expand.err;
    EXPECT_NE(expand.out.find("aaaa 恭恭敬敬\r\n"), std::string::npos) << expand.out;
}

TEST_F(FormatsCli, CheckListsFindingsWithLineNumbersAndExitsWithOne) {
    CliResult r = cli("check '" + Sample("plain_suspicious.txt") + "'");
    EXPECT_EQ(r.status, 1);
    for (const char* line : {":2: word", ":3: code", ":4: code", ":5: blank line", ":6: a code without words",
                             ":7: does not round-trip"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    EXPECT_NE(r.err.find("6 findings on 6 lines"), std::string::npos) << r.err;

    r = cli("check '" + Sample("ibus_wubi.txt") + "'");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("nothing suspicious (ibus-table, UTF-8, 13 entries)"), std::string::npos) << r.out;

    r = cli("check '" + Sample("rime_wubi.dict.yaml") + "' --format libime");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--format rime"), std::string::npos) << r.err;
}

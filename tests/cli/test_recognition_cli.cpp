// zelmora-cli on files whose encoding it must recognise: every command reads
// them the same way, and a merge refuses to rest on a guess.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/cli/cli_harness.h"
#include "tests/test_util.h"

namespace fs = std::filesystem;
using testutil::CliResult;
using testutil::Slurp;
using testutil::Spit;

namespace {

using RecognitionCli = testutil::CliFixture;

std::string Utf16le(const std::string& utf8) { return testutil::Convert("UTF-16LE", "UTF-8", utf8); }

}  // namespace

TEST_F(RecognitionCli, UnicodeWithoutAByteOrderMarkIsReadAlikeByEveryCommand) {
    // The same table as GBK, and as UTF-16 without a mark (what convert
    // writes by default), UTF-8 and GB18030: the same results everywhere.
    const std::string utf8 = "aaaa 工\r\nbbbb 了\r\nbb 子 孑\r\n";
    Spit(at("gbk.txt"), testutil::G(utf8));
    Spit(at("le.txt"), Utf16le(utf8));
    Spit(at("be.txt"), testutil::Convert("UTF-16BE", "UTF-8", utf8));
    Spit(at("u8.txt"), utf8);
    CliResult gbk = cli("run --source gbk.txt --out gbk --entries gbk.txt");
    ASSERT_EQ(gbk.status, 0) << gbk.err;
    EXPECT_NE(gbk.out.find("原码表\t3行"), std::string::npos) << gbk.out;
    const std::string expanded = cli("expand gbk.txt").out;
    ASSERT_FALSE(expanded.empty());
    for (const char* name : {"le", "be", "u8"}) {
        const std::string file = std::string(name) + ".txt";
        CliResult r = cli("run --source " + file + " --out " + name + " --entries " + file);
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_EQ(r.out, gbk.out) << name;
        for (const auto& f : fs::directory_iterator(at("gbk"))) {
            const std::string other = Slurp(at(name) + "/" + f.path().filename().string());
            EXPECT_EQ(testutil::Convert("gb18030",
                                        name == std::string("u8")   ? "UTF-8"
                                        : name == std::string("le") ? "UTF-16LE"
                                                                    : "UTF-16BE",
                                        other),
                      Slurp(f.path()))
                << name << ": " << f.path().filename();
        }
        // A GBK table with its entries in another encoding.
        CliResult mixed = cli("run --source gbk.txt --out mixed-" + std::string(name) + " --entries " + file);
        ASSERT_EQ(mixed.status, 0) << name << ": " << mixed.err;
        EXPECT_EQ(mixed.out, gbk.out) << name;
        for (const auto& f : fs::directory_iterator(at("gbk")))
            EXPECT_EQ(Slurp(at("mixed-" + std::string(name)) + "/" + f.path().filename().string()), Slurp(f.path()))
                << name << ": " << f.path().filename();
        CliResult e = cli("expand " + file + " --output-encoding gbk");
        ASSERT_EQ(e.status, 0) << name << ": " << e.err;
        EXPECT_EQ(e.out, expanded) << name;
    }
}

TEST_F(RecognitionCli, AMergeRefusesAGuessedEncodingAndWritesNothing) {
    Spit(at("t.txt"), cli("builtin").out);
    const std::string table = Slurp(at("t.txt"));
    ASSERT_FALSE(table.empty());
    // 亲人 in UTF-8 is also three GBK characters: the frequency of the
    // characters each reading gives tells them apart.
    Spit(at("w.txt"), "亲人\n");
    CliResult r = cli("encode w.txt --merge t.txt --out t.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(Slurp(at("t.txt")).find(testutil::G("usww 亲人")), std::string::npos);
    EXPECT_EQ(Slurp(at("t.txt")).find(testutil::G("浜蹭汉")), std::string::npos);  // its UTF-8 bytes read as GBK
    // 小 alone in GBK is С in UTF-8: no frequency tells, so a merge refuses it.
    Spit(at("t.txt"), table);
    Spit(at("w.txt"), testutil::G("小\n"));
    r = cli("encode w.txt --merge t.txt --out t.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("give --encoding (nothing was written)"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(at("t.txt")), table);
    r = cli("encode w.txt --encoding gbk --merge t.txt --out t.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    // The same of the table merged into.
    Spit(at("small.txt"), testutil::G("ixxx 小\r\n"));
    Spit(at("new.txt"), "亲人\n");
    r = cli("encode new.txt --merge small.txt --out small.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("give --table-encoding (nothing was written)"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(at("small.txt")), testutil::G("ixxx 小\r\n"));
    // Without a merge the guess is only noted.
    r = cli("encode w.txt");
    EXPECT_NE(r.err.find("nearly as likely"), std::string::npos) << r.err;
}

TEST_F(RecognitionCli, AUtf8TableWithABadByteIsUtf8AndTheBadLineIsNamed) {
    // A table long enough to leave no doubt, then one line that is not UTF-8.
    std::string utf8;
    for (int i = 0; i < 300; ++i) utf8 += "aaaa 工\nbbbb 了 子\n";
    const std::string bad = utf8 + "cccc \xc0\xaf\n";
    Spit(at("t.txt"), bad);
    for (const char* command : {"stats t.txt", "check t.txt", "expand t.txt", "convert t.txt out.txt"}) {
        CliResult r = cli(command);
        EXPECT_NE(r.status, 0) << command;
        EXPECT_NE(r.err.find("Line 601: bytes 0xC0 0xAF"), std::string::npos) << command << ": " << r.err;
    }
    Spit(at("good.txt"), utf8);
    CliResult d = cli("diff good.txt t.txt");
    EXPECT_EQ(d.status, 2);
    EXPECT_NE(d.err.find("The new table \"t.txt\": Line 601: bytes 0xC0 0xAF"), std::string::npos) << d.err;
    // A short Rime dictionary: its header says UTF-8.
    Spit(at("r.dict.yaml"), "---\nname: r\n...\n工\taaaa\n了\tbbbb\n\xc0\xaf\tcccc\n");
    CliResult r = cli("stats r.dict.yaml");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Line 6: bytes 0xC0 0xAF"), std::string::npos) << r.err;
}

// zelmora-cli on tables of other encodings and formats: convert, check, and
// the table commands with --encoding/--format and their output options.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/cli/cli_harness.h"
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
    for (const char* name :
         {"rime_wubi.dict.yaml", "libime_wubi.txt", "fcitx4_wubi.txt", "ibus_wubi.txt", "yong_wubi.txt"}) {
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
    r = cli("convert '" + at("plain.txt") + "' '" + at("back.dict.yaml") +
            "' --encoding gbk --output-format rime "
            "--output-encoding utf-8 --bom");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string back = Slurp(at("back.dict.yaml"));
    EXPECT_EQ(back.rfind("\xEF\xBB\xBF# Rime dictionary", 0), 0u);
    EXPECT_NE(back.find("name: \"back\""), std::string::npos);
    EXPECT_NE(back.find("恭恭敬敬\taaaa\n工\taaaa\n"), std::string::npos);
}

TEST_F(FormatsCli, APlainTableHoldsEachWordOfARimeTableAsOneToken) {
    // 81 31 begins no four-byte character when a blank follows: the blank is
    // a character of the word, which is quoted so that it reads back whole.
    Spit(at("bad.dict.yaml"),
         "---\nname: t\nversion: \"1\"\nsort: original\n...\n\xD6\xD0\x81\x31 x\tabcd\n\xB9\xFA\tlgyi\n");
    for (const char* mode : {"", " --no-stream"}) {
        CliResult r = cli("convert bad.dict.yaml out.txt --encoding gb18030 --format rime --output-format plain" +
                          std::string(mode));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Slurp(at("out.txt")), "abcd \"\xD6\xD0\x81\x31 x\"\r\nlgyi \xB9\xFA\r\n") << mode;
        r = cli("stats out.txt --encoding gb18030");
        EXPECT_NE(r.out.find("entries: 2\n"), std::string::npos) << r.out;
    }
    // A word ending in a lone lead byte can't have another after it on a plain line.
    Spit(at("lone.dict.yaml"),
         "---\nname: t\nversion: \"1\"\nsort: original\n...\n\xD6\xD0\x81\tabcd\n\xB9\xFA\tabcd\n");
    CliResult r = cli("convert lone.dict.yaml lone.txt --encoding gb18030 --format rime --output-format plain");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\"lone.dict.yaml\", line 6: The word"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("ends in a lone lead byte and has a word after it"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(at("lone.txt")));
}

TEST_F(FormatsCli, ACharacterTheOutputEncodingLacksWritesNothing) {
    Spit(at("old.txt"), "keep me");
    CliResult r = cli("convert '" + Sample("rime_extb.dict.yaml") + "' '" + at("old.txt") +
                      "' --output-format plain --output-encoding gbk");
    EXPECT_EQ(r.status, 1);
    // The input's line, not the output's.
    EXPECT_NE(r.err.find("rime_extb.dict.yaml\", line 8: the character"), std::string::npos) << r.err;
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
    CliResult rime =
        cli("run --source '" + Sample("rime_wubi.dict.yaml") + "' --format rime --out '" + at("rime") + "'");
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
    CliResult asRime =
        cli("fullcodes --source '" + Sample("rime_wubi.dict.yaml") + "' --out '" + at("r2") + "' --output-format rime");
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
    for (const char* line :
         {":2: word", ":3: code", ":4: code", ":5: blank line", ":6: a code without words", ":7: does not round-trip"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    EXPECT_NE(r.err.find("6 findings on 6 lines"), std::string::npos) << r.err;

    r = cli("check '" + Sample("ibus_wubi.txt") + "'");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("nothing suspicious (ibus-table, UTF-8, 13 entries)"), std::string::npos) << r.out;

    r = cli("check '" + Sample("rime_wubi.dict.yaml") + "' --format libime");
    EXPECT_EQ(r.status, 2);  // a table that can't be checked, not findings
    EXPECT_NE(r.err.find("--format rime"), std::string::npos) << r.err;
}

namespace {

// One run of the command line: exit status, both outputs and the file written.
struct CliRun {
    int status;
    std::string out, err, file;
    bool operator==(const CliRun&) const = default;
};

std::string Shown(const CliRun& r) {
    return "status " + std::to_string(r.status) + "\nstdout: " + r.out + "\nstderr: " + r.err +
           "\nfile: " + std::to_string(r.file.size()) + " bytes";
}

// Names of the files in a folder, for seeing that no temporary file is left.
std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& f : fs::directory_iterator(dir)) names.push_back(f.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST_F(FormatsCli, StreamedConvertWritesWhatReadingTheWholeTableWrites) {
    const std::vector<std::string> outputs = {"",
                                              "--output-format plain --output-encoding gbk",
                                              "--output-format rime --output-encoding utf-16le --bom",
                                              "--output-format libime --output-encoding gb18030",
                                              "--output-format fcitx4",
                                              "--output-format ibus --output-encoding utf-16be",
                                              "--output-format yong --output-encoding gbk",
                                              "--output-format xml"};
    for (const char* name : {"rime_wubi.dict.yaml", "libime_wubi.txt", "fcitx4_wubi.txt", "ibus_wubi.txt",
                             "yong_wubi.txt", "rime_extb.dict.yaml", "plain_wubi_gbk.txt", "plain_suspicious.txt"}) {
        for (const std::string& options : outputs) {
            CliRun runs[2];
            for (int whole = 0; whole < 2; ++whole) {
                fs::remove(at("out"));
                CliResult r = cli("convert '" + Sample(name) + "' '" + at("out") + "' " + options +
                                  (whole ? " --no-stream" : ""));
                runs[whole] = {r.status, r.out, r.err, fs::exists(at("out")) ? Slurp(at("out")) : "(none)"};
            }
            EXPECT_EQ(runs[0], runs[1]) << name << " " << options << "\n" << Shown(runs[0]) << "\n" << Shown(runs[1]);
        }
        // Through standard input and output.
        CliResult piped = cli("convert - - --output-format yong", Slurp(Sample(name)));
        CliResult whole = cli("convert - - --output-format yong --no-stream", Slurp(Sample(name)));
        EXPECT_EQ(piped.status, whole.status) << name;
        EXPECT_EQ(piped.out, whole.out) << name;
        EXPECT_EQ(piped.err, whole.err) << name;
    }
    fs::remove(at("out"));
    EXPECT_EQ(Listing(dir_.string()), (std::vector<std::string>{"stderr", "stdin", "stdout"}));
}

TEST_F(FormatsCli, AFailureLateInALargeTableKeepsTheOldFileAndLeavesNoTemporaryFile) {
    // Megabytes of output are written before the failure is met.
    std::string table;
    for (int i = 0; i < 150000; ++i) table += "abc" + std::to_string(i) + " 工戈\r\n";
    Spit(at("ext.txt"), table + "zz 𠀀\r\n");
    Spit(at("bad.txt"), table + "zz \xE5\x28\xA1\r\n");
    Spit(at("old.txt"), "keep me");
    CliResult r = cli("convert ext.txt old.txt --output-encoding gbk");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\"ext.txt\", line 150001: the character \"𠀀\" (U+20000) of \"𠀀\" can't be written in GBK"),
              std::string::npos)
        << r.err;
    r = cli("convert bad.txt old.txt --encoding utf-8 --output-format rime");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Line 150001: bytes 0xE5 0x28 0xA1 0x0D are not valid UTF-8"), std::string::npos) << r.err;
    r = cli("convert ext.txt new.txt --output-encoding gbk");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Slurp(at("old.txt")), "keep me");
    EXPECT_EQ(Listing(dir_.string()),
              (std::vector<std::string>{"bad.txt", "ext.txt", "old.txt", "stderr", "stdin", "stdout"}));

    // Converted onto itself: read to the end before the file is replaced.
    CliResult whole = cli("convert ext.txt - --output-encoding utf-16le --no-stream");
    ASSERT_EQ(whole.status, 0) << whole.err;
    r = cli("convert ext.txt ext.txt --output-encoding utf-16le");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Slurp(at("ext.txt")) == whole.out);
}

TEST_F(FormatsCli, TablesWhoseCodesAreOutOfOrderAreConvertedWhole) {
    Spit(at("t.dict.yaml"), "---\nname: t\nsort: by_weight\n...\n戈\tb\t5\n工\ta\t3\n其\tb\t9\n");
    CliResult streamed = cli("convert t.dict.yaml - --output-format plain");
    CliResult whole = cli("convert t.dict.yaml - --output-format plain --no-stream");
    ASSERT_EQ(streamed.status, 0) << streamed.err;
    EXPECT_EQ(streamed.out, "b 其 戈\r\na 工\r\n");
    EXPECT_EQ(streamed.out, whole.out);
    // A pipe is read once, like standard input.
    std::string cmd = "cd '" + dir_.string() + "' && cat t.dict.yaml | '" + ZELMORA_CLI +
                      "' convert /dev/stdin piped.txt --output-format plain";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(Slurp(at("piped.txt")), whole.out);
}

TEST_F(FormatsCli, StreamedCheckReportsWhatReadingTheWholeTableReports) {
    // A report of megabytes; a word again after other codes (the check starts
    // over keeping every pair); the samples.
    std::string many;
    for (int i = 0; i < 80000; ++i) many += "abcde" + std::to_string(i) + " 工\n";
    Spit(at("many.txt"), many);
    Spit(at("again.txt"), "a 工\nb 戈\na 工\n");
    std::vector<std::string> files = {at("many.txt"), at("again.txt")};
    for (const char* name :
         {"rime_wubi.dict.yaml", "libime_wubi.txt", "ibus_wubi.txt", "plain_suspicious.txt", "rime_extb.dict.yaml"})
        files.push_back(Sample(name));
    for (const std::string& file : files) {
        for (const char* options : {"", " --encoding gbk", " --format rime"}) {
            CliResult streamed = cli("check '" + file + "'" + options);
            CliResult whole = cli("check '" + file + "'" + options + " --no-stream");
            EXPECT_EQ(streamed.status, whole.status) << file << options;
            EXPECT_TRUE(streamed.out == whole.out) << file << options << "\n" << streamed.out.substr(0, 500);
            EXPECT_EQ(streamed.err, whole.err) << file << options;
        }
    }
    CliResult again = cli("check again.txt");
    EXPECT_NE(again.out.find("again.txt:3: word \"工\" under code \"a\" again (first on line 1)"), std::string::npos)
        << again.out;
}

TEST_F(FormatsCli, HelpSaysWhichConversionsStream) {
    CliResult r = cli("convert --help");
    ASSERT_EQ(r.status, 0);
    for (const char* text :
         {"--no-stream", "1 MiB blocks", "Into the same format", "ascending order", "read whole", "progress line"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
    r = cli("check --help");
    EXPECT_NE(r.out.find("--no-stream"), std::string::npos) << r.out;
}

TEST_F(FormatsCli, EngineTablesAreReadWithoutOptionsAndWrittenAsTheirEnginesNeed) {
    // A Rime dictionary given to run without --format: its entries, not its header.
    CliResult plain = cli("run --source '" + Sample("rime_wubi.dict.yaml") + "' --format rime --out '" + at("a") + "'");
    CliResult guessed = cli("run --source '" + Sample("rime_wubi.dict.yaml") + "' --out '" + at("b") + "'");
    ASSERT_EQ(guessed.status, 0) << guessed.err;
    EXPECT_EQ(guessed.out, plain.out);
    EXPECT_EQ(Slurp(at("b/一字一行.txt")), Slurp(at("a/一字一行.txt")));
    // A GBK table into libime: UTF-8, no byte-order mark, phrase rules.
    CliResult r = cli("convert '" + Sample("plain_wubi_gbk.txt") + "' '" + at("t.txt") + "' --output-format libime");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string t = Slurp(at("t.txt"));
    EXPECT_EQ(t.rfind("KeyCode=", 0), 0u);
    EXPECT_NE(t.find("[Rule]\ne2=p11+p12+p21+p22\n"), std::string::npos);
    EXPECT_NE(t.find("a 工\n"), std::string::npos);
    // Another encoding for an engine format fails before anything is written.
    Spit(at("old.txt"), "keep me");
    r = cli("convert '" + Sample("plain_wubi_gbk.txt") + "' '" + at("old.txt") +
            "' --output-format fcitx4 --output-encoding gbk");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("UTF-8 only"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(at("old.txt")), "keep me");
}

TEST_F(FormatsCli, WordsGbkLacksAreLeftOutWhenAskedAndListed) {
    const std::string in = Sample("rime_extb.dict.yaml");
    for (const char* stream : {"", " --no-stream"}) {
        CliResult r = cli("convert '" + in + "' '" + at("out.txt") +
                          "' --output-format plain --output-encoding gbk "
                          "--unencodable skip --skipped '" +
                          at("skipped.txt") + "'" + stream);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("4 words left out"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("line 8 \"𠀀\""), std::string::npos) << r.err;
        EXPECT_EQ(testutil::U(Slurp(at("out.txt"))), "a 工\r\naaaa 工\r\n");
        EXPECT_EQ(
            Slurp(at("skipped.txt")),
            "8\ta\t𠀀\t𠀀\tU+20000\n9\taaaa\t𠀀\t𠀀\tU+20000\n11\twwww\t𪚥\t𪚥\tU+2A6A5\n12\tww\t𪚥\t𪚥\tU+2A6A5\n");
    }
    CliResult r = cli("convert '" + in + "' '" + at("out.txt") +
                      "' --output-format plain --output-encoding gbk --unencodable drop");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unknown --unencodable"), std::string::npos) << r.err;
}

// A run converts each result as it is done, while others are still worked
// out: the words left out are still listed in the order of the results, as
// the expansion and each derivation alone list them, one after another.
TEST_F(FormatsCli, ARunListsWordsLeftOutInTheOrderOfItsResults) {
    const std::string in = Sample("rime_extb.dict.yaml");
    const std::string skip = " --output-encoding gbk --unencodable skip --skipped ";
    CliResult r = cli("run --source '" + in + "' --out '" + at("all") + "'" + skip + "'" + at("all.txt") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    r = cli("expand '" + in + "'" + skip + "'" + at("expand.txt") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string oneByOne = Slurp(at("expand.txt"));
    for (const char* command : {"group", "classify", "fullcodes", "shortest", "dups", "relate"}) {
        r = cli(std::string(command) + " --source '" + in + "' --out '" + at(command) + "'" + skip + "'" +
                at(std::string(command) + ".txt") + "'");
        ASSERT_EQ(r.status, 0) << command << ": " << r.err;
        oneByOne += Slurp(at(std::string(command) + ".txt"));
    }
    EXPECT_NE(oneByOne, "");
    EXPECT_EQ(Slurp(at("all.txt")), oneByOne);
}

TEST_F(FormatsCli, AShortGbkTableThatIsValidUtf8IsReadAsGbkWithANoteWhenItIsClose) {
    Spit(at("words.txt"), "ggpx \xd2\xbb\xd0\xa9\r\n");  // 一些 in GBK
    CliResult r = cli("convert '" + at("words.txt") + "' - --output-format plain --output-encoding utf-8");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ggpx 一些\r\n");
    EXPECT_EQ(r.err, "");
    // 小 in GBK is С in UTF-8: a close call, said.
    Spit(at("words.txt"), "ixxx \xd0\xa1\r\n");
    r = cli("convert '" + at("words.txt") + "' - --output-format plain --output-encoding utf-8");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("nearly as likely; give --encoding to be sure"), std::string::npos) << r.err;
}

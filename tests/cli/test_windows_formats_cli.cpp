// zelmora-cli on the Windows programs' formats: the built-in table and
// Debian's Wubi-86 dictionary into each and back, through convert, diff,
// stats and check; jisu's lines read by a reader of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/cli_harness.h"
#include "tests/test_util.h"

namespace fs = std::filesystem;
using testutil::CliResult;
using testutil::Slurp;
using testutil::Spit;

namespace {

const char* const kDebianWubi = "/usr/share/rime-data/wubi86.dict.yaml";
const char* const kReadWritten[] = {"duoduo", "bingling", "jidian", "sogou-phrase", "baidu-phrase"};

using WindowsFormatsCli = testutil::CliFixture;

// The findings of check, without the file, line numbers or the summary: the
// same table in another format has the same findings on other lines.
std::vector<std::string> Findings(const std::string& out, const std::string& path) {
    std::vector<std::string> found;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(path + ":", 0) != 0) continue;
        line.erase(0, path.size() + 1);
        line.erase(std::remove_if(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; }), line.end());
        found.push_back(line);
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> Split(const std::string& s, char by) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i)
        if (i == s.size() || s[i] == by) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    return parts;
}

}  // namespace

TEST_F(WindowsFormatsCli, TheBuiltInAndDebianTablesGoIntoEachFormatAndBack) {
    ASSERT_TRUE(fs::exists(kDebianWubi))
        << "Debian's Wubi-86 dictionary is missing: install the package rime-data-wubi (scripts/install-deps)";
    CliResult r = cli("builtin");
    ASSERT_EQ(r.status, 0) << r.err;
    Spit(at("builtin.txt"), r.out);
    for (const std::string& source : {at("builtin.txt"), std::string(kDebianWubi)}) {
        const std::string stats = cli("stats '" + source + "'").out;
        const CliResult check = cli("check '" + source + "'");
        for (const std::string format : kReadWritten) {
            const std::string what = format + " from " + source;
            r = cli("convert '" + source + "' f.txt --output-format " + format);
            ASSERT_EQ(r.status, 0) << what << ": " << r.err;
            const std::string bytes = Slurp(at("f.txt"));
            EXPECT_EQ(bytes.rfind("\xFF\xFE", 0), 0u) << what << ": UTF-16LE with a byte-order mark";
            // Streamed or whole, the same bytes.
            r = cli("convert '" + source + "' whole.txt --no-stream --output-format " + format);
            ASSERT_EQ(r.status, 0) << what << ": " << r.err;
            EXPECT_TRUE(Slurp(at("whole.txt")) == bytes) << what;
            // The same entries in the same order, the format on either side.
            for (const std::string& sides : {"'" + source + "' f.txt", "f.txt '" + source + "'"}) {
                r = cli("diff " + sides);
                EXPECT_EQ(r.status, 0) << what << ", diff " << sides << ": " << r.out << r.err;
            }
            // Recognised as it is and written back as plain: the same entries again.
            r = cli("convert f.txt back.txt --output-format plain");
            ASSERT_EQ(r.status, 0) << what << ": " << r.err;
            r = cli("diff back.txt '" + source + "'");
            EXPECT_EQ(r.status, 0) << what << ", back: " << r.out << r.err;
            EXPECT_EQ(cli("stats f.txt").out, stats) << what;
            const CliResult c = cli("check f.txt");
            EXPECT_EQ(c.status, check.status) << what;
            EXPECT_EQ(Findings(c.out, "f.txt"), Findings(check.out, source)) << what;
        }
    }
}

TEST_F(WindowsFormatsCli, JisuNumbersEachCodesCandidatesWithTheKeysThatTakeThem) {
    CliResult r = cli("builtin");
    ASSERT_EQ(r.status, 0) << r.err;
    Spit(at("builtin.txt"), r.out);
    r = cli("convert builtin.txt jisu.txt --output-format jisu --output-encoding utf-8");
    ASSERT_EQ(r.status, 0) << r.err;
    r = cli("convert builtin.txt plain.txt --output-format plain --output-encoding utf-8");
    ASSERT_EQ(r.status, 0) << r.err;
    // The group lines the jisu lines should give, code by code.
    std::vector<std::pair<std::string, std::vector<std::string>>> expected;
    for (const std::string& line : Split(Slurp(at("plain.txt")), '\n')) {
        std::string l = line;
        if (!l.empty() && l.back() == '\r') l.pop_back();
        if (l.empty()) continue;
        std::vector<std::string> tokens = Split(l, ' ');
        expected.push_back({tokens[0], std::vector<std::string>(tokens.begin() + 1, tokens.end())});
    }
    // Read from its description: word, code and keys, position; the space
    // (_) takes a page's first, ; ' 4 5 the others, = turns a page of five.
    std::vector<std::pair<std::string, std::vector<std::string>>> read;
    std::size_t lines = 0;
    for (const std::string& line : Split(Slurp(at("jisu.txt")), '\n')) {
        if (line.empty()) continue;
        ++lines;
        ASSERT_EQ(line.back(), '\r') << line;
        const std::vector<std::string> f = Split(line.substr(0, line.size() - 1), '\t');
        ASSERT_EQ(f.size(), 3u) << line;
        const std::size_t position = std::stoul(f[2]);
        std::string keys = f[1], code;
        const std::size_t letters = keys.find_first_not_of("abcdefghijklmnopqrstuvwxyz");
        code = keys.substr(0, letters);
        keys.erase(0, letters);
        const std::string want = std::string((position - 1) / 5, '=') + "_;'45"[(position - 1) % 5];
        EXPECT_EQ(keys, want) << line;
        if (read.empty() || read.back().first != code) read.push_back({code, {}});
        EXPECT_EQ(position, read.back().second.size() + 1) << line;
        read.back().second.push_back(f[0]);
    }
    EXPECT_EQ(read, expected);
    EXPECT_GT(lines, 10000u);
}

TEST_F(WindowsFormatsCli, EachFormatIsNamedForReadingAndWriting) {
    Spit(at("t.txt"), "a 工 式\r\nb 了\r\n");
    for (const std::string format : kReadWritten) {
        CliResult r = cli("convert t.txt f.txt --output-format " + format + " --output-encoding utf-8");
        ASSERT_EQ(r.status, 0) << format << ": " << r.err;
        r = cli("stats --format " + format + " f.txt");
        EXPECT_EQ(r.status, 0) << format << ": " << r.err;
        EXPECT_NE(r.out.find("entries: 3"), std::string::npos) << format << ": " << r.out;
        r = cli("diff --old-format " + format + " f.txt t.txt");
        EXPECT_EQ(r.status, 0) << format << ": " << r.out << r.err;
    }
    for (const char* command : {"convert --help", "check --help", "stats --help"}) {
        const CliResult r = cli(command);
        for (const std::string format : kReadWritten)
            EXPECT_NE(r.out.find(format), std::string::npos) << command << ": " << format;
    }
    EXPECT_NE(cli("convert --help").out.find("jisu"), std::string::npos);
    // jisu is written only.
    Spit(at("j.txt"), "工\ta_\t1\r\n");
    const CliResult r = cli("stats --format jisu j.txt");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("written only"), std::string::npos) << r.err;
}

TEST_F(WindowsFormatsCli, ACodeTheFormatCannotHoldFailsNamingTheLineAndKeepsTheOldFile) {
    Spit(at("t.txt"), "a 工\r\n\"a b\" 式\r\n");
    Spit(at("old.txt"), "keep me");
    for (const std::string stream : {"", " --no-stream"}) {
        const CliResult r = cli("convert t.txt old.txt --output-format baidu-phrase" + stream);
        EXPECT_EQ(r.status, 1) << stream;
        EXPECT_NE(r.err.find("\"t.txt\", line 2: The code \"a b\""), std::string::npos) << stream << ": " << r.err;
        EXPECT_EQ(Slurp(at("old.txt")), "keep me") << stream;
    }
}

TEST_F(WindowsFormatsCli, WordsTheEncodingLacksAreLeftOutAndTheRestNumberedAgain) {
    // 𠀀 is no GBK character: left out, 丙 moves up to position 2, whether
    // the table streams or is read whole.
    Spit(at("t.txt"), testutil::Convert("UTF-16LE", "UTF-8", "\xEF\xBB\xBF;c\r\naa,3=丙\r\naa,1=甲\r\naa,2=𠀀\r\n"));
    for (const std::string stream : {"", " --no-stream"}) {
        const CliResult r =
            cli("convert t.txt out.txt --output-encoding gbk --unencodable skip --skipped skipped.txt" + stream);
        ASSERT_EQ(r.status, 0) << stream << ": " << r.err;
        EXPECT_EQ(testutil::U(Slurp(at("out.txt"))), "aa,1=甲\r\naa,2=丙\r\n") << stream;
        EXPECT_EQ(Slurp(at("skipped.txt")), "4\taa\t𠀀\t𠀀\tU+20000\n") << stream;
    }
}

TEST_F(WindowsFormatsCli, WindowsPhraseFilesGoThroughConvertDiffStatsAndCheckEitherSide) {
    ASSERT_TRUE(fs::exists(kDebianWubi))
        << "Debian's Wubi-86 dictionary is missing: install the package rime-data-wubi (scripts/install-deps)";
    CliResult r = cli("builtin");
    ASSERT_EQ(r.status, 0) << r.err;
    Spit(at("builtin.txt"), r.out);
    for (const std::string& source : {at("builtin.txt"), std::string(kDebianWubi)}) {
        r = cli("convert '" + source + "' f.dat --output-format ms-phrase");
        ASSERT_EQ(r.status, 0) << source << ": " << r.err;
        const std::string bytes = Slurp(at("f.dat"));
        EXPECT_EQ(bytes.rfind("mschxudp", 0), 0u) << source;
        r = cli("convert '" + source + "' whole.dat --no-stream --output-format ms-phrase");
        ASSERT_EQ(r.status, 0) << source << ": " << r.err;
        EXPECT_TRUE(Slurp(at("whole.dat")) == bytes) << source;
        for (const std::string& sides : {"'" + source + "' f.dat", "f.dat '" + source + "'"}) {
            r = cli("diff " + sides);
            EXPECT_EQ(r.status, 0) << "diff " << sides << ": " << r.out << r.err;
        }
        r = cli("convert f.dat back.txt --output-format plain");
        ASSERT_EQ(r.status, 0) << source << ": " << r.err;
        EXPECT_EQ(cli("diff back.txt '" + source + "'").status, 0) << source;
        EXPECT_EQ(cli("stats f.dat").out, cli("stats '" + source + "'").out) << source;
        const CliResult check = cli("check '" + source + "'"), c = cli("check f.dat");
        EXPECT_EQ(c.status, check.status) << source;
        EXPECT_EQ(Findings(c.out, "f.dat"), Findings(check.out, source)) << source;
    }
}

TEST_F(WindowsFormatsCli, AWindowsPhraseFileRefusesTextOptionsAndEntriesItCannotHold) {
    Spit(at("t.txt"), "a 工\r\nA 式\r\nb 了\r\n");
    Spit(at("old.dat"), "keep me");
    struct Case {
        std::string options, message;
    };
    const Case cases[] = {
        {"--output-encoding utf-16le", "--output-encoding UTF-16LE does not apply to ms-phrase"},
        {"--bom", "--bom does not apply to ms-phrase"},
        {"", "\"t.txt\", line 2: The code \"A\" holds \"A\", not only letters a-z"},
    };
    for (const Case& c : cases) {
        const CliResult r = cli("convert t.txt old.dat --output-format ms-phrase " + c.options);
        EXPECT_EQ(r.status, 1) << c.options;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.options << ": " << r.err;
        EXPECT_EQ(Slurp(at("old.dat")), "keep me") << c.options;
    }
    const CliResult r = cli("convert t.txt old.dat --output-format ms-phrase --unencodable skip --skipped s.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("1 word left out that the output can't hold (line 2 \"式\")"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(at("s.txt")), "2\tA\t式\tA\tU+0041\n");
    EXPECT_EQ(cli("diff old.dat t.txt").out.rfind("added (1):\n+ A 式\n", 0), 0u);
}

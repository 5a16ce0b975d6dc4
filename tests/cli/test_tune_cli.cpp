// zelmora-cli reorder, run as a program: what it writes, what it reports, and
// that it writes nothing when it fails.
#include <filesystem>
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

class TuneCli : public CliFixture {
protected:
    // 节 and 芭 share "ab"; the list has 芭 far ahead.
    void SetUp() override {
        CliFixture::SetUp();
        Spit(at("t.txt"), G("a 工\r\naa 式\r\nab 节 芭\r\nwq 你\r\n"));
        Spit(at("f.txt"), "芭 90\n节 10\n工 5\n");
    }
};

// The cells after `label` on its row of the report, joined by one blank.
std::string Cells(const std::string& out, const std::string& label) {
    const std::size_t at = out.find("\n" + label + "  ");
    if (at == std::string::npos) return "no row " + label;
    std::istringstream row(out.substr(at + 1 + label.size(), out.find('\n', at + 1) - at - 1 - label.size()));
    std::string cell, cells;
    while (row >> cell) cells += (cells.empty() ? "" : " ") + cell;
    return cells;
}

}  // namespace

TEST_F(TuneCli, WritesTheNewOrderAndReportsTheChangeAndItsFigures) {
    CliResult r = cli("reorder t.txt --freq f.txt --out new.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(at("new.txt")), G("a 工\r\naa 式\r\nab 芭 节\r\nwq 你\r\n"));
    EXPECT_NE(r.out.find("1 codes reordered, 2 candidates moved, 1 lines changed"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("~ ab: 节 芭 -> 芭 节"), std::string::npos) << r.out;
    // 芭 typed 90 times: from a selection key to the space.
    EXPECT_NE(r.out.find("== frequencies: f.txt =="), std::string::npos) << r.out;
    EXPECT_EQ(Cells(r.out, "selections (commits past the first candidate)"), "90 10 -80") << r.out;
}

TEST_F(TuneCli, DryRunAndReportWriteOnlyTheReport) {
    CliResult r = cli("reorder t.txt --freq f.txt --dry-run --report report.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(Slurp(at("report.txt")).find("~ ab: 节 芭 -> 芭 节"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(at("new.txt")));
    EXPECT_EQ(Slurp(at("t.txt")), G("a 工\r\naa 式\r\nab 节 芭\r\nwq 你\r\n"));
}

TEST_F(TuneCli, FailsWithStatus2AndWritesNothing) {
    struct Case {
        std::string args, file, bytes, message;
    };
    const std::vector<Case> cases = {
        {"--freq bad.txt --out new.txt", "bad.txt", "芭 90\n节 many\n", "line 2"},
        {"--freq f.txt --keep pins.txt --out new.txt", "pins.txt", "ab 节\nab\n", "pins.txt, line 2"},
        {"--freq f.txt", "", "", "give --out NEW, or --dry-run"},
        {"--freq f.txt --only most --out new.txt", "", "", "most"},
        {"--freq missing.txt --out new.txt", "", "", "missing.txt"},
        {"--freq f.txt --out new.txt --report no/such/folder/r.txt", "", "", "r.txt"},
    };
    for (const Case& c : cases) {
        if (!c.file.empty()) Spit(at(c.file), c.bytes);
        CliResult r = cli("reorder t.txt " + c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(at("new.txt"))) << c.args;
    }
}

// The command line's progress line: shown only for steps that outlast the
// delay, finished with " done", silent when not on a terminal.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "cli/progress.h"

using zelmora::cli::Progress;
using namespace std::chrono_literals;

namespace {
std::string Contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buf[256];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, f)) s.append(buf, n);
    return s;
}
}  // namespace

TEST(Progress, LongStepsAreAnnouncedAndFinished) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    {
        Progress p(f, true, 20ms);
        p.step("一字一行");
        std::this_thread::sleep_for(500ms);  // well past the delay
        p.step("fast");
        p.done();
    }
    std::string out = Contents(f);
    EXPECT_EQ(out.rfind("zelmora-cli: 一字一行 ... done\n", 0), 0u) << out;
    std::fclose(f);
}

TEST(Progress, QuickStepsAndNonTerminalsStaySilent) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    {
        Progress quick(f, true, 10s);
        quick.step("a");
        quick.step("b");
        quick.done();
        Progress off(f, false, 0ms);
        off.step("c");
        std::this_thread::sleep_for(50ms);
        off.done();
    }
    EXPECT_EQ(Contents(f), "");
    std::fclose(f);
}

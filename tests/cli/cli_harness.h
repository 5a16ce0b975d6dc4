#pragma once
// Runs the zelmora-cli binary in a scratch folder of its own per test and
// collects its exit status and output.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testutil {

namespace fs = std::filesystem;

struct CliResult {
    int status;
    std::string out, err;
};

inline std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Spit(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

class CliFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zelmora-cli-test-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs `zelmora-cli ARGS` inside the scratch folder with `input` on stdin.
    CliResult cli(const std::string& args, const std::string& input = "") {
        Spit(dir_ / "stdin", input);
        std::string cmd =
            std::string("cd '") + dir_.string() + "' && '" + ZELMORA_CLI + "' " + args + " <stdin >stdout 2>stderr";
        int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(dir_ / "stdout"), Slurp(dir_ / "stderr")};
    }
    // As cli() with an empty input, with shell commands run first in the same
    // shell (a ulimit, a umask), other redirections ("<&- >stdout 2>stderr"
    // closes standard input) and a command that runs the program (setpriv).
    CliResult cliAfter(const std::string& before, const std::string& args,
                       const std::string& redirects = "<stdin >stdout 2>stderr", const std::string& wrapper = "") {
        if (::access(dir_.c_str(), W_OK) == 0) {
            Spit(dir_ / "stdin", "");
            Spit(dir_ / "stdout", "");
        }
        std::string cmd = std::string("cd '") + dir_.string() + "' && " + before + " " + wrapper + " '" + ZELMORA_CLI +
                          "' " + args + " " + redirects;
        int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : (WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1),
                Slurp(dir_ / "stdout"), Slurp(dir_ / "stderr")};
    }
    std::string at(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

}  // namespace testutil

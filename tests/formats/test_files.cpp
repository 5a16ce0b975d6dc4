// Files as the library reads and writes them under faults: closed standard
// descriptors, signals in the middle of a write, result folders replaced
// whole, and conversions of texts far larger than ICU takes in one call.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>

#include "core/failure.h"
#include "formats/checking.h"
#include "formats/convert.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/encoding_internal.h"
#include "formats/files.h"

namespace fs = std::filesystem;
using namespace zelmora;
using namespace zelmora::formats;

namespace {

// Runs `body` in a child process; its exit status (0: all held), or 128 +
// the signal that ended it.
int InChild(const std::function<int()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = body();
        } catch (...) {
            code = 98;
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zelmora-files-test-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::size_t entries(const fs::path& d) const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(d), fs::directory_iterator()));
    }
    fs::path dir_;
};

}  // namespace

TEST_F(FilesTest, ClosedStandardDescriptorsAreNeverTakenByTheProgramsFiles) {
    const std::string out = (dir_ / "out.txt").string();
    int status = InChild([&] {
        ::close(0);
        ::close(2);
        if (!ReserveStandardDescriptors()) return 1;  // it tells that input was closed
        if (::fcntl(0, F_GETFD) < 0 || ::fcntl(2, F_GETFD) < 0) return 2;
        int scratch = OpenScratch();
        if (scratch <= 2) return 3;
        // Standard input now fails to read, with a message that says why.
        try {
            ReadInput("-");
            return 4;
        } catch (const Failure& f) {
            if (std::string(f.what()) != "Cannot read standard input: it is closed") return 5;
        }
        try {
            InputFile in("-");
            return 6;
        } catch (const Failure& f) {
            if (std::string(f.what()).find("closed") == std::string::npos) return 7;
        }
        // A file written now never lands on descriptor 0.
        OutputFile file(out);
        file.write(std::string(3 << 20, 'x'));
        if (::fcntl(0, F_GETFL) < 0 || (::fcntl(0, F_GETFL) & O_ACCMODE) != O_WRONLY) return 8;
        file.commit();
        return ReserveStandardDescriptors() ? 9 : 0;  // nothing closed the second time
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fs::file_size(out), 3u << 20);
}

TEST_F(FilesTest, ATerminatingSignalRemovesTheTemporaryFilesAndEndsTheProcessByIt) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const fs::path out = dir_ / "out.txt";
        pid_t pid = ::fork();
        if (pid == 0) {
            RemoveTemporaryFilesOnSignals();
            OutputFile file(out.string());
            file.write(std::string(3 << 20, 'x'));  // past the buffer: the temporary file exists
            ::write(ready[1], "r", 1);
            for (;;) ::pause();
        }
        char c;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        EXPECT_EQ(entries(dir_), 1u);  // the temporary file
        ::kill(pid, sig);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        ASSERT_TRUE(WIFSIGNALED(status)) << sig;
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_EQ(entries(dir_), 0u) << "left behind after signal " << sig;
    }
}

TEST_F(FilesTest, AWriteBeyondTheFileSizeLimitFailsWithAMessage) {
    const fs::path out = dir_ / "out.txt";
    { std::ofstream(out) << "old"; }
    int status = InChild([&] {
        RemoveTemporaryFilesOnSignals();
        struct rlimit small {
            4096, 4096
        };
        ::setrlimit(RLIMIT_FSIZE, &small);
        try {
            WriteFileSafely(out.string(), std::string(20000, 'n'));
            return 1;
        } catch (const Failure& f) {
            const std::string m = f.what();
            if (m != "Cannot write file \"" + out.string() + "\". File too large") return 2;
        }
        return 0;
    });
    EXPECT_EQ(status, 0) << "153 is death by SIGXFSZ";
    EXPECT_EQ(Slurp(out), "old");
    EXPECT_EQ(entries(dir_), 1u);
}

TEST_F(FilesTest, ResultFilesReplaceTheOldOnesAllOrNone) {
    const fs::path res = dir_ / "res";
    WriteResultFiles(res.string(), {{"a.txt", "new a"}, {"b.txt", "new b"}});
    EXPECT_EQ(Slurp(res / "a.txt"), "new a");
    EXPECT_EQ(entries(dir_), 1u);  // no temporary folder beside it

    // The second file can't be written: the first keeps its old bytes.
    int status = InChild([&] {
        RemoveTemporaryFilesOnSignals();
        struct rlimit small {
            100, 100
        };
        ::setrlimit(RLIMIT_FSIZE, &small);
        try {
            WriteResultFiles(res.string(), {{"a.txt", "changed a"}, {"b.txt", std::string(5000, 'b')}});
        } catch (const Failure& f) {
            return std::string(f.what()).find("File too large") == std::string::npos ? 2 : 0;
        }
        return 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Slurp(res / "a.txt"), "new a");
    EXPECT_EQ(Slurp(res / "b.txt"), "new b");
    EXPECT_EQ(entries(res), 2u);

    // A result name taken by a folder: found before any file is replaced.
    fs::create_directories(res / "c.txt");
    try {
        WriteResultFiles(res.string(), {{"a.txt", "changed a"}, {"c.txt", "c"}});
        ADD_FAILURE() << "wrote over a folder";
    } catch (const Failure& f) {
        EXPECT_NE(std::string(f.what()).find("Is a directory"), std::string::npos) << f.what();
    }
    EXPECT_EQ(Slurp(res / "a.txt"), "new a");
    EXPECT_EQ(entries(res), 3u);
}

// Mixed text: ASCII, two-byte Han characters, four-byte characters beyond
// the BMP (surrogate pairs in UTF-16), line breaks, long runs without one.
std::string MixedUtf8(unsigned seed, std::size_t chars) {
    std::mt19937 rng(seed);
    const char* pieces[] = {"a",
                            "z",
                            ",",
                            " ",
                            "\r\n",
                            "\n",
                            "中",
                            "国",
                            "\xF0\xA0\x80\x80" /* U+20000 */,
                            "\xF0\x9F\x98\x80" /* U+1F600 */,
                            "\xE2\x82\xAC" /* € */};
    std::string s;
    for (std::size_t i = 0; i < chars; ++i) {
        const int k = static_cast<int>(rng() % 11);
        // Long stretches without a byte below 0x30 test the character walk.
        if (k >= 6 && rng() % 4 == 0)
            for (int j = 0; j < 40; ++j) s += pieces[6 + (j % 5)];
        s += pieces[k];
    }
    return s;
}

TEST(FormatsEncoding, ConversionInSmallPiecesGivesTheWholeConversion) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const std::string utf8 = MixedUtf8(seed, 3000);
        const DecodedText whole = DecodeText(utf8, Encoding::Utf8);
        const std::string utf16 = EncodeText(whole.text, Encoding::Utf16le, true, TextEncoding::Gb18030);
        for (std::size_t piece : {2u, 3u, 5u, 16u, 1000u}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", piece " + std::to_string(piece));
            EXPECT_EQ(DecodeTextInPieces(utf8, Encoding::Utf8, piece).text, whole.text);
            EXPECT_EQ(DecodeTextInPieces(utf16, Encoding::Auto, piece).text, whole.text);
            EXPECT_EQ(EncodeTextFrom(whole.text, Encoding::Utf8, false, TextEncoding::Gb18030, 1, piece), utf8);
            EXPECT_EQ(EncodeTextFrom(whole.text, Encoding::Utf16le, true, TextEncoding::Gb18030, 1, piece), utf16);
        }
    }
    // Bytes that are no character, past the first pieces: the same line is named.
    const std::string text = DecodeText(MixedUtf8(7, 2000), Encoding::Utf8).text + "\r\nab \x81\x20 cd\r\n";
    std::string expected;
    try {
        EncodeText(text, Encoding::Utf8, false, TextEncoding::Gb18030);
    } catch (const Failure& f) {
        expected = f.what();
    }
    ASSERT_NE(expected.find("0x81"), std::string::npos) << expected;
    for (std::size_t piece : {2u, 7u, 64u}) {
        try {
            EncodeTextFrom(text, Encoding::Utf8, false, TextEncoding::Gb18030, 1, piece);
            ADD_FAILURE() << "piece " << piece;
        } catch (const Failure& f) {
            EXPECT_EQ(std::string(f.what()), expected) << piece;
        }
    }
}

TEST(FormatsCheck, HugeTextsInFindingsAndFailuresAreCut) {
    // A 300,000-letter code on one line: the finding quotes 100 letters and says how many.
    const std::string code(300000, 'A');
    std::vector<TableProblem> found = CheckTable(ReadTable(code + " x\r\n", Encoding::Gbk, Format::Plain));
    ASSERT_FALSE(found.empty());
    for (const auto& p : found) EXPECT_LT(p.message.size(), 400u) << p.message.substr(0, 200);
    EXPECT_EQ(found[0].message,
              "code \"" + std::string(100, 'A') + "… (300000 characters)\" has characters outside a-z");
    // A header line of another format, given with the wrong --format.
    const std::string rime = "name: " + std::string(300000, 'r') + "\n...\n";
    try {
        ReadTable(rime, Encoding::Utf8, Format::Ibus);
        ADD_FAILURE() << "read as ibus";
    } catch (const Failure& f) {
        const std::string m = f.what();
        EXPECT_LT(m.size(), 500u);
        EXPECT_NE(m.find("(300006 characters)"), std::string::npos) << m.substr(0, 300);
    }
}

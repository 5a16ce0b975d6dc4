// zelmora-cli's files under faults: closed standard streams, modes and owners
// of the files it writes, symbolic links, file-size limits, and messages that
// name the folder or path at fault before any work is done.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <cstdio>
#include <map>
#include <string>

#include "tests/cli/cli_harness.h"

namespace fs = std::filesystem;
using testutil::CliResult;
using testutil::Slurp;
using testutil::Spit;

namespace {

using FilesCli = testutil::CliFixture;

const std::string kTable = "aaaa 工\r\nbbbb 子\r\ncccc 又\r\n";

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Every name in a folder, hidden ones too, with the bytes of its files.
std::map<std::string, std::string> Contents(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        files[e.path().filename().string()] = e.is_regular_file() ? Slurp(e.path()) : std::string("<folder>");
    return files;
}

// The names whose bytes differ between two folders' contents ("" when none).
std::string Differing(const std::map<std::string, std::string>& a, const std::map<std::string, std::string>& b) {
    std::string names;
    for (const auto& [name, bytes] : a)
        if (!b.count(name) || b.at(name) != bytes) names += name + " ";
    for (const auto& [name, bytes] : b)
        if (!a.count(name)) names += name + " ";
    return names;
}

std::size_t Hidden(const fs::path& dir) {
    std::size_t n = 0;
    for (const auto& [name, bytes] : Contents(dir)) n += name[0] == '.';
    return n;
}

// The built-in table with one more line.
std::string ChangedBuiltin() { return "zzzz \xB9\xA4\r\n" + Slurp(ZELMORA_SHARED_TABLE); }

}  // namespace

TEST_F(FilesCli, AClosedStandardInputFailsAndLeavesTheOutputAlone) {
    Spit(at("keep.txt"), kTable);
    for (const char* mode : {"", " --no-stream"}) {
        CliResult r = cliAfter("", std::string("convert - keep.txt") + mode, "<&- >stdout 2>stderr");
        EXPECT_EQ(r.status, 1) << mode;
        EXPECT_NE(r.err.find("standard input"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("closed"), std::string::npos) << r.err;
        EXPECT_EQ(Slurp(at("keep.txt")), kTable) << mode;
    }
    for (const char* mode : {"", " --no-stream"}) {
        CliResult r = cliAfter("", std::string("check -") + mode, "<&- >stdout 2>stderr");
        EXPECT_EQ(r.status, 2) << mode;  // could not check, not "found something"
        EXPECT_EQ(r.out.find("nothing suspicious"), std::string::npos) << r.out;
        EXPECT_NE(r.err.find("standard input"), std::string::npos) << r.err;
    }
    CliResult r = cliAfter("", "encode --out words.txt", "<&- >stdout 2>stderr");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("standard input"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(at("words.txt")));
    // A closed standard output is an error too, not a file of the program's.
    Spit(at("in.txt"), kTable);
    r = cliAfter("", "convert in.txt -", "<stdin >&- 2>stderr");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("standard output"), std::string::npos) << r.err;
}

TEST_F(FilesCli, AReplacedFileKeepsItsModeAndOwnerAndANewOneFollowsTheUmask) {
    Spit(at("secret.txt"), kTable);
    ::chmod(at("secret.txt").c_str(), 0600);
    CliResult r = cli("convert secret.txt secret.txt --output-encoding utf-8");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ModeOf(at("secret.txt")), 0600u);
    EXPECT_EQ(Slurp(at("secret.txt")), "aaaa 工\r\nbbbb 子\r\ncccc 又\r\n");

    ::chmod(at("secret.txt").c_str(), 0640);
    r = cli("encode --out secret.txt", "工\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ModeOf(at("secret.txt")), 0640u);

    for (mode_t mask : {077, 022, 002}) {
        const mode_t mode = 0666 & ~mask;
        char umask[16];
        std::snprintf(umask, sizeof umask, "umask %03o;", static_cast<unsigned>(mask));
        fs::remove(at("new.txt"));
        fs::remove_all(at("res"));
        r = cliAfter(umask, "convert secret.txt new.txt");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ModeOf(at("new.txt")), mode) << umask;
        r = cliAfter(umask, "dups --builtin --out res");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ModeOf(at("res/重码.txt")), mode) << umask;
        EXPECT_EQ(ModeOf(at("res")), 0777 & ~mask) << umask;
    }

    // Owner and group stay where the process may give them (as root).
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(at("secret.txt").c_str(), 65534, 65534), 0);
        r = cli("convert secret.txt secret.txt --output-encoding gbk");
        ASSERT_EQ(r.status, 0) << r.err;
        struct stat st {};
        ASSERT_EQ(::stat(at("secret.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
    }
}

TEST_F(FilesCli, ASymbolicLinkIsWrittenThroughToItsTarget) {
    fs::create_directories(at("real"));
    Spit(at("real/table.txt"), kTable);
    fs::create_symlink("real/table.txt", at("first"));
    fs::create_symlink("first", at("link.txt"));  // a chain of two links
    CliResult r = cli("convert link.txt link.txt --output-encoding utf-8");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(at("link.txt")));
    EXPECT_TRUE(fs::is_symlink(at("first")));
    EXPECT_EQ(Slurp(at("real/table.txt")), "aaaa 工\r\nbbbb 子\r\ncccc 又\r\n");
    // The temporary file was beside the target, and is gone.
    EXPECT_EQ(Contents(at("real")).size(), 1u);
    EXPECT_EQ(Hidden(dir_), 0u);

    // A link to a file not there yet creates it where the link points.
    fs::create_symlink("real/made.txt", at("dangling.txt"));
    r = cli("encode --out dangling.txt", "工\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(at("dangling.txt")));
    EXPECT_EQ(Slurp(at("real/made.txt")), "aaaa 工");
}

TEST_F(FilesCli, AFileSizeLimitFailsWithAMessageAndLeavesNoTemporaryFile) {
    Spit(at("big.txt"), Slurp(ZELMORA_SHARED_TABLE));
    Spit(at("out.txt"), "old");
    for (const char* mode : {"", " --no-stream"}) {
        CliResult r = cliAfter("ulimit -f 40;", std::string("convert big.txt out.txt --output-format rime") + mode);
        EXPECT_EQ(r.status, 1) << mode << ": " << r.err;
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(at("out.txt")), std::string::npos) << r.err;
        EXPECT_EQ(Slurp(at("out.txt")), "old");
        EXPECT_EQ(Contents(dir_).size(), 5u) << "a temporary file was left";  // stdin stdout stderr big out
    }
}

TEST_F(FilesCli, RunUnderAFileSizeLimitLeavesTheOldResultFolderAsItWas) {
    CliResult r = cli("run --builtin --out res");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto before = Contents(at("res"));
    Spit(at("changed.txt"), ChangedBuiltin());
    // Small results fit under the limit, large ones do not.
    for (const char* options : {"", " --output-encoding utf-8"}) {
        r = cliAfter("ulimit -f 60;", std::string("run --source changed.txt --out res") + options);
        EXPECT_EQ(r.status, 1) << options;
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
        EXPECT_EQ(Differing(Contents(at("res")), before), "") << options;
    }
    // Without the limit the same run replaces them all.
    r = cli("run --source changed.txt --out res");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto after = Contents(at("res"));
    EXPECT_EQ(after.size(), before.size());
    EXPECT_NE(after.at("一字一行.txt"), before.at("一字一行.txt"));

    // A new folder appears whole or not at all.
    r = cliAfter("ulimit -f 60;", "run --source changed.txt --out fresh/res");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(at("fresh/res")));
    EXPECT_TRUE(Contents(at("fresh")).empty());
    r = cli("run --source changed.txt --out fresh/res");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Differing(Contents(at("fresh/res")), after), "");
    EXPECT_EQ(Contents(at("fresh")).size(), 1u);
}

TEST_F(FilesCli, AnOutputPathThatCantBeWrittenIsReportedBeforeAnyWork) {
    fs::create_directories(at("dd"));
    // The input would fail too, but only once read to its end: the output
    // path is reported first.
    Spit(at("cut.txt"), kTable + "dddd \xE5\xB7");
    for (const char* mode : {"", " --no-stream"}) {
        CliResult r = cli(std::string("convert cut.txt dd --encoding utf-8") + mode);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "zelmora-cli: Cannot create file \"" + at("dd") + "\". Is a directory\n");
    }
    CliResult r = cli("encode --out dd", "工\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\"" + at("dd") + "\". Is a directory"), std::string::npos) << r.err;
    Spit(at("file"), "x");
    r = cli("dups --builtin --out file");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\"" + at("file") + "\". Not a directory"), std::string::npos) << r.err;
    r = cli("convert cut.txt no/such/out.txt --encoding utf-8");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;
}

TEST_F(FilesCli, AFolderThatCantBeWrittenIsNamedAsTheCause) {
    // Root may write anywhere: as root the program runs as nobody, for whom
    // the scratch folder (0755, root's) is read-only; as anyone else the
    // folder is made read-only.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(std::system("command -v setpriv >/dev/null"), 0) << "setpriv is missing: install util-linux";
    }
    Spit(at("in.txt"), kTable);
    Spit(at("stdin"), "");
    Spit(at("stdout"), "");
    Spit(at("stderr"), "");
    ::chmod(at("stdout").c_str(), 0666);
    ::chmod(at("stderr").c_str(), 0666);
    ::chmod(dir_.c_str(), root ? 0755 : 0555);
    const std::string nobody = root ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
    CliResult r = cliAfter("", "convert in.txt out.txt", ">stdout 2>stderr <stdin", nobody);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zelmora-cli: Cannot create file \"" + at("out.txt") + "\". Permission denied: the folder \"" +
                         dir_.string() + "\" is not writable\n");
    EXPECT_FALSE(fs::exists(at("out.txt")));
    r = cliAfter("", "dups --builtin --out res", ">stdout 2>stderr <stdin", nobody);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the folder \"" + dir_.string() + "\" is not writable"), std::string::npos) << r.err;
    ::chmod(dir_.c_str(), 0755);
}

TEST_F(FilesCli, ADeviceOrAPipeIsWrittenInPlaceNotReplaced) {
    Spit(at("in.txt"), kTable);
    // A pipe with a reader: the bytes go through it and it stays a pipe.
    ASSERT_EQ(::mkfifo(at("out.fifo").c_str(), 0644), 0);
    CliResult r = cliAfter("(timeout 20 cat out.fifo > got.txt &);", "convert in.txt out.fifo --output-encoding utf-8");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int i = 0; i < 200 && Slurp(at("got.txt")).size() < 10; ++i) ::usleep(10000);
    EXPECT_EQ(Slurp(at("got.txt")), "aaaa 工\r\nbbbb 子\r\ncccc 又\r\n");
    struct stat st {};
    ASSERT_EQ(::lstat(at("out.fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // A device (a node of /dev/null's numbers, made here where root may).
    if (::geteuid() == 0) {
        ASSERT_EQ(::mknod(at("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        for (const char* args : {"convert in.txt null", "convert in.txt null --no-stream", "encode --out null"}) {
            r = cli(args, "工\n");
            EXPECT_EQ(r.status, 0) << args << ": " << r.err;
            ASSERT_EQ(::lstat(at("null").c_str(), &st), 0);
            EXPECT_TRUE(S_ISCHR(st.st_mode)) << args;
        }
    }
}

// Outputs that are an input, or each other, or can't be written: refused
// before any work, naming both options; no file is written or replaced.
TEST_F(FilesCli, OutputsThatAreInputsOrEachOtherAreRefusedBeforeAnyWork) {
    Spit(at("in.txt"), kTable);
    Spit(at("out.txt"), "old\n");
    Spit(at("w.txt"), "工\n");
    fs::create_directories(dir_ / "o");
    Spit(at("o/全码三码.txt"), kTable);
    fs::create_symlink("in.txt", dir_ / "link.txt");
    fs::create_hard_link(dir_ / "in.txt", dir_ / "hard.txt");
    const std::string skip = " --unencodable skip --skipped ";
    const struct {
        std::string args, message;
    } cases[] = {
        {"convert in.txt out.txt" + skip + "in.txt", "--skipped would write \"" + at("in.txt") + "\", which IN reads"},
        {"convert in.txt out.txt" + skip + "link.txt", "--skipped would write \"" + at("link.txt") + "\", which IN"},
        {"convert in.txt out.txt" + skip + "hard.txt", "--skipped would write \"" + at("hard.txt") + "\", which IN"},
        {"convert in.txt out.txt" + skip + "out.txt", "OUT and --skipped both write \"" + at("out.txt") + "\""},
        {"convert in.txt - " + skip + "-", "OUT and --skipped both go to standard output"},
        {"convert in.txt out.txt" + skip + "missing/s.txt", "Cannot create file \"" + at("missing/s.txt") + "\""},
        {"expand in.txt" + skip + "-", "the expansion and --skipped both go to standard output"},
        {"builtin --output-format rime" + skip + "-", "the table and --skipped both go to standard output"},
        {"encode w.txt" + skip + "w.txt", "--skipped would write \"" + at("w.txt") + "\", which WORDS reads"},
        {"encode w.txt --out w.txt", "--out would write \"" + at("w.txt") + "\", which WORDS reads"},
        // Only the table merged into may be rewritten in place.
        {"encode w.txt --table in.txt --out in.txt", "--out would write \"" + at("in.txt") + "\", which --table reads"},
        {"run --source o/全码三码.txt --out o", "--out would write \"" + at("o/全码三码.txt") + "\", which --source"},
        {"run --source in.txt --entries o/全码三码.txt --out o", "which --entries reads"},
        {"run --source in.txt --out o" + skip + "o/最简一码.txt", "--out and --skipped both write"},
        {"fullcodes --source in.txt --out o --output-format rime" + skip + "o/三简.dict.yaml",
         "--out and --skipped both write"},
    };
    auto before = Contents(dir_);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        CliResult r = cli(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        auto after = Contents(dir_);
        for (const char* harness : {"stdin", "stdout", "stderr"}) after.erase(harness), before.erase(harness);
        EXPECT_EQ(Differing(before, after), "");
        EXPECT_EQ(Contents(dir_ / "o").size(), 1u);
    }
    // A table rewritten in place is no conflict.
    EXPECT_EQ(cli("convert in.txt in.txt --output-encoding utf-8" + skip + "s.txt").status, 0);
}

// Standard input named twice, or a path that is empty: refused before
// anything is read, with the options named.
TEST_F(FilesCli, StandardInputTwiceOrAnEmptyPathIsRefused) {
    Spit(at("in.txt"), kTable);
    const struct {
        std::string args;
        int status;
        std::string message;
    } cases[] = {
        {"diff - -", 2, "OLD and NEW both read standard input, which can be read only once"},
        {"diff - /dev/stdin", 2, "OLD and NEW both read"},
        {"run --source - --entries - --out o", 1, "--source and --entries both read standard input"},
        {"encode --merge -", 1, "WORDS and --merge both read standard input"},
        {"encode - --table -", 1, "WORDS and --table both read standard input"},
        {"check - --chars -", 2, "TABLE and --chars both read standard input"},
        {"stats ''", 1, "TABLE names no file: the path is empty"},
        {"diff in.txt ''", 2, "NEW names no file"},
        {"convert '' out.txt", 1, "IN names no file"},
        {"convert in.txt ''", 1, "OUT names no file"},
        {"expand ''", 1, "FILE names no file"},
        {"encode ''", 1, "WORDS names no file"},
        {"encode --table '' --out out.txt", 1, "--table names no file"},
        {"run --source in.txt --out ''", 1, "--out names no file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        // A pipe, which /dev/stdin names too and which can be read only once.
        Spit(at("table"), kTable);
        CliResult r = cliAfter("cat table |", c.args, ">stdout 2>stderr");
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(fs::exists(dir_ / "o"));
        EXPECT_FALSE(fs::exists(dir_ / "out.txt"));
    }
}

// A read-only file among the outputs is refused before anything is written,
// though its folder would let it be replaced. Root may write anything: as
// root the program runs as nobody, in a folder anyone may write.
TEST_F(FilesCli, AReadOnlyOutputFileIsRefusedBeforeAnyWork) {
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(std::system("command -v setpriv >/dev/null"), 0) << "setpriv is missing: install util-linux";
    }
    const std::string nobody = root ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
    Spit(at("in.txt"), kTable);
    for (const char* name : {"stdin", "stdout", "stderr"}) {
        Spit(at(name), "");
        ::chmod(at(name).c_str(), 0666);
    }
    ::chmod(dir_.c_str(), 0777);
    const struct {
        const char *args, *readOnly, *option;
    } cases[] = {
        {"convert in.txt out.txt --output-encoding utf-8", "out.txt", "OUT"},
        {"convert in.txt out.txt --unencodable skip --skipped s.txt", "s.txt", "--skipped"},
        {"encode --out out.txt", "out.txt", "--out"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        fs::remove(at("out.txt"));
        fs::remove(at("s.txt"));
        Spit(at(c.readOnly), "old\n");
        ::chmod(at(c.readOnly).c_str(), 0444);
        CliResult r = cliAfter("", c.args, ">stdout 2>stderr <stdin", nobody);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "zelmora-cli: Cannot write file \"" + at(c.readOnly) + "\" (" + c.option +
                             "). Permission denied: the file is read-only\n");
        EXPECT_EQ(Slurp(at(c.readOnly)), "old\n");
        EXPECT_EQ(fs::exists(at("out.txt")), std::string(c.readOnly) == "out.txt");
    }
    ::chmod(dir_.c_str(), 0755);
}

#include "formats/files.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/failure.h"

namespace zelmora {

namespace {

// Temporary files (and folders) being written, for a signal handler to remove:
// fixed slots, no allocation, nothing but atomics and unlink in the handler.
constexpr int kTemporarySlots = 128;
enum SlotState : int { kFree = 0, kClaimed, kFile, kFolder };
struct TemporarySlot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};
TemporarySlot g_temporaries[kTemporarySlots];

void RemoveTemporaries() {
    // Latest first: files inside a temporary folder go before the folder.
    for (int i = kTemporarySlots - 1; i >= 0; --i) {
        int s = g_temporaries[i].state.load();
        if (s == kFile) ::unlink(g_temporaries[i].path);
        if (s == kFolder) ::rmdir(g_temporaries[i].path);
    }
}

extern "C" void OnTerminatingSignal(int sig) {
    const int saved = errno;
    RemoveTemporaries();
    // Die of the same signal, so that the exit status tells what happened.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(sig);
    errno = saved;
}

std::string ParentOf(const std::string& path) {
    std::filesystem::path dir = std::filesystem::path(path).parent_path();
    return dir.empty() ? std::string(".") : dir.string();
}

// "Cannot create file ...": a folder that can't be written is named as the cause.
[[noreturn]] void FailCreate(const std::string& path, int e) {
    const std::string full = FullPath(path);
    const std::string folder = std::filesystem::path(full).parent_path().string();
    std::string message = "Cannot create file \"" + full + "\". " + std::strerror(e);
    if (e == EACCES || e == EPERM) message += ": the folder \"" + folder + "\" is not writable";
    if (e == EROFS) message += ": the folder \"" + folder + "\" is on a read-only file system";
    throw Failure(message);
}

// A random suffix for temporary names; O_EXCL settles collisions.
std::string RandomSuffix() {
    static std::atomic<unsigned long long> counter{0};
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    unsigned long long x = (static_cast<unsigned long long>(ts.tv_nsec) << 20) ^
                           static_cast<unsigned long long>(ts.tv_sec) ^
                           (static_cast<unsigned long long>(::getpid()) << 40) ^ (counter++ * 0x9E3779B97F4A7C15ull);
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string s;
    for (int i = 0; i < 6; ++i) {
        x ^= x >> 31;
        x *= 0xBF58476D1CE4E5B9ull;
        s += kChars[x % 62];
    }
    return s;
}

}  // namespace

int RegisterTemporary(const std::string& path, bool folder) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kTemporarySlots; ++i) {
        int expected = kFree;
        if (!g_temporaries[i].state.compare_exchange_strong(expected, kClaimed)) continue;
        std::memcpy(g_temporaries[i].path, path.c_str(), path.size() + 1);
        g_temporaries[i].state.store(folder ? kFolder : kFile);
        return i;
    }
    return -1;
}

void ForgetTemporary(int slot) {
    if (slot >= 0) g_temporaries[slot].state.store(kFree);
}

std::string FullPath(const std::string& path) {
    std::error_code ec;
    auto p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

bool WriteAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool ReserveStandardDescriptors() {
    bool inputClosed = false;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (fd == 0) inputClosed = true;
        // open() takes the lowest free descriptor: this one.
        int got = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
        if (got >= 0 && got != fd) ::close(got);
    }
    return inputClosed;
}

void RemoveTemporaryFilesOnSignals() {
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction sa {};
        sa.sa_handler = OnTerminatingSignal;
        sigemptyset(&sa.sa_mask);
        for (int other : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&sa.sa_mask, other);
        ::sigaction(sig, &sa, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

namespace {

// Reading standard input that was closed when the program started (now
// /dev/null open for writing only) fails with EBADF.
[[noreturn]] void FailRead(const std::string& shown, int e) {
    if (shown == "-" && e == EBADF) throw Failure("Cannot read standard input: it is closed");
    throw Failure("Cannot read file \"" + shown + "\". " + std::strerror(e));
}

}  // namespace

std::string ReadInput(const std::string& path) {
    int fd = 0;
    const bool isStdin = path.empty() || path == "-";
    if (!isStdin) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw Failure("Cannot open file \"" + FullPath(path) + "\". " + std::strerror(errno));
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            throw Failure("Cannot open file \"" + FullPath(path) + "\". " + std::strerror(EISDIR));
        }
    }
    std::string data;
    struct stat st {};
    if (!isStdin && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) data.reserve(static_cast<std::size_t>(st.st_size));
    std::vector<char> buf(1 << 16);
    for (;;) {
        ssize_t r = ::read(fd, buf.data(), buf.size());
        if (r < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            if (!isStdin) ::close(fd);
            FailRead(isStdin ? std::string("-") : FullPath(path), e);
        }
        if (r == 0) break;
        data.append(buf.data(), static_cast<std::size_t>(r));
    }
    if (!isStdin) ::close(fd);
    return data;
}

void EnsureDirectory(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) throw Failure("Cannot create folder \"" + FullPath(dir) + "\". " + ec.message());
}

std::string WriteTarget(const std::string& path) {
    std::string p = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        ssize_t n = ::readlink(p.c_str(), buf.data(), buf.size());
        if (n < 0 || static_cast<std::size_t>(n) >= buf.size()) return p;
        std::string link(buf.data(), static_cast<std::size_t>(n));
        p = link.front() == '/' ? link : (std::filesystem::path(ParentOf(p)) / link).string();
    }
    return p;  // a loop: opening it will say so
}

void CheckOutputPath(const std::string& path) {
    if (path == "-") return;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        // A device or a pipe, written in place.
        if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
            throw Failure("Cannot open file \"" + FullPath(path) + "\". " + std::strerror(errno));
        return;
    }
    const std::string target = WriteTarget(path);
    if (::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw Failure("Cannot create file \"" + FullPath(path) + "\". " + std::strerror(EISDIR));
    const std::string dir = ParentOf(target);
    if (::stat(dir.c_str(), &st) != 0) FailCreate(target, errno);
    if (!S_ISDIR(st.st_mode)) FailCreate(target, ENOTDIR);
    if (::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0) FailCreate(target, errno);
}

void CheckOutputFolder(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
            throw Failure("Cannot create folder \"" + FullPath(folder) + "\". " + std::strerror(ENOTDIR));
        if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
            throw Failure("Cannot create files in the folder \"" + FullPath(folder) + "\". " + std::strerror(errno) +
                          ": the folder is not writable");
        return;
    }
    // Missing: the nearest folder that exists must let it be made.
    std::filesystem::path p = std::filesystem::absolute(folder).lexically_normal();
    while (p.has_parent_path() && p.parent_path() != p) {
        p = p.parent_path();
        if (::stat(p.c_str(), &st) != 0) continue;
        if (!S_ISDIR(st.st_mode))
            throw Failure("Cannot create folder \"" + FullPath(folder) + "\". " + std::strerror(ENOTDIR));
        if (::faccessat(AT_FDCWD, p.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
            throw Failure("Cannot create folder \"" + FullPath(folder) + "\". " + std::strerror(errno) +
                          ": the folder \"" + p.string() + "\" is not writable");
        return;
    }
}

void WriteFileSafely(const std::string& path, std::string_view bytes, const SafeWriteOptions& options) {
    OutputFile file(path, options);
    file.write(bytes);
    file.commit();
}

void WriteStdout(const std::string& bytes) {
    if (!WriteAll(1, bytes.data(), bytes.size()))
        throw Failure(std::string("Cannot write standard output. ") + std::strerror(errno));
}

int OpenScratch() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zelmora-cli.XXXXXX").string();
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.data());
    return fd;
}

InputFile::InputFile(const std::string& path) {
    if (path.empty() || path == "-") {
        shown_ = "-";
        copy(0);
        return;
    }
    shown_ = FullPath(path);
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw Failure("Cannot open file \"" + shown_ + "\". " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        throw Failure("Cannot open file \"" + shown_ + "\". " + std::strerror(EISDIR));
    }
    if (::fstat(fd_, &st) == 0 && !S_ISREG(st.st_mode)) {
        // A pipe or a device: read once, like standard input.
        int fd = fd_;
        fd_ = -1;
        try {
            copy(fd);
        } catch (...) {
            ::close(fd);
            throw;
        }
        ::close(fd);
        return;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::size_t InputFile::read(char* buffer, std::size_t size) {
    for (;;) {
        ssize_t r = ::read(fd_, buffer, size);
        if (r >= 0) return static_cast<std::size_t>(r);
        if (errno != EINTR) fail(errno);
    }
}

void InputFile::rewind() {
    if (::lseek(fd_, 0, SEEK_SET) < 0) fail(errno);
}

void InputFile::drain() {
    rewind();
    std::vector<char> buf(1 << 20);
    while (read(buf.data(), buf.size()) > 0) {}
}

std::string InputFile::readAll() {
    rewind();
    std::string data;
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) data.reserve(static_cast<std::size_t>(st.st_size));
    std::vector<char> buf(1 << 16);
    while (std::size_t n = read(buf.data(), buf.size())) data.append(buf.data(), n);
    return data;
}

// Copies what `from` gives into a scratch file, which becomes the source.
void InputFile::copy(int from) {
    fd_ = OpenScratch();
    if (fd_ < 0) throw Failure("Cannot copy \"" + shown_ + "\" to a temporary file. " + std::strerror(errno));
    std::vector<char> buf(1 << 20);
    for (;;) {
        ssize_t r = ::read(from, buf.data(), buf.size());
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) fail(errno);
        if (r == 0) break;
        if (!WriteAll(fd_, buf.data(), static_cast<std::size_t>(r)))
            throw Failure("Cannot copy \"" + shown_ + "\" to a temporary file. " + std::strerror(errno));
    }
}

void InputFile::fail(int e) const { FailRead(shown_, e); }

namespace {
constexpr std::size_t kOutputBuffer = std::size_t(1) << 20;
}

OutputFile::OutputFile(std::string path, SafeWriteOptions options)
    : path_(std::move(path)), options_(std::move(options)), stdout_(path_ == "-") {}

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tmp_.empty()) ::unlink(tmp_.c_str());
    tmp_.clear();
    ForgetTemporary(slot_);
    slot_ = -1;
}

void OutputFile::write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() < kOutputBuffer) {
        buffer_.append(bytes);
        return;
    }
    flush();
    open();
    if (!WriteAll(fd_, bytes.data(), bytes.size())) failWrite(errno);
}

void OutputFile::finish() {
    if (finished_) return;
    flush();
    if (!stdout_) {
        if (options_.sync && !direct_ && ::fsync(fd_) != 0 && errno != EINVAL) failWrite(errno);
        int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) failWrite(errno);
    }
    finished_ = true;
}

void OutputFile::commit() {
    finish();
    if (stdout_) {
        if (::lseek(fd_, 0, SEEK_SET) < 0) failWrite(errno);
        std::vector<char> buf(1 << 20);
        for (;;) {
            ssize_t r = ::read(fd_, buf.data(), buf.size());
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) failWrite(errno);
            if (r == 0) break;
            if (!WriteAll(1, buf.data(), static_cast<std::size_t>(r)))
                throw Failure(std::string("Cannot write standard output. ") + std::strerror(errno));
        }
        return;
    }
    if (direct_) return;
    if (::rename(tmp_.c_str(), target_.c_str()) != 0) {
        int e = errno;
        discard();
        FailCreate(shown(), e);
    }
    tmp_.clear();
    ForgetTemporary(slot_);
    slot_ = -1;
}

void OutputFile::open() {
    if (fd_ >= 0) return;
    if (stdout_) {
        fd_ = OpenScratch();
        if (fd_ < 0) throw Failure(std::string("Cannot write standard output. ") + std::strerror(errno));
        return;
    }
    struct stat old {};
    if (::stat(path_.c_str(), &old) == 0 && !S_ISREG(old.st_mode) && !S_ISDIR(old.st_mode)) {
        // A device or a pipe (/dev/null, a FIFO, /dev/stdout): written in
        // place; renaming a file over it would destroy it.
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0) throw Failure("Cannot open file \"" + FullPath(shown()) + "\". " + std::strerror(errno));
        direct_ = true;
        return;
    }
    target_ = WriteTarget(path_);
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        throw Failure("Cannot create file \"" + FullPath(shown()) + "\". " + std::strerror(EISDIR));
    // A file the user may not write is not replaced behind its back.
    if (exists && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
        throw Failure("Cannot create file \"" + FullPath(shown()) + "\". " + std::strerror(errno));
    std::filesystem::path target(target_);
    const std::string prefix =
        (std::filesystem::path(ParentOf(target_)) / ("." + target.filename().string() + ".")).string();
    for (int attempt = 0; fd_ < 0; ++attempt) {
        std::string name = prefix + RandomSuffix();
        // 0666 less the umask (or the folder's default ACL): the mode a new file gets.
        fd_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            tmp_ = name;
            slot_ = RegisterTemporary(tmp_, false);
        } else if (errno != EEXIST || attempt >= 100) {
            FailCreate(target_ == path_ ? shown() : target_, errno);
        }
    }
    if (exists && S_ISREG(old.st_mode)) {
        // The replaced file's owner and group where permitted, then its mode
        // (a change of owner may clear set-id bits).
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            if (::fchown(fd_, old.st_uid, old.st_gid) != 0) (void)::fchown(fd_, static_cast<uid_t>(-1), old.st_gid);
        }
        ::fchmod(fd_, old.st_mode & 07777);
    }
}

void OutputFile::flush() {
    open();
    if (!WriteAll(fd_, buffer_.data(), buffer_.size())) failWrite(errno);
    buffer_.clear();
}

void OutputFile::failWrite(int e) const {
    if (stdout_) throw Failure(std::string("Cannot write standard output. ") + std::strerror(e));
    if (!options_.writeFailure.empty()) throw Failure(options_.writeFailure);
    throw Failure("Cannot write file \"" + FullPath(shown()) + "\". " + std::strerror(e));
}

}  // namespace zelmora

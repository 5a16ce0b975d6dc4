#include "formats/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/failure.h"

namespace zelmora {

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
            throw Failure("Cannot read file \"" + (isStdin ? std::string("-") : FullPath(path)) + "\". " +
                          std::strerror(e));
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

void WriteFileSafely(const std::string& path, const std::string& bytes) {
    std::filesystem::path target(path);
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) throw Failure("Cannot create file \"" + FullPath(path) + "\". " + std::strerror(errno));
    ::fchmod(fd, 0644);
    bool ok = WriteAll(fd, bytes.data(), bytes.size());
    int e = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        ::unlink(name.data());
        throw Failure("Cannot write file \"" + FullPath(path) + "\". " + std::strerror(e));
    }
    if (::rename(name.data(), path.c_str()) != 0) {
        e = errno;
        ::unlink(name.data());
        throw Failure("Cannot create file \"" + FullPath(path) + "\". " + std::strerror(e));
    }
}

void WriteStdout(const std::string& bytes) {
    if (!WriteAll(1, bytes.data(), bytes.size()))
        throw Failure(std::string("Cannot write standard output. ") + std::strerror(errno));
}

int OpenScratch() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zelmora-cli.XXXXXX").string();
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
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
    while (read(buf.data(), buf.size()) > 0) {
    }
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

void InputFile::fail(int e) const { throw Failure("Cannot read file \"" + shown_ + "\". " + std::strerror(e)); }

namespace {
constexpr std::size_t kOutputBuffer = std::size_t(1) << 20;
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)), stdout_(path_ == "-") {}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!tmp_.empty()) ::unlink(tmp_.c_str());
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

void OutputFile::commit() {
    flush();
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
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) failWrite(errno);
    if (::rename(tmp_.c_str(), path_.c_str()) != 0)
        throw Failure("Cannot create file \"" + FullPath(path_) + "\". " + std::strerror(errno));
    tmp_.clear();
}

void OutputFile::open() {
    if (fd_ >= 0) return;
    if (stdout_) {
        fd_ = OpenScratch();
        if (fd_ < 0) throw Failure(std::string("Cannot write standard output. ") + std::strerror(errno));
        return;
    }
    std::filesystem::path target(path_);
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) throw Failure("Cannot create file \"" + FullPath(path_) + "\". " + std::strerror(errno));
    tmp_ = name.data();
    ::fchmod(fd_, 0644);
}

void OutputFile::flush() {
    open();
    if (!WriteAll(fd_, buffer_.data(), buffer_.size())) failWrite(errno);
    buffer_.clear();
}

void OutputFile::failWrite(int e) const {
    if (stdout_) throw Failure(std::string("Cannot write standard output. ") + std::strerror(e));
    throw Failure("Cannot write file \"" + FullPath(path_) + "\". " + std::strerror(e));
}

}  // namespace zelmora

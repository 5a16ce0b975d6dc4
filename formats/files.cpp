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

}  // namespace zelmora

#include "cli/command_files.h"

#include <sys/stat.h>
#include <unistd.h>
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/failure.h"
#include "formats/files.h"

namespace zelmora::cli {

namespace {

// What a path is, to tell whether two paths are one file: device and inode
// when it exists, else the path it resolves to.
struct FileId {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    mode_t mode = 0;
    std::string resolved;

    bool operator==(const FileId& o) const {
        if (exists != o.exists) return false;
        return exists ? device == o.device && inode == o.inode : resolved == o.resolved;
    }
    // Devices (/dev/null, a terminal), pipes and sockets are written in
    // place, never replaced: naming one twice loses nothing.
    bool writtenInPlace() const { return exists && !S_ISREG(mode) && !S_ISDIR(mode); }
    // What can be read only once: a pipe or a socket.
    bool once() const { return exists && (S_ISFIFO(mode) || S_ISSOCK(mode)); }
};

FileId IdOf(const std::string& path, int standardStream) {
    FileId id;
    struct stat st {};
    if (path == "-" ? ::fstat(standardStream, &st) == 0 : ::stat(path.c_str(), &st) == 0) {
        id.exists = true;
        id.device = st.st_dev;
        id.inode = st.st_ino;
        id.mode = st.st_mode;
        return id;
    }
    if (path == "-") return id;  // a closed stream: nothing else is it
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(WriteTarget(path)), ec);
    id.resolved = ec ? FullPath(path) : p.string();
    return id;
}

// How a message names the file a path is.
std::string Shown(const std::string& path) { return "\"" + FullPath(path) + "\""; }

std::string NameOf(const CLI::Option* option) { return option->get_name(); }

}  // namespace

void CommandFiles::read(const CLI::Option* option, const std::string& path) {
    const bool given = option->count() > 0;
    if (path.empty() && !given) return;
    reads_.push_back({NameOf(option), path, given, false});
}

void CommandFiles::write(const CLI::Option* option, const std::string& path) {
    const bool given = option->count() > 0;
    if (path.empty() && !given) return;
    writes_.push_back({NameOf(option), path, given, false});
}

void CommandFiles::print(const std::string& what) { writes_.push_back({what, "-", false, false}); }

void CommandFiles::writeInto(const CLI::Option* option, const std::string& folder,
                             const std::vector<std::string>& names) {
    const std::string name = NameOf(option);
    if (folder.empty()) {
        writes_.push_back({name, folder, true, false});
        return;
    }
    folders_.push_back(folder);
    for (const auto& file : names)
        writes_.push_back({name, (std::filesystem::path(folder) / file).string(), option->count() > 0, true});
}

void CommandFiles::mayReplace(const CLI::Option* output, const CLI::Option* input) {
    inPlace_.emplace_back(NameOf(output), NameOf(input));
}

void CommandFiles::check() const {
    for (const auto& u : reads_)
        if (u.path.empty()) throw Failure(u.name + " names no file: the path is empty (- is standard input)");
    for (const auto& u : writes_)
        if (u.path.empty()) throw Failure(u.name + " names no file: the path is empty (- is standard output)");

    // Inputs: standard input, or a pipe, can be read only once.
    std::vector<FileId> readIds;
    for (const auto& u : reads_) readIds.push_back(IdOf(u.path, 0));
    for (std::size_t i = 0; i < reads_.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            const Use &a = reads_[j], &b = reads_[i];
            if (a.path == "-" && b.path == "-")
                throw Failure(a.name + " and " + b.name + " both read standard input, which can be read only once");
            if (readIds[i] == readIds[j] && readIds[i].once())
                throw Failure(a.name + " and " + b.name + " both read " +
                              (a.path == "-" ? Shown(b.path) : Shown(a.path)) + ", which can be read only once");
        }

    // Outputs: no two the same, none a file read (but where the command
    // rewrites its input in place).
    std::vector<FileId> writeIds;
    for (const auto& u : writes_) writeIds.push_back(IdOf(u.path, 1));
    auto named = [](const Use& a, const Use& b) { return a.path == "-" ? Shown(b.path) : Shown(a.path); };
    for (std::size_t i = 0; i < writes_.size(); ++i) {
        const Use& b = writes_[i];
        for (std::size_t j = 0; j < i; ++j) {
            const Use& a = writes_[j];
            if (a.path == "-" && b.path == "-")
                throw Failure(a.name + " and " + b.name + " both go to standard output");
            if (writeIds[i] == writeIds[j] && !writeIds[i].writtenInPlace()) {
                if (a.name == b.name) throw Failure(a.name + " names " + Shown(b.path) + " twice");
                throw Failure(a.name + " and " + b.name + " both write " + named(a, b));
            }
        }
        for (std::size_t j = 0; j < reads_.size(); ++j) {
            const Use& in = reads_[j];
            if (!(writeIds[i] == readIds[j]) || writeIds[i].writtenInPlace()) continue;
            if (b.path != "-" && in.path != "-" &&
                std::find(inPlace_.begin(), inPlace_.end(), std::make_pair(b.name, in.name)) != inPlace_.end())
                continue;
            throw Failure(b.name + " would write " + named(b, in) + ", which " + in.name + " reads");
        }
    }

    // Each output writable before anything is read.
    for (const auto& folder : folders_) CheckOutputFolder(folder);
    for (const auto& u : writes_) {
        if (u.path == "-") continue;
        if (!u.folderFile) CheckOutputPath(u.path);
        struct stat st {};
        if (::stat(u.path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::faccessat(AT_FDCWD, u.path.c_str(), W_OK, AT_EACCESS) != 0) {
            const int e = errno;
            throw Failure("Cannot write file " + Shown(u.path) + " (" + u.name + "). " + std::strerror(e) +
                          (e == EACCES || e == EPERM ? ": the file is read-only" : ""));
        }
    }
}

}  // namespace zelmora::cli

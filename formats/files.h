#pragma once
// Reading files and writing them safely, shared by the command line and the
// window: tables read in blocks (standard input and pipes copied to a scratch
// file so they can be read again), output written into a temporary file
// beside the target and renamed into place only when all went well.
#include <cstddef>
#include <string>
#include <string_view>

#include "formats/table_stream.h"

namespace zelmora {

// The absolute, normalised path the messages name.
std::string FullPath(const std::string& path);

// Writes all n bytes to fd, retrying on interruption; false on an error.
bool WriteAll(int fd, const char* data, std::size_t n);

// Whole file as bytes; "-" reads standard input. Fails with
// "Cannot open file "%s". %s".
std::string ReadInput(const std::string& path);

// At the start of a program: descriptors 0, 1 and 2 that are closed are
// opened on /dev/null, so that no file the program opens takes their place
// (and is then read as standard input or written as standard output). Input
// gets /dev/null opened for writing only and output for reading only, so
// using a closed stream still fails. Returns whether standard input was closed.
bool ReserveStandardDescriptors();

// At the start of a program: SIGINT, SIGTERM, SIGHUP and SIGQUIT remove the
// temporary files being written before the process ends by the signal (unless
// the signal is ignored); SIGXFSZ is ignored, so a write beyond the file-size
// limit fails with "File too large" instead of killing the process.
void RemoveTemporaryFilesOnSignals();

// The temporary files and folders being written, removed by those signals:
// Register gives a slot (-1 when full), Forget frees it once the path is
// renamed into place or removed. Folders are removed after what was
// registered after them.
int RegisterTemporary(const std::string& path, bool folder);
void ForgetTemporary(int slot);

// The file a write to `path` lands in: symbolic links followed to their
// final target (which may not exist yet).
std::string WriteTarget(const std::string& path);

// Fails before any work when `path` ("-" is standard output) can't be
// written: a folder of that name ("Cannot create file "%s". Is a directory"),
// a missing or read-only folder.
void CheckOutputPath(const std::string& path);

// The same for a folder that result files go into: an existing folder must
// be writable, a missing one creatable.
void CheckOutputFolder(const std::string& folder);

struct SafeWriteOptions {
    bool sync = false;    // fsync before the rename
    std::string shownAs;  // the path messages name, when not the one written
    // The message of a failed write, when not empty (otherwise
    // "Cannot write file "%s". %s").
    std::string writeFailure;
};

// Writes to a temporary file beside the (final) target, then renames it into
// place, so a failure never leaves a half-written file or destroys the old
// one. An existing file keeps its mode (and owner and group where permitted);
// a new one gets 0666 less the umask. Fails with "Cannot create file "%s". %s".
void WriteFileSafely(const std::string& path, std::string_view bytes, const SafeWriteOptions& options = {});

// Creates the folder (and its parents) when missing.
void EnsureDirectory(const std::string& dir);

// Writes all bytes to standard output; fails on a write error.
void WriteStdout(const std::string& bytes);

// An unnamed file in the temporary folder, gone when closed; -1 on failure
// (errno set).
int OpenScratch();

// A table file read in blocks, from the start as often as needed. Standard
// input ("-" or empty) and pipes can be read only once, so they are copied
// to a scratch file first. Fails (Failure) naming the file.
class InputFile final : public formats::ByteSource {
public:
    explicit InputFile(const std::string& path);
    ~InputFile() override;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::size_t read(char* buffer, std::size_t size) override;
    void rewind() override;
    // To the end, for the failures reading the whole file would meet first.
    void drain();
    // The whole file from the start.
    std::string readAll();

private:
    void copy(int from);
    [[noreturn]] void fail(int error) const;
    int fd_ = -1;
    std::string shown_;
};

// Output written piece by piece into a temporary file beside the (final)
// target, renamed into place by commit(), so that a failure leaves no file
// and does not destroy the old one; modes as WriteFileSafely gives them. A
// target that is a device or a pipe (/dev/null, a FIFO) is written in place,
// never replaced. For "-", standard output gets the bytes only at commit(). Dropped without
// commit(), the temporary file goes.
class OutputFile final : public formats::ByteSink {
public:
    explicit OutputFile(std::string path, SafeWriteOptions options = {});
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view bytes) override;
    // Everything written and the temporary file closed: all that can fail but
    // the rename. commit() does it when not done.
    void finish();
    void commit();
    const std::string& path() const { return path_; }

private:
    void open();
    void flush();
    void discard();
    [[noreturn]] void failWrite(int error) const;
    const std::string& shown() const { return options_.shownAs.empty() ? path_ : options_.shownAs; }

    std::string path_;
    SafeWriteOptions options_;
    bool stdout_;
    bool finished_ = false;
    bool direct_ = false;  // a device or pipe, written in place
    int fd_ = -1;
    int slot_ = -1;  // in the list of temporary files removed on a signal
    std::string target_;
    std::string tmp_;
    std::string buffer_;
};

}  // namespace zelmora

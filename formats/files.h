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

// Writes to a temporary file in the same folder, then renames it into place,
// so a failure never leaves a half-written file or destroys the old one.
// Fails with "Cannot create file "%s". %s".
void WriteFileSafely(const std::string& path, const std::string& bytes);

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

// Output written piece by piece into a temporary file beside the target,
// renamed into place by commit(), so that a failure leaves no file and does
// not destroy the old one. For "-", standard output gets the bytes only at
// commit(). Dropped without commit(), the temporary file goes.
class OutputFile final : public formats::ByteSink {
public:
    explicit OutputFile(std::string path);
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view bytes) override;
    void commit();

private:
    void open();
    void flush();
    [[noreturn]] void failWrite(int error) const;

    std::string path_;
    bool stdout_;
    int fd_ = -1;
    std::string tmp_;
    std::string buffer_;
};

}  // namespace zelmora

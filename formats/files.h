#pragma once
// Reading and safely writing whole files, shared by the command line and the window.
#include <cstddef>
#include <string>

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

}  // namespace zelmora

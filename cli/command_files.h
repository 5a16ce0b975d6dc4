#pragma once
// The files a command reads and writes, checked together before any work: a
// command that would read standard input twice, write one file twice, write
// over a file it reads, or write where it can't, stops before it has read a
// byte or replaced a file.
#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace zelmora::cli {

class CommandFiles {
public:
    // A file the command reads ("-": standard input), given to `option`. An
    // option given an empty path is refused; one not given and empty is no file.
    void read(const CLI::Option* option, const std::string& path);
    // A file the command writes ("-": standard output), given to `option`.
    void write(const CLI::Option* option, const std::string& path);
    // What the command prints on standard output (`what`: "the status lines").
    void print(const std::string& what);
    // Files written into `folder` (created when missing), by name.
    void writeInto(const CLI::Option* option, const std::string& folder, const std::vector<std::string>& names);
    // `output` may be the file `input` reads: the command rewrites it in place
    // (written beside it and renamed over it once all went well).
    void mayReplace(const CLI::Option* output, const CLI::Option* input);

    // Fails (zelmora::Failure, naming the options) when a path is empty,
    // standard input is read twice or standard output written twice, two
    // outputs are one file, an output is a file read, or an output can't be
    // written (a missing or read-only folder, a read-only file). Files are
    // compared by device and inode when they exist, by their resolved paths
    // otherwise; devices such as /dev/null may be named more than once.
    void check() const;

private:
    struct Use {
        std::string name;  // the option, as the messages name it
        std::string path;
        bool given = false;       // named by the user (an empty path then is refused)
        bool folderFile = false;  // a file in a folder written by writeInto
    };
    std::vector<Use> reads_, writes_;
    std::vector<std::string> folders_;                          // writeInto's folders, checked as such
    std::vector<std::pair<std::string, std::string>> inPlace_;  // (output, input) names
};

}  // namespace zelmora::cli

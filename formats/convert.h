#pragma once
// Whole table files converted, checked and written, for the command line and
// the window alike: which encoding, format and byte-order mark to write, a
// file converted into another (streamed or read whole), a file checked, and a
// set of result files written into a folder.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "formats/checking.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/files.h"
#include "formats/writing.h"

namespace zelmora::formats {

// The encoding and format options as named by the user ("gbk", "rime", …);
// empty when not given. Names are parsed when they are needed, so a wrong
// name fails where reading the table first would have reached it.
struct TableOptions {
    std::string encoding, format;              // of the table read (empty: auto)
    std::string outputEncoding, outputFormat;  // written (empty: the input's / the caller's default)
    bool bom = false;                          // write a byte-order mark
    std::string unencodable, skippedFile;      // --unencodable error|skip, --skipped FILE
    // The words left out, gathered as the outputs are written.
    mutable std::vector<SkippedWord> skipped;
    // Told when the input's encoding was a close call (may be empty).
    std::function<void(bool closeCall, Encoding chosen)> onEncodingGuess;
    bool given() const {
        return !encoding.empty() || !outputEncoding.empty() || !format.empty() || !outputFormat.empty() || bom ||
               !unencodable.empty() || !skippedFile.empty();
    }
    void noteEncoding(bool closeCall, Encoding chosen) const {
        if (onEncodingGuess) onEncodingGuess(closeCall, chosen);
    }
};

// Told as each step of a long job begins ("reading", "converting", a pass's name, "writing").
using StepCallback = std::function<void(const char*)>;

// Reads a table with the options (auto when not given). The document knows
// how its text is to be read (`textEncoding()`).
TableDocument LoadTable(std::string_view bytes, const TableOptions& o);
// ReadGroupLines with the options: the group lines the derivations run on.
GroupLineTable LoadGroupLines(std::string_view bytes, const TableOptions& o,
                              const std::function<bool(Encoding, bool)>& keepDocument);

// Where and how results are written.
struct OutputSettings {
    WriteOptions write;
    std::string extension;  // of result files: ".dict.yaml" for Rime, ".txt" otherwise
};
// The output options resolved against the input: encoding and byte-order mark
// as the input's unless given; format `fallback` unless given.
OutputSettings ResolveOutput(const TableOptions& o, const TableDocument& input, Format fallback);
// The same from what the input is, before it has been read whole.
OutputSettings ResolveOutput(const TableOptions& o, Encoding inputEncoding, bool inputHadBom, Format fallback);

// "wubi86.dict.yaml" → "wubi86": the table name a fresh header carries.
std::string TableName(const std::string& path);

// A derived text (GB18030 group or entry lines) as the bytes of a result file.
// Texts that are no code table (lines without words) are written as plain
// text in the output encoding. Weights and stems of the source's entries go
// along with the same code-word pairs.
class ResultWriter {
public:
    // `source` must outlive the writer.
    ResultWriter(const OutputSettings& out, const TableDocument& source);
    // Whether results written so read their source's entries (weights and
    // stems to carry, lines to name): all but plain text in an encoding that
    // holds every character. A writer for those needs no source.
    static bool NeedsSource(const OutputSettings& out);
    explicit ResultWriter(const OutputSettings& out);
    struct File {
        std::string bytes;
        std::string extension;  // ".txt" for texts that are no code table
    };
    // Builds what encoding results takes once (the table of characters
    // written as UTF-8), ahead of the first result; never fails.
    void prepare() const;
    // `name` (UTF-8) names the table in a fresh header and the file in messages.
    // Words left out go to `skipped` when given, else where the settings say.
    // Safe to call from several threads at once when each gives its own list.
    File encode(std::string_view text, const std::string& name, std::vector<SkippedWord>* skipped = nullptr) const;

private:
    OutputSettings out_;
    const TableDocument& source_;
    // Source entries with a weight or stem, by code and word (code, 0x01, word).
    std::unordered_map<std::string, const TableEntry*> extras_;
};

struct ConvertFileSettings {
    bool whole = false;   // read the whole table into memory first (the same output)
    StepCallback onStep;  // may be empty
};
struct ConvertFileResult {
    std::size_t droppedLines = 0;   // lines with no equivalent in the format written
    Format format = Format::Plain;  // the format written
};
// Converts the table file `in` ("-": standard input) into the file `out`
// ("-": standard output), streamed where the table allows it. `out` is
// replaced only when all went well.
ConvertFileResult ConvertFile(const std::string& in, const std::string& out, const TableOptions& o,
                              const ConvertFileSettings& settings = {});

// The findings of a check as "<path>:<line>: <message>" lines: in memory, and
// past a few megabytes in a scratch file, so that a failure still shows none.
class CheckReport {
public:
    explicit CheckReport(std::string path);
    ~CheckReport();
    CheckReport(const CheckReport&) = delete;
    CheckReport& operator=(const CheckReport&) = delete;

    void add(const TableProblem& p);
    void clear();
    // Every line, in pieces, to `out`.
    void print(const std::function<void(const std::string&)>& out);
    std::size_t findings() const { return findings_; }
    std::size_t lines() const { return lines_; }

private:
    void spill();
    [[noreturn]] void fail() const;
    std::string path_;
    std::string buffer_;
    int fd_ = -1;
    std::size_t findings_ = 0, lines_ = 0, last_ = 0;
};

struct CheckFileResult {
    std::string path;  // as given
    Encoding encoding = Encoding::Gb18030;
    Format format = Format::Plain;
    std::size_t entries = 0;
    std::unique_ptr<CheckReport> report;  // the findings
    // "<path>: nothing suspicious (<format>, <encoding>, <n> entries)\n" when there are none.
    std::string clean() const;
};
// Checks the table file `path` ("-": standard input), streamed unless `whole`.
// `more`: further checks of the entries (phrase codes), or none.
CheckFileResult CheckFile(const std::string& path, const TableOptions& o, bool whole, const StepCallback& onStep = {},
                          EntryCheck* more = nullptr);

// Writes each (file name, bytes) into `folder`, created when missing.
void WriteResultFiles(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& files);

// WriteResultFiles for files that come one by one: each is written to its
// temporary file when added (its text may be dropped then), and commit()
// replaces them all, in the order of `names`, once every one was added. A new
// folder is filled under a temporary name and renamed whole. Dropped without
// commit(), the folder is as it was.
class ResultFolder {
public:
    ResultFolder(const std::string& folder, std::vector<std::string> names);
    ~ResultFolder();
    ResultFolder(const ResultFolder&) = delete;
    ResultFolder& operator=(const ResultFolder&) = delete;
    // `name` is one of the names, added once.
    void add(const std::string& name, std::string_view bytes);
    void commit();

private:
    std::string folder_, dir_, temporary_;  // temporary_: the new folder's temporary name, if any
    std::vector<std::string> names_;
    std::vector<std::unique_ptr<OutputFile>> staged_;  // by position in names_
    std::vector<int> slots_;
    bool committed_ = false;
};

}  // namespace zelmora::formats

#pragma once
// The encoding and format options of the commands that read or write tables.
#include <CLI/CLI.hpp>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/table_io.h"

namespace zelmora::cli {

struct FormatOptions {
    // Empty when the option is not given.
    std::string encoding, outputEncoding, format, outputFormat;
    bool bom = false;
    std::string unencodable, skippedFile;  // --unencodable error|skip, --skipped FILE
    // The words left out, gathered as the outputs are written.
    mutable std::vector<formats::SkippedWord> skipped;
    bool given() const {
        return !encoding.empty() || !outputEncoding.empty() || !format.empty() || !outputFormat.empty() || bom ||
               !unencodable.empty() || !skippedFile.empty();
    }
};

// After writing: says on standard error how many words were left out and
// shows the first few; writes them all to --skipped FILE.
void ReportSkipped(const FormatOptions& o);

// Adds --encoding/--format (input) and --output-encoding/--output-format/--bom
// (output). `outputFormatDefault` names the default output format in the help.
void AddFormatOptions(CLI::App* cmd, FormatOptions& o, bool input, bool output, const char* outputFormatDefault);

// Reads a table with the options (auto when not given). The document knows
// how its text is to be read (`textEncoding()`).
formats::TableDocument LoadTable(std::string_view bytes, const FormatOptions& o);

// Says on standard error that the input's encoding was a close call.
void NoteEncodingGuess(bool closeCall, formats::Encoding chosen);

// Where and how results are written.
struct OutputSettings {
    formats::WriteOptions write;
    std::string extension;  // of result files: ".dict.yaml" for Rime, ".txt" otherwise
};
// The output options resolved against the input: encoding and byte-order mark
// as the input's unless given; format `fallback` unless given.
OutputSettings ResolveOutput(const FormatOptions& o, const formats::TableDocument& input, formats::Format fallback);
// The same from what the input is, before it has been read whole.
OutputSettings ResolveOutput(const FormatOptions& o, formats::Encoding inputEncoding, bool inputHadBom,
                             formats::Format fallback);

// A derived text (GB18030 group or entry lines) as the bytes of a result file.
// Texts that are no code table (lines without words) are written as plain
// text in the output encoding. Weights and stems of the source's entries go
// along with the same code-word pairs.
class ResultWriter {
public:
    // `source` must outlive the writer.
    ResultWriter(const OutputSettings& out, const formats::TableDocument& source);
    struct File {
        std::string bytes;
        std::string extension;  // ".txt" for texts that are no code table
    };
    // `name` (UTF-8) names the table in a fresh header and the file in messages.
    File encode(std::string_view text, const std::string& name) const;

private:
    OutputSettings out_;
    const formats::TableDocument& source_;
    // Source entries with a weight or stem, by code and word (code, 0x01, word).
    std::unordered_map<std::string, const formats::TableEntry*> extras_;
};

}  // namespace zelmora::cli

#pragma once
// The encoding and format options of the commands that read or write tables.
#include <CLI/CLI.hpp>

#include <string>

#include "cli/command_files.h"
#include "core/text_encoding.h"
#include "formats/convert.h"

namespace zelmora::cli {

using FormatOptions = formats::TableOptions;

// After writing: says on standard error how many words were left out and
// shows the first few; writes them all to --skipped FILE.
void ReportSkipped(const FormatOptions& o);

// Writes a command's output, `encoding` bytes of `textEncoding` text, to
// standard output ending with a line break (LF when its lines end so, else
// CR LF), so that runs appended to one file stay lines apart. Output without
// text stays without.
void WriteStdoutEndingLine(std::string bytes, formats::Encoding encoding, TextEncoding textEncoding);

// Says on standard error that the input's encoding was a close call.
void NoteEncodingGuess(bool closeCall, formats::Encoding chosen);

// Adds --encoding/--format (input) and --output-encoding/--output-format/--bom
// (output). `outputFormatDefault` names the default output format in the help.
void AddFormatOptions(CLI::App* cmd, FormatOptions& o, bool input, bool output, const char* outputFormatDefault);

// The file --skipped names (added by AddFormatOptions with `output`), among a command's outputs.
void WriteSkippedInto(CommandFiles& files, const CLI::App* cmd, const FormatOptions& o);

}  // namespace zelmora::cli

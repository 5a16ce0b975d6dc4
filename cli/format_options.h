#pragma once
// The encoding and format options of the commands that read or write tables.
#include <CLI/CLI.hpp>

#include "cli/command_files.h"
#include "formats/convert.h"

namespace zelmora::cli {

using FormatOptions = formats::TableOptions;

// After writing: says on standard error how many words were left out and
// shows the first few; writes them all to --skipped FILE.
void ReportSkipped(const FormatOptions& o);

// Says on standard error that the input's encoding was a close call.
void NoteEncodingGuess(bool closeCall, formats::Encoding chosen);

// Adds --encoding/--format (input) and --output-encoding/--output-format/--bom
// (output). `outputFormatDefault` names the default output format in the help.
void AddFormatOptions(CLI::App* cmd, FormatOptions& o, bool input, bool output, const char* outputFormatDefault);

// The file --skipped names (added by AddFormatOptions with `output`), among a command's outputs.
void WriteSkippedInto(CommandFiles& files, const CLI::App* cmd, const FormatOptions& o);

}  // namespace zelmora::cli

#pragma once
// Each subcommand of zelmora-cli registers itself on the application.
#include <CLI/CLI.hpp>

#include <string>

namespace zelmora::cli {

void AddTableCommands(CLI::App& app);     // expand, builtin, run and one per derivation
void AddEncodeCommand(CLI::App& app);     // encode: codes for new words
void AddFormatCommands(CLI::App& app);    // convert and check: tables in other encodings and formats
void AddAnalysisCommands(CLI::App& app);  // stats and diff: a table's figures, two tables compared
void AddTuneCommands(CLI::App& app);      // reorder: candidates by frequency

// shortcodes: short codes by word frequency
void AddShortCodesCommand(CLI::App& app);

// Ends the program with `status` once the command has printed its output;
// nothing more is printed.
struct ExitStatus {
    int status;
};
// A failure (message printed as usual) that ends the program with its own
// status rather than 1, as diff's 2.
struct FailureStatus {
    std::string message;
    int status;
};

}  // namespace zelmora::cli

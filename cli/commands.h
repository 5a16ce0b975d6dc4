#pragma once
// Each subcommand of zelmora-cli registers itself on the application.
#include <CLI/CLI.hpp>

namespace zelmora::cli {

void AddTableCommands(CLI::App& app);  // expand, builtin, run and one per derivation
void AddEncodeCommand(CLI::App& app);  // encode: codes for new words
void AddFormatCommands(CLI::App& app);  // convert and check: tables in other encodings and formats

}  // namespace zelmora::cli

#pragma once
// Each subcommand of zelmora-cli registers itself on the application.
#include <CLI/CLI.hpp>

namespace zelmora::cli {

void AddTableCommands(CLI::App& app);  // expand, builtin, run and one per derivation

}  // namespace zelmora::cli

// Subcommands on code tables: expand, builtin, run and one per derivation.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/files.h"
#include "cli/progress.h"
#include "core/failure.h"
#include "sources/resources.h"
#include "transform/expand.h"
#include "transform/pipeline.h"

namespace zelmora::cli {

namespace {

struct SourceOptions {
    std::string source;
    bool builtin = false;
    std::string entries;
    std::string out;
};

std::string ReadSource(const SourceOptions& o) {
    if (o.builtin) return OpenBuiltinTable().readAll();
    return ReadInput(o.source);
}

void AddSourceOptions(CLI::App* cmd, SourceOptions& o, bool entriesAllowed) {
    auto* src = cmd->add_option("--source", o.source, "The source table (GBK group lines); - for standard input");
    auto* bi = cmd->add_flag("--builtin", o.builtin, "Use the built-in Wubi-86 GB-6763 table as the source table");
    src->excludes(bi);
    bi->excludes(src);
    if (entriesAllowed)
        cmd->add_option("--entries", o.entries,
                        "The one-word-per-line table, as if pasted into its pane (default: the expansion of the source)");
    cmd->add_option("--out", o.out, "Folder for the result files <hint>.txt (created if missing)")->required();
}

void RequireSource(const SourceOptions& o) {
    if (!o.builtin && o.source.empty()) throw CLI::RequiredError("--source or --builtin");
}

void RunAndWrite(const SourceOptions& o, const std::vector<Derivation>& which, bool writeEntries) {
    RequireSource(o);
    std::string source = ReadSource(o);
    std::optional<std::string> entries;
    if (!o.entries.empty()) entries = ReadInput(o.entries);
    auto progress = std::make_unique<Progress>();
    PipelineResult r = RunDerivations(source, entries, which, [&](const char* s) { progress->step(s); });
    progress->step("writing");
    EnsureDirectory(o.out);
    for (const auto& [hint, text] : r.outputs) {
        if (hint == "一字一行" && !writeEntries) continue;
        WriteFileSafely(o.out + "/" + hint + ".txt", text);
    }
    progress.reset();
    std::string status;
    for (const auto& [caption, text] : r.statusLines) {
        // A single derivation reports only its own tab's status.
        if (!writeEntries && (caption == "原码表" || caption == "一字一行")) continue;
        status += caption + "\t" + text + "\n";
    }
    WriteStdout(status);
}

}  // namespace

void AddTableCommands(CLI::App& app) {
    // expand
    {
        auto* cmd = app.add_subcommand("expand", "Write the sorted one-word-per-line expansion of a table to standard output");
        auto file = std::make_shared<std::string>("-");
        auto builtin = std::make_shared<bool>(false);
        auto* f = cmd->add_option("FILE", *file, "The table to expand (GBK); - or absent for standard input");
        auto* b = cmd->add_flag("--builtin", *builtin, "Expand the built-in table");
        f->excludes(b);
        cmd->callback([file, builtin] {
            std::string text = *builtin ? OpenBuiltinTable().readAll() : ReadInput(*file);
            WriteStdout(ExpandToEntryLines(text));
        });
    }
    // builtin
    {
        auto* cmd = app.add_subcommand("builtin", "Write the built-in Wubi-86 GB-6763 table (GBK) to standard output");
        cmd->callback([] { WriteStdout(OpenBuiltinTable().readAll()); });
    }
    // run and the per-derivation commands
    struct Spec {
        const char* name;
        const char* help;
        std::vector<Derivation> which;
        bool entries;
        bool writeEntries;
    };
    const std::vector<Spec> specs = {
        {"run", "Run every derivation, write each result as OUT/<hint>.txt and print the status lines",
         {Derivation::Expand, Derivation::Group, Derivation::Classify, Derivation::FullCodes, Derivation::Shortest,
          Derivation::Duplicates, Derivation::Relation},
         true, true},
        {"group", "Group equal codes of the one-word-per-line table (重码一行)", {Derivation::Group}, true, false},
        {"classify", "Split the one-word-per-line table by code length (码长分类)", {Derivation::Classify}, true, false},
        {"dups", "Extract the duplicate-code lines of the source table (重码)", {Derivation::Duplicates}, false, false},
        {"fullcodes", "Extract full codes and three-letter short codes (全码)", {Derivation::FullCodes}, true, false},
        {"shortest", "Extract the shortest codes (出简不出全)", {Derivation::Shortest}, true, false},
        {"relate", "Relate short and full codes, reorder the source table (简码全码)", {Derivation::Relation}, true,
         false},
    };
    for (const auto& s : specs) {
        auto* cmd = app.add_subcommand(s.name, s.help);
        auto opts = std::make_shared<SourceOptions>();
        AddSourceOptions(cmd, *opts, s.entries);
        auto which = s.which;
        bool writeEntries = s.writeEntries;
        cmd->callback([opts, which, writeEntries] { RunAndWrite(*opts, which, writeEntries); });
    }
}

}  // namespace zelmora::cli

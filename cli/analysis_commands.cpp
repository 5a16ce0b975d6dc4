// Subcommands that look at whole tables: stats and diff.
#include <memory>
#include <string>

#include "analysis/diff.h"
#include "analysis/stats.h"
#include "cli/command_files.h"
#include "cli/commands.h"
#include "cli/format_options.h"
#include "cli/progress.h"
#include "cli/typing_commands.h"
#include "core/failure.h"
#include "formats/files.h"
#include "formats/table_stream.h"

namespace zelmora::cli {

namespace {

formats::TableDocument Read(const std::string& path, const FormatOptions& o) {
    formats::Encoding e = o.encoding.empty() ? formats::Encoding::Auto : formats::ParseEncoding(o.encoding);
    formats::Format f = o.format.empty() ? formats::Format::Auto : formats::ParseFormat(o.format);
    return formats::ReadTable(ReadInput(path), e, f);
}

void Stats(const std::string& path, const FormatOptions& o, bool json) {
    auto progress = std::make_unique<Progress>();
    progress->step("reading");
    // No figure depends on the order of candidates: the entries are counted
    // as they are read, never all kept.
    const std::string bytes = ReadInput(path);
    formats::MemorySource source(bytes);
    formats::StreamSettings settings;
    settings.onPass = [&](const char* pass) { progress->step(pass); };
    analysis::StatsCounter counter;
    formats::ReadEntriesStream(
        source, o.encoding.empty() ? formats::Encoding::Auto : formats::ParseEncoding(o.encoding),
        o.format.empty() ? formats::Format::Auto : formats::ParseFormat(o.format),
        [&](std::size_t, const std::vector<formats::TableEntry>& entries) {
            for (const auto& e : entries) counter.add(e);
        },
        settings);
    analysis::TableStats stats = counter.finish();
    progress.reset();
    WriteStdout(json ? analysis::FormatStatsJson(stats) : analysis::FormatStatsText(stats));
}

void Diff(const std::string& oldPath, const std::string& newPath, const FormatOptions& oldOptions,
          const FormatOptions& newOptions, bool tsv, bool quiet, const TypingImpact& impact) {
    analysis::TableDiff d;
    try {
        auto progress = std::make_unique<Progress>();
        // Only the entries are kept: the rest of each document goes before
        // the next is read.
        // A failure names the table: there are two.
        TextEncoding encodings[2] = {TextEncoding::Gbk, TextEncoding::Gbk};
        auto entries = [&encodings](const char* which, const std::string& path, const FormatOptions& options) {
            try {
                formats::TableDocument doc = Read(path, options);
                encodings[which[0] == 'n'] = doc.textEncoding();
                return std::move(doc.entries);
            } catch (const Failure& f) {
                throw Failure(std::string("The ") + which + " table \"" + (path == "-" ? "standard input" : path) +
                              "\": " + f.what());
            }
        };
        progress->step("reading the old table");
        std::vector<formats::TableEntry> a = entries("old", oldPath, oldOptions);
        progress->step("reading the new table");
        std::vector<formats::TableEntry> b = entries("new", newPath, newOptions);
        progress->step("comparing");
        d = analysis::CompareTables(a, b);
        std::string typed;
        if (impact.wanted()) {
            progress->step("typing");
            typed = TypingImpactReport(impact, a, encodings[0], b, encodings[1], tsv);
        }
        progress.reset();
        if (!quiet)
            WriteStdout((tsv ? analysis::FormatDiffTsv(d) : analysis::FormatDiffText(d)) +
                        (typed.empty() ? "" : "\n" + typed));
    } catch (const Failure& f) {
        throw FailureStatus{f.what(), 2};
    }
    if (!d.identical) throw ExitStatus{1};
}

}  // namespace

void AddAnalysisCommands(CLI::App& app) {
    {
        auto* cmd = app.add_subcommand(
            "stats",
            "A table's figures: entries, codes, single characters and phrases; duplicate codes and their share; "
            "candidates per code; code lengths; keys a-z in the codes, in all and by position; GB 2312 level 1 and 2 "
            "characters present and missing");
        auto path = std::make_shared<std::string>();
        auto o = std::make_shared<FormatOptions>();
        auto json = std::make_shared<bool>(false);
        auto* table = cmd->add_option("TABLE", *path, "The table; - for standard input")->required();
        AddFormatOptions(cmd, *o, true, false, "");
        cmd->add_flag("--json", *json, "One JSON object, for scripts (with the missing GB 2312 characters)");
        cmd->footer(
            "Keys are counted in the distinct codes. A duplicate code holds two or more candidates; \"candidates behind "
            "the first\" are the ones chosen with a number key. A GB 2312 character is present when the table has it "
            "as a single-character word.");
        cmd->callback([=] {
            CommandFiles files;
            files.read(table, *path);
            files.print("the figures");
            files.check();
            Stats(*path, *o, *json);
        });
    }
    {
        auto* cmd = app.add_subcommand(
            "diff",
            "Compare two tables (any formats and encodings, each recognised on its own): entries added and removed, "
            "words moved to another code, codes whose candidates changed order, entries whose weight alone changed; exit "
            "status 0 when the tables hold the same entries in the same order with the same weights, 1 when they "
            "differ (weights alone too), 2 on trouble");
        auto oldPath = std::make_shared<std::string>();
        auto newPath = std::make_shared<std::string>();
        auto oldOptions = std::make_shared<FormatOptions>();
        auto newOptions = std::make_shared<FormatOptions>();
        auto tsv = std::make_shared<bool>(false);
        auto quiet = std::make_shared<bool>(false);
        auto impact = std::make_shared<TypingImpact>();
        auto* oldOption = cmd->add_option("OLD", *oldPath, "The old table; - for standard input")->required();
        auto* newOption = cmd->add_option("NEW", *newPath, "The new table; - for standard input")->required();
        cmd->add_option("--old-encoding", oldOptions->encoding, "Encoding of OLD (default: auto)");
        cmd->add_option("--old-format", oldOptions->format, "Format of OLD (default: auto)");
        cmd->add_option("--new-encoding", newOptions->encoding, "Encoding of NEW (default: auto)");
        cmd->add_option("--new-format", newOptions->format, "Format of NEW (default: auto)");
        cmd->add_flag("--tsv", *tsv,
                      "One tab-separated line a difference: added/removed CODE WORD, moved WORD OLD NEW, "
                      "reordered CODE OLD-WORDS NEW-WORDS, weight CODE WORD OLD NEW");
        cmd->add_flag("-q,--quiet", *quiet, "Print nothing; only the exit status tells");
        AddTypingImpactOptions(cmd, *impact);
        cmd->footer(
            "Entries are code-word pairs in candidate order (Rime \"sort: by_weight\": by weight). A word that left "
            "one code and came to another is one \"moved\" line, not a removal and an addition. A code is reordered "
            "when the candidates both tables give it stand in another order. An entry is reweighted (\"~w\") when its "
            "weight (Rime's weight column, ibus-table's frequency, as written) differs where both tables give one and "
            "it kept its place among its code's common candidates. Output is UTF-8.");
        cmd->callback([=] {
            CommandFiles files;
            files.read(oldOption, *oldPath);
            files.read(newOption, *newPath);
            for (const std::string& text : impact->texts) files.read(cmd->get_option("--text"), text);
            if (!impact->freq.empty() && impact->freq != "jieba" && impact->freq != "essay")
                files.read(cmd->get_option("--freq"), impact->freq);
            if (!*quiet) files.print("the differences");
            try {
                files.check();
            } catch (const Failure& f) {
                throw FailureStatus{f.what(), 2};
            }
            Diff(*oldPath, *newPath, *oldOptions, *newOptions, *tsv, *quiet, *impact);
        });
    }
}

}  // namespace zelmora::cli

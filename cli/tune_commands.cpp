// Subcommands that propose a better table from word frequencies: reorder.
#include <memory>
#include <string>
#include <vector>

#include "analysis/diff.h"
#include "cli/command_files.h"
#include "cli/commands.h"
#include "cli/format_options.h"
#include "cli/progress.h"
#include "cli/typing_commands.h"
#include "core/failure.h"
#include "formats/files.h"
#include "tune/frequency.h"
#include "tune/reorder.h"
#include "typing/score.h"

namespace zelmora::cli {

namespace {

struct ReorderSettings {
    std::string table, freq, only = "all", by = "use", keep, out, report;
    typing::TypingOptions typing;
    std::vector<std::string> texts;
    bool dryRun = false, optimal = false;
    FormatOptions format;
};

// A few of a list, for a line of the summary.
template <typename T, typename Fn>
std::string FirstFew(const std::vector<T>& items, Fn&& shown) {
    std::string out;
    const std::size_t few = std::min<std::size_t>(items.size(), 10);
    for (std::size_t i = 0; i < few; ++i) out += (i ? ", " : "") + shown(items[i]);
    if (items.size() > few) out += ", ...";
    return out;
}

std::string Summary(const tune::Reordering& r, const tune::ReorderedTable& written, std::size_t pins,
                    const ReorderSettings& s) {
    std::string out = "reorder by " + s.freq + " (" + s.only + ", by " + s.by + "): " + std::to_string(r.codesChanged) +
                      " codes reordered, " + std::to_string(r.moves.size()) + " candidates moved, " +
                      std::to_string(written.linesChanged) + " lines changed";
    if (!written.reweighted.empty()) out += " (" + std::to_string(written.reweighted.size()) + " new weights)";
    out += "\n";
    if (pins)
        out += "pinned: " + std::to_string(pins) + " given, " + std::to_string(r.unmatchedPins.size()) +
               " not in the table" +
               (r.unmatchedPins.empty() ? std::string()
                                        : ": " + FirstFew(r.unmatchedPins,
                                                          [](const tune::Pin& p) {
                                                              return formats::MessageText(p.code + " " + p.word) +
                                                                     " (line " + std::to_string(p.line) + ")";
                                                          })) +
               "\n";
    if (!r.oddCodes.empty())
        out += "left as they are, codes not all a-z: " + std::to_string(r.oddCodes.size()) + ": " +
               FirstFew(r.oddCodes, [](const std::string& c) { return formats::MessageText(c); }) + "\n";
    return out;
}

void RunReorder(const ReorderSettings& s) {
    auto progress = std::make_unique<Progress>();
    progress->step("reading the table");
    const formats::Encoding e =
        s.format.encoding.empty() ? formats::Encoding::Auto : formats::ParseEncoding(s.format.encoding);
    const formats::Format f = s.format.format.empty() ? formats::Format::Auto : formats::ParseFormat(s.format.format);
    const formats::TableDocument doc = formats::ReadTable(ReadInput(s.table), e, f);
    NoteEncodingGuess(doc.encodingCloseCall, doc.encoding);
    progress->step("reading the frequency list");
    const typing::FrequencyList list = typing::LoadFrequencyList(s.freq);
    const tune::WordCounts counts(list);
    tune::ReorderOptions options;
    options.only = tune::ParseOnly(s.only);
    options.by = tune::ParseBy(s.by);
    options.typing = s.typing;
    options.textEncoding = doc.textEncoding();
    if (!s.keep.empty()) options.pins = tune::ReadPins(ReadInput(s.keep), s.keep);

    progress->step("ordering");
    const tune::Reordering r = tune::Reorder(doc.entries, counts, options);
    const tune::ReorderedTable written = tune::WriteReordered(doc, r);
    // The table as the engine reads it back must show the order proposed.
    const formats::TableDocument after = formats::ReadTable(written.bytes, doc.encoding, doc.format);
    const std::vector<formats::TableEntry> wanted = r.apply(doc.entries);
    bool same = after.entries.size() == wanted.size();
    for (std::size_t i = 0; same && i < wanted.size(); ++i)
        same = after.entries[i].code == wanted[i].code && after.entries[i].word == wanted[i].word;
    if (!same) throw Failure("The reordered table does not read back in the order proposed; nothing written");

    progress->step("comparing");
    std::string report = Summary(r, written, options.pins.size(), s) + "\n" +
                         analysis::FormatDiffText(analysis::CompareTables(doc.entries, after.entries));
    TypingImpact impact;
    impact.texts = s.texts;
    impact.freq = s.freq;
    impact.optimal = s.optimal;
    impact.typing = s.typing;
    progress->step("typing");
    report +=
        "\n" + TypingImpactReport(impact, doc.entries, doc.textEncoding(), after.entries, after.textEncoding(), false);
    progress.reset();
    if (!s.dryRun) WriteFileSafely(s.out, written.bytes);
    if (s.report.empty())
        WriteStdout(report);
    else
        WriteFileSafely(s.report, report);
}

}  // namespace

void AddTuneCommands(CLI::App& app) {
    auto* cmd = app.add_subcommand(
        "reorder",
        "Order each code's candidates by a word-frequency list, highest first, and write the table in its own format "
        "and encoding; prints the change as diff does and the typing figures before and after; exit status 0 when "
        "written (or, with --dry-run, worked out), 2 on trouble, with nothing written");
    auto s = std::make_shared<ReorderSettings>();
    auto* table =
        cmd->add_option("TABLE", s->table, "The table (any format and encoding); - for standard input")->required();
    AddFormatOptions(cmd, s->format, true, false, "");
    auto* freq = cmd->add_option("--freq", s->freq,
                                 "The word-frequency list: jieba, essay or a file of `word count` lines (a word "
                                 "listed twice counts the sum of its lines)")
                     ->required();
    cmd->add_option("--only", s->only, "Which candidates are ordered: singles, phrases or all (the default)")
        ->check(CLI::IsMember({"singles", "phrases", "all"}));
    cmd->add_option("--by", s->by,
                    "use (the default): a count counts only where coming first makes the word cheaper to type than "
                    "its cheapest entry elsewhere; count: raw counts")
        ->check(CLI::IsMember({"use", "count"}));
    cmd->add_option("--auto-commit", s->typing.autoCommit,
                    "A first candidate commits itself at this many letters, no space typed (default 4; 0: never)")
        ->check(CLI::Range(0, 64));
    cmd->add_option("--select-keys", s->typing.selectKeys,
                    "The keys choosing the 2nd, 3rd ... candidate of a page (default ;'4567890)");
    cmd->add_option("--page-size", s->typing.pageSize, "Candidates on a page (default 5)")->check(CLI::Range(1, 100));
    auto* keep = cmd->add_option("--keep", s->keep, "`code word` lines whose candidates keep their places");
    auto* out = cmd->add_option("--out", s->out, "The reordered table; may be TABLE itself");
    auto* report = cmd->add_option("--report", s->report, "Write the report to this file instead of standard output");
    auto* dryRun = cmd->add_flag("--dry-run", s->dryRun, "Work out and report the change; write no table");
    auto* text = cmd->add_option("--text", s->texts, "Also type these texts through both tables for the figures");
    cmd->add_flag("--optimal", s->optimal, "Figures with the segmentation needing fewest keys");
    out->excludes(dryRun);
    dryRun->excludes(out);
    cmd->footer(
        "Within each code the candidates --only selects are ordered by their count in the list, highest first. By "
        "use, a word's count counts at a code only if typing it there as the first candidate would take strictly "
        "fewer keys than its cheapest entry at another code of the table (keys as score counts them, with "
        "--auto-commit, --page-size and --select-keys); otherwise it is ordered as a word the list lacks: a word "
        "its short code types as cheaply gains nothing from coming first. By count, raw counts. Equal counts keep "
        "their order, and words the list lacks follow those it has, in their order; the other candidates keep "
        "their places. A pinned candidate (--keep) keeps its place, and the ordered ones fill the places left. Codes "
        "holding anything but a-z are left as they are and listed. Engines that show candidates in file order "
        "(plain, libime, fcitx4, yong, Rime with \"sort: original\") get their lines in the new order; Rime "
        "(\"sort: by_weight\") and ibus-table keep their lines and get new weights, on as few lines as give the new "
        "order. Every other line stays byte for byte. The typing figures are those of the --freq list and of each "
        "--text.");
    cmd->callback([=] {
        if (s->out.empty() && !s->dryRun) throw FailureStatus{"reorder: give --out NEW, or --dry-run", 2};
        try {
            typing::CheckOptions(s->typing);
            CommandFiles files;
            files.read(table, s->table);
            if (s->freq != "jieba" && s->freq != "essay") files.read(freq, s->freq);
            files.read(keep, s->keep);
            for (const std::string& t : s->texts) files.read(text, t);
            files.write(out, s->out);
            if (s->report.empty())
                files.print("the report");
            else
                files.write(report, s->report);
            files.mayReplace(out, table);
            files.check();
            RunReorder(*s);
        } catch (const Failure& f) {
            throw FailureStatus{f.what(), 2};
        }
    });
}

}  // namespace zelmora::cli

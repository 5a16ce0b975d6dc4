// shortcodes: short codes handed out by word frequency, as a reviewable change.
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
#include "typing/report.h"
#include "typing/score.h"
#include "tune/shortcodes.h"

namespace zelmora::cli {

namespace {

struct ShortCodeSettings {
    FormatOptions table;
    std::string tablePath, freq, out, report, method = "greedy", chars;
    std::vector<std::string> texts;
    std::vector<std::size_t> levels{1, 2, 3};
    std::size_t perCode = 0;
    bool perCodeGiven = false, words = false, dryRun = false;
};

std::string Utf8(const std::string& bytes, TextEncoding encoding) {
    return typing::Utf8Of(typing::Utf32Of(bytes, encoding));
}

std::string ChangesList(const tune::ShortCodeProposal& p, TextEncoding encoding) {
    std::string out = "Changes (weight: the word's count; keys: its cheapest entry, old -> new):\n";
    for (const tune::ShortCodeChange& c : p.changes) {
        const bool added = c.kind == tune::ShortCodeChange::Kind::Added;
        out += std::string(added ? "  + " : "  - ") + c.code + " " + Utf8(c.word, encoding) + "  (position " +
               std::to_string(c.position) + ", weight " + std::to_string(c.weight) + ", keys " +
               std::to_string(c.oldKeys) + " -> " + std::to_string(c.newKeys) + ")\n";
    }
    return out;
}

void ShortCodes(const ShortCodeSettings& s) {
    auto progress = std::make_unique<Progress>();
    progress->step("reading the table");
    const formats::Encoding encoding =
        s.table.encoding.empty() ? formats::Encoding::Auto : formats::ParseEncoding(s.table.encoding);
    const formats::Format format =
        s.table.format.empty() ? formats::Format::Auto : formats::ParseFormat(s.table.format);
    formats::TableDocument doc;
    try {
        doc = formats::ReadTable(ReadInput(s.tablePath), encoding, format);
    } catch (const Failure& f) {
        throw Failure("The table \"" + (s.tablePath == "-" ? std::string("standard input") : s.tablePath) +
                      "\": " + f.what());
    }
    progress->step("reading the frequency list");
    const typing::FrequencyList list = typing::LoadFrequencyList(s.freq);
    tune::ShortCodeOptions options;
    options.levels = s.levels;
    if (s.perCodeGiven) options.perCode = s.perCode;
    if (s.method == "optimal")
        options.method = tune::ShortCodeMethod::Optimal;
    else if (s.method != "greedy")
        throw Failure("--method is greedy or optimal, not \"" + s.method + "\"");
    options.words = s.words;
    if (!s.chars.empty()) options.characters = typing::CharacterSet(s.chars, list);
    progress->step("proposing");
    const tune::ShortCodeProposal p = tune::ProposeShortCodes(doc.entries, doc.textEncoding(), list, options);
    progress->step("writing the table");
    const std::string bytes = tune::WriteWithCandidates(doc, p.entries);

    progress->step("measuring");
    std::size_t added = 0;
    for (const tune::ShortCodeChange& c : p.changes) added += c.kind == tune::ShortCodeChange::Kind::Added;
    std::string report = "Short codes (" + s.method + ", levels";
    for (std::size_t i = 0; i < s.levels.size(); ++i) report += (i ? "," : " ") + std::to_string(s.levels[i]);
    report += "): " + std::to_string(p.slotCount) + " slots, " + std::to_string(p.candidates) + " candidate words\n";
    report += "Weighted keys saved by short codes: old " + std::to_string(p.oldSaving) + ", new " +
              std::to_string(p.saving) + "\n";
    report +=
        "Changes: " + std::to_string(added) + " added, " + std::to_string(p.changes.size() - added) + " removed\n";
    for (const tune::ShortCodeSkip& skip : p.skipped)
        report += "Skipped: " + (skip.code.empty() ? "" : skip.code + " " + skip.word + ": ") + skip.reason + "\n";
    report += "\n" + analysis::FormatDiffText(analysis::CompareTables(doc.entries, p.entries));
    {  // the two typing tables go before the typing report builds its own
        const typing::TypingTable before(doc.entries, doc.textEncoding(), options.typing),
            after(p.entries, doc.textEncoding(), options.typing);
        const std::string set = s.chars.empty() ? "gb2312" : s.chars;
        report += "\nSingle characters of " + set + ", weighted by " + s.freq + ":\n" +
                  typing::RowsText({"old", "new"}, {typing::CharacterRows(typing::ScoreCharacters(before, list, set)),
                                                    typing::CharacterRows(typing::ScoreCharacters(after, list, set))});
    }
    TypingImpact impact;
    impact.texts = s.texts;
    impact.freq = s.freq;
    report += "\n" + TypingImpactReport(impact, doc.entries, doc.textEncoding(), p.entries, doc.textEncoding(), false);
    report += "\n" + ChangesList(p, doc.textEncoding());
    progress.reset();
    if (!s.dryRun) WriteFileSafely(s.out, bytes);
    if (s.report.empty())
        WriteStdout(report);
    else
        WriteFileSafely(s.report, report);
}

}  // namespace

void AddShortCodesCommand(CLI::App& app) {
    auto* cmd = app.add_subcommand(
        "shortcodes",
        "Hand out the 1-, 2- and 3-key short codes by word frequency: each goes to words whose full code it begins, "
        "maximising the frequency-weighted keys saved; prints the change and the typing figures before and after");
    auto s = std::make_shared<ShortCodeSettings>();
    auto* table = cmd->add_option("TABLE", s->tablePath, "The table; - for standard input")->required();
    AddFormatOptions(cmd, s->table, true, false, "");
    auto* freq =
        cmd->add_option(
               "--freq", s->freq,
               "The word-frequency list: jieba, essay or a file (a word listed twice counts the sum of its lines)")
            ->required();
    cmd->add_option("--levels", s->levels, "The short-code levels to hand out (default 1,2,3)")->delimiter(',');
    auto* perCode = cmd->add_option("--per-code", s->perCode,
                                    "Candidates per short code (default: 1 at level 1, and at levels 2 and 3 as many "
                                    "as the table has at that code now)");
    cmd->add_option("--method", s->method, "greedy (the largest saving first) or optimal (exact assignment)")
        ->check(CLI::IsMember({"greedy", "optimal"}));
    cmd->add_flag("--words", s->words, "Phrases may take short codes too");
    cmd->add_option("--chars", s->chars,
                    "Only these characters take new short codes, and the single-character figures are over them: "
                    "gb2312, gb2312-1 or top:N (default: any; figures over gb2312)");
    auto* out = cmd->add_option("--out", s->out, "The new table, in the table's own format and encoding");
    auto* report = cmd->add_option("--report", s->report, "Write the report to this file instead of standard output");
    cmd->add_flag("--dry-run", s->dryRun, "Write no table: only the report");
    auto* text = cmd->add_option("--text", s->texts, "Also type these texts through both tables");
    cmd->footer(
        "A word's full code is its longest code in the table; a short code of level L is its first L keys. Keys are "
        "counted as score counts them (letters, the space or a selection key, page-down keys). Output is UTF-8. Exit "
        "status 0 when done, 2 on trouble; nothing is written on failure.");
    cmd->callback([=] {
        try {
            s->perCodeGiven = perCode->count() > 0;
            if (!s->dryRun && s->out.empty()) throw Failure("shortcodes needs --out NEW, or --dry-run");
            CommandFiles files;
            files.read(table, s->tablePath);
            if (s->freq != "jieba" && s->freq != "essay") files.read(freq, s->freq);
            for (const std::string& t : s->texts) files.read(text, t);
            if (!s->dryRun) files.write(out, s->out);
            files.write(report, s->report);
            if (s->report.empty()) files.print("the report");
            files.check();
            ShortCodes(*s);
        } catch (const Failure& f) {
            throw FailureStatus{f.what(), 2};
        }
    });
}

}  // namespace zelmora::cli

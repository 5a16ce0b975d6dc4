// score: how a table types texts and word frequencies; and the typing part of diff.
#include "cli/typing_commands.h"

#include <algorithm>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/command_files.h"
#include "cli/commands.h"
#include "cli/format_options.h"
#include "cli/progress.h"
#include "core/failure.h"
#include "formats/files.h"
#include "typing/report.h"
#include "typing/score.h"

namespace zelmora::cli {

namespace {

struct ScoreSettings {
    FormatOptions table, against;
    std::string tablePath, againstPath, freq, chars, textEncoding, splitPath, entriesPath;
    std::vector<std::string> texts;
    bool optimal = false, json = false, tsv = false;
    unsigned threads = 0;  // 0: one per core
    typing::TypingOptions typing;
};

std::string Shown(const std::string& path) { return path == "-" ? "standard input" : path; }

// A figure set of each table on one input.
struct Section {
    std::string input;
    std::vector<typing::Figures> figures;              // per table
    std::vector<typing::CharacterFigures> characters;  // per table, with --chars
};

std::string Report(const std::vector<Section>& sections, const std::vector<std::string>& titles, bool json, bool tsv) {
    auto columns = [](const Section& s) {
        std::vector<std::vector<typing::FigureRow>> c;
        for (std::size_t t = 0; t < s.figures.size(); ++t) {
            c.push_back(typing::FigureRows(s.figures[t]));
            if (t < s.characters.size()) {
                auto rows = typing::CharacterRows(s.characters[t]);
                c.back().insert(c.back().end(), rows.begin(), rows.end());
            }
        }
        return c;
    };
    std::string out;
    if (json) {
        out = "[";
        for (std::size_t i = 0; i < sections.size(); ++i) {
            std::string figures = typing::RowsJson(titles, columns(sections[i]));
            while (!figures.empty() && figures.back() == '\n') figures.pop_back();
            std::string name;
            for (char c : sections[i].input) {
                if (c == '"' || c == '\\') name += '\\';
                name += c;
            }
            out += i ? ",\n" : "\n";
            out += "{\"input\": \"";
            out += name;
            out += "\", \"tables\": ";
            out += figures;
            out += "}";
        }
        return out + "\n]\n";
    }
    for (const Section& s : sections) {
        if (tsv) {
            const std::string rows = typing::RowsTsv(titles, columns(s));
            std::size_t at = 0;
            bool header = true;
            while (at < rows.size()) {
                const std::size_t end = rows.find('\n', at);
                if (!(header && !out.empty()))
                    out += (header ? "input" : s.input) + "\t" + rows.substr(at, end - at) + "\n";
                header = false;
                at = end + 1;
            }
            continue;
        }
        out += "== " + s.input + " ==\n" + typing::RowsText(titles, columns(s));
        for (std::size_t t = 0; t < s.figures.size(); ++t) {
            const std::string missing = typing::MissingText(s.figures[t], 40);
            if (!missing.empty()) out += (s.figures.size() > 1 ? titles[t] + ": " : std::string()) + missing;
            if (t < s.characters.size() && !s.characters[t].missing.empty()) {
                out += (s.figures.size() > 1 ? titles[t] + ": " : std::string()) + "characters of " +
                       s.characters[t].set + " the table lacks (" + std::to_string(s.characters[t].missing.size()) +
                       ", by weight):";
                for (std::size_t i = 0; i < s.characters[t].missing.size() && i < 40; ++i)
                    out += " " + typing::Utf8Of(std::u32string(1, s.characters[t].missing[i].first));
                out += "\n";
            }
        }
        out += "\n";
    }
    return out;
}

formats::Encoding EncodingOption(const std::string& name) {
    return name.empty() ? formats::Encoding::Auto : formats::ParseEncoding(name);
}

// A table read for typing, failures naming it.
std::unique_ptr<typing::TypingTable> LoadTypingTable(const std::string& path, const FormatOptions& o,
                                                     const typing::TypingOptions& typingOptions) {
    try {
        formats::TableDocument doc =
            formats::ReadTable(ReadInput(path), EncodingOption(o.encoding),
                               o.format.empty() ? formats::Format::Auto : formats::ParseFormat(o.format));
        if (doc.entries.empty()) throw Failure("the table has no entries");
        return std::make_unique<typing::TypingTable>(doc.entries, doc.textEncoding(), typingOptions);
    } catch (const Failure& f) {
        throw Failure("The table \"" + Shown(path) + "\": " + f.what());
    }
}

typing::ScoreOptions Options(const ScoreSettings& s) {
    typing::ScoreOptions o;
    o.segmentation = s.optimal ? typing::Segmentation::Optimal : typing::Segmentation::Greedy;
    o.threads = s.threads ? s.threads : std::max(1u, std::thread::hardware_concurrency());
    return o;
}

void Score(const ScoreSettings& s) {
    auto progress = std::make_unique<Progress>();
    progress->step("reading the tables");
    std::vector<std::unique_ptr<typing::TypingTable>> tables;
    std::vector<std::string> titles = {Shown(s.tablePath)};
    tables.push_back(LoadTypingTable(s.tablePath, s.table, s.typing));
    if (!s.againstPath.empty()) {
        tables.push_back(LoadTypingTable(s.againstPath, s.against, s.typing));
        titles.push_back(Shown(s.againstPath));
        if (titles[1] == titles[0]) titles[1] += " (against)";
    }
    const typing::ScoreOptions options = Options(s);
    std::optional<OutputFile> split, entries;
    if (!s.splitPath.empty()) split.emplace(s.splitPath);
    std::vector<std::uint64_t> entryUse(tables[0]->size(), 0);

    std::vector<Section> sections;
    Section total{"total", {}, {}};
    for (const std::string& path : s.texts) {
        progress->step("typing " + Shown(path));
        Section section{Shown(path), {}, {}};
        // Opened once: standard input can be read only once, and each table
        // types the text from its start.
        InputFile input(path);
        for (std::size_t t = 0; t < tables.size(); ++t) {
            std::vector<std::uint64_t> use;
            typing::Trace trace;
            if (t == 0) {
                if (!s.entriesPath.empty()) trace.entryUse = &use;
                if (split)
                    trace.onCommits = [&](const std::vector<typing::Commit>& commits) {
                        std::string lines;
                        for (const typing::Commit& c : commits) {
                            const typing::Stroke& stroke = tables[0]->strokeOf(c.entry);
                            lines += typing::Utf8Of(tables[0]->wordOf(c.entry)) + "\t" +
                                     formats::MessageText(std::string(tables[0]->codeOf(c.entry))) + "\t" +
                                     std::to_string(stroke.position) + "\n";
                        }
                        split->write(lines);
                    };
            }
            input.rewind();
            try {
                section.figures.push_back(
                    typing::ScoreText(*tables[t], input, EncodingOption(s.textEncoding), Shown(path), options, trace));
            } catch (const Failure& f) {
                throw Failure(std::string("The text ") + f.what());
            }
            for (std::size_t i = 0; i < use.size(); ++i) entryUse[i] += use[i];
        }
        if (total.figures.empty())
            total.figures = section.figures;
        else
            for (std::size_t t = 0; t < tables.size(); ++t) total.figures[t] += section.figures[t];
        sections.push_back(std::move(section));
    }
    if (sections.size() > 1) sections.push_back(std::move(total));
    if (!s.freq.empty()) {
        progress->step("reading the word list");
        const typing::FrequencyList list = typing::LoadFrequencyList(s.freq);
        Section section{"frequencies: " + s.freq, {}, {}};
        for (std::size_t t = 0; t < tables.size(); ++t) {
            progress->step("typing the word list");
            std::vector<std::uint64_t> use;
            typing::Trace trace;
            if (t == 0 && !s.entriesPath.empty()) trace.entryUse = &use;
            section.figures.push_back(typing::ScoreFrequencies(*tables[t], list, options.segmentation, trace));
            for (std::size_t i = 0; i < use.size(); ++i) entryUse[i] += use[i];
            if (!s.chars.empty()) section.characters.push_back(typing::ScoreCharacters(*tables[t], list, s.chars));
        }
        sections.push_back(std::move(section));
    }
    if (!s.entriesPath.empty()) {
        entries.emplace(s.entriesPath);
        std::string lines;
        for (std::uint32_t e = 0; e < tables[0]->size(); ++e) {
            lines += formats::MessageText(std::string(tables[0]->codeOf(e))) + "\t" +
                     typing::Utf8Of(tables[0]->wordOf(e)) + "\t" + std::to_string(entryUse[e]) + "\n";
            if (lines.size() > (1 << 16)) {
                entries->write(lines);
                lines.clear();
            }
        }
        entries->write(lines);
    }
    progress.reset();
    const std::string report = Report(sections, titles, s.json, s.tsv);
    if (split) split->commit();
    if (entries) entries->commit();
    WriteStdout(report);
}

}  // namespace

void AddTypingCommands(CLI::App& app) {
    auto* cmd = app.add_subcommand(
        "score",
        "How a table types: texts typed through it (keys per character, selections, words, keys by finger and hand) "
        "and word frequencies typed once per count; with --against, a second table on the same input beside it");
    auto s = std::make_shared<ScoreSettings>();
    auto* table =
        cmd->add_option("TABLE", s->tablePath, "The table (any format and encoding); - for standard input")->required();
    auto* texts =
        cmd->add_option("TEXT", s->texts, "Texts to type (any encoding; each gets its figures, then a total)");
    AddFormatOptions(cmd, s->table, true, false, "");
    cmd->add_option("--text-encoding", s->textEncoding, "Encoding of the texts (default: auto, as for tables)");
    auto* freq = cmd->add_option(
        "--freq", s->freq,
        "A word-frequency list typed once per count: jieba (python3-jieba's dict.txt, simplified), essay (rime-essay's "
        "essay.txt, mixing traditional characters in: for traditional or mixed tables), or a file of word<blank>count "
        "lines");
    cmd->add_option("--chars", s->chars,
                    "With --freq: single characters of a set (gb2312, gb2312-1, top:N), weighted by the list, typed by "
                    "full codes only and with short codes");
    cmd->add_flag("--optimal", s->optimal,
                  "Segment each run of text into the words needing fewest keys (default: the longest word first)");
    cmd->add_option("--auto-commit", s->typing.autoCommit,
                    "A first candidate commits itself at this many letters, no space typed (default 4; 0: never)")
        ->check(CLI::Range(0, 64));
    cmd->add_option("--select-keys", s->typing.selectKeys,
                    "The keys choosing the 2nd, 3rd ... candidate of a page (default ;'4567890)");
    cmd->add_option("--page-size", s->typing.pageSize, "Candidates on a page (default 5)")->check(CLI::Range(1, 100));
    cmd->add_option("--threads", s->threads, "Threads typing a text's parts (default: one per core)")
        ->check(CLI::Range(1u, 256u));
    cmd->add_flag("--json", s->json, "The figures as JSON");
    cmd->add_flag("--tsv", s->tsv, "The figures as tab-separated lines: input, figure, value per table");
    auto* split = cmd->add_option("--split", s->splitPath,
                                  "Write how the texts were typed: word, code, candidate position a line (UTF-8)");
    auto* entries = cmd->add_option("--entries", s->entriesPath,
                                    "Write how often each entry was typed: code, word, count a line, in table order");
    auto* against = cmd->add_option("--against", s->againstPath, "A second table, scored on the same input");
    cmd->add_option("--against-encoding", s->against.encoding, "Encoding of the --against table (default: auto)");
    cmd->add_option("--against-format", s->against.format, "Format of the --against table (default: auto)");
    cmd->footer(
        "An entry costs its code's letters; a first candidate adds the space unless its code reaches the auto-commit "
        "length; a later candidate adds a page-down key (=) per page before its own, then the space when it is first "
        "on its page, else its selection key. A word is typed by its cheapest entry. Punctuation typed next saves a "
        "first candidate's space. Blanks split words; ASCII and Chinese punctuation are typed by their keys (shift "
        "counts as a key); a character the table has no one-character entry for is missing (Han) or unkeyed, listed "
        "by count. Keys per character: the table's keys over the characters typed through it. Selection rate: "
        "commits past the first candidate per character typed through the table. Word rate: the share of Han "
        "characters typed in words of two or more. Pair rates count two keys in a row, neither the space. Exit status "
        "2 on input that can't be read, with nothing written.");
    cmd->callback([=] {
        try {
            if (s->texts.empty() && s->freq.empty()) throw Failure("Give a text to type, or --freq");
            if (!s->chars.empty() && s->freq.empty()) throw Failure("--chars weighs characters by --freq: give it");
            if (s->json && s->tsv) throw Failure("--json and --tsv: give one");
            typing::CheckOptions(s->typing);
            CommandFiles files;
            files.read(table, s->tablePath);
            for (const std::string& path : s->texts) files.read(texts, path);
            if (!s->freq.empty() && s->freq != "jieba" && s->freq != "essay") files.read(freq, s->freq);
            if (!s->againstPath.empty()) files.read(against, s->againstPath);
            files.write(split, s->splitPath);
            files.write(entries, s->entriesPath);
            files.print("the figures");
            files.check();
            Score(*s);
        } catch (const Failure& f) {
            throw FailureStatus{f.what(), 2};
        }
    });
}

void AddTypingImpactOptions(CLI::App* cmd, TypingImpact& impact) {
    cmd->add_option("--text", impact.texts,
                    "Also type these texts through both tables: their figures, the difference, and the words typed "
                    "dearer or cheaper");
    cmd->add_option("--freq", impact.freq, "The same on a word-frequency list (jieba, essay or a file)");
    cmd->add_flag("--optimal", impact.optimal, "With --text/--freq: the segmentation needing fewest keys");
}

std::string TypingImpactReport(const TypingImpact& impact, const std::vector<formats::TableEntry>& oldEntries,
                               TextEncoding oldEncoding, const std::vector<formats::TableEntry>& newEntries,
                               TextEncoding newEncoding, bool tsv) {
    // The two tables are independent: each is built and typed on its own core.
    auto building = std::async(std::launch::async, [&] {
        return std::make_unique<const typing::TypingTable>(newEntries, newEncoding, impact.typing);
    });
    const typing::TypingTable before(oldEntries, oldEncoding, impact.typing);
    const std::unique_ptr<const typing::TypingTable> built = building.get();
    const typing::TypingTable& after = *built;
    ScoreSettings settings;
    settings.optimal = impact.optimal;
    const typing::ScoreOptions options = Options(settings);
    std::vector<std::uint64_t> beforeUse(before.size(), 0), afterUse(after.size(), 0);
    std::vector<Section> sections;
    auto add = [](std::vector<std::uint64_t>& to, const std::vector<std::uint64_t>& use) {
        for (std::size_t i = 0; i < use.size(); ++i) to[i] += use[i];
    };
    for (const std::string& path : impact.texts) {
        Section section{Shown(path), {}, {}};
        InputFile input(path);  // once, as for score
        for (auto [table, use] : {std::pair{&before, &beforeUse}, {&after, &afterUse}}) {
            std::vector<std::uint64_t> used;
            typing::Trace trace;
            trace.entryUse = &used;
            input.rewind();
            try {
                section.figures.push_back(
                    typing::ScoreText(*table, input, formats::Encoding::Auto, Shown(path), options, trace));
            } catch (const Failure& f) {
                throw Failure(std::string("The text ") + f.what());
            }
            add(*use, used);
        }
        sections.push_back(std::move(section));
    }
    if (!impact.freq.empty()) {
        const typing::FrequencyList list = typing::LoadFrequencyList(impact.freq);
        Section section{"frequencies: " + impact.freq, {}, {}};
        std::vector<std::uint64_t> usedAfter;
        auto typingAfter = std::async(std::launch::async, [&] {
            typing::Trace trace;
            trace.entryUse = &usedAfter;
            return typing::ScoreFrequencies(after, list, options.segmentation, trace);
        });
        std::vector<std::uint64_t> usedBefore;
        typing::Trace trace;
        trace.entryUse = &usedBefore;
        section.figures.push_back(typing::ScoreFrequencies(before, list, options.segmentation, trace));
        section.figures.push_back(typingAfter.get());
        add(beforeUse, usedBefore);
        add(afterUse, usedAfter);
        sections.push_back(std::move(section));
    }
    std::string out = Report(sections, {"old", "new"}, false, tsv);
    if (!tsv)
        out += typing::ChangesText(typing::CompareTyping(before, beforeUse, after, afterUse, options.segmentation), 20);
    return out;
}

}  // namespace zelmora::cli

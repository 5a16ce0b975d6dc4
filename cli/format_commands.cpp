// Subcommands on table files of any encoding and format: convert and check;
// and the encoding and format options the other table commands share.
#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/command_files.h"
#include "cli/commands.h"
#include "formats/files.h"
#include "cli/format_options.h"
#include "cli/progress.h"
#include "core/failure.h"
#include "wubi/phrase_check.h"
#include "wubi/variant_check.h"

namespace zelmora::cli {

using formats::Encoding;
using formats::Format;

namespace {

const char* kEncodingHelp =
    "auto (a byte-order mark decides; otherwise valid UTF-8 is UTF-8; otherwise GB18030), gbk, gb18030, utf-8, "
    "utf-16le or utf-16be";
const char* kFormatHelp =
    "auto (recognised by the header or the first data line), plain, rime, libime, fcitx4, ibus, yong, duoduo "
    "(word<TAB>code), bingling ([CODETABLE], then code<TAB>word), jidian (plain group lines, UTF-16LE), "
    "sogou-phrase (code,position=word), baidu-phrase (code=position,word) or ms-phrase (the Windows input methods' "
    "binary phrase file, mschxudp; recognised by its first bytes)";

const char* kConvertStreaming =
    "Large tables stream: the input is read in 1 MiB blocks and decoded, read and converted line by line, and the "
    "output goes into a temporary file beside OUT that replaces OUT only when all went well (standard input is "
    "first copied to a temporary file, standard output is written at the end). Memory stays flat however large "
    "the table.\n"
    "  - Into the same format (another encoding, or the same file again): one pass.\n"
    "  - From a plain table into plain, Rime, jidian, duoduo or bingling: one pass. Into libime, fcitx4, ibus or "
    "yong: two passes, the first gathering the key characters and the longest code the new header names; into "
    "sogou-phrase, baidu-phrase or jisu: two passes, the first making sure each code's candidates stand together "
    "to be numbered.\n"
    "  - From a table of any other format into another format: two passes, when each code's entries "
    "stand together because the codes come in ascending order, by letters or by length and then letters (as "
    "wubi86.dict.yaml does); candidates ordered by weight (Rime \"sort: by_weight\") or by position (sogou, baidu) "
    "are ordered within each code. "
    "A table whose codes come in any other order is read whole, since its entries must be grouped by code.\n"
    "  - With --encoding auto and no byte-order mark, one more pass first tells UTF-8 from GB18030.\n"
    "On a terminal, a progress line on standard error names each pass that takes longer than a second.";

const char* kCheckPhrases =
    "Every word of two or more characters is coded from the full codes of its characters, by the table's own phrase "
    "rules when its header gives them (a Rime encoder's rules, a libime or fcitx4 [Rule] section, an ibus-table RULES "
    "line), otherwise by the Wubi-86 rules (two characters: two keys of each; three: one key of the first two, two "
    "of the third; four or more: one key of the first three and of the last). A code that is neither such a code "
    "nor the start of one (a short code) is a finding. Words that can't be coded (a character without a full code; "
    "with the table's rules also no rule for the length, or a character without the keys asked of it) are counted "
    "on the summary line, not reported. Checking phrases with the table's own characters reads the table once more "
    "first.";

const char* kCheckVariants =
    "Characters and symbols are checked too, each finding with its own option to leave it out: a traditional character standing before a simplified one under a code, "
    "its own simplified form or any other (--no-variants); a traditional character holding a short code of one to "
    "three keys, the start of its full code, that a simplified character whose full code starts with it and that "
    "holds no code of that length could take (--no-variant-shortcodes); in a table of Han words (most words hold a Han character), a "
    "code whose words are all symbols, with neither Han characters nor ASCII letters and digits (--no-symbols); a word mixing Han characters with ASCII letters or digits (--no-mixed); a character at a code "
    "that is neither its full code (its longest) nor the start of it (--no-stray-codes; phrases are the phrase "
    "check's). Traditional characters and their simplified forms are OpenCC's: a character its "
    "traditional-to-simplified table converts that is no simplified character itself; a simplified character is one "
    "of GB 2312's that is not traditional. Under Rime's \"sort: "
    "by_weight\" and in ibus tables, candidates stand in the order of their weights.";

const char* kCheckStreaming =
    "The table is read in 1 MiB blocks and checked line by line; memory stays flat when the codes come in ascending "
    "order (by letters, or by length and then letters). Otherwise a word met twice under one code is looked for "
    "among all pairs, kept in memory, and the check reads the table a second time.";

void ReportDropped(std::size_t dropped, Format format) {
    if (dropped)
        std::fprintf(stderr,
                     "zelmora-cli: %zu line%s without a %s equivalent (pinyin, prompt or phrase lines) left out\n",
                     dropped, dropped == 1 ? "" : "s", formats::FormatName(format));
}

void Convert(const std::string& in, const std::string& out, const FormatOptions& o, bool whole) {
    auto progress = std::make_unique<Progress>();
    formats::ConvertFileSettings settings;
    settings.whole = whole;
    settings.onStep = [&](const char* step) { progress->step(step); };
    formats::ConvertFileResult r = formats::ConvertFile(in, out, o, settings);
    progress.reset();
    ReportDropped(r.droppedLines, r.format);
    ReportSkipped(o);
}

// How phrase codes are checked: not at all, or with the characters of
// --chars (read in any format and encoding) or of the table itself.
struct PhraseOptions {
    bool skip = false;
    std::string chars;
};

std::optional<PhraseCodeCheck> PhraseCheck(const PhraseOptions& p) {
    if (p.skip) return std::nullopt;
    if (p.chars.empty()) return MakePhraseCodeCheck(nullptr);
    formats::TableDocument chars = formats::ReadTable(ReadInput(p.chars));
    return MakePhraseCodeCheck(&chars.entries);
}

std::string PhraseSummary(const std::string& path, const std::optional<PhraseCodeCheck>& check) {
    return check ? path + ": " + check->summary() + "\n" : std::string();
}

void Check(const std::string& path, const FormatOptions& o, const PhraseOptions& p, const VariantKinds& v, bool whole) {
    auto progress = std::make_unique<Progress>();
    std::optional<PhraseCodeCheck> phrases = PhraseCheck(p);
    std::optional<VariantCheck> variants;
    if (v.any()) variants.emplace(v);
    formats::EntryChecks more({phrases ? &*phrases : nullptr, variants ? &*variants : nullptr});
    formats::CheckFileResult r = formats::CheckFile(
        path, o, whole, [&](const char* step) { progress->step(step); }, &more);
    progress.reset();
    if (r.report->findings() == 0) {
        WriteStdout(r.clean() + PhraseSummary(path, phrases));
        return;
    }
    r.report->print([](const std::string& piece) { WriteStdout(piece); });
    WriteStdout(PhraseSummary(path, phrases));
    throw FailureStatus{std::to_string(r.report->findings()) + " findings on " + std::to_string(r.report->lines()) +
                            " lines of \"" + path + "\"",
                        1};
}

}  // namespace

void AddFormatOptions(CLI::App* cmd, FormatOptions& o, bool input, bool output, const char* outputFormatDefault) {
    if (input) {
        cmd->add_option("--encoding", o.encoding, std::string("Encoding of the table read: ") + kEncodingHelp);
        cmd->add_option("--format", o.format, std::string("Format of the table read: ") + kFormatHelp);
    }
    if (output) {
        cmd->add_option("--output-encoding", o.outputEncoding,
                        "Encoding written: gbk, gb18030, utf-8, utf-16le or utf-16be (default: the input's)");
        cmd->add_option("--output-format", o.outputFormat,
                        std::string("Format written: plain, rime, libime, fcitx4, ibus, yong, duoduo, bingling, "
                                    "jidian, sogou-phrase, baidu-phrase or jisu (word<TAB>code and selection "
                                    "key<TAB>position, written only); the last six in UTF-16LE with a byte-order mark "
                                    "unless --output-encoding says otherwise; or ms-phrase (the Windows input methods' "
                                    "binary phrase file, written whole; --output-encoding and --bom don't apply) "
                                    "(default: ") +
                            outputFormatDefault + ")");
        cmd->add_flag("--bom", o.bom, "Begin the output with a byte-order mark (default: only if the input had one)");
        cmd->add_option(
            "--unencodable", o.unencodable,
            "Words with a character the output encoding can't hold (and entries an ms-phrase file can't hold): error "
            "(the default: nothing is written, the message names the input line and the character) or skip (left out, "
            "counted on standard error)");
        cmd->add_option("--skipped", o.skippedFile, "With --unencodable skip: list every word left out in this file");
    }
    o.onEncodingGuess = NoteEncodingGuess;
}

void WriteSkippedInto(CommandFiles& files, const CLI::App* cmd, const FormatOptions& o) {
    files.write(cmd->get_option("--skipped"), o.skippedFile);
}

void WriteStdoutEndingLine(std::string bytes, Encoding encoding, TextEncoding textEncoding) {
    if (!bytes.empty() && bytes != formats::EncodeText({}, encoding, true, textEncoding)) {  // text, not just a mark
        const std::string lf = formats::EncodeText("\n", encoding, false, textEncoding);
        const std::string cr = formats::EncodeText("\r", encoding, false, textEncoding);
        auto endsWith = [&](const std::string& end) {
            return bytes.size() >= end.size() && bytes.compare(bytes.size() - end.size(), end.size(), end) == 0;
        };
        if (!endsWith(lf) && !endsWith(cr)) {
            const std::string crlf = cr + lf;
            const bool lfOnly = bytes.find(lf) != std::string::npos && bytes.find(crlf) == std::string::npos;
            bytes += lfOnly ? lf : crlf;
        }
    }
    WriteStdout(bytes);
}

void NoteEncodingGuess(bool closeCall, Encoding chosen) {
    if (!closeCall) return;
    std::fprintf(stderr,
                 "zelmora-cli: read as %s, but another encoding was nearly as likely; give --encoding to be sure\n",
                 formats::EncodingName(chosen));
}

void ReportSkipped(const FormatOptions& o) {
    const auto& list = o.skipped;
    if (!o.skippedFile.empty()) {
        std::string text;
        for (const auto& w : list) {
            char cp[16];
            std::snprintf(cp, sizeof cp, "U+%04X", static_cast<unsigned>(w.codePoint));
            text += std::to_string(w.line) + "\t" + w.code + "\t" + w.word + "\t" + w.character + "\t" + cp + "\n";
        }
        WriteFileSafely(o.skippedFile, text);
    }
    if (list.empty()) return;
    std::string shown;
    for (std::size_t i = 0; i < list.size() && i < 5; ++i)
        shown += (i ? ", " : "") + std::string("line ") + std::to_string(list[i].line) + " \"" + list[i].word + "\"";
    std::fprintf(stderr, "zelmora-cli: %zu word%s left out that the output can't hold (%s%s)%s\n", list.size(),
                 list.size() == 1 ? "" : "s", shown.c_str(), list.size() > 5 ? ", ..." : "",
                 o.skippedFile.empty() ? "; --skipped FILE lists them all" : "");
}

void AddFormatCommands(CLI::App& app) {
    {
        auto* cmd = app.add_subcommand(
            "convert",
            "Convert a table to another encoding or format; in its own format, unchanged lines come back byte for byte");
        auto in = std::make_shared<std::string>();
        auto out = std::make_shared<std::string>();
        auto o = std::make_shared<FormatOptions>();
        auto whole = std::make_shared<bool>(false);
        auto* inOption = cmd->add_option("IN", *in, "The table to read; - for standard input")->required();
        auto* outOption =
            cmd->add_option("OUT", *out, "The file to write (it may be IN); - for standard output")->required();
        AddFormatOptions(cmd, *o, true, true, "the input's");
        cmd->add_flag("--no-stream", *whole, "Read the whole table into memory before converting it (the same output)");
        cmd->footer(kConvertStreaming);
        cmd->callback([=] {
            CommandFiles files;
            files.read(inOption, *in);
            files.write(outOption, *out);
            WriteSkippedInto(files, cmd, *o);
            files.mayReplace(outOption, inOption);
            files.check();
            Convert(*in, *out, *o, *whole);
        });
    }
    {
        auto* cmd = app.add_subcommand(
            "check",
            "Report what is suspicious in a table: codes outside a-z or longer than four letters, a word twice under one "
            "code, blank or malformed lines, lines that don't round-trip, phrases whose code the table's phrase rules "
            "(or else the Wubi-86 rules) don't give, traditional characters before simplified ones or holding their "
            "short codes, codes of symbols only, words mixing Han and ASCII, characters at stray codes; exit status 1 "
            "when anything is found, 2 when the table can't be checked");
        auto path = std::make_shared<std::string>();
        auto o = std::make_shared<FormatOptions>();
        auto p = std::make_shared<PhraseOptions>();
        auto* table = cmd->add_option("TABLE", *path, "The table to check; - for standard input")->required();
        auto whole = std::make_shared<bool>(false);
        AddFormatOptions(cmd, *o, true, false, "");
        cmd->add_flag("--no-stream", *whole, "Read the whole table into memory before checking it (the same report)");
        auto* chars = cmd->add_option(
            "--chars", p->chars,
            "The table whose single characters' full codes (their longest codes) phrases are checked with, "
            "any format and encoding (default: the checked table itself); the built-in table's for "
            "characters it lacks");
        cmd->add_flag("--no-phrases", p->skip, "Don't check phrase codes against the phrase rules");
        // Each kind of the variant check (VariantKinds' order), left out when its flag is given.
        auto skip = std::make_shared<std::array<bool, VariantFinding::kKinds>>();
        const struct {
            const char* flag;
            const char* help;
        } kinds[VariantFinding::kKinds] = {
            {"--no-variants", "Don't report traditional characters standing before simplified ones under a code"},
            {"--no-variant-shortcodes",
             "Don't report traditional characters holding short codes simplified ones could take"},
            {"--no-symbols", "Don't report codes of symbols only in a table of Han words"},
            {"--no-mixed", "Don't report words mixing Han characters with ASCII letters or digits"},
            {"--no-stray-codes",
             "Don't report characters at a code that is neither their full code nor the start of it"},
        };
        for (std::size_t k = 0; k < VariantFinding::kKinds; ++k)
            cmd->add_flag(kinds[k].flag, (*skip)[k], kinds[k].help);
        cmd->footer(std::string(kCheckStreaming) + "\n" + kCheckPhrases + "\n" + kCheckVariants);
        cmd->callback([=] {
            // Findings end with status 1 (Check's own); a table or option that
            // can't be read with 2, so scripts tell the two apart.
            try {
                CommandFiles files;
                files.read(table, *path);
                files.read(chars, p->chars);
                files.print("the report");
                files.check();
                const auto& s = *skip;
                Check(*path, *o, *p, VariantKinds{!s[0], !s[1], !s[2], !s[3], !s[4]}, *whole);
            } catch (const Failure& f) {
                throw FailureStatus{f.what(), 2};
            }
        });
    }
}

}  // namespace zelmora::cli

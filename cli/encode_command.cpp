// encode: codes for a list of new words, from a table's character codes, by
// its phrase rules or the Wubi-86 rules.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cli/command_files.h"
#include "cli/commands.h"
#include "core/failure.h"
#include "cli/format_options.h"
#include "formats/convert.h"
#include "formats/files.h"
#include "core/text_encoding.h"
#include "core/failure.h"
#include "core/text.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/writing.h"
#include "resources/resources.h"
#include "wubi/encode.h"
#include "wubi/merge.h"

namespace zelmora::cli {

namespace {

using formats::Encoding;
using formats::Format;
using formats::TableDocument;
using formats::TableEntry;

struct EncodeOptions {
    std::string words = "-";
    std::string table;
    bool group = false;
    std::string merge;
    std::string out;
    std::string encoding;                    // of the word list
    std::string tableEncoding, tableFormat;  // of --table and --merge
    std::string outputEncoding, outputFormat;
    std::string unencodable, skippedFile;  // as the table commands' --unencodable and --skipped
    bool byWeight = false;                 // --merge: the given weights place new words
};

Encoding EncodingOption(const std::string& name) {
    return name.empty() ? Encoding::Auto : formats::ParseEncoding(name);
}
Format FormatOption(const std::string& name) { return name.empty() ? Format::Auto : formats::ParseFormat(name); }

bool IsUnicode(Encoding e) { return e == Encoding::Utf8 || e == Encoding::Utf16le || e == Encoding::Utf16be; }

// Failures reading --table or --merge name the file: encode reads up to three.
template <typename Read>
auto NamingTheFile(const std::string& path, Read&& read) {
    try {
        return read();
    } catch (const Failure& f) {
        throw Failure("The table \"" + path + "\": " + f.what());
    }
}

TableDocument ReadTableFile(const std::string& path, const EncodeOptions& o) {
    TableDocument doc = NamingTheFile(path, [&] {
        return formats::ReadTable(ReadInput(path), EncodingOption(o.tableEncoding), FormatOption(o.tableFormat));
    });
    NoteEncodingGuess(doc.encodingCloseCall, doc.encoding);
    return doc;
}

// What words are coded with: the characters' full codes and the phrase rules.
struct Coding {
    CharacterTable characters;
    std::vector<formats::PhraseRule> rules;
};

// The user's table in any format, with its own phrase rules when its header
// gives them; or the built-in table. The Wubi-86 rules otherwise.
Coding LoadCoding(const EncodeOptions& o) {
    Coding c;
    c.rules = formats::WubiPhraseRules();
    if (o.table.empty()) {
        c.characters = BuildCharacterTable(OpenBuiltinTable().bytes());
        return c;
    }
    TableDocument doc = ReadTableFile(o.table, o);
    if (doc.format == Format::Plain) {
        c.characters = BuildCharacterTable(doc.text);
    } else {
        for (const auto& e : doc.entries) c.characters.add(e.code, e.word);
    }
    if (c.characters.size() == 0)
        throw Failure("The table \"" + o.table + "\" has no code for any single character; nothing can be coded");
    if (!doc.layout.engine.rules.empty()) c.rules = std::move(doc.layout.engine.rules);
    return c;
}

// A merge writes into an existing table: it never rests on a guessed encoding.
[[noreturn]] void RefuseGuess(const std::string& path, Encoding guessed, const char* option) {
    throw Failure(
        "\"" + (path == "-" ? std::string("standard input") : path) + "\" reads as " + formats::EncodingName(guessed) +
        ", but nearly as well in another encoding; a merge does not guess: give " + option + " (nothing was written)");
}

// Where a merged table or the entry lines go, and in which encoding.
struct Output {
    std::string bytes;
    Encoding encoding = Encoding::Gb18030;
    TextEncoding textEncoding = TextEncoding::Gb18030;
};

Output MergeOutput(const EncodeOptions& o, const std::vector<EncodedEntry>& entries) {
    MergedTable merged = NamingTheFile(o.merge, [&] {
        return MergeIntoTable(ReadInput(o.merge), EncodingOption(o.tableEncoding), FormatOption(o.tableFormat), entries,
                              o.byWeight ? MergeOrder::ByWeight : MergeOrder::AfterExisting);
    });
    // Rewriting a table read in the wrong encoding would garble all of it.
    if (merged.encodingCloseCall) RefuseGuess(o.merge, merged.encoding, "--table-encoding");
    // Words in messages are UTF-8, as every other message.
    const char* weight = merged.format == Format::Ibus ? "frequency" : "weight";
    for (const LoweredWeight& l : merged.lowered)
        std::fprintf(stderr,
                     "zelmora-cli: \"%s\" %s: %s %s lowered to %s to stand after the code's existing candidates "
                     "(--by-weight keeps the given weights)\n",
                     formats::MessageText(AbbreviatedText(l.word)).c_str(), formats::MessageText(l.code).c_str(),
                     weight, l.from ? formats::MessageText(*l.from).c_str() : "(none)",
                     formats::MessageText(l.to).c_str());
    Output out;
    out.encoding = merged.encoding;
    out.textEncoding = merged.textEncoding;
    out.bytes = std::move(merged.bytes);
    return out;
}

// `sortEncoding`: how the new entries are sorted.
formats::Unencodable UnencodableOption(const EncodeOptions& o) {
    if (o.unencodable.empty() || o.unencodable == "error") return formats::Unencodable::Error;
    if (o.unencodable == "skip") return formats::Unencodable::Skip;
    throw Failure("Unknown --unencodable \"" + o.unencodable + "\" (known: error, skip)");
}

Output EntryOutput(const EncodeOptions& o, const std::vector<EncodedEntry>& entries, const formats::DecodedText& list,
                   TextEncoding sortEncoding, std::vector<formats::SkippedWord>& skipped) {
    Output out;
    out.encoding = EncodingOption(o.outputEncoding);
    if (out.encoding == Encoding::Auto) out.encoding = list.encoding;
    out.textEncoding = formats::TextEncodingOf(list.encoding);
    const bool bom = list.hadBom && IsUnicode(out.encoding);
    Format format = FormatOption(o.outputFormat);
    if (format == Format::Auto) format = Format::Plain;
    if (format == Format::Plain) {
        // Words the output encoding can't hold, named by their line in the word list.
        formats::WriteOptions w;
        w.format = Format::Plain;
        w.encoding = out.encoding;
        w.textEncoding = out.textEncoding;
        w.inputName = o.words == "-" ? "standard input" : o.words;
        w.unencodable = UnencodableOption(o);
        w.skipped = &skipped;
        std::unordered_map<std::string, std::size_t> lineOfWord;
        for (const auto& e : entries) lineOfWord.try_emplace(e.word, e.line);
        std::string text = formats::DropUnencodableWords(
            FormatEncodedEntries(entries, o.group, sortEncoding), w, [&](std::string_view, std::string_view word) {
                auto it = lineOfWord.find(std::string(word));
                return it == lineOfWord.end() ? std::size_t(0) : it->second;
            });
        out.bytes = formats::EncodeText(text, out.encoding, bom, out.textEncoding);
        return out;
    }
    if (o.group)
        throw Failure("--group writes plain group lines; it can't be combined with --output-format " + o.outputFormat);
    std::vector<TableEntry> sorted;
    std::vector<std::size_t> lines;  // of the word list, for a word the format can't hold
    sorted.reserve(entries.size());
    lines.reserve(entries.size());
    for (std::uint32_t i : ExpansionOrder(entries, sortEncoding)) {
        sorted.push_back(AsTableEntry(entries[i]));
        lines.push_back(entries[i].line);
    }
    formats::WriteOptions w;
    w.format = format;
    w.inputName = o.words == "-" ? "standard input" : o.words;
    // Engine formats are UTF-8 whatever the word list was.
    formats::ChooseOutputEncoding(w, EncodingOption(o.outputEncoding), false, list.encoding, list.hadBom);
    out.encoding = w.encoding;
    w.textEncoding = out.textEncoding;
    w.name = formats::TableName(o.out.empty() ? o.words : o.out);
    out.bytes = formats::WriteEntries(sorted, w, [&](const TableEntry&, std::size_t k) { return lines[k]; });
    return out;
}

// Why a word was left out, for the message "line N: <why>; "word" left out".
std::string LeftOutReason(const WordNote& n) {
    const std::string length = std::to_string(n.characters) + " characters";
    switch (n.why) {
        case Uncoded::NoCharacterCode:
            break;
        case Uncoded::NoRule:
            return "no phrase rule is for words of " + length;
        case Uncoded::NoSuchCharacter:
            return "the phrase rule for words of " + length + " asks for character " + std::to_string(n.asked) +
                   ", which such a word lacks";
        case Uncoded::NoSuchKey:
            return "the phrase rule for words of " + length + " asks for key " + std::to_string(n.asked) + " of '" +
                   formats::MessageText(n.character) + "', whose full code is shorter";
    }
    return "'" + formats::MessageText(n.character) + "' has no code in the table";
}

// Words in messages are UTF-8, as every other message, whatever the output's encoding.
void Report(const EncodeResult& r) {
    for (const auto& n : r.leftOut)
        std::fprintf(stderr, "zelmora-cli: line %zu: %s; \"%s\" left out\n", n.line, LeftOutReason(n).c_str(),
                     formats::MessageText(AbbreviatedText(n.word)).c_str());
    for (const auto& n : r.capped)
        std::fprintf(
            stderr, "zelmora-cli: line %zu: \"%s\" has %s codes; only the first %zu are written\n", n.line,
            formats::MessageText(AbbreviatedText(n.word)).c_str(),
            n.combinations == static_cast<std::size_t>(-1) ? "too many" : std::to_string(n.combinations).c_str(),
            kMaxCodesPerWord);
}

void RunEncode(const EncodeOptions& o, const CommandFiles& files) {
    files.check();
    const Coding coding = LoadCoding(o);
    const Encoding listEncoding = EncodingOption(o.encoding);
    formats::DecodedText list = formats::DecodeText(ReadInput(o.words), listEncoding);
    // Words read in the wrong encoding would go into the table as garble.
    if (!o.merge.empty() && list.closeCall) RefuseGuess(o.words, list.encoding, "--encoding");
    NoteEncodingGuess(list.closeCall, list.encoding);
    // Words read from Unicode (or given as GB18030) may hold four-byte
    // characters: sort them as GB18030. GBK word lists (and lists in no
    // Unicode encoding, found by detection) sort as the window does.
    const TextEncoding sortEncoding =
        IsUnicode(list.encoding) || listEncoding == Encoding::Gb18030 ? TextEncoding::Gb18030 : TextEncoding::Gbk;
    EncodeResult r = EncodeWordList(coding.characters, list.text, coding.rules);
    FormatOptions report;  // for the words left out
    report.skippedFile = o.skippedFile;
    Output out =
        o.merge.empty() ? EntryOutput(o, r.entries, list, sortEncoding, report.skipped) : MergeOutput(o, r.entries);
    if (o.out.empty())
        WriteStdoutEndingLine(std::move(out.bytes), out.encoding, out.textEncoding);
    else
        WriteFileSafely(o.out, out.bytes);
    Report(r);
    ReportSkipped(report);
    if (!r.leftOut.empty()) throw CLI::RuntimeError(1);
}

const char* kEncodings =
    "auto (a byte-order mark decides; otherwise valid UTF-8 is UTF-8; otherwise GB18030), gbk, "
    "gb18030, utf-8, utf-16le or utf-16be";

}  // namespace

void AddEncodeCommand(CLI::App& app) {
    auto* cmd = app.add_subcommand(
        "encode",
        "Code new words from the full codes of their characters (the longest code of each character in the table), "
        "by the table's phrase rules or else the Wubi-86 rules, and write entry lines \"code word\", sorted as the "
        "expansion sorts them");
    auto o = std::make_shared<EncodeOptions>();
    auto* words = cmd->add_option(
        "WORDS", o->words,
        "The word list: one word per line, optionally a tab and a weight; - or absent for standard input");
    cmd->add_option("--encoding", o->encoding, std::string("Encoding of the word list: ") + kEncodings);
    auto* table = cmd->add_option(
        "--table", o->table,
        "The table whose characters' codes, and phrase rules if its header gives them, are used, in any "
        "format and encoding (default: the built-in table)");
    cmd->add_option("--table-encoding", o->tableEncoding,
                    std::string("Encoding of --table and --merge: ") + kEncodings);
    cmd->add_option(
        "--table-format", o->tableFormat,
        "Format of --table and --merge: auto (recognised by the header), plain, rime, libime, fcitx4, ibus, "
        "yong, duoduo, bingling, jidian, sogou-phrase, baidu-phrase or ms-phrase (binary)");
    auto* group = cmd->add_flag("--group", o->group, "Write group lines: all words of one code on one line");
    auto* merge = cmd->add_option(
        "--merge", o->merge,
        "Add the coded words to this table instead, written in its own format and encoding: its lines and candidate "
        "order stay, a new word goes after the existing candidates of its code, no code-word pair twice. In a table "
        "whose candidates stand by weight (Rime \"sort: by_weight\", ibus-table), a new word's weight that would put "
        "it ahead of them is lowered, and said so on standard error");
    auto* byWeight = cmd->add_flag(
        "--by-weight", o->byWeight,
        "With --merge into a table whose candidates stand by weight: the word list's weights decide where new words "
        "stand among the existing candidates (a high weight goes first); other formats keep file order, new words "
        "after");
    auto* outFormat = cmd->add_option("--output-format", o->outputFormat,
                                      "Format written: plain (default), rime, libime, fcitx4, ibus, yong, duoduo, "
                                      "bingling, jidian, sogou-phrase, baidu-phrase, jisu or ms-phrase (binary); the "
                                      "weights of the word list go into the formats that hold them (rime, ibus)");
    auto* outEncoding = cmd->add_option("--output-encoding", o->outputEncoding,
                                        "Encoding written: gbk, gb18030, utf-8, utf-16le or utf-16be (default: the "
                                        "word list's)");
    auto* out = cmd->add_option("--out", o->out,
                                "Write the result to this file instead of standard output (with --merge, it may be "
                                "the merged table itself)");
    auto* unencodable = cmd->add_option(
        "--unencodable", o->unencodable,
        "Words with a character the output encoding can't hold: error (the default: nothing is written, the message "
        "names the word list's line and the character) or skip (left out, counted on standard error)");
    auto* skippedOption =
        cmd->add_option("--skipped", o->skippedFile, "With --unencodable skip: list every word left out in this file");
    byWeight->needs(merge);
    merge->excludes(unencodable);
    merge->excludes(skippedOption);
    group->excludes(merge);
    merge->excludes(group);
    merge->excludes(outFormat);
    merge->excludes(outEncoding);
    cmd->footer(
        "Rules: one character gets its full code. Phrases are coded by the phrase rules of the --table when its header "
        "gives them (a Rime encoder's rules, a libime or fcitx4 [Rule] section, an ibus-table RULES line); otherwise "
        "by the Wubi-86 rules: two characters, the first two keys of each; three, the first key of the first two and "
        "the first two keys of the third; four or more, the first key of the first three and of the last. A rule for "
        "exactly a word's length comes before one for that length or more. A key beyond a character's full code is "
        "left out; a word whose length no rule is for, or with a character that has none of the keys its rule asks "
        "of it, is left out.\n"
        "Where the table gives a character several full codes, every combination is written, each on its own line, "
        "at most " +
        std::to_string(kMaxCodesPerWord) +
        " codes per word (the rest are dropped, with a note on standard error).\n"
        "A word left out (a character without a code in the table, or no code by the rules) is reported on standard "
        "error with its line number and the reason; the exit status is then 1.");
    cmd->callback([=] {
        CommandFiles files;
        files.read(words, o->words);
        files.read(table, o->table);
        files.read(merge, o->merge);
        if (o->out.empty() && out->count() == 0)
            files.print(o->merge.empty() ? "the entry lines" : "the merged table");
        else
            files.write(out, o->out);
        files.write(skippedOption, o->skippedFile);
        files.mayReplace(out, merge);
        RunEncode(*o, files);
    });
}

}  // namespace zelmora::cli

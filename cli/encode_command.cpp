// encode: Wubi-86 codes for a list of new words, from a table's character codes.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/files.h"
#include "core/failure.h"
#include "sources/resources.h"
#include "transform/encode.h"

namespace zelmora::cli {

namespace {

struct EncodeOptions {
    std::string words = "-";
    std::string table;
    bool group = false;
    std::string merge;
    std::string out;
};

// The character table: the user's table, or the built-in one.
CharacterTable LoadCharacterTable(const EncodeOptions& o) {
    if (o.table.empty()) return BuildCharacterTable(OpenBuiltinTable().bytes());
    return BuildCharacterTable(ReadInput(o.table));
}

std::string ReadWordList(const EncodeOptions& o) { return ReadInput(o.words); }

// The coded words as the table would hold them.
std::string FormatOutput(const EncodeOptions& o, const std::vector<EncodedEntry>& entries) {
    return FormatEncodedEntries(entries, o.group);
}

std::string MergeOutput(const EncodeOptions& o, const std::vector<EncodedEntry>& entries) {
    return MergeIntoGroupLines(ReadInput(o.merge), entries);
}

void Report(const EncodeResult& r) {
    for (const auto& n : r.leftOut)
        std::fprintf(stderr, "zelmora-cli: line %zu: '%s' has no code in the table; \"%s\" left out\n", n.line,
                     n.character.c_str(), n.word.c_str());
    for (const auto& n : r.capped)
        std::fprintf(stderr, "zelmora-cli: line %zu: \"%s\" has %s codes; only the first %zu are written\n", n.line,
                     n.word.c_str(),
                     n.combinations == static_cast<std::size_t>(-1) ? "too many" : std::to_string(n.combinations).c_str(),
                     kMaxCodesPerWord);
}

void RunEncode(const EncodeOptions& o) {
    CharacterTable table = LoadCharacterTable(o);
    EncodeResult r = EncodeWordList(table, ReadWordList(o));
    std::string text = o.merge.empty() ? FormatOutput(o, r.entries) : MergeOutput(o, r.entries);
    if (o.out.empty())
        WriteStdout(text);
    else
        WriteFileSafely(o.out, text);
    std::fflush(stdout);
    Report(r);
    if (!r.leftOut.empty()) throw CLI::RuntimeError(1);
}

}  // namespace

void AddEncodeCommand(CLI::App& app) {
    auto* cmd = app.add_subcommand(
        "encode",
        "Code new words by the Wubi-86 rules from the full codes of their characters (the longest code of each "
        "character in the table) and write entry lines \"code word\", sorted as the expansion sorts them");
    auto o = std::make_shared<EncodeOptions>();
    cmd->add_option("WORDS", o->words,
                    "The word list: one word per line, optionally a tab and a weight; - or absent for standard input");
    cmd->add_option("--table", o->table, "The table whose characters' codes are used (default: the built-in table)");
    auto* group = cmd->add_flag("--group", o->group, "Write group lines: all words of one code on one line");
    auto* merge = cmd->add_option("--merge", o->merge,
                                  "Add the coded words to this table instead: its lines and candidate order stay, a "
                                  "new word goes after the existing candidates of its code, no code-word pair twice");
    cmd->add_option("--out", o->out, "Write the result to this file instead of standard output");
    group->excludes(merge);
    merge->excludes(group);
    cmd->footer(
        "Rules: one character, its full code; two, the first two keys of each; three, the first key of the first "
        "two and the first two keys of the third; four or more, the first key of the first three and of the last.\n"
        "Where the table gives a character several full codes, every combination is written, each on its own line, "
        "at most " +
        std::to_string(kMaxCodesPerWord) +
        " codes per word (the rest are dropped, with a note on standard error).\n"
        "A word with a character that has no code in the table is reported on standard error with its line number "
        "and left out; the exit status is then 1.");
    cmd->callback([o] { RunEncode(*o); });
}

}  // namespace zelmora::cli

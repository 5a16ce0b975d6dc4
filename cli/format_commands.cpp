// Subcommands on table files of any encoding and format: convert and check;
// and the encoding and format options the other table commands share.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/files.h"
#include "cli/format_options.h"
#include "cli/progress.h"
#include "core/collation.h"
#include "core/failure.h"

namespace zelmora::cli {

using formats::Encoding;
using formats::Format;
using formats::TableDocument;
using formats::TableEntry;

namespace {

const char* kEncodingHelp =
    "auto (a byte-order mark decides; otherwise valid UTF-8 is UTF-8; otherwise GB18030), gbk, gb18030, utf-8, "
    "utf-16le or utf-16be";
const char* kFormatHelp = "auto (recognised by the header), plain, rime, libime, fcitx4, ibus or yong";

bool IsUnicode(Encoding e) { return e == Encoding::Utf8 || e == Encoding::Utf16le || e == Encoding::Utf16be; }

// "wubi86.dict.yaml" → "wubi86": the table name a fresh header carries.
std::string TableName(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    for (const char* ext : {".dict.yaml", ".txt", ".yaml"}) {
        std::string e = ext;
        if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0) {
            name.resize(name.size() - e.size());
            break;
        }
    }
    return name.empty() ? "zelmora" : name;
}

void Convert(const std::string& in, const std::string& out, const FormatOptions& o) {
    auto progress = std::make_unique<Progress>();
    progress->step("reading");
    TableDocument doc = LoadTable(ReadInput(in), o);
    progress->step("converting");
    OutputSettings settings = ResolveOutput(o, doc, doc.format);
    settings.write.name = TableName(out == "-" ? in : out);
    std::size_t dropped = 0;
    std::string bytes = formats::WriteTable(doc, settings.write, &dropped);
    progress->step("writing");
    if (out == "-")
        WriteStdout(bytes);
    else
        WriteFileSafely(out, bytes);
    progress.reset();
    if (dropped)
        std::fprintf(stderr, "zelmora-cli: %zu line%s without a %s equivalent (pinyin, prompt or phrase lines) left out\n",
                     dropped, dropped == 1 ? "" : "s", formats::FormatName(settings.write.format));
}

void Check(const std::string& path, const FormatOptions& o) {
    auto progress = std::make_unique<Progress>();
    progress->step("reading");
    TableDocument doc = LoadTable(ReadInput(path), o);
    progress->step("checking");
    std::vector<formats::TableProblem> problems = formats::CheckTable(doc);
    progress.reset();
    std::string report;
    std::size_t lines = 0, last = 0;
    for (const auto& p : problems) {
        report += path + ":" + std::to_string(p.line) + ": " + p.message + "\n";
        if (p.line != last) ++lines, last = p.line;
    }
    if (problems.empty())
        report = path + ": nothing suspicious (" + formats::FormatName(doc.format) + ", " +
                 formats::EncodingName(doc.encoding) + ", " + std::to_string(doc.entries.size()) + " entries)\n";
    WriteStdout(report);
    if (!problems.empty())
        throw Failure(std::to_string(problems.size()) + " findings on " + std::to_string(lines) + " lines of \"" + path +
                      "\"");
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
                        std::string("Format written: plain, rime, libime, fcitx4, ibus or yong (default: ") +
                            outputFormatDefault + ")");
        cmd->add_flag("--bom", o.bom, "Begin the output with a byte-order mark (default: only if the input had one)");
    }
}

TableDocument LoadTable(std::string_view bytes, const FormatOptions& o) {
    Encoding e = o.encoding.empty() ? Encoding::Auto : formats::ParseEncoding(o.encoding);
    Format f = o.format.empty() ? Format::Auto : formats::ParseFormat(o.format);
    TableDocument doc = formats::ReadTable(bytes, e, f);
    SetTextEncoding(doc.encoding == Encoding::Gbk ? TextEncoding::Gbk : TextEncoding::Gb18030);
    return doc;
}

OutputSettings ResolveOutput(const FormatOptions& o, const TableDocument& input, Format fallback) {
    OutputSettings s;
    formats::WriteOptions& w = s.write;
    w.encoding = o.outputEncoding.empty() ? input.encoding : formats::ParseEncoding(o.outputEncoding);
    if (w.encoding == Encoding::Auto) w.encoding = input.encoding;
    w.format = o.outputFormat.empty() ? fallback : formats::ParseFormat(o.outputFormat);
    if (w.format == Format::Auto) w.format = fallback;
    w.bom = o.bom || (input.hadBom && (IsUnicode(w.encoding) || w.encoding == input.encoding));
    if (w.encoding == Encoding::Gbk) w.bom = false;  // GBK has none
    w.textEncoding = input.encoding == Encoding::Gbk ? Encoding::Gbk : Encoding::Gb18030;
    s.extension = w.format == Format::Rime ? ".dict.yaml" : ".txt";
    return s;
}

std::string PairKey(const TableEntry& e) { return e.code + '\x01' + e.word; }

ResultWriter::ResultWriter(const OutputSettings& out, const TableDocument& source) : out_(out) {
    if (out.write.format != Format::Rime && out.write.format != Format::Ibus) return;
    for (const auto& e : source.entries)
        if (e.weight || e.stem) extras_.try_emplace(PairKey(e), &e);
}

ResultWriter::File ResultWriter::encode(std::string_view text, const std::string& name) const {
    try {
        if (out_.write.format == Format::Plain)
            return {formats::EncodeText(text, out_.write.encoding, out_.write.bom, out_.write.textEncoding), ".txt"};
        std::size_t skipped = 0;
        std::vector<TableEntry> entries = formats::EntriesFromGroupLines(text, &skipped);
        if (skipped)  // not a code table: a list of words
            return {formats::EncodeText(text, out_.write.encoding, out_.write.bom, out_.write.textEncoding), ".txt"};
        if (!extras_.empty()) {
            std::string key;
            for (auto& e : entries) {
                key.assign(e.code).append(1, '\x01').append(e.word);
                auto it = extras_.find(key);
                if (it == extras_.end()) continue;
                e.weight = it->second->weight;
                if (out_.write.format == Format::Rime) e.stem = it->second->stem;
            }
        }
        formats::WriteOptions w = out_.write;
        w.name = name;
        return {formats::WriteEntries(entries, w), out_.extension};
    } catch (const Failure& f) {
        throw Failure(name + out_.extension + ": " + f.what() + "; nothing was written");
    }
}

void AddFormatCommands(CLI::App& app) {
    {
        auto* cmd = app.add_subcommand(
            "convert", "Convert a table to another encoding or format; in its own format, unchanged lines come back byte for byte");
        auto in = std::make_shared<std::string>();
        auto out = std::make_shared<std::string>();
        auto o = std::make_shared<FormatOptions>();
        cmd->add_option("IN", *in, "The table to read; - for standard input")->required();
        cmd->add_option("OUT", *out, "The file to write; - for standard output")->required();
        AddFormatOptions(cmd, *o, true, true, "the input's");
        cmd->callback([in, out, o] { Convert(*in, *out, *o); });
    }
    {
        auto* cmd = app.add_subcommand(
            "check",
            "Report what is suspicious in a table: codes outside a-z or longer than four letters, a word twice under one "
            "code, blank or malformed lines, lines that don't round-trip; exit status 1 when anything is found");
        auto path = std::make_shared<std::string>();
        auto o = std::make_shared<FormatOptions>();
        cmd->add_option("TABLE", *path, "The table to check; - for standard input")->required();
        AddFormatOptions(cmd, *o, true, false, "");
        cmd->callback([path, o] { Check(*path, *o); });
    }
}

}  // namespace zelmora::cli

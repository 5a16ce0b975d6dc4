// Subcommands on code tables: expand, builtin, run and one per derivation.
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "cli/command_files.h"
#include "cli/commands.h"
#include "formats/files.h"
#include "cli/format_options.h"
#include "cli/progress.h"
#include "core/collation.h"
#include "core/failure.h"
#include "core/text_encoding.h"
#include "resources/resources.h"
#include "transform/expand.h"
#include "transform/pipeline.h"
#include "transform/results.h"

namespace zelmora::cli {

using formats::LoadTable;
using formats::OutputSettings;
using formats::ResolveOutput;
using formats::ResultWriter;

namespace {

// The expansion's file, written by `run` only.
const char* const kEntriesHint = ResultsOf(Derivation::Expand)[0].hint;

struct SourceOptions {
    std::string source;
    bool builtin = false;
    std::string entries;
    std::string out;
    FormatOptions formats;
    // The options naming files, for CommandFiles.
    const CLI::Option *sourceOption = nullptr, *entriesOption = nullptr, *outOption = nullptr;
    const CLI::App* command = nullptr;
};

std::string ReadSource(const SourceOptions& o) {
    if (o.builtin) return OpenBuiltinTable().readAll();
    return ReadInput(o.source);
}

void AddSourceOptions(CLI::App* cmd, SourceOptions& o, bool entriesAllowed) {
    o.command = cmd;
    auto* src = cmd->add_option(
        "--source", o.source,
        "The source table (GBK group lines unless --encoding or --format say otherwise); - for standard input");
    auto* bi = cmd->add_flag("--builtin", o.builtin, "Use the built-in Wubi-86 GB-6763 table as the source table");
    src->excludes(bi);
    bi->excludes(src);
    o.sourceOption = src;
    if (entriesAllowed)
        o.entriesOption = cmd->add_option(
            "--entries", o.entries,
            "The one-word-per-line table, as if pasted into its pane (default: the expansion of the source)");
    o.outOption =
        cmd->add_option(
               "--out", o.out,
               "Folder for the result files <hint>.txt, <hint>.dict.yaml with --output-format rime (created if missing)")
            ->required();
    AddFormatOptions(cmd, o.formats, true, true, "plain");
}

// "<tab caption><TAB><status>" lines in UTF-8. A single derivation reports
// only its own tab's status.
void PrintStatusLines(const PipelineResult& r, bool wholeRun) {
    std::string status;
    for (const auto& [caption, text] : r.statusLines) {
        if (!wholeRun && (caption == kSourceCaption || caption == CaptionOf(Derivation::Expand))) continue;
        status.append(caption).append(1, '\t').append(text).append(1, '\n');
    }
    WriteStdout(status);
}

// The source as read with the encoding and format options: the built-in table
// is GBK plain text whatever they say.
formats::TableDocument LoadSource(const SourceOptions& o, std::string_view bytes) {
    if (!o.builtin) return LoadTable(bytes, o.formats);
    FormatOptions gbk = o.formats;
    gbk.encoding = "gbk";
    gbk.format = "plain";
    return LoadTable(OpenBuiltinTable().readAll(), gbk);
}

// LoadSource as group lines, the document kept when `keepDocument` asks for it.
formats::GroupLineTable LoadSourceGroupLines(const SourceOptions& o, std::string_view bytes,
                                             const std::function<bool(formats::Encoding, bool)>& keepDocument) {
    if (!o.builtin) return formats::LoadGroupLines(bytes, o.formats, keepDocument);
    FormatOptions gbk = o.formats;
    gbk.encoding = "gbk";
    gbk.format = "plain";
    return formats::LoadGroupLines(OpenBuiltinTable().readAll(), gbk, keepDocument);
}

// Whether a source's document is kept: only where the results read it. A
// wrong output option fails later, after the table was read, as it always has.
std::function<bool(formats::Encoding, bool)> KeepDocumentFor(const FormatOptions& options) {
    return [&options](formats::Encoding encoding, bool hadBom) {
        try {
            return ResultWriter::NeedsSource(ResolveOutput(options, encoding, hadBom, formats::Format::Plain));
        } catch (const Failure&) {
            return true;
        }
    };
}

// A thread joined when it goes out of scope, however the scope is left.
class JoinedThread {
public:
    explicit JoinedThread(std::function<void()> work) : thread_(std::move(work)) {}
    ~JoinedThread() { thread_.join(); }
    JoinedThread(const JoinedThread&) = delete;
    JoinedThread& operator=(const JoinedThread&) = delete;

private:
    std::thread thread_;
};

// Results converted off the derivations' threads: one thread takes them as
// they come, and the caller helps once the derivations are done (most come
// at the end, when two threads halve the wait).
class Converter {
public:
    using Work = std::function<void()>;
    Converter() : thread_([this] { run(false); }) {}
    ~Converter() {
        close();
        if (thread_.joinable()) thread_.join();
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    void add(Work work) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(std::move(work));
        }
        ready_.notify_one();
    }
    // Takes work alongside the thread until none is left, then waits for it.
    void finish() {
        close();
        run(true);
        thread_.join();
    }

private:
    void close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }
    void run(bool helping) {
        for (;;) {
            Work work;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (!helping) ready_.wait(lock, [&] { return closed_ || !queue_.empty(); });
                if (queue_.empty()) return;
                work = std::move(queue_.front());
                queue_.pop_front();
            }
            work();
        }
    }
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Work> queue_;
    bool closed_ = false;
    std::thread thread_;
};

// The plain result files in the order the pipeline lists its outputs: the
// expansion's, then each derivation's in the window's order.
std::vector<std::string> PlainResultNames(const std::vector<Derivation>& which, bool writeEntries) {
    std::vector<std::string> names;
    if (writeEntries) names.push_back(std::string(kEntriesHint) + ".txt");
    for (const DerivationInfo& info : kDerivations)
        if (info.derivation != Derivation::Expand &&
            std::find(which.begin(), which.end(), info.derivation) != which.end())
            for (const ResultInfo& result : ResultsOf(info.derivation))
                names.push_back(std::string(result.hint) + ".txt");
    return names;
}

// Whether the result folder is there or would be made in one that is, so
// that writing results as they come leaves nothing behind if the run fails.
bool FolderPlaceExists(const std::string& folder) {
    std::filesystem::path target = std::filesystem::path(folder).lexically_normal();
    if (target.filename().empty()) target = target.parent_path();
    const std::filesystem::path parent = target.parent_path();
    std::error_code ec;
    return parent.empty() || std::filesystem::is_directory(parent, ec);
}

// RunAndWrite for tables in any encoding and format: the derivations run on
// GB18030 group lines, and every result is converted before anything is
// written, each as it comes while the others are worked out. Words left out and a failure are reported in
// the order of the results, as if converted one after another.
void RunAndWriteFormats(const SourceOptions& o, std::string_view bytes, const std::optional<std::string>& entryBytes,
                        const std::vector<Derivation>& which, bool writeEntries) {
    auto progress = std::make_unique<Progress>();
    progress->step("reading");
    // Most tables of other formats are Unicode, worked on as GB18030: its
    // collation weights are set up (ICU takes ~20 ms to list the collator's
    // contractions) on the spare core while the table is read.
    // A failure here is the derivations' to report.
    JoinedThread setUp([] {
        try {
            SortKey("a", TextEncoding::Gb18030);
        } catch (...) {}
    });
    formats::GroupLineTable table = LoadSourceGroupLines(o, bytes, KeepDocumentFor(o.formats));
    std::optional<std::string> entries;
    if (entryBytes) {
        formats::Encoding e =
            o.formats.encoding.empty() ? formats::Encoding::Auto : formats::ParseEncoding(o.formats.encoding);
        entries = formats::DecodeText(*entryBytes, e).text;
    }
    OutputSettings settings = ResolveOutput(o.formats, table.encoding, table.hadBom, formats::Format::Plain);
    settings.write.inputName = o.builtin ? "built-in table" : o.source == "-" ? "standard input" : o.source;
    const ResultWriter writer = table.document ? ResultWriter(settings, *table.document) : ResultWriter(settings);
    struct Converted {
        std::string text;  // taken from the pipeline, dropped once converted
        ResultWriter::File file;
        std::vector<formats::SkippedWord> skipped;
        std::exception_ptr failure, writeFailure;
    };
    std::map<std::string, Converted> converted;  // by hint; nodes stay where they are
    std::mutex convertedMutex;
    // Plain results, all .txt files, are written as each is converted and
    // their bytes dropped (a failure to write is reported after any failure
    // to convert, as when all are written at the end).
    const bool staged = settings.write.format == formats::Format::Plain && FolderPlaceExists(o.out);
    std::optional<formats::ResultFolder> folder;
    std::mutex folderMutex;
    auto convert = [&](const std::string& hint, std::string_view text, Converted& c) {
        try {
            c.file = writer.encode(text, hint, &c.skipped);
        } catch (...) {
            c.failure = std::current_exception();
            return;
        }
        if (!staged) return;
        try {
            std::lock_guard<std::mutex> lock(folderMutex);
            if (!folder) folder.emplace(o.out, PlainResultNames(which, writeEntries));
            folder->add(hint + c.file.extension, c.file.bytes);
        } catch (...) {
            c.writeFailure = std::current_exception();
            return;
        }
        std::string().swap(c.file.bytes);
    };
    PipelineResult r;
    {
        Converter converter;
        // While the derivations run, so that the first result needn't wait for it.
        converter.add([&writer] { writer.prepare(); });
        auto take = [&](const std::string& hint, std::string& text, bool mayTake) {
            if (hint == kEntriesHint && !writeEntries) return;
            // The expansion's text stays the pipeline's: converted below, from its result.
            if (!mayTake) return;
            Converted* c = nullptr;
            {
                std::lock_guard<std::mutex> lock(convertedMutex);
                c = &converted[hint];
            }
            c->text.swap(text);
            converter.add([&convert, hint, c] {
                convert(hint, c->text, *c);
                std::string().swap(c->text);
            });
        };
        r = RunDerivations(
            table.groupLines, entries, which, table.textEncoding(), [&](const char* s) { progress->step(s); }, take);
        std::string().swap(table.groupLines);
        progress->step("converting");
        for (const auto& [hint, text] : r.outputs) {
            if (hint == kEntriesHint && !writeEntries) continue;
            std::lock_guard<std::mutex> lock(convertedMutex);
            if (converted.count(hint)) continue;
            Converted* c = &converted[hint];
            converter.add([&convert, &hint = hint, &text = text, c] { convert(hint, text, *c); });
        }
        converter.finish();
    }
    std::vector<std::pair<std::string, std::string>> files;
    for (auto& [hint, text] : r.outputs) {
        if (hint == kEntriesHint && !writeEntries) continue;
        Converted& c = converted.at(hint);
        if (c.failure) std::rethrow_exception(c.failure);
        o.formats.skipped.insert(o.formats.skipped.end(), c.skipped.begin(), c.skipped.end());
        if (!staged) files.emplace_back(hint + c.file.extension, std::move(c.file.bytes));
    }
    progress->step("writing");
    if (staged) {
        for (const auto& [hint, text] : r.outputs)
            if (auto it = converted.find(hint); it != converted.end() && it->second.writeFailure)
                std::rethrow_exception(it->second.writeFailure);
        if (!folder) folder.emplace(o.out, PlainResultNames(which, writeEntries));
        folder->commit();
    } else {
        formats::WriteResultFiles(o.out, files);
    }
    progress.reset();
    ReportSkipped(o.formats);
    PrintStatusLines(r, writeEntries);
}

void RequireSource(const SourceOptions& o) {
    if (!o.builtin && o.source.empty()) throw CLI::RequiredError("--source or --builtin");
}

// The result files a run may write into its folder: <hint>.txt, and
// <hint>.dict.yaml when it writes Rime.
std::vector<std::string> ResultFileNames(const SourceOptions& o, const std::vector<Derivation>& which,
                                         bool writeEntries) {
    const bool rime =
        !o.formats.outputFormat.empty() && formats::ParseFormat(o.formats.outputFormat) == formats::Format::Rime;
    std::vector<std::string> names;
    for (Derivation d : which)
        for (const ResultInfo& r : ResultsOf(d)) {
            if (std::string(r.hint) == kEntriesHint && !writeEntries) continue;
            names.push_back(std::string(r.hint) + ".txt");
            if (rime) names.push_back(std::string(r.hint) + ".dict.yaml");
        }
    return names;
}

void CheckFiles(const SourceOptions& o, const std::vector<Derivation>& which, bool writeEntries) {
    CommandFiles files;
    if (!o.builtin) files.read(o.sourceOption, o.source);
    if (o.entriesOption) files.read(o.entriesOption, o.entries);
    files.writeInto(o.outOption, o.out, ResultFileNames(o, which, writeEntries));
    WriteSkippedInto(files, o.command, o.formats);
    files.print("the status lines");
    files.check();
}

void RunAndWrite(const SourceOptions& o, const std::vector<Derivation>& which, bool writeEntries) {
    CheckFiles(o, which, writeEntries);
    RequireSource(o);
    std::string source = ReadSource(o);
    std::optional<std::string> entries;
    if (!o.entries.empty()) entries = ReadInput(o.entries);
    // Tables of other formats and encodings are recognised as convert does;
    // a plain GBK table (with plain GBK entries) runs on its own bytes.
    if (o.formats.given() || !formats::ReadsAsPlainGbk(source) || (entries && !formats::ReadsAsPlainGbk(*entries)))
        return RunAndWriteFormats(o, source, entries, which, writeEntries);
    auto progress = std::make_unique<Progress>();
    // Each result is written as soon as it is done, and its text dropped.
    formats::ResultFolder folder(o.out, PlainResultNames(which, writeEntries));
    auto write = [&](const std::string& hint, std::string& text, bool mayTake) {
        if (hint == kEntriesHint && !writeEntries) return;
        folder.add(hint + ".txt", text);
        if (mayTake) std::string().swap(text);
    };
    // Without format options the table is GBK, as the window reads it.
    PipelineResult r = RunDerivations(
        source, entries, which, TextEncoding::Gbk, [&](const char* s) { progress->step(s); }, write);
    progress->step("writing");
    folder.commit();
    progress.reset();
    PrintStatusLines(r, writeEntries);
}

}  // namespace

void AddTableCommands(CLI::App& app) {
    // expand
    {
        auto* cmd =
            app.add_subcommand("expand", "Write the sorted one-word-per-line expansion of a table to standard output");
        auto file = std::make_shared<std::string>("-");
        auto builtin = std::make_shared<bool>(false);
        auto* f = cmd->add_option("FILE", *file, "The table to expand (GBK); - or absent for standard input");
        auto* b = cmd->add_flag("--builtin", *builtin, "Expand the built-in table");
        f->excludes(b);
        auto fo = std::make_shared<FormatOptions>();
        AddFormatOptions(cmd, *fo, true, true, "plain");
        cmd->callback([=] {
            CommandFiles files;
            if (!*builtin) files.read(f, *file);
            files.print("the expansion");
            WriteSkippedInto(files, cmd, *fo);
            files.check();
            std::string text = *builtin ? OpenBuiltinTable().readAll() : ReadInput(*file);
            if (fo->given() || !formats::ReadsAsPlainGbk(text)) {
                SourceOptions o;
                o.source = *file;
                o.builtin = *builtin;
                o.formats = *fo;
                formats::GroupLineTable table = LoadSourceGroupLines(o, text, KeepDocumentFor(o.formats));
                std::string entries = ExpandToEntryLines(table.groupLines, table.textEncoding());
                OutputSettings out = ResolveOutput(*fo, table.encoding, table.hadBom, formats::Format::Plain);
                out.write.inputName = *builtin ? "built-in table" : *file == "-" ? "standard input" : *file;
                const ResultWriter writer = table.document ? ResultWriter(out, *table.document) : ResultWriter(out);
                WriteStdoutEndingLine(writer.encode(entries, kEntriesHint).bytes, out.write.encoding,
                                      out.write.textEncoding);
                ReportSkipped(*fo);
                return;
            }
            WriteStdoutEndingLine(ExpandToEntryLines(text, TextEncoding::Gbk), formats::Encoding::Gbk,
                                  TextEncoding::Gbk);
        });
    }
    // builtin
    {
        auto* cmd = app.add_subcommand("builtin", "Write the built-in Wubi-86 GB-6763 table (GBK) to standard output");
        auto fo = std::make_shared<FormatOptions>();
        AddFormatOptions(cmd, *fo, false, true, "plain");
        cmd->callback([cmd, fo] {
            CommandFiles files;
            files.print("the table");
            WriteSkippedInto(files, cmd, *fo);
            files.check();
            if (fo->given()) {
                SourceOptions o;
                o.builtin = true;
                o.formats = *fo;
                formats::TableDocument doc = LoadSource(o, {});
                OutputSettings out = ResolveOutput(*fo, doc, formats::Format::Plain);
                out.write.name = "wb86gb";
                WriteStdout(formats::WriteTable(doc, out.write));
                return;
            }
            WriteStdout(OpenBuiltinTable().readAll());
        });
    }
    // run and the per-derivation commands
    struct CommandInfo {
        const char* name;
        const char* help;
        std::vector<Derivation> which;
        bool entries;
        bool writeEntries;
    };
    const std::vector<CommandInfo> commands = {
        {"run",
         "Run every derivation, write each result as OUT/<hint>.txt and print the status lines",
         {Derivation::Expand, Derivation::Group, Derivation::Classify, Derivation::FullCodes, Derivation::Shortest,
          Derivation::Duplicates, Derivation::Relation},
         true,
         true},
        {"group", "Group equal codes of the one-word-per-line table (重码一行)", {Derivation::Group}, true, false},
        {"classify",
         "Split the one-word-per-line table by code length (码长分类)",
         {Derivation::Classify},
         true,
         false},
        {"dups", "Extract the duplicate-code lines of the source table (重码)", {Derivation::Duplicates}, false, false},
        {"fullcodes", "Extract full codes and three-letter short codes (全码)", {Derivation::FullCodes}, true, false},
        {"shortest", "Extract the shortest codes (出简不出全)", {Derivation::Shortest}, true, false},
        {"relate",
         "Relate short and full codes, reorder the source table (简码全码)",
         {Derivation::Relation},
         true,
         false},
    };
    for (const auto& s : commands) {
        auto* cmd = app.add_subcommand(s.name, s.help);
        auto opts = std::make_shared<SourceOptions>();
        AddSourceOptions(cmd, *opts, s.entries);
        auto which = s.which;
        bool writeEntries = s.writeEntries;
        cmd->callback([opts, which, writeEntries] { RunAndWrite(*opts, which, writeEntries); });
    }
}

}  // namespace zelmora::cli

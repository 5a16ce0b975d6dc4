// Subcommands on table files of any encoding and format: convert and check;
// and the encoding and format options the other table commands share.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "formats/files.h"
#include "cli/format_options.h"
#include "cli/progress.h"
#include "core/failure.h"
#include "formats/table_stream.h"
#include "wubi/phrase_check.h"

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

const char* kConvertStreaming =
    "Large tables stream: the input is read in 1 MiB blocks and decoded, read and converted line by line, and the "
    "output goes into a temporary file beside OUT that replaces OUT only when all went well (standard input is "
    "first copied to a temporary file, standard output is written at the end). Memory stays flat however large "
    "the table.\n"
    "  - Into the same format (another encoding, or the same file again): one pass.\n"
    "  - From a plain table into plain or Rime: one pass. Into libime, fcitx4, ibus or yong: two passes, the first "
    "gathering the key characters and the longest code the new header names.\n"
    "  - From a Rime, libime, fcitx4, ibus or yong table into another format: two passes, when each code's entries "
    "stand together because the codes come in ascending order, by letters or by length and then letters (as "
    "wubi86.dict.yaml does); candidates ordered by weight (Rime \"sort: by_weight\") are ordered within each code. "
    "A table whose codes come in any other order is read whole, since its entries must be grouped by code.\n"
    "  - With --encoding auto and no byte-order mark, one more pass first tells UTF-8 from GB18030.\n"
    "On a terminal, a progress line on standard error names each pass that takes longer than a second.";

const char* kCheckStreaming =
    "The table is read in 1 MiB blocks and checked line by line; memory stays flat when the codes come in ascending "
    "order (by letters, or by length and then letters). Otherwise a word met twice under one code is looked for "
    "among all pairs, kept in memory, and the check reads the table a second time.";

const char* kCheckPhrases =
    "Every word of two or more characters is coded by the Wubi-86 rules from the full codes of its characters (two "
    "characters: two keys of each; three: one key of the first two, two of the third; four or more: one key of the "
    "first three and of the last). A code that is neither such a code nor the start of one (a short code) is a "
    "finding. Words with a character that has no full code are counted on the summary line, not reported. Checking "
    "phrases with the table's own characters reads the table once more first.";


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

// An unnamed file in the temporary folder, gone when closed.
int OpenScratch() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zelmora-cli.XXXXXX").string();
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd >= 0) ::unlink(name.data());
    return fd;
}

// A table file read in blocks, from the start as often as needed. Standard
// input can be read only once, so it is copied to a scratch file first.
class FileSource final : public formats::ByteSource {
public:
    explicit FileSource(const std::string& path) {
        if (path.empty() || path == "-") {
            shown_ = "-";
            copy(0);
            return;
        }
        shown_ = FullPath(path);
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) throw Failure("Cannot open file \"" + shown_ + "\". " + std::strerror(errno));
        struct stat st {};
        if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) throw Failure("Cannot open file \"" + shown_ + "\". " + std::strerror(EISDIR));
        if (::fstat(fd_, &st) == 0 && !S_ISREG(st.st_mode)) {
            // A pipe or a device: read once, like standard input.
            int fd = fd_;
            copy(fd);
            ::close(fd);
            return;
        }
#ifdef POSIX_FADV_SEQUENTIAL
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    }
    ~FileSource() override {
        if (fd_ >= 0) ::close(fd_);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::size_t read(char* buffer, std::size_t size) override {
        for (;;) {
            ssize_t r = ::read(fd_, buffer, size);
            if (r >= 0) return static_cast<std::size_t>(r);
            if (errno != EINTR) fail(errno);
        }
    }
    void rewind() override {
        if (::lseek(fd_, 0, SEEK_SET) < 0) fail(errno);
    }
    // To the end, for the failures reading the whole file would meet first.
    void drain() {
        rewind();
        std::vector<char> buf(1 << 20);
        while (read(buf.data(), buf.size()) > 0) {
        }
    }
    std::string readAll() {
        rewind();
        std::string data;
        struct stat st {};
        if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) data.reserve(static_cast<std::size_t>(st.st_size));
        std::vector<char> buf(1 << 16);
        while (std::size_t n = read(buf.data(), buf.size())) data.append(buf.data(), n);
        return data;
    }

private:
    // Copies what `from` gives into a scratch file, which becomes the source.
    void copy(int from) {
        fd_ = OpenScratch();
        if (fd_ < 0) throw Failure("Cannot copy \"" + shown_ + "\" to a temporary file. " + std::strerror(errno));
        std::vector<char> buf(1 << 20);
        for (;;) {
            ssize_t r = ::read(from, buf.data(), buf.size());
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) fail(errno);
            if (r == 0) break;
            if (!WriteAll(fd_, buf.data(), static_cast<std::size_t>(r)))
                throw Failure("Cannot copy \"" + shown_ + "\" to a temporary file. " + std::strerror(errno));
        }
    }
    [[noreturn]] void fail(int e) const { throw Failure("Cannot read file \"" + shown_ + "\". " + std::strerror(e)); }
    int fd_ = -1;
    std::string shown_;
};

// The output written piece by piece into a temporary file in the target
// folder, renamed into place at the end, so that a failure leaves no file
// and does not destroy the old one; standard output gets the bytes only when
// all went well.
class OutputFile final : public formats::ByteSink {
public:
    explicit OutputFile(std::string path) : path_(std::move(path)), stdout_(path_ == "-") {}
    ~OutputFile() override {
        if (fd_ >= 0) ::close(fd_);
        if (!tmp_.empty()) ::unlink(tmp_.c_str());
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view bytes) override {
        if (buffer_.size() + bytes.size() < kBuffer) {
            buffer_.append(bytes);
            return;
        }
        flush();
        open();
        if (!WriteAll(fd_, bytes.data(), bytes.size())) failWrite(errno);
    }

    void commit() {
        flush();
        if (stdout_) {
            if (::lseek(fd_, 0, SEEK_SET) < 0) failWrite(errno);
            std::vector<char> buf(1 << 20);
            for (;;) {
                ssize_t r = ::read(fd_, buf.data(), buf.size());
                if (r < 0 && errno == EINTR) continue;
                if (r < 0) failWrite(errno);
                if (r == 0) break;
                if (!WriteAll(1, buf.data(), static_cast<std::size_t>(r)))
                    throw Failure(std::string("Cannot write standard output. ") + std::strerror(errno));
            }
            return;
        }
        int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) failWrite(errno);
        if (::rename(tmp_.c_str(), path_.c_str()) != 0)
            throw Failure("Cannot create file \"" + FullPath(path_) + "\". " + std::strerror(errno));
        tmp_.clear();
    }

private:
    static constexpr std::size_t kBuffer = std::size_t(1) << 20;

    void open() {
        if (fd_ >= 0) return;
        if (stdout_) {
            fd_ = OpenScratch();
            if (fd_ < 0) throw Failure(std::string("Cannot write standard output. ") + std::strerror(errno));
            return;
        }
        std::filesystem::path target(path_);
        std::filesystem::path dir = target.parent_path();
        if (dir.empty()) dir = ".";
        std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
        std::vector<char> name(tmpl.begin(), tmpl.end());
        name.push_back('\0');
        fd_ = ::mkstemp(name.data());
        if (fd_ < 0) throw Failure("Cannot create file \"" + FullPath(path_) + "\". " + std::strerror(errno));
        tmp_ = name.data();
        ::fchmod(fd_, 0644);
    }

    void flush() {
        open();
        if (!WriteAll(fd_, buffer_.data(), buffer_.size())) failWrite(errno);
        buffer_.clear();
    }

    [[noreturn]] void failWrite(int e) const {
        if (stdout_) throw Failure(std::string("Cannot write standard output. ") + std::strerror(e));
        throw Failure("Cannot write file \"" + FullPath(path_) + "\". " + std::strerror(e));
    }

    std::string path_;
    bool stdout_;
    int fd_ = -1;
    std::string tmp_;
    std::string buffer_;
};

// The check's report lines as they come: in memory, and past a few
// megabytes in a scratch file, so that a failure still prints none of them.
class ReportSpool final : public formats::ProblemSink {
public:
    explicit ReportSpool(std::string path) : path_(std::move(path)) {}
    ~ReportSpool() override {
        if (fd_ >= 0) ::close(fd_);
    }
    ReportSpool(const ReportSpool&) = delete;
    ReportSpool& operator=(const ReportSpool&) = delete;

    void report(const formats::TableProblem& p) override {
        buffer_ += path_ + ":" + std::to_string(p.line) + ": " + p.message + "\n";
        ++findings_;
        if (p.line != last_) ++lines_, last_ = p.line;
        if (buffer_.size() >= kBuffer) spill();
    }
    void restart() override {
        buffer_.clear();
        findings_ = lines_ = last_ = 0;
        if (fd_ >= 0 && (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) < 0)) fail();
    }
    // Everything reported, to standard output.
    void print() {
        if (fd_ >= 0) {
            spill();
            if (::lseek(fd_, 0, SEEK_SET) < 0) fail();
            std::vector<char> buf(1 << 20);
            for (;;) {
                ssize_t r = ::read(fd_, buf.data(), buf.size());
                if (r < 0 && errno == EINTR) continue;
                if (r < 0) fail();
                if (r == 0) break;
                WriteStdout(std::string(buf.data(), static_cast<std::size_t>(r)));
            }
            return;
        }
        WriteStdout(buffer_);
    }
    std::size_t findings() const { return findings_; }
    std::size_t lines() const { return lines_; }

private:
    static constexpr std::size_t kBuffer = std::size_t(4) << 20;
    void spill() {
        if (fd_ < 0) fd_ = OpenScratch();
        if (fd_ < 0 || !WriteAll(fd_, buffer_.data(), buffer_.size())) fail();
        buffer_.clear();
    }
    [[noreturn]] void fail() const {
        throw Failure(std::string("Cannot keep the report in a temporary file. ") + std::strerror(errno));
    }
    std::string path_;
    std::string buffer_;
    int fd_ = -1;
    std::size_t findings_ = 0, lines_ = 0, last_ = 0;
};

void ParseInputOptions(const FormatOptions& o, Encoding& e, Format& f) {
    e = o.encoding.empty() ? Encoding::Auto : formats::ParseEncoding(o.encoding);
    f = o.format.empty() ? Format::Auto : formats::ParseFormat(o.format);
}

void ReportDropped(std::size_t dropped, Format format) {
    if (dropped)
        std::fprintf(stderr, "zelmora-cli: %zu line%s without a %s equivalent (pinyin, prompt or phrase lines) left out\n",
                     dropped, dropped == 1 ? "" : "s", formats::FormatName(format));
}

// The whole table in memory: read, converted and written whole.
void ConvertWhole(const std::string& in, const std::string& out, const FormatOptions& o) {
    auto progress = std::make_unique<Progress>();
    progress->step("reading");
    TableDocument doc = LoadTable(ReadInput(in), o);
    progress->step("converting");
    OutputSettings settings = ResolveOutput(o, doc, doc.format);
    settings.write.name = TableName(out == "-" ? in : out);
    settings.write.inputName = in == "-" ? "standard input" : in;
    std::size_t dropped = 0;
    std::string bytes = formats::WriteTable(doc, settings.write, &dropped);
    progress->step("writing");
    if (out == "-")
        WriteStdout(bytes);
    else
        WriteFileSafely(out, bytes);
    progress.reset();
    ReportDropped(dropped, settings.write.format);
    ReportSkipped(o);
}

// The input options, read before the table; on a bad option the input (a
// pipe, perhaps) is still drained, as reading it would have.
void ParseInputOptionsFor(FileSource& source, const FormatOptions& o, Encoding& e, Format& f) {
    try {
        ParseInputOptions(o, e, f);
    } catch (const Failure&) {
        source.drain();
        throw;
    }
}

void Convert(const std::string& in, const std::string& out, const FormatOptions& o) {
    auto progress = std::make_unique<Progress>();
    progress->step("reading");
    FileSource source(in);
    Encoding e;
    Format f;
    ParseInputOptionsFor(source, o, e, f);
    const std::string name = TableName(out == "-" ? in : out);
    auto resolve = [&](const formats::InputFacts& facts) {
        NoteEncodingGuess(facts.encodingCloseCall, facts.encoding);
        OutputSettings s = ResolveOutput(o, facts.encoding, facts.hadBom, facts.format);
        s.write.name = name;
        s.write.inputName = in == "-" ? "standard input" : in;
        return s.write;
    };
    formats::StreamSettings settings;
    settings.onPass = [&](const char* pass) { progress->step(pass); };
    OutputFile sink(out);
    formats::StreamConversion r = formats::ConvertTableStream(source, sink, e, f, resolve, settings);
    if (!r.streamed) {
        // Codes that don't come in order: grouping them needs the whole table.
        progress->step("reading the whole table");
        TableDocument doc = LoadTable(source.readAll(), o);
        progress->step("converting");
        r.write = resolve({doc.encoding, doc.hadBom, doc.format});
        sink.write(formats::WriteTable(doc, r.write, &r.droppedLines));
    }
    progress->step("writing");
    sink.commit();
    progress.reset();
    ReportDropped(r.droppedLines, r.write.format);
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
    TableDocument chars = formats::ReadTable(ReadInput(p.chars));
    return MakePhraseCodeCheck(&chars.entries);
}

std::string PhraseSummary(const std::string& path, const std::optional<PhraseCodeCheck>& check) {
    return check ? path + ": " + check->summary() + "\n" : std::string();
}

void CheckWhole(const std::string& path, const FormatOptions& o, const PhraseOptions& p) {
    auto progress = std::make_unique<Progress>();
    std::optional<PhraseCodeCheck> phrases = PhraseCheck(p);
    progress->step("reading");
    TableDocument doc = LoadTable(ReadInput(path), o);
    progress->step("checking");
    std::vector<formats::TableProblem> problems = formats::CheckTable(doc, phrases ? &*phrases : nullptr);
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
    WriteStdout(report + PhraseSummary(path, phrases));
    if (!problems.empty())
        throw Failure(std::to_string(problems.size()) + " findings on " + std::to_string(lines) + " lines of \"" + path +
                      "\"");
}

void Check(const std::string& path, const FormatOptions& o, const PhraseOptions& p) {
    auto progress = std::make_unique<Progress>();
    std::optional<PhraseCodeCheck> phrases = PhraseCheck(p);
    progress->step("reading");
    FileSource source(path);
    Encoding e;
    Format f;
    ParseInputOptionsFor(source, o, e, f);
    formats::StreamSettings settings;
    settings.onPass = [&](const char* pass) { progress->step(pass); };
    ReportSpool spool(path);
    formats::StreamCheck r =
        formats::CheckTableStream(source, spool, e, f, settings, phrases ? &*phrases : nullptr);
    progress.reset();
    NoteEncodingGuess(r.input.encodingCloseCall, r.input.encoding);
    if (r.problems == 0) {
        WriteStdout(path + ": nothing suspicious (" + formats::FormatName(r.input.format) + ", " +
                    formats::EncodingName(r.input.encoding) + ", " + std::to_string(r.entries) + " entries)\n" +
                    PhraseSummary(path, phrases));
        return;
    }
    spool.print();
    WriteStdout(PhraseSummary(path, phrases));
    throw Failure(std::to_string(spool.findings()) + " findings on " + std::to_string(spool.lines()) + " lines of \"" +
                  path + "\"");
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
        cmd->add_option("--unencodable", o.unencodable,
                        "Words with a character the output encoding can't hold: error (the default: nothing is written, "
                        "the message names the input line and the character) or skip (left out, counted on standard "
                        "error)");
        cmd->add_option("--skipped", o.skippedFile, "With --unencodable skip: list every word left out in this file");
    }
}

void NoteEncodingGuess(bool closeCall, Encoding chosen) {
    if (!closeCall) return;
    std::fprintf(stderr, "zelmora-cli: read as %s, but %s was nearly as likely; give --encoding to be sure\n",
                 formats::EncodingName(chosen), chosen == Encoding::Utf8 ? "GBK" : "UTF-8");
}

TableDocument LoadTable(std::string_view bytes, const FormatOptions& o) {
    Encoding e = o.encoding.empty() ? Encoding::Auto : formats::ParseEncoding(o.encoding);
    Format f = o.format.empty() ? Format::Auto : formats::ParseFormat(o.format);
    TableDocument doc = formats::ReadTable(bytes, e, f);
    NoteEncodingGuess(doc.encodingCloseCall, doc.encoding);
    return doc;
}

OutputSettings ResolveOutput(const FormatOptions& o, const TableDocument& input, Format fallback) {
    return ResolveOutput(o, input.encoding, input.hadBom, fallback);
}

OutputSettings ResolveOutput(const FormatOptions& o, Encoding inputEncoding, bool inputHadBom, Format fallback) {
    OutputSettings s;
    formats::WriteOptions& w = s.write;
    w.format = o.outputFormat.empty() ? fallback : formats::ParseFormat(o.outputFormat);
    if (w.format == Format::Auto) w.format = fallback;
    const Encoding asked = o.outputEncoding.empty() ? Encoding::Auto : formats::ParseEncoding(o.outputEncoding);
    formats::ChooseOutputEncoding(w, asked, o.bom, inputEncoding, inputHadBom);
    if (o.unencodable == "skip")
        w.unencodable = formats::Unencodable::Skip;
    else if (!o.unencodable.empty() && o.unencodable != "error")
        throw Failure("Unknown --unencodable \"" + o.unencodable + "\" (known: error, skip)");
    w.skipped = &o.skipped;
    w.textEncoding = formats::TextEncodingOf(inputEncoding);
    s.extension = w.format == Format::Rime ? ".dict.yaml" : ".txt";
    return s;
}

std::string PairKey(const TableEntry& e) { return e.code + '\x01' + e.word; }


void ReportSkipped(const FormatOptions& o) {
    const auto& list = o.skipped;
    if (!o.skippedFile.empty()) {
        std::string text;
        for (const auto& w : list) {
            char cp[16];
            std::snprintf(cp, sizeof cp, "U+%04X", static_cast<unsigned>(w.codePoint));
            text += std::to_string(w.line) + "\t" + w.code + "\t" + w.word + "\t" +
                    w.character + "\t" + cp + "\n";
        }
        WriteFileSafely(o.skippedFile, text);
    }
    if (list.empty()) return;
    std::string shown;
    for (std::size_t i = 0; i < list.size() && i < 5; ++i)
        shown += (i ? ", " : "") + std::string("line ") + std::to_string(list[i].line) + " \"" +
                 list[i].word + "\"";
    std::fprintf(stderr, "zelmora-cli: %zu word%s left out that the output encoding can't hold (%s%s)%s\n", list.size(),
                 list.size() == 1 ? "" : "s", shown.c_str(), list.size() > 5 ? ", ..." : "",
                 o.skippedFile.empty() ? "; --skipped FILE lists them all" : "");
}

ResultWriter::ResultWriter(const OutputSettings& out, const TableDocument& source) : out_(out), source_(source) {
    if (out.write.format != Format::Rime && out.write.format != Format::Ibus) return;
    for (const auto& e : source.entries)
        if (e.weight || e.stem) extras_.try_emplace(PairKey(e), &e);
}

ResultWriter::File ResultWriter::encode(std::string_view rawText, const std::string& name) const {
    try {
        // Input lines of the words, for the message or the list of words left out.
        std::unordered_map<std::string, std::size_t> lines;
        auto lineOf = [&](std::string_view code, std::string_view word) -> std::size_t {
            if (lines.empty()) {
                for (std::size_t i = 0; i < source_.lines.size(); ++i) {
                    const auto& l = source_.lines[i];
                    for (std::size_t k = l.firstEntry; l.kind == formats::TableLine::Kind::Entry && k < l.firstEntry + l.entryCount; ++k) {
                        lines.try_emplace(PairKey(source_.entries[k]), i + 1);
                        lines.try_emplace(std::string(1, '\x01') + source_.entries[k].word, i + 1);
                    }
                }
            }
            auto it = lines.find(std::string(code) + '\x01' + std::string(word));
            if (it == lines.end()) it = lines.find(std::string(1, '\x01') + std::string(word));
            return it == lines.end() ? 0 : it->second;
        };
        const std::string kept = formats::DropUnencodableWords(rawText, out_.write, lineOf);
        std::string_view text = kept;
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
        auto whole = std::make_shared<bool>(false);
        cmd->add_option("IN", *in, "The table to read; - for standard input")->required();
        cmd->add_option("OUT", *out, "The file to write; - for standard output")->required();
        AddFormatOptions(cmd, *o, true, true, "the input's");
        cmd->add_flag("--no-stream", *whole, "Read the whole table into memory before converting it (the same output)");
        cmd->footer(kConvertStreaming);
        cmd->callback([in, out, o, whole] { *whole ? ConvertWhole(*in, *out, *o) : Convert(*in, *out, *o); });
    }
    {
        auto* cmd = app.add_subcommand(
            "check",
            "Report what is suspicious in a table: codes outside a-z or longer than four letters, a word twice under one "
            "code, blank or malformed lines, lines that don't round-trip, phrases whose code the Wubi-86 rules don't "
            "give; exit status 1 when anything is found");
        auto path = std::make_shared<std::string>();
        auto o = std::make_shared<FormatOptions>();
        auto p = std::make_shared<PhraseOptions>();
        cmd->add_option("TABLE", *path, "The table to check; - for standard input")->required();
        auto whole = std::make_shared<bool>(false);
        AddFormatOptions(cmd, *o, true, false, "");
        cmd->add_flag("--no-stream", *whole, "Read the whole table into memory before checking it (the same report)");
        cmd->add_option("--chars", p->chars,
                        "The table whose single characters' full codes (their longest codes) phrases are checked with, "
                        "any format and encoding (default: the checked table itself); the built-in table's for "
                        "characters it lacks");
        cmd->add_flag("--no-phrases", p->skip, "Don't check phrase codes against the Wubi-86 rules");
        cmd->footer(std::string(kCheckStreaming) + "\n" + kCheckPhrases);
        cmd->callback([path, o, p, whole] { *whole ? CheckWhole(*path, *o, *p) : Check(*path, *o, *p); });
    }
}

}  // namespace zelmora::cli

#include "formats/convert.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "core/failure.h"
#include "formats/encoding_internal.h"
#include "formats/files.h"
#include "formats/table_stream.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

namespace {

void ParseInputOptions(const TableOptions& o, Encoding& e, Format& f) {
    e = o.encoding.empty() ? Encoding::Auto : ParseEncoding(o.encoding);
    f = o.format.empty() ? Format::Auto : ParseFormat(o.format);
}

// The input options, read before the table; on a bad option the input (a
// pipe, perhaps) is still drained, as reading it would have.
void ParseInputOptionsFor(InputFile& source, const TableOptions& o, Encoding& e, Format& f) {
    try {
        ParseInputOptions(o, e, f);
    } catch (const Failure&) {
        source.drain();
        throw;
    }
}

void Step(const StepCallback& onStep, const char* name) {
    if (onStep) onStep(name);
}

std::string PairKey(const TableEntry& e) { return e.code + '\x01' + e.word; }

// The source of a writer whose results never read one.
const TableDocument& NoSource() {
    static const TableDocument none;
    return none;
}

// The whole table in memory: read, converted and written whole.
ConvertFileResult ConvertWhole(const std::string& in, const std::string& out, const TableOptions& o,
                               const StepCallback& onStep) {
    Step(onStep, "reading");
    TableDocument doc = LoadTable(ReadInput(in), o);
    Step(onStep, "converting");
    OutputSettings settings = ResolveOutput(o, doc, doc.format);
    settings.write.name = TableName(out == "-" ? in : out);
    settings.write.inputName = in == "-" ? "standard input" : in;
    ConvertFileResult r;
    std::string bytes = WriteTable(doc, settings.write, &r.droppedLines);
    r.format = settings.write.format;
    Step(onStep, "writing");
    if (out == "-")
        WriteStdout(bytes);
    else
        WriteFileSafely(out, bytes);
    return r;
}

ConvertFileResult ConvertStreamed(const std::string& in, const std::string& out, const TableOptions& o,
                                  const StepCallback& onStep) {
    Step(onStep, "reading");
    InputFile source(in);
    Encoding e;
    Format f;
    ParseInputOptionsFor(source, o, e, f);
    const std::string name = TableName(out == "-" ? in : out);
    auto resolve = [&](const InputFacts& facts) {
        o.noteEncoding(facts.encodingCloseCall, facts.encoding);
        OutputSettings s = ResolveOutput(o, facts.encoding, facts.hadBom, facts.format);
        s.write.name = name;
        s.write.inputName = in == "-" ? "standard input" : in;
        return s.write;
    };
    StreamSettings settings;
    settings.onPass = [&](const char* pass) { Step(onStep, pass); };
    OutputFile sink(out);
    StreamConversion r = ConvertTableStream(source, sink, e, f, resolve, settings);
    if (!r.streamed) {
        // Codes that don't come in order: grouping them needs the whole table.
        Step(onStep, "reading the whole table");
        TableDocument doc = LoadTable(source.readAll(), o);
        Step(onStep, "converting");
        r.write = resolve({doc.encoding, doc.hadBom, doc.format});
        sink.write(WriteTable(doc, r.write, &r.droppedLines));
    }
    Step(onStep, "writing");
    sink.commit();
    return {r.droppedLines, r.write.format};
}

// Feeds a streamed check's findings into a report.
class ReportSink final : public ProblemSink {
public:
    explicit ReportSink(CheckReport& report) : report_(report) {}
    void report(const TableProblem& p) override { report_.add(p); }
    void restart() override { report_.clear(); }

private:
    CheckReport& report_;
};

}  // namespace

TableDocument LoadTable(std::string_view bytes, const TableOptions& o) {
    Encoding e = o.encoding.empty() ? Encoding::Auto : ParseEncoding(o.encoding);
    Format f = o.format.empty() ? Format::Auto : ParseFormat(o.format);
    TableDocument doc = ReadTable(bytes, e, f);
    o.noteEncoding(doc.encodingCloseCall, doc.encoding);
    return doc;
}

GroupLineTable LoadGroupLines(std::string_view bytes, const TableOptions& o,
                              const std::function<bool(Encoding, bool)>& keepDocument) {
    Encoding e = o.encoding.empty() ? Encoding::Auto : ParseEncoding(o.encoding);
    Format f = o.format.empty() ? Format::Auto : ParseFormat(o.format);
    GroupLineTable t = ReadGroupLines(bytes, e, f, keepDocument);
    o.noteEncoding(t.encodingCloseCall, t.encoding);
    return t;
}

OutputSettings ResolveOutput(const TableOptions& o, const TableDocument& input, Format fallback) {
    return ResolveOutput(o, input.encoding, input.hadBom, fallback);
}

OutputSettings ResolveOutput(const TableOptions& o, Encoding inputEncoding, bool inputHadBom, Format fallback) {
    OutputSettings s;
    WriteOptions& w = s.write;
    w.format = o.outputFormat.empty() ? fallback : ParseFormat(o.outputFormat);
    if (w.format == Format::Auto) w.format = fallback;
    const Encoding asked = o.outputEncoding.empty() ? Encoding::Auto : ParseEncoding(o.outputEncoding);
    ChooseOutputEncoding(w, asked, o.bom, inputEncoding, inputHadBom, fallback);
    if (o.unencodable == "skip")
        w.unencodable = Unencodable::Skip;
    else if (!o.unencodable.empty() && o.unencodable != "error")
        throw Failure("Unknown --unencodable \"" + o.unencodable + "\" (known: error, skip)");
    w.skipped = &o.skipped;
    w.textEncoding = TextEncodingOf(inputEncoding);
    s.extension = w.format == Format::Rime ? ".dict.yaml" : w.format == Format::MsPhrase ? ".dat" : ".txt";
    return s;
}

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

ResultWriter::ResultWriter(const OutputSettings& out, const TableDocument& source) : out_(out), source_(source) {
    if (out.write.format != Format::Rime && out.write.format != Format::Ibus) return;
    for (const auto& e : source.entries)
        if (e.weight || e.stem) extras_.try_emplace(PairKey(e), &e);
}

bool ResultWriter::NeedsSource(const OutputSettings& out) {
    return out.write.format != Format::Plain || CanLack(out.write.encoding, out.write.textEncoding);
}

ResultWriter::ResultWriter(const OutputSettings& out) : out_(out), source_(NoSource()) {
    // Without its source such a writer would drop weights and stems silently.
    if (NeedsSource(out)) throw std::logic_error("results of this format and encoding need their source's entries");
}

void ResultWriter::prepare() const {
    try {
        if (out_.write.encoding == Encoding::Utf8) PrepareUtf8Writing(out_.write.textEncoding);
    } catch (...) {
        // Met again, and reported, when a result is encoded.
    }
}

ResultWriter::File ResultWriter::encode(std::string_view rawText, const std::string& name,
                                        std::vector<SkippedWord>* skipped) const {
    WriteOptions options = out_.write;
    if (skipped) options.skipped = skipped;
    try {
        // Input lines of the words, for the message or the list of words left out.
        std::unordered_map<std::string, std::size_t> lines;
        auto lineOf = [&](std::string_view code, std::string_view word) -> std::size_t {
            if (lines.empty()) {
                for (std::size_t i = 0; i < source_.lines.size(); ++i) {
                    const auto& l = source_.lines[i];
                    for (std::size_t k = l.firstEntry;
                         l.kind == TableLine::Kind::Entry && k < l.firstEntry + l.entryCount; ++k) {
                        lines.try_emplace(PairKey(source_.entries[k]), i + 1);
                        lines.try_emplace(std::string(1, '\x01') + source_.entries[k].word, i + 1);
                    }
                }
            }
            auto it = lines.find(std::string(code) + '\x01' + std::string(word));
            if (it == lines.end()) it = lines.find(std::string(1, '\x01') + std::string(word));
            return it == lines.end() ? 0 : it->second;
        };
        // Only an encoding that can lack characters drops words: else the text is written as it is.
        std::string kept;
        std::string_view text = rawText;
        if (CanLack(options.encoding, options.textEncoding)) {
            kept = DropUnencodableWords(rawText, options, lineOf);
            text = kept;
        }
        if (options.format == Format::Plain)
            return {EncodeText(text, options.encoding, options.bom, options.textEncoding), ".txt"};
        std::size_t wordless = 0;
        std::vector<TableEntry> entries = EntriesFromGroupLines(text, &wordless);
        if (wordless)  // not a code table: a list of words
            return {EncodeText(text, options.encoding, options.bom, options.textEncoding), ".txt"};
        if (!extras_.empty()) {
            std::string key;
            for (auto& e : entries) {
                key.assign(e.code).append(1, '\x01').append(e.word);
                auto it = extras_.find(key);
                if (it == extras_.end()) continue;
                e.weight = it->second->weight;
                if (options.format == Format::Rime) e.stem = it->second->stem;
            }
        }
        WriteOptions w = options;
        w.name = name;
        // A code or word the format can't hold is named by its source line.
        return {WriteEntries(entries, w, [&](const TableEntry& e, std::size_t) { return lineOf(e.code, e.word); }),
                out_.extension};
    } catch (const Failure& f) {
        throw Failure(name + out_.extension + ": " + f.what() + "; nothing was written");
    }
}

ConvertFileResult ConvertFile(const std::string& in, const std::string& out, const TableOptions& o,
                              const ConvertFileSettings& settings) {
    CheckOutputPath(out);
    return settings.whole ? ConvertWhole(in, out, o, settings.onStep) : ConvertStreamed(in, out, o, settings.onStep);
}

namespace {
constexpr std::size_t kReportBuffer = std::size_t(4) << 20;
}

CheckReport::CheckReport(std::string path) : path_(std::move(path)) {}

CheckReport::~CheckReport() {
    if (fd_ >= 0) ::close(fd_);
}

void CheckReport::add(const TableProblem& p) {
    buffer_ += path_ + ":" + std::to_string(p.line) + ": " + p.message + "\n";
    ++findings_;
    if (p.line != last_) ++lines_, last_ = p.line;
    if (buffer_.size() >= kReportBuffer) spill();
}

void CheckReport::clear() {
    buffer_.clear();
    findings_ = lines_ = last_ = 0;
    if (fd_ >= 0 && (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) < 0)) fail();
}

void CheckReport::print(const std::function<void(const std::string&)>& out) {
    if (fd_ >= 0) {
        spill();
        if (::lseek(fd_, 0, SEEK_SET) < 0) fail();
        std::vector<char> buf(1 << 20);
        for (;;) {
            ssize_t r = ::read(fd_, buf.data(), buf.size());
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) fail();
            if (r == 0) break;
            out(std::string(buf.data(), static_cast<std::size_t>(r)));
        }
        return;
    }
    out(buffer_);
}

void CheckReport::spill() {
    if (fd_ < 0) fd_ = OpenScratch();
    if (fd_ < 0 || !WriteAll(fd_, buffer_.data(), buffer_.size())) fail();
    buffer_.clear();
}

void CheckReport::fail() const {
    throw Failure(std::string("Cannot keep the report in a temporary file. ") + std::strerror(errno));
}

std::string CheckFileResult::clean() const {
    return path + ": nothing suspicious (" + FormatName(format) + ", " + EncodingName(encoding) + ", " +
           std::to_string(entries) + " entries)\n";
}

CheckFileResult CheckFile(const std::string& path, const TableOptions& o, bool whole, const StepCallback& onStep,
                          EntryCheck* more) {
    CheckFileResult r;
    r.path = path;
    r.report = std::make_unique<CheckReport>(path);
    Step(onStep, "reading");
    if (whole) {
        TableDocument doc = LoadTable(ReadInput(path), o);
        Step(onStep, "checking");
        for (const auto& p : CheckTable(doc, more)) r.report->add(p);
        r.encoding = doc.encoding;
        r.format = doc.format;
        r.entries = doc.entries.size();
        return r;
    }
    InputFile source(path);
    Encoding e;
    Format f;
    ParseInputOptionsFor(source, o, e, f);
    StreamSettings settings;
    settings.onPass = [&](const char* pass) { Step(onStep, pass); };
    ReportSink sink(*r.report);
    StreamCheck c = CheckTableStream(source, sink, e, f, settings, more);
    o.noteEncoding(c.input.encodingCloseCall, c.input.encoding);
    r.encoding = c.input.encoding;
    r.format = c.input.format;
    r.entries = c.entries;
    return r;
}

ResultFolder::ResultFolder(const std::string& folder, std::vector<std::string> names)
    : folder_(folder), dir_(folder), names_(std::move(names)) {
    staged_.resize(names_.size());
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
            throw Failure("Cannot create folder \"" + FullPath(folder) + "\". " + std::strerror(ENOTDIR));
        return;
    }
    // A new folder is filled under a temporary name beside its place and
    // renamed into place whole.
    std::filesystem::path target = std::filesystem::path(folder).lexically_normal();
    if (target.filename().empty()) target = target.parent_path();
    std::filesystem::path parent = target.parent_path();
    if (!parent.empty()) EnsureDirectory(parent.string());
    for (int attempt = 0;; ++attempt) {
        temporary_ = (parent / ("." + target.filename().string() + "." + std::to_string(::getpid()) + "-" +
                                std::to_string(attempt)))
                         .string();
        if (::mkdir(temporary_.c_str(), 0777) == 0) break;
        if (errno != EEXIST || attempt > 100)
            throw Failure("Cannot create folder \"" + FullPath(folder) + "\". " + std::strerror(errno));
    }
    dir_ = temporary_;
    slots_.push_back(RegisterTemporary(temporary_, true));
}

ResultFolder::~ResultFolder() {
    if (committed_) return;
    staged_.clear();  // their temporary files go
    if (!temporary_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(temporary_, ec);
    }
    for (int s : slots_) ForgetTemporary(s);
}

void ResultFolder::add(const std::string& name, std::string_view bytes) {
    const auto at = static_cast<std::size_t>(std::find(names_.begin(), names_.end(), name) - names_.begin());
    if (at == names_.size() || staged_[at]) throw std::logic_error("result file added twice or not named: " + name);
    SafeWriteOptions options;
    options.shownAs = folder_;
    options.shownAs.append(1, '/').append(name);
    std::string path = dir_;
    path.append(1, '/').append(name);
    auto file = std::make_unique<OutputFile>(path, options);
    file->write(bytes);
    file->finish();
    staged_[at] = std::move(file);
}

// Replaces any file only when all were written. A rename that fails part-way
// says which files are new.
void ResultFolder::commit() {
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (!staged_[i]) throw std::logic_error("result file never added: " + names_[i]);
    const bool inTemporary = !temporary_.empty();
    std::string replaced;
    for (std::size_t i = 0; i < staged_.size(); ++i) {
        // Inside a temporary folder the files written must go with it on a signal.
        if (inTemporary) slots_.push_back(RegisterTemporary(dir_ + "/" + names_[i], false));
        try {
            staged_[i]->commit();
        } catch (const Failure& f) {
            if (replaced.empty() || inTemporary) throw Failure(std::string(f.what()) + "; no result file was replaced");
            throw Failure(std::string(f.what()) + "; new: " + replaced + "; the other result files are as they were");
        }
        replaced += (replaced.empty() ? "" : ", ") + names_[i];
    }
    if (inTemporary && ::rename(temporary_.c_str(), folder_.c_str()) != 0)
        throw Failure("Cannot create folder \"" + FullPath(folder_) + "\". " + std::strerror(errno));
    committed_ = true;
    for (int s : slots_) ForgetTemporary(s);
}

void WriteResultFiles(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<std::string> names;
    names.reserve(files.size());
    for (const auto& f : files) names.push_back(f.first);
    ResultFolder out(folder, std::move(names));
    for (const auto& [name, bytes] : files) out.add(name, bytes);
    out.commit();
}

}  // namespace zelmora::formats

// Converting and checking tables block by block, with the results and the
// failures of the whole-file path.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/failure.h"
#include "core/limits.h"
#include "core/text.h"
#include "formats/checking.h"
#include "formats/checking_internal.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/encoding_internal.h"
#include "formats/lines.h"
#include "formats/ms_phrase.h"
#include "formats/reading.h"
#include "formats/table_stream.h"
#include "formats/writing.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

std::size_t MemorySource::read(char* buffer, std::size_t size) {
    std::size_t n = std::min(size, bytes_.size() - at_);
    std::copy_n(bytes_.data() + at_, n, buffer);
    at_ += n;
    return n;
}

namespace {

using Kind = TableLine::Kind;

// The steps of the whole-file path in the order it takes them: it decodes the
// whole file, recognises the format, reads every line, resolves the output
// options, builds the output text, encodes it, and writes it. A streamed pass
// meets failures in file order instead, so it keeps the one of the earliest
// step, stops that step and the later ones, and goes on with the earlier steps
// to the end of the input, where one of them may still fail.
enum Stage : int { kDecode = 1, kDetect, kStructure, kResolve, kUnencodable, kCanonical, kEncode, kSink, kNone = 100 };

class FirstFailure {
public:
    // Whether a step still runs: nothing failed at it or before it.
    bool allows(int stage) const { return stage < stage_; }
    void record(int stage, const char* message) {
        if (stage < stage_) stage_ = stage, message_ = message;
    }
    template <class F>
    void attempt(int stage, F&& step) {
        if (!allows(stage)) return;
        try {
            step();
        } catch (const Failure& f) {
            record(stage, f.what());
        }
    }
    void raise() const {
        if (stage_ != kNone) throw Failure(message_);
    }

private:
    int stage_ = kNone;
    std::string message_;
};

void Announce(const StreamSettings& settings, const char* pass) {
    if (settings.onPass) settings.onPass(pass);
}

// Whether the table is a Windows phrase file: binary, read whole rather
// than line by line. Leaves the source at its first byte.
bool MsPhraseSource(ByteSource& in, Format format) {
    if (format != Format::Auto) return format == Format::MsPhrase;
    char head[16];
    std::size_t n = 0;
    in.rewind();
    for (std::size_t got; n < sizeof head && (got = in.read(head + n, sizeof head - n)) > 0;) n += got;
    in.rewind();
    return IsMsPhrase(std::string_view(head, n));
}

std::string ReadAll(ByteSource& in) {
    in.rewind();
    std::string all;
    std::vector<char> block(std::size_t(1) << 20);
    for (std::size_t got; (got = in.read(block.data(), block.size())) > 0;) all.append(block.data(), got);
    return all;
}

// How the bytes are to be read: the encoding, and the byte-order mark to skip.
struct Opening {
    Encoding encoding = Encoding::Gb18030;
    bool hadBom = false;
    bool closeCall = false;
    std::size_t skip = 0;
};

// How DecodeText reads the same bytes (RecognizeSource); the mark is skipped.
Opening Open(ByteSource& in, Encoding encoding, const StreamSettings& settings) {
    const Recognition r =
        RecognizeSource(in, encoding, settings.blockSize, [&] { Announce(settings, "checking the encoding"); });
    Opening o;
    o.encoding = r.encoding;
    o.hadBom = r.hadBom;
    o.closeCall = r.closeCall;
    o.skip = r.hadBom ? BomLength(r.encoding) : 0;
    return o;
}

// One line as a pass reads it.
struct PassLine {
    std::size_t number = 0;  // 1-based
    std::string_view text, lineBreak;
    Kind kind = Kind::Header;
    std::vector<TableEntry>* entries = nullptr;  // of an Entry line; the consumer may take them
    std::string_view problem;                    // the reader's finding, if any
    // A plain line of many words comes in parts, each with some of its
    // entries (and the whole text): whether this is the first, the last.
    bool first = true, last = true;
};

class Consumer {
public:
    virtual ~Consumer() = default;
    // The format is known; no line has been given yet. `reader` gives the
    // layout, final by the first data line.
    virtual void start(Format format, const LineReader& reader) = 0;
    // False stops the pass.
    virtual bool line(PassLine& line) = 0;
    // After the last line.
    virtual void finish() = 0;
};

// One pass over the input: decoded block by block, cut into lines as
// CutLines cuts them, the format recognised from the first lines as Detect
// does, every line read. False when the consumer stopped it.
class Pass {
public:
    Pass(ByteSource& in, const Opening& opening, Format given, Consumer& consumer, FirstFailure& failures,
         const StreamSettings& settings)
        : in_(in),
          opening_(opening),
          given_(ReadingFormat(given)),
          partedLine_(settings.partedLine),
          partEntries_(std::max<std::size_t>(settings.partEntries, 1)),
          consumer_(consumer),
          failures_(failures),
          decoder_(opening.encoding),
          block_(std::max<std::size_t>(settings.blockSize, 1)) {}

    bool run() {
        in_.rewind();
        std::size_t skip = opening_.skip;
        for (;;) {
            std::size_t n = in_.read(block_.data(), block_.size());
            std::string_view bytes(block_.data(), n);
            std::size_t k = std::min(skip, bytes.size());
            bytes.remove_prefix(k);
            skip -= k;
            const bool last = n == 0;
            if (failures_.allows(kDecode)) {
                try {
                    decoder_.feed(bytes, last, text_);
                } catch (const Failure& f) {
                    failures_.record(kDecode, f.what());
                }
                if (failures_.allows(kDecode)) cut(last);
            }
            if (stopped_) return false;
            if (last) break;
        }
        if (!decided_ && failures_.allows(kDetect)) decide(std::nullopt);
        if (stopped_) return false;
        if (reader_) failures_.attempt(kStructure, [&] { reader_->finish(); });
        consumer_.finish();
        return true;
    }

private:
    // Cuts the decoded text into lines: a line ends at CR, LF or CR LF; a CR
    // at the end of the text waits for the next block.
    void cut(bool last) {
        const char* data = text_.data();
        const std::size_t n = text_.size();
        while (!stopped_) {
            std::size_t j = std::max(pos_, scanned_);
            while (j < n && data[j] != '\r' && data[j] != '\n') ++j;
            if (j == n) {
                scanned_ = n;
                if (last && pos_ < n) {
                    line(std::string_view(data + pos_, n - pos_), {});
                    pos_ = n;
                }
                break;
            }
            std::size_t breakLength = 1;
            if (data[j] == '\r') {
                if (j + 1 < n) {
                    if (data[j + 1] == '\n') breakLength = 2;
                } else if (!last) {
                    scanned_ = j;
                    break;
                }
            }
            line(std::string_view(data + pos_, j - pos_), std::string_view(data + j, breakLength));
            pos_ = j + breakLength;
        }
        if (pos_ > 0) {
            text_.erase(0, pos_);
            scanned_ = scanned_ > pos_ ? scanned_ - pos_ : 0;
            pos_ = 0;
        }
    }

    void line(std::string_view text, std::string_view lineBreak) {
        ++number_;
        if (decided_) {
            read(number_, text, lineBreak);
            return;
        }
        early_.push_back({std::string(text), std::string(lineBreak)});
        if (FormatShownBy(text))
            decide(early_.size() - 1);
        else if (early_.size() == kDetectionLines)
            decide(std::nullopt);
    }

    // The format, from the line that shows it (an index into early_) or
    // without one; then the lines held back are read.
    void decide(std::optional<std::size_t> shownAt) {
        decided_ = true;
        Format shown = shownAt ? *FormatShownBy(early_[*shownAt].first) : Format::Plain;
        Format format = given_ == Format::Auto ? shown : given_;
        std::string note;
        if (given_ != Format::Auto && shownAt)
            note = ShownFormatNote(given_, shown, *shownAt + 1, early_[*shownAt].first);
        if (failures_.allows(kDetect)) {
            reader_.emplace(format, std::move(note));
            consumer_.start(format, *reader_);
            for (std::size_t i = 0; i < early_.size() && !stopped_; ++i) read(i + 1, early_[i].first, early_[i].second);
        }
        early_.clear();
        early_.shrink_to_fit();
    }

    void read(std::size_t number, std::string_view text, std::string_view lineBreak) {
        if (!reader_ || stopped_ || !failures_.allows(kStructure)) return;
        if (reader_->format() == Format::Plain && text.size() >= partedLine_ && zelmora::CountTokens(text, 2) == 2) {
            readInParts(number, text, lineBreak);
            return;
        }
        PassLine l;
        l.number = number;
        l.text = text;
        l.lineBreak = lineBreak;
        // A line the reader refuses ends the reading; decoding goes on, as
        // the whole-file path decodes everything first.
        failures_.attempt(kStructure, [&] { l.kind = reader_->read(text, entries_, problem_); });
        if (!failures_.allows(kStructure)) return;
        l.entries = &entries_;
        l.problem = problem_;
        if (!consumer_.line(l)) stopped_ = true;
    }

    // A plain Entry line, as ParseEntryLine reads it, handed on a part at a time.
    void readInParts(std::size_t number, std::string_view text, std::string_view lineBreak) {
        failures_.attempt(kStructure, [&] { RefuseNulBytes(text, nullptr, number); });
        if (!failures_.allows(kStructure)) return;
        reader_->passOver();
        PassLine l;
        l.number = number;
        l.text = text;
        l.lineBreak = lineBreak;
        l.kind = Kind::Entry;
        l.entries = &entries_;
        entries_.clear();
        std::string code;
        bool haveCode = false;
        auto hand = [&](bool last) {
            l.last = last;
            if (!consumer_.line(l)) stopped_ = true;
            l.first = false;
            entries_.clear();
        };
        zelmora::ForEachToken(text, [&](std::string&& t) {
            if (stopped_) return;
            if (!haveCode) {
                code = std::move(t);
                haveCode = true;
                return;
            }
            if (entries_.size() == partEntries_) hand(false);
            entries_.push_back({code, std::move(t), {}, {}});
        });
        if (!stopped_) hand(true);
        std::vector<TableEntry>().swap(entries_);
    }

    ByteSource& in_;
    const Opening& opening_;
    Format given_;
    std::size_t partedLine_, partEntries_;
    Consumer& consumer_;
    FirstFailure& failures_;
    StreamDecoder decoder_;
    std::vector<char> block_;
    std::string text_;  // decoded, not yet cut into lines
    std::size_t pos_ = 0, scanned_ = 0;
    std::size_t number_ = 0;
    bool decided_ = false, stopped_ = false;
    std::vector<std::pair<std::string, std::string>> early_;  // lines before the format is known
    std::optional<LineReader> reader_;
    std::vector<TableEntry> entries_;
    std::string problem_;
};

// Whether each code's entries so far stand together: certain while the codes
// of successive runs ascend, by bytes or by length and then bytes.
class RunOrder {
public:
    // False once neither order holds. `newRun` tells whether `code` begins a run.
    bool next(const std::string& code, bool& newRun) {
        newRun = !have_ || code != last_;
        if (!newRun) return true;
        if (have_) {
            byBytes_ = byBytes_ && code > last_;
            byLength_ = byLength_ && (code.size() > last_.size() || (code.size() == last_.size() && code > last_));
        }
        last_ = code;
        have_ = true;
        return byBytes_ || byLength_;
    }

private:
    std::string last_;
    bool have_ = false, byBytes_ = true, byLength_ = true;
};

bool IsFreshHeaderWithKeys(Format f) {
    return f == Format::Libime || f == Format::Fcitx4 || f == Format::Ibus || f == Format::Yong;
}

class Converter final : public Consumer {
public:
    Converter(ByteSink& sink, FirstFailure& failures, const Opening& opening,
              const std::function<WriteOptions(const InputFacts&)>& resolve, const StreamSettings& settings)
        : sink_(sink), failures_(failures), opening_(opening), resolve_(resolve), settings_(settings) {}

    void start(Format format, const LineReader& reader) override {
        format_ = format;
        reader_ = &reader;
        if (!resolved_) {
            try {
                out_ = resolve_(InputFacts{opening_.encoding, opening_.hadBom, format, opening_.closeCall});
            } catch (const Failure& f) {
                failures_.record(kResolve, f.what());
                return;
            }
            out_.textEncoding = TextEncodingOf(opening_.encoding);
            resolved_ = true;
            // A Windows phrase file is binary, written whole.
            if (out_.format == Format::MsPhrase) {
                wholeTableNeeded_ = true;
                return;
            }
            lacks_ = CanLack(out_.encoding, out_.textEncoding);
            // A table with positions written into its own format while words
            // may be left out is numbered again, written afresh.
            same_ = out_.format == format && !(HasPositions(format) && lacks_);
            needKeys_ = !same_ && (IsFreshHeaderWithKeys(out_.format) ||
                                   (out_.format == Format::Rime && format != Format::Plain));
            // Into another format each code's entries are brought together
            // (an engine ranks them as one list): streamed only while they
            // already stand together.
            needOrder_ = !same_;
            surveying_ = needKeys_ || needOrder_;
            // ibus numbers a code's candidates from its count down: known
            // ahead, a run without weights can be written piece by piece.
            countRuns_ = !same_ && out_.format == Format::Ibus;
            if (surveying_) {
                Announce(settings_, "surveying the table");
                return;
            }
        }
        beginWriting();
    }

    bool line(PassLine& l) override {
        if (!resolved_) return true;
        if (wholeTableNeeded_) return false;
        // Words the encoding can't hold: the first fails, or they are left
        // out (listed once, in the pass that writes).
        bool lessened = false;
        if (l.kind == Kind::Entry && lacks_) {
            auto& entries = *l.entries;
            std::size_t kept = 0;
            for (std::size_t k = 0; k < entries.size(); ++k) {
                bool gone = false;
                if (surveying_ || !failures_.allows(kUnencodable)) {
                    gone = FindUnencodable(entries[k], found_);
                } else {
                    try {
                        gone = CheckEncodable(entries[k], l.number, out_, found_);
                    } catch (const Failure& f) {
                        failures_.record(kUnencodable, f.what());
                    }
                }
                if (!gone) {
                    if (kept != k) entries[kept] = std::move(entries[k]);
                    ++kept;
                }
            }
            lessened = kept != entries.size();
            entries.resize(kept);
        }
        if (surveying_) {
            if (l.kind != Kind::Entry) return true;
            bool newRun;
            for (const auto& e : *l.entries) {
                if (countRuns_) {
                    if (runSizes_.empty() || e.code != surveyCode_) {
                        runSizes_.push_back(0);
                        runWeighted_.push_back(false);
                        surveyCode_ = e.code;
                    }
                    ++runSizes_.back();
                    if (e.weight) runWeighted_.back() = true;
                }
                if (needKeys_) facts_.add(e);
                if (needOrder_ && !order_.next(e.code, newRun)) {
                    wholeTableNeeded_ = true;
                    return false;
                }
            }
            return true;
        }
        if (same_) {
            if (l.first && !l.last && l.kind == Kind::Entry) {
                partedRewrite_ = rewrite_->rewrites(l.kind, l.text);
                if (!partedRewrite_ && lacks_) {
                    // A plain line read in parts loses words only when its text
                    // holds a character the encoding lacks (each is in a token).
                    TableEntry whole;
                    whole.word.assign(l.text);
                    partedRewrite_ = FindUnencodable(whole, found_);
                }
            }
            if (partedRewrite_ && !(l.first && l.last) && l.kind == Kind::Entry) {
                // Such a line is written back part by part as CanonicalLine
                // writes what is left of it.
                if (l.last) partedRewrite_ = false;
                failures_.attempt(kCanonical, [&] {
                    chunk_.clear();
                    try {
                        if (l.first && !l.entries->empty()) AppendPlainCode(chunk_, l.entries->front().code);
                        for (std::size_t k = 0; k < l.entries->size(); ++k) {
                            chunk_ += ' ';
                            AppendPlainToken(chunk_, (*l.entries)[k].word, "The word",
                                             k + 1 < l.entries->size() || !l.last);
                        }
                    } catch (const RefusedEntry& f) {
                        throw Failure(InputLineWhere(out_, l.number) + f.what());
                    }
                    emit(chunk_);
                    if (l.last) emit(l.lineBreak);
                });
                return true;
            }
            if (!l.first) return true;  // the text went with the first part
            if (rewrite_->drops(l.kind, l.text)) return true;
            if (lessened || rewrite_->rewrites(l.kind, l.text)) {
                failures_.attempt(kCanonical, [&] {
                    chunk_.clear();
                    try {
                        rewrite_->appendRewritten(chunk_, reader_->layout(), l.entries->data(), l.entries->size(),
                                                  l.lineBreak, l.text);
                    } catch (const RefusedEntry& f) {
                        throw Failure(InputLineWhere(out_, l.number) + f.what());
                    }
                    if (!chunk_.empty()) emit(chunk_);
                });
                return true;
            }
            emit(l.text);
            emit(l.lineBreak);
            return true;
        }
        if (l.kind == Kind::Extra) ++dropped_;
        if (l.kind == Kind::Entry && failures_.allows(kCanonical)) {
            std::vector<TableEntry>& entries = *l.entries;
            // A line of one code that begins a run is taken whole, not copied
            // entry by entry beside itself (a line may hold millions).
            if (!entries.empty() && (run_.empty() || run_.back().code != entries.front().code)) {
                const std::string& code = entries.front().code;
                if (std::all_of(entries.begin(), entries.end(), [&](const TableEntry& e) { return e.code == code; })) {
                    if (!run_.empty() || code != pieceCode_) flushRun(true);
                    run_.swap(entries);
                    entries.clear();
                    runLines_.assign(run_.size(), l.number);
                    if (byPosition()) runPositions_.assign(run_.size(), reader_->position());
                    if (run_.size() >= settings_.partEntries && writesRunInPieces()) flushRun(false);
                    return true;
                }
            }
            for (auto& e : entries) {
                if ((!run_.empty() && e.code != run_.back().code) || (run_.empty() && e.code != pieceCode_))
                    flushRun(true);
                run_.push_back(std::move(e));
                runLines_.push_back(l.number);
                if (byPosition()) runPositions_.push_back(reader_->position());
            }
            // A run whose lines depend on its entries alone may be written as it comes.
            if (run_.size() >= settings_.partEntries && writesRunInPieces()) flushRun(false);
        }
        return true;
    }

    void finish() override {
        if (resolved_ && surveying_) {
            // The header is read: its engine settings go into the new one. A
            // code's candidates sorted by weight have falling weights.
            CarryEngineSettings(out_, reader_->layout());
            if (reader_->layout().byWeight) facts_.weightsDescend = true;
        }
        if (!resolved_ || surveying_ || wholeTableNeeded_) return;
        if (!same_) {
            flushRun(true);
            emit(FreshFooter(out_.format));
        }
        failures_.attempt(kEncode, [&] { encoder_->finish(); });
    }

    // After a survey: the next pass writes.
    bool surveyed() const { return surveying_; }
    bool wholeTableNeeded() const { return wholeTableNeeded_; }
    void writeNext() { surveying_ = false; }
    std::size_t dropped() const { return dropped_; }
    std::size_t entriesAtOnce() const { return entriesAtOnce_; }
    const WriteOptions& output() const { return out_; }

private:
    void beginWriting() {
        Announce(settings_, "converting");
        encoder_.emplace(
            out_.encoding, out_.bom, out_.textEncoding,
            [this](std::string_view bytes) { failures_.attempt(kSink, [&] { sink_.write(bytes); }); },
            settings_.pieceSize);
        if (same_) {
            rewrite_.emplace(format_, opening_.encoding, out_.encoding);
            if (!rewrite_->opening().empty()) emit(rewrite_->opening());
            return;
        }
        layout_ = TableLayout();
        emit(FreshHeader(facts_, out_, layout_));
    }

    void emit(std::string_view text) {
        failures_.attempt(kEncode, [&] { encoder_->append(text); });
    }

    // Whether a run can be written a part at a time: not when its candidates
    // are ordered by weight, nor into ibus when they carry weights (the
    // frequencies are made from the whole run's). A run written on one line
    // (plain, yong) is written in parts of that line.
    bool writesRunInPieces() const {
        const Format f = out_.format;
        if (reader_->layout().byWeight || byPosition()) return false;
        if (f != Format::Ibus) return true;
        const std::size_t run = continuesRun() ? runIndex_ - 1 : runIndex_;
        return countRuns_ && run < runWeighted_.size() && !runWeighted_[run];
    }

    // Whether run_ goes on the run whose piece was written last.
    bool continuesRun() const { return runIndex_ > 0 && !run_.empty() && run_.front().code == pieceCode_; }

    bool grouped() const { return out_.format == Format::Plain || out_.format == Format::Yong; }

    bool byPosition() const { return reader_->layout().byPosition; }

    // The run's entries (and their lines) put in a stable order by `before`
    // over their indexes.
    template <typename Before>
    void orderRun(Before&& before) {
        CheckLimit(run_.size(), "candidates of one code", kMaxUint32);
        candidates_.resize(run_.size());
        for (std::size_t i = 0; i < candidates_.size(); ++i) candidates_[i] = static_cast<std::uint32_t>(i);
        std::stable_sort(candidates_.begin(), candidates_.end(), before);
        sorted_.clear();
        sortedLines_.clear();
        for (std::uint32_t i : candidates_) {
            sorted_.push_back(std::move(run_[i]));
            sortedLines_.push_back(runLines_[i]);
        }
        run_.swap(sorted_);
        runLines_.swap(sortedLines_);
    }

    // The entries of one code, in candidate order, or a part of them
    // (`runEnds` false: more may follow). A line of a grouped format left
    // open by a part gets its break when its run ends.
    void flushRun(bool runEnds) {
        if (lineOpen_ && (run_.empty() || !continuesRun())) {
            emit(FreshLineBreak(out_.format));
            lineOpen_ = false;
        }
        if (run_.empty()) return;
        if (reader_->layout().byWeight && run_.size() > 1) {
            // As ReadTable orders a code's candidates: by weight, highest first, ties in file order.
            weights_.clear();
            for (const auto& e : run_) weights_.push_back(e.weight ? std::strtod(e.weight->c_str(), nullptr) : 0.0);
            orderRun([&](std::uint32_t x, std::uint32_t y) { return weights_[x] > weights_[y]; });
        }
        if (byPosition() && run_.size() > 1) {
            // As ReadTable orders them: by position, lowest first, ties in file order.
            orderRun([&](std::uint32_t x, std::uint32_t y) { return runPositions_[x] < runPositions_[y]; });
        }
        runPositions_.clear();
        entriesAtOnce_ = std::max(entriesAtOnce_, run_.size());
        const bool continues = continuesRun();
        if (!continues) {
            ++runIndex_;
            pieceCode_ = run_.front().code;
            positionsWritten_ = 0;
            runLeft_ = countRuns_ && runIndex_ <= runSizes_.size() ? runSizes_[runIndex_ - 1] : 0;
        }
        // The survey's count of this run's entries numbers its pieces; a whole
        // run is numbered from its own size, as the whole-file path does.
        const bool numbered = countRuns_ && runLeft_ >= run_.size() && !runWeighted_[runIndex_ - 1];
        failures_.attempt(kCanonical, [&] {
            chunk_.clear();
            if (grouped() && (continues || !runEnds)) {
                // A part of one line: the code only before the first part.
                try {
                    // Whether a word follows a part's last one is known with the next part.
                    if (continues && !openWord_.empty()) {
                        try {
                            AppendPlainToken(chunk_, openWord_, "The word", true);
                        } catch (const RefusedEntry& f) {
                            throw Failure(InputLineWhere(out_, openWordLine_) + f.what());
                        }
                    }
                    chunk_ = continues ? CanonicalLineTail(out_.format, layout_, run_.data(), run_.size())
                                       : CanonicalLine(out_.format, layout_, run_.data(), run_.size());
                } catch (const RefusedEntry& f) {
                    throw Failure(InputLineWhere(out_, runLines_[f.entry()]) + f.what());
                }
                const std::string& last = run_.back().word;
                openWord_.assign(out_.format == Format::Plain && EndsInLoneLeadByte(last) ? last : std::string());
                openWordLine_ = runLines_.back();
                if (runEnds) chunk_ += FreshLineBreak(out_.format);
                lineOpen_ = !runEnds;
            } else {
                openWord_.clear();
                AppendFreshRun(chunk_, run_.data(), run_.size(), out_, layout_, lineAt_, 0, numbered ? runLeft_ : 0,
                               positionsWritten_);
            }
            emit(chunk_);
        });
        runLeft_ = runLeft_ >= run_.size() ? runLeft_ - run_.size() : 0;
        positionsWritten_ += run_.size();
        run_.clear();
        runLines_.clear();
    }

    ByteSink& sink_;
    FirstFailure& failures_;
    const Opening& opening_;
    const std::function<WriteOptions(const InputFacts&)>& resolve_;
    const StreamSettings& settings_;
    Format format_ = Format::Plain;
    const LineReader* reader_ = nullptr;
    WriteOptions out_;
    bool resolved_ = false, same_ = false, needKeys_ = false, needOrder_ = false, surveying_ = false;
    bool wholeTableNeeded_ = false, lacks_ = false, partedRewrite_ = false;
    std::optional<OwnFormatRewrite> rewrite_;  // into the same format
    SkippedWord found_;
    HeaderFacts facts_;
    RunOrder order_;
    std::optional<StreamEncoder> encoder_;
    TableLayout layout_;
    std::size_t dropped_ = 0;
    std::vector<TableEntry> run_, sorted_;
    std::vector<std::size_t> runLines_, sortedLines_;  // the input line of each entry of run_
    std::vector<std::uint32_t> runPositions_;          // and its position, when the input has them
    std::size_t positionsWritten_ = 0;                 // of the run being written, by earlier pieces
    const std::function<std::size_t(std::size_t)> lineAt_ = [this](std::size_t k) { return runLines_[k]; };
    // ibus output: each run's entry count and whether any has a weight, from
    // the survey; the run being written and its entries not yet written.
    bool countRuns_ = false, lineOpen_ = false;
    std::string surveyCode_, pieceCode_;
    std::vector<std::size_t> runSizes_;
    std::vector<bool> runWeighted_;
    std::size_t runIndex_ = 0, runLeft_ = 0, entriesAtOnce_ = 0;
    std::vector<double> weights_;
    std::vector<std::uint32_t> candidates_;
    std::string chunk_;
    std::string openWord_;          // plain: the last word of the part written last, when it ends in a lone lead byte
    std::size_t openWordLine_ = 0;  // its input line
};

// Hands each data line's entries on.
class EntryReader final : public Consumer {
public:
    explicit EntryReader(const std::function<void(std::size_t, const std::vector<TableEntry>&)>& onEntries)
        : onEntries_(onEntries) {}
    void start(Format format, const LineReader&) override { format_ = format; }
    bool line(PassLine& l) override {
        if (l.kind == Kind::Entry) onEntries_(l.number, *l.entries);
        return true;
    }
    void finish() override {}
    Format format() const { return format_; }

private:
    const std::function<void(std::size_t, const std::vector<TableEntry>&)>& onEntries_;
    Format format_ = Format::Plain;
};

// Shows every entry to a check that learns from the whole table first.
class Surveyor final : public Consumer {
public:
    explicit Surveyor(EntryCheck& check) : check_(check) {}
    void start(Format, const LineReader&) override {}
    bool line(PassLine& l) override {
        if (l.kind == Kind::Entry)
            for (const auto& e : *l.entries) check_.survey(e);
        return true;
    }
    void finish() override {}

private:
    EntryCheck& check_;
};

class Checker final : public Consumer {
public:
    Checker(ProblemSink& sink, Encoding encoding, bool everyPair, EntryCheck* more)
        : sink_(sink), encoding_(encoding), everyPair_(everyPair), more_(more) {
        report_ = [this](std::size_t line, std::string message) {
            ++problems_;
            sink_.report({line, std::move(message)});
        };
    }

    void start(Format format, const LineReader& reader) override {
        format_ = format;
        reader_ = &reader;
    }

    bool line(PassLine& l) override {
        if (!l.problem.empty()) report_(l.number, std::string(l.problem));
        const std::vector<TableEntry>& entries = *l.entries;
        std::size_t count = 0;
        if (l.kind == Kind::Entry) {
            // The layout is final by the first data line.
            if (more_ && !headerGiven_) {
                more_->header(reader_->layout());
                headerGiven_ = true;
            }
            count = entries.size();
            entries_ += count;
            entriesAtOnce_ = std::max(entriesAtOnce_, count);
            bool newRun = false;
            for (const auto& e : entries) {
                bool begins = false;
                if (!everyPair_ && !order_.next(e.code, begins)) {
                    restartNeeded_ = true;
                    return false;
                }
                newRun = newRun || begins;
            }
            // A code that began a run was never met before: the pairs of the
            // codes before it can't come again.
            if (newRun && !everyPair_) {
                if (seen_.bucket_count() > 1024)
                    seen_ = {};
                else
                    seen_.clear();
            }
        }
        if (l.first && l.last) {
            CheckLine(format_, reader_->layout(), encoding_, l.number - 1, l.text, l.kind, entries.data(), count, seen_,
                      report_);
            if (more_ && l.kind == Kind::Entry) {
                findings_.clear();
                more_->check(entries.data(), count, findings_);
                for (auto& f : findings_) report_(l.number, std::move(f));
            }
        } else {
            parted_.part(l.number - 1, l.text, entries.data(), count, l.first, l.last, seen_, report_);
            // The whole check reports a line's further findings after its
            // own: they wait for the line's last part.
            if (more_ && l.kind == Kind::Entry) more_->check(entries.data(), count, findings_);
            if (l.last) {
                for (auto& f : findings_) report_(l.number, std::move(f));
                findings_.clear();
            }
        }
        return true;
    }

    void finish() override {
        if (more_ && !headerGiven_ && reader_) more_->header(reader_->layout());
    }

    bool restartNeeded() const { return restartNeeded_; }
    Format format() const { return format_; }
    std::size_t entries() const { return entries_; }
    std::size_t problems() const { return problems_; }
    std::size_t entriesAtOnce() const { return entriesAtOnce_; }

private:
    ProblemSink& sink_;
    Encoding encoding_;
    bool everyPair_;
    EntryCheck* more_;
    std::vector<std::string> findings_;
    std::function<void(std::size_t, std::string)> report_;
    Format format_ = Format::Plain;
    const LineReader* reader_ = nullptr;
    RunOrder order_;
    std::unordered_map<std::string, std::size_t> seen_;
    PlainLineCheck parted_{encoding_};
    std::size_t entries_ = 0, problems_ = 0, entriesAtOnce_ = 0;
    bool restartNeeded_ = false;
    bool headerGiven_ = false;
};

}  // namespace

StreamConversion ConvertTableStream(ByteSource& in, ByteSink& out, Encoding encoding, Format format,
                                    const std::function<WriteOptions(const InputFacts&)>& resolve,
                                    const StreamSettings& settings) {
    StreamConversion result;
    if (MsPhraseSource(in, format)) return result;  // binary: read whole
    const Opening opening = Open(in, encoding, settings);
    FirstFailure failures;
    Converter converter(out, failures, opening, resolve, settings);
    bool whole = !Pass(in, opening, format, converter, failures, settings).run();
    // Stopped by the survey, or into a Windows phrase file, written whole.
    if (whole || converter.wholeTableNeeded()) return result;
    failures.raise();
    if (converter.surveyed()) {
        converter.writeNext();
        Pass(in, opening, format, converter, failures, settings).run();
        failures.raise();
    }
    result.streamed = true;
    result.droppedLines = converter.dropped();
    result.entriesAtOnce = converter.entriesAtOnce();
    result.write = converter.output();
    return result;
}

InputFacts ReadEntriesStream(ByteSource& in, Encoding encoding, Format format,
                             const std::function<void(std::size_t, const std::vector<TableEntry>&)>& onEntries,
                             const StreamSettings& settings) {
    if (MsPhraseSource(in, format)) {
        Announce(settings, "reading");
        const TableDocument doc = ReadMsPhraseDocument(ReadAll(in), encoding);
        std::vector<TableEntry> one(1);
        for (std::size_t i = 0; i < doc.lines.size(); ++i) {
            one[0] = doc.entries[doc.lines[i].firstEntry];
            onEntries(i + 1, one);
        }
        return {doc.encoding, false, doc.format};
    }
    const Opening opening = Open(in, encoding, settings);
    FirstFailure failures;
    EntryReader reader(onEntries);
    Announce(settings, "reading");
    Pass(in, opening, format, reader, failures, settings).run();
    failures.raise();
    return {opening.encoding, opening.hadBom, reader.format()};
}

StreamCheck CheckTableStream(ByteSource& in, ProblemSink& sink, Encoding encoding, Format format,
                             const StreamSettings& settings, EntryCheck* more) {
    if (MsPhraseSource(in, format)) {
        Announce(settings, "checking");
        const TableDocument doc = ReadMsPhraseDocument(ReadAll(in), encoding);
        StreamCheck result;
        for (const TableProblem& p : CheckTable(doc, more)) {
            sink.report(p);
            ++result.problems;
        }
        result.input = {doc.encoding, false, doc.format, false};
        result.entries = doc.entries.size();
        result.entriesAtOnce = doc.entries.size();
        return result;
    }
    const Opening opening = Open(in, encoding, settings);
    if (more && more->surveys()) {
        // A failure here is met again, in its place, by the checking pass.
        FirstFailure failures;
        Surveyor surveyor(*more);
        Announce(settings, "surveying the table");
        Pass(in, opening, format, surveyor, failures, settings).run();
    }
    for (bool everyPair : {false, true}) {
        FirstFailure failures;
        if (more) more->begin();
        Checker checker(sink, opening.encoding, everyPair, more);
        Announce(settings, "checking");
        if (!Pass(in, opening, format, checker, failures, settings).run()) {
            sink.restart();
            continue;
        }
        failures.raise();
        StreamCheck result;
        result.input = {opening.encoding, opening.hadBom, checker.format(), opening.closeCall};
        result.entries = checker.entries();
        result.problems = checker.problems();
        result.entriesAtOnce = checker.entriesAtOnce();
        return result;
    }
    throw Failure("The check could not be completed");  // the second pass keeps every pair and never stops
}

}  // namespace zelmora::formats

#pragma once
// Internal to formats/ (and its tests): what the whole-file writer and the
// streamed conversion share, so that both write every line the same way:
// fresh headers and runs, and the words an output encoding lacks.
#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/failure.h"
#include "formats/document.h"
#include "formats/phrase_rules.h"
#include "formats/writing.h"

namespace zelmora::formats {

// ---- Writing a fresh file ----

// What a fresh header says about the entries: the characters of the codes,
// the longest code, whether entries have weights or stems.
struct HeaderFacts {
    bool ascii[128] = {};
    std::set<std::string> others;
    std::size_t maxLength = 0;
    bool weights = false, stems = false;
    // Whether the weights, in candidate order, never rise within a code.
    bool weightsDescend = true;
    void add(const TableEntry& e);
    std::string keys() const;  // each key character once, in byte order

private:
    std::string lastCode_;
    double lastWeight_ = 0;
};

// The fresh header of the format (GB18030), and the layout of its data lines.
std::string FreshHeader(const HeaderFacts& facts, const WriteOptions& o, TableLayout& layout);
// The data lines of entries that share a code, in candidate order. A refusal
// names the input line of the entry refused: `lineAt(at + k)` is run[k]'s
// (1-based; `lineAt` empty, or 0: unknown, and the message names no line).
// `unweightedLeft`, for ibus: the run is a piece of a longer run without
// weights, of which this many entries (this piece's included) are unwritten;
// 0 when the run is whole. `positionsBefore`, for formats with positions:
// how many of the code's candidates earlier pieces wrote.
void AppendFreshRun(std::string& out, const TableEntry* run, std::size_t count, const WriteOptions& o,
                    const TableLayout& layout, const std::function<std::size_t(std::size_t)>& lineAt, std::size_t at,
                    std::size_t unweightedLeft = 0, std::size_t positionsBefore = 0);
// The line break AppendFreshRun ends lines with.
std::string_view FreshLineBreak(Format format);
// For plain and yong, whose line holds a code's words: what CanonicalLine
// gives after the code (" word word …"), to go on a line a part at a time.
// Whether a word follows the part's last one is the caller's to tell
// (AppendPlainToken).
std::string CanonicalLineTail(Format format, const TableLayout& layout, const TableEntry* entries, std::size_t count);
// What follows the last data line.
std::string_view FreshFooter(Format format);

// The phrase rules a fresh header gives: the source's, or Wubi-86's when it has none.
const std::vector<PhraseRule>& FreshRules(const WriteOptions& o);

// Whether s holds any of the bytes.
bool HasAny(std::string_view s, std::string_view bytes);

// A line writer's refusal of one of the entries it was given: `entry()` is
// its index among them, so that the message can name the entry's input line.
class RefusedEntry : public Failure {
public:
    RefusedEntry(const std::string& message, std::size_t entry) : Failure(message), entry_(entry) {}
    std::size_t entry() const { return entry_; }

private:
    std::size_t entry_;
};
// The failure for a code, word or value (`what`) of the entry `entry` that a
// line of the format can't hold, and why.
[[noreturn]] void CannotWrite(std::string_view what, std::string_view text, const char* why, Format format,
                              std::size_t entry = 0);
// How a message names input line `line` (1-based) of `o.inputName`:
// `"name", line 3: `, or `Line 3: ` without a name; nothing for line 0.
std::string InputLineWhere(const WriteOptions& o, std::size_t line);

// A code or word (`what`: "The code", "The word") as a token of a plain line,
// as AppendToken writes it. Fails when it holds a line break (the line would
// end there), or ends in a lone lead byte and is quoted or `followed` by
// another token: that byte would take the closing quote or the blank after it
// into its character.
void AppendPlainToken(std::string& out, std::string_view token, const char* what, bool followed);
// The code as the first token of a plain line: AppendPlainToken, quoted even
// where it needs no quotes when the line would otherwise look like a header
// line of another format ("ab:", "name=x", "KeyCode=x"): recognition takes
// the first line that shows a format, and the plain reader unquotes codes.
void AppendPlainCode(std::string& out, std::string_view code);

// ---- Each format's own, for the above ----

// The line CanonicalLine writes for entries (at least one) of the format; a
// format with one entry a line writes the first.
std::string PlainLine(const TableEntry* entries, std::size_t count);
std::string RimeLine(const TableLayout& layout, const TableEntry& e);
std::string LibimeLine(Format format, const TableLayout& layout, const TableEntry& e);  // libime or fcitx4
std::string IbusLine(const TableEntry& e);
std::string YongLine(const TableEntry* entries, std::size_t count);
std::string DuoduoLine(const TableEntry& e);
std::string BinglingLine(const TableEntry& e);
// The line of a format with positions (sogou, baidu, jisu) for the entry at
// candidate `position` (1-based) of its code.
std::string PhraseLine(Format format, const TableEntry& e, std::size_t position);  // sogou or baidu
std::string JisuLine(const TableEntry& e, std::size_t position);
std::string PositionedLine(Format format, const TableEntry& e, std::size_t position);

// The fresh header FreshHeader gives for the format (`o.format`).
std::string RimeFreshHeader(const HeaderFacts& facts, const WriteOptions& o, TableLayout& layout);
std::string LibimeFreshHeader(const HeaderFacts& facts, const WriteOptions& o, TableLayout& layout);
std::string IbusFreshHeader(const HeaderFacts& facts, const WriteOptions& o);
std::string YongFreshHeader(const HeaderFacts& facts, const WriteOptions& o);
std::string BinglingFreshHeader();

// The frequencies of an ibus run, in candidate order (see AppendFreshRun for
// `unweightedLeft`).
void IbusFrequencies(const TableEntry* run, std::size_t count, std::size_t unweightedLeft,
                     std::vector<std::string>& out);

// ---- Writing a table back ----

// A table written back in its own format, whole (WriteTable) or streamed:
// every line comes back as it was read, except
// - yong recoded between GB18030 and UTF-8 (yong reads GB18030 unless its
//   header says "encode=UTF-8"): the header's own "encode=" line goes and,
//   into UTF-8, a new one comes first;
// - a data line whose entries are no longer those its text gives (words the
//   encoding lacks left out, entries changed): written afresh from them, or
//   gone when none is left (a table with positions is then written afresh
//   whole, numbered again, as a gap would be left);
// - a plain line that looks like a header line of another format (read so
//   because the format was given): written afresh, its code quoted, so that
//   the table is recognised as plain.
class OwnFormatRewrite {
public:
    OwnFormatRewrite(Format format, Encoding from, Encoding to);
    // What comes before the first line.
    std::string_view opening() const;
    // Whether the line goes.
    bool drops(TableLine::Kind kind, std::string_view text) const;
    // Whether the line, its entries unchanged, is written afresh.
    bool rewrites(TableLine::Kind kind, std::string_view text) const;
    // The data line written afresh from its entries now, with its line break;
    // nothing when no entry is left. Fails as CanonicalLine does. A line of
    // a format with positions keeps the position its `text` gave: a code's
    // candidates stand by position, so the k-th of them now takes the place
    // the k-th line had.
    void appendRewritten(std::string& out, const TableLayout& layout, const TableEntry* entries, std::size_t count,
                         std::string_view lineBreak, std::string_view text) const;

private:
    Format format_;
    bool yongRecoded_ = false, intoUtf8_ = false;
};

// A table written into another format: the fresh header carries the source's
// phrase rules and keys, unless the options give their own.
void CarryEngineSettings(WriteOptions& o, const TableLayout& source);

// ---- Characters an output encoding lacks ----

// Whether writing text of `textEncoding` in `encoding` can meet a character
// the encoding lacks (GBK lacks GB18030's four-byte characters).
bool CanLack(Encoding encoding, TextEncoding textEncoding);
// The first such character of an entry's code or word: false when none.
bool FindUnencodable(const TableEntry& e, SkippedWord& found);
// The failure for it, naming the input and its line.
[[noreturn]] void FailUnencodable(const SkippedWord& w, const WriteOptions& o);
// A SkippedWord for line `line` (1-based), when the entry is unencodable.
bool CheckEncodable(const TableEntry& e, std::size_t line, const WriteOptions& o, SkippedWord& out);

}  // namespace zelmora::formats

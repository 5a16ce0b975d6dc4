#pragma once
// Helpers shared by the readers, the writers and the checks of table formats,
// whole-file and streamed alike, so that both read and write every line the
// same way.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/text.h"
#include "formats/table_io.h"

namespace zelmora::formats {

// GB18030 bytes of a UTF-8 literal (keywords such as "[数据]"), and back.
std::string Gb(std::string_view utf8);
std::string Utf8Of(std::string_view gb18030);
// Utf8Of for a message: a long text cut to its first 100 characters, "…" and its length.
std::string Utf8Shown(std::string_view gb18030);

bool IsSpaceOrTab(char c);
bool StartsWith(std::string_view s, std::string_view prefix);

// A code or word (`what`: "The code", "The word") as a token of a plain line,
// as AppendToken writes it. Fails when it ends in a lone lead byte and is
// quoted or `followed` by another token: that byte would take the closing
// quote or the blank after it into its character.
void AppendPlainToken(std::string& out, std::string_view token, const char* what, bool followed);

// Bytes as "0xAB 0xCD", for messages about undecodable text.
std::string Hex(std::string_view bytes);

// The encoding a byte-order mark at the start of `head` names, if any.
std::optional<Encoding> EncodingByBom(std::string_view head);
// The length of that encoding's byte-order mark (0 for GBK).
std::size_t BomLength(Encoding encoding);
// UTF-16 recognised without a byte-order mark, by where its zero bytes stand
// in the first kUtf16Evidence bytes.
inline constexpr std::size_t kUtf16Evidence = 1 << 16;
std::optional<Encoding> Utf16ByZeros(std::string_view bytes);

// The entries a line of a data section gives, as the reader reads them;
// false when the line is no code-word line of that format.
bool ParseEntryLine(Format format, const TableLayout& layout, std::string_view line, std::vector<TableEntry>& out);

// ---- Reading, line by line ----

// The format the first lines of a file show: the first line that is neither
// blank nor a '#' comment decides (nullopt: this line decides nothing).
// Only the first kDetectionLines lines are looked at; without a deciding
// line the table is plain.
inline constexpr std::size_t kDetectionLines = 400;
std::optional<Format> FormatShownBy(std::string_view line);
// Fails when the given format is not the one the header shows (line: 1-based).
void CheckGivenFormat(Format given, Format shown, std::size_t line, std::string_view text);

// Reads a table's lines one after another, knowing its format: what each
// line is, the entries of data lines, and the layout the header gives.
class LineReader {
public:
    explicit LineReader(Format format);
    // The kind of the next line. Fills `entries` for an Entry line and sets
    // `problem` (UTF-8) to what is wrong with the line, empty when nothing.
    TableLine::Kind read(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    // After the last line: fails when the file ended before the header or
    // the data section the format needs.
    void finish();
    // Final once the first data line has been read.
    const TableLayout& layout() const { return layout_; }
    Format format() const { return format_; }
    // A plain Entry line that the caller reads itself, in parts.
    void passOver() { ++index_; }

private:
    TableLine::Kind readRime(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    void readRimeHeaderLine(std::string_view text);
    void readEngineSetting(std::string_view text);
    TableLine::Kind readLibime(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    TableLine::Kind readIbus(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    TableLine::Kind readYong(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    TableLine::Kind data(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);

    Format format_;
    TableLayout layout_;
    std::size_t index_ = 0;  // of the line being read, 0-based
    int phase_ = 0;          // where in the file: header, data, ... (per format)
    // Rime: the first "---" line, whether '#' lines are comments, the columns named so far.
    std::size_t rimeStart_ = SIZE_MAX;
    bool comments_ = true, collectingColumns_ = false;
    std::vector<std::string> columns_;
    bool inEncoder_ = false;  // Rime: within the "encoder:" block
    PhraseRule pendingRule_;  // Rime: a rule whose formula is to come
    bool inRules_ = false;    // ibus: within BEGIN_RULES
    // ibus: whether a table was begun, and where the open one began.
    bool sawTable_ = false;
    std::size_t tableStart_ = 0;
};

// ---- Checking, line by line ----

// The code points of GB18030 (or, with Gbk, GBK) text; bytes that are no
// character are passed over.
void DecodeCodePoints(std::string_view text, TextEncoding textEncoding, std::vector<char32_t>& out);

// Offset of the first bytes that are no character of GBK (or GB18030), or npos.
std::size_t FirstBadCharacter(std::string_view s, bool gb18030, std::size_t& width);

// The findings of the check on one line (index 0-based) of a table read in
// `encoding`, reported through `report` in the order the check gives them.
// `seen` maps code, 0x01, word to the line a pair was first met on.
void CheckLine(Format format, const TableLayout& layout, Encoding encoding, std::size_t index, std::string_view text,
               TableLine::Kind kind, const TableEntry* entries, std::size_t count,
               std::unordered_map<std::string, std::size_t>& seen,
               const std::function<void(std::size_t, std::string)>& report);

// CheckLine for an Entry line of a plain table whose entries come in parts
// (a line of millions of words): the same findings in the same order, with
// memory for one part at a time.
class PlainLineCheck {
public:
    explicit PlainLineCheck(Encoding encoding) : encoding_(encoding) {}
    void part(std::size_t index, std::string_view text, const TableEntry* entries, std::size_t count, bool first,
              bool last, std::unordered_map<std::string, std::size_t>& seen,
              const std::function<void(std::size_t, std::string)>& report);

private:
    Encoding encoding_;
    std::string lastCode_, again_;
    std::string refused_;  // why the line can't be written back, once known
};

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

// Phrase rules read from the syntax of libime and fcitx4 ("e2=p11+p12+p21+p22"),
// of ibus-table ("ce2:p11+p12+p21+p22", several joined by ';') and of
// Rime's formula ("AaAbBaBb" for a length); false when not a rule.
bool ParseLibimeRule(std::string_view line, PhraseRule& rule);
bool ParseIbusRules(std::string_view text, std::vector<PhraseRule>& rules);
bool ParseRimeFormula(std::string_view formula, PhraseRule& rule);
// A UUID (version 5) made from a table name: the same name, the same UUID.
std::string NameUuid(std::string_view name);
// The fresh header of the format (GB18030), and the layout of its data lines.
std::string FreshHeader(const HeaderFacts& facts, const WriteOptions& o, TableLayout& layout);
// The data lines of entries that share a code, in candidate order. `line`
// counts the lines written so far, for the message of a failure.
// `unweightedLeft`, for ibus: the run is a piece of a longer run without
// weights, of which this many entries (this piece's included) are unwritten;
// 0 when the run is whole.
void AppendFreshRun(std::string& out, const TableEntry* run, std::size_t count, const WriteOptions& o,
                    const TableLayout& layout, std::size_t& line, std::size_t unweightedLeft = 0);
// The line break AppendFreshRun ends lines with.
std::string_view FreshLineBreak(Format format);
// For plain and yong, whose line holds a code's words: what CanonicalLine
// gives after the code (" word word …"), to go on a line a part at a time.
// Whether a word follows the part's last one is the caller's to tell
// (AppendPlainToken).
std::string CanonicalLineTail(Format format, const TableLayout& layout, const TableEntry* entries, std::size_t count);
// What follows the last data line.
std::string_view FreshFooter(Format format);

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

// ---- Encodings, block by block ----

// EncodeText for a piece of a text that begins on line `firstLine` of the
// whole: failures name the line of the whole text.
// The conversions through ICU run on pieces of at most this many characters
// (bytes of GB18030 text, code units of UTF-16), so that no length handed to
// ICU nears its 32-bit limit however large the table.
inline constexpr std::size_t kConversionPiece = std::size_t(1) << 24;
std::string EncodeTextFrom(std::string_view text, Encoding encoding, bool bom, TextEncoding textEncoding,
                           std::size_t firstLine, std::size_t piece = kConversionPiece);
// DecodeText with the pieces' size given (tests give a small one).
DecodedText DecodeTextInPieces(std::string_view bytes, Encoding encoding, std::size_t piece);

// Whether the bytes of a file without a byte-order mark are UTF-8, fed block
// by block: Valid until an invalid sequence, which makes them GB18030.
class Utf8Scan {
public:
    // False once the bytes are known not to be UTF-8.
    bool feed(std::string_view bytes);
    // At the end: fails when the file ends inside a UTF-8 character.
    bool finish();

private:
    // Walks s; unless `last`, a sequence without all its bytes waits in carry_.
    bool scan(std::string_view s, bool last);
    std::string carry_;
    std::size_t line_ = 1;
    bool cr_ = false;
    bool invalid_ = false;
};

// Which of UTF-8 and GBK bytes that are valid UTF-8 are: each decoding is
// scored by how much of its text is Chinese (ideographs and punctuation)
// against other characters; GBK must win outright. Fed block by block.
class EncodingEvidence {
public:
    void feed(std::string_view bytes, bool last);
    // Utf8 or Gb18030; `closeCall` when the evidence is thin.
    Encoding verdict(bool& closeCall) const;

private:
    std::string carryU_, carryG_;
    std::size_t utf8Chinese_ = 0, utf8Other_ = 0, gbkChinese_ = 0, gbkOther_ = 0;
    bool gbkInvalid_ = false;
};

// The encoding DecodeText with Auto takes for bytes without a byte-order mark.
Encoding DetectedEncoding(std::string_view bytes);

// DecodeText block by block: the same GB18030 text, and the same failures,
// as decoding the whole file at once. The byte-order mark is left to the caller.
class StreamDecoder {
public:
    explicit StreamDecoder(Encoding encoding);
    // Appends the text of `bytes` to `out`; with `last`, the file ends there.
    void feed(std::string_view bytes, bool last, std::string& out);

private:
    void utf8(std::string_view s, bool last);
    void utf16(std::string_view s, bool last);
    Encoding encoding_;
    std::string carry_;
    std::u16string units_;
    std::size_t line_ = 1;
    bool cr_ = false;    // UTF-8: the last byte was a CR
    char16_t last_ = 0;  // UTF-16: the last unit
};

// EncodeText block by block: text appended in pieces comes out in pieces
// whose concatenation is EncodeText of the whole text, and a failure names
// the same line. The text is cut only after a line break the character walk
// of the whole text reaches, so every piece is read as the whole would be.
class StreamEncoder {
public:
    StreamEncoder(Encoding encoding, bool bom, TextEncoding textEncoding, std::function<void(std::string_view)> sink,
                  std::size_t pieceSize = std::size_t(1) << 18);
    void append(std::string_view text);
    void finish();

private:
    void walk();
    void emit(std::size_t end);
    Encoding encoding_;
    TextEncoding textEncoding_;
    bool bom_;
    std::function<void(std::string_view)> sink_;
    std::size_t pieceSize_;
    std::string buffer_;
    std::size_t walked_ = 0;  // the character walk has reached this offset
    std::size_t cut_ = 0;     // the last offset after a line break the walk reached
    bool cr_ = false;         // the last character walked was a CR
    std::size_t line_ = 1;    // of the whole text, at the start of the buffer
    bool started_ = false;
};

}  // namespace zelmora::formats

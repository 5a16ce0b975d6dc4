#pragma once
// Reading and writing code tables in the encodings and formats that input
// engines use. Inside, text is GB18030 bytes: a superset of GBK whose
// four-byte characters never hide a space, comma or quote, so every text rule
// and derivation works on it unchanged.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_encoding.h"

namespace zelmora::formats {

enum class Encoding { Auto, Gbk, Gb18030, Utf8, Utf16le, Utf16be };
enum class Format { Auto, Plain, Rime, Libime, Fcitx4, Ibus, Yong };

// Parses "auto", "gbk", "gb18030", "utf-8", "utf-16le", "utf-16be" /
// "auto", "plain", "rime", "libime", "fcitx4", "ibus", "yong"; fails on others.
Encoding ParseEncoding(std::string_view name);
Format ParseFormat(std::string_view name);
// The names above, for messages.
const char* EncodingName(Encoding encoding);
const char* FormatName(Format format);

// How the text of a file in this encoding is held once read: a GBK file keeps
// its GBK bytes, every other encoding becomes GB18030 bytes.
TextEncoding TextEncodingOf(Encoding fileEncoding);

// One code-word pair, GB18030 bytes, with the format's per-entry extras.
struct TableEntry {
    std::string code;
    std::string word;
    std::optional<std::string> weight;  // as written in the file, if any
    std::optional<std::string> stem;    // Rime's stem column, if any

    bool operator==(const TableEntry&) const = default;
};

// One physical line of a table file as read. Entries are counted in 32 bits:
// a table of more than 4,294,967,295 entries fails to read.
struct TableLine {
    enum class Kind : std::uint8_t {
        Header,     // part of the file's header or of a section that holds no entries
        Comment,    // a comment among the entries
        Blank,      // an empty or all-white-space line among the entries
        Entry,      // one or more entries: entries[firstEntry, firstEntry + entryCount)
        Extra,      // a data line that is no code-word pair (pinyin, prompt, phrase lines)
        Malformed,  // a data line that could not be read
    };
    std::size_t offset = 0;        // into TableDocument::text
    std::size_t length = 0;        // without the line break
    std::uint8_t breakLength = 0;  // 0 (last line), 1 (LF or CR) or 2 (CR LF)
    Kind kind = Kind::Header;
    std::uint32_t firstEntry = 0;
    std::uint32_t entryCount = 0;
};

// Something suspicious found on a line; line numbers count from 1.
struct TableProblem {
    std::size_t line = 0;
    std::string message;  // UTF-8
};

// A phrase rule: which keys make the code of a phrase of `length` characters
// (or more, with `atLeast`).
struct PhraseRule {
    bool atLeast = false;
    int length = 0;
    struct Key {
        int character = 1;  // 1-based from the first character; -1 is the last
        int key = 1;        // 1-based from the first key of that character
        bool operator==(const Key&) const = default;
    };
    std::vector<Key> keys;
    bool operator==(const PhraseRule&) const = default;
};

// The Wubi-86 phrase rules: two characters, the first two keys of each;
// three, the first key of the first two and the first two of the third; four
// and more, the first key of the first three and of the last.
const std::vector<PhraseRule>& WubiPhraseRules();

// Settings of an input engine's header that other engine formats can hold.
struct EngineSettings {
    std::vector<PhraseRule> rules;                // empty: none given
    std::string pinyinKey, promptKey, phraseKey;  // libime and fcitx4 keys; empty: not given
    bool operator==(const EngineSettings&) const = default;
};

// What a file's header says about its data lines.
struct TableLayout {
    // Rime: the columns of text, code, weight and stem (-1: no such column).
    int textColumn = 0, codeColumn = 1, weightColumn = 2, stemColumn = -1;
    int columnCount = 3;
    // Candidates by weight, highest first, ties in file order: Rime unless
    // "sort: original", and ibus-table (by frequency).
    bool byWeight = false;
    // libime and fcitx4: first characters of the keys of pinyin, prompt and
    // phrase-building lines, which are no code-word pairs.
    std::string specialPrefixes;
    // Phrase rules and keys the header gives.
    EngineSettings engine;
};

// A table file read into entries in the file's candidate order.
struct TableDocument {
    Format format = Format::Plain;
    Encoding encoding = Encoding::Gb18030;  // the detected or given input encoding
    bool hadBom = false;
    bool encodingCloseCall = false;  // detected on thin evidence (see DecodeText)
    // Grouped by code in the order the codes first appear; within a code in
    // candidate order (Rime with "sort: by_weight": by weight, highest first,
    // ties in file order; otherwise file order). Plain tables keep file order.
    std::vector<TableEntry> entries;
    // Everything else needed to write the same file back byte for byte: the
    // header (every line before the first data line) ...
    std::string opaque;
    // ... and the whole file as GB18030 bytes (byte-order mark removed), cut
    // into its lines.
    std::string text;
    std::vector<TableLine> lines;
    // Lines that could not be read as entries, and other oddities met while
    // reading; reading goes on past them.
    std::vector<TableProblem> problems;
    TableLayout layout;

    std::string_view lineText(std::size_t i) const {
        return std::string_view(text).substr(lines[i].offset, lines[i].length);
    }
    // How `text` and the entries' bytes are to be read.
    TextEncoding textEncoding() const { return TextEncodingOf(encoding); }
};

// Reads file bytes in any supported encoding and format.
// Fails (zelmora::Failure) with a clear message on malformed input.
TableDocument ReadTable(std::string_view bytes, Encoding encoding = Encoding::Auto, Format format = Format::Auto);
// ReadTable for a table that new words are merged into: of a plain table only
// the text, format and encoding (the merge works on the text), which spares
// a table of millions of lines its entries and line list.
TableDocument ReadTableToMerge(std::string_view bytes, Encoding encoding, Format format);

// The document as code-table text in GB18030: group lines "code word word ...",
// CR LF between lines, in candidate order. A plain table is its own text with
// line breaks made CR LF, so that it runs exactly as it would from a GBK file.
std::string ToGroupLines(const TableDocument& doc);

// Writes entries as a file of the given format and encoding (a fresh header
// where the format needs one). Fails, writing nothing, when a character can't
// be held by the encoding, naming the line.
std::string WriteEntries(const std::vector<TableEntry>& entries, Format format, Encoding encoding, bool bom = false);

// What becomes of words whose characters the output encoding can't hold.
enum class Unencodable { Error, Skip };
struct SkippedWord {
    std::size_t line = 0;    // of the input, 1-based
    std::string code, word;  // UTF-8
    std::string character;   // the first character the encoding lacks, UTF-8
    char32_t codePoint = 0;
};

struct WriteOptions {
    Format format = Format::Plain;
    Encoding encoding = Encoding::Utf8;
    bool bom = false;
    // How the entries' bytes are to be decoded: Gbk for bytes kept as they
    // were in a GBK file, Gb18030 otherwise.
    TextEncoding textEncoding = TextEncoding::Gb18030;
    // The table's name in a fresh Rime, ibus or yong header (UTF-8).
    std::string name = "zelmora";
    // Carried into a fresh engine header; the Wubi-86 phrase rules when it
    // has none.
    EngineSettings engine;
    // Error: a word the encoding can't hold fails the writing, naming the
    // input's line and the character; Skip: such words are left out and
    // listed in `*skipped` (when given).
    Unencodable unencodable = Unencodable::Error;
    std::vector<SkippedWord>* skipped = nullptr;
    std::string inputName;  // the input file in messages, UTF-8
};
std::string WriteEntries(const std::vector<TableEntry>& entries, const WriteOptions& options);

// Whether the format is an input engine's own (Rime, libime, fcitx4, ibus):
// those engines read UTF-8 only.
bool IsEngineFormat(Format format);
// Sets `w.encoding` and `w.bom` for `w.format`: the encoding asked for (Auto:
// none), else UTF-8 for an engine format, else the input's; a byte-order mark
// when asked, or when the input had one and the output is Unicode or in the
// input's encoding. libime and fcitx4 files never get one (their compilers
// refuse it). Fails, before anything is written, when an engine format is
// asked for in another encoding than UTF-8, or libime or fcitx4 with a mark.
void ChooseOutputEncoding(WriteOptions& w, Encoding asked, bool bomAsked, Encoding inputEncoding, bool inputHadBom);

// Writes a document back. In its own format, every line whose entries are
// unchanged comes back byte for byte and every other line is written afresh;
// in another format the entries are written in candidate order under a fresh
// header (lines that have no equivalent there, such as pinyin lines, are left
// out: `droppedLines` counts them).
std::string WriteTable(const TableDocument& doc, const WriteOptions& options, std::size_t* droppedLines = nullptr);

// Derived text (GB18030 group lines, or lines of one word) without the words
// the output encoding can't hold, as `o.unencodable` says: the first fails,
// or each is left out (a line left with a code and no word goes). `lineOf`
// gives the input line a code-word pair (code empty: a word) came from, 0
// when unknown. The text as it is when the encoding lacks nothing.
std::string DropUnencodableWords(std::string_view text, const WriteOptions& o,
                                 const std::function<std::size_t(std::string_view, std::string_view)>& lineOf);

// Group lines (plain table text, GB18030) read as entries: token 0 of each
// line is the code, the other tokens its words. Lines without a word are
// skipped; `skipped` counts them.
std::vector<TableEntry> EntriesFromGroupLines(std::string_view text, std::size_t* skipped = nullptr);

// GB18030 text as UTF-8 for messages and reports; bytes that are no
// character are replaced, never fail.
std::string MessageText(std::string_view gb18030);

// Text conversion between a file's bytes and GB18030.
struct DecodedText {
    std::string text;  // GB18030
    Encoding encoding = Encoding::Gb18030;
    bool hadBom = false;
    bool closeCall = false;  // Auto chose between UTF-8 and GBK on thin evidence
};
// Auto: a byte-order mark decides; otherwise zero bytes on one side of every
// pair make UTF-16 (LE or BE); otherwise bytes that are not valid UTF-8 are
// GB18030, and valid UTF-8 is UTF-8 unless reading it as GBK gives clearly
// more Chinese text (short GBK text is often valid UTF-8). GBK and GB18030
// bytes are kept as they are. Fails naming the line
// of an invalid UTF-8 or UTF-16 sequence, or a file that ends inside one.
DecodedText DecodeText(std::string_view bytes, Encoding encoding);
// Whether ReadTable with Auto reads these bytes as a plain table in GBK or
// GB18030 (no byte-order mark, not UTF-8, no header of another format): such
// bytes are the derivations' own text as they are.
bool ReadsAsPlainGbk(std::string_view bytes);
// GB18030 text as bytes of the encoding (not Auto). Fails, naming the line,
// on a character the encoding can't hold or on bytes that are no character.
// `textEncoding` as in WriteOptions.
std::string EncodeText(std::string_view text, Encoding encoding, bool bom, TextEncoding textEncoding);

// A further check of the entries, by a part that knows more about codes than
// their form (the phrase rules of an input method). The table check runs it
// line by line after its own findings on the line.
class EntryCheck {
public:
    virtual ~EntryCheck() = default;
    // Whether the check learns from the whole table before judging a line:
    // then every entry is surveyed first, in file order.
    virtual bool surveys() const { return false; }
    virtual void survey(const TableEntry& entry) { (void)entry; }
    // A checking pass begins (a streamed check may start over): counts restart.
    virtual void begin() {}
    // What the table's header says (its phrase rules), once a pass has read
    // the header: before the pass's first line with entries is checked, or at
    // its end when it has none.
    virtual void header(const TableLayout& layout) { (void)layout; }
    // Findings (UTF-8 messages) on the entries of one line.
    virtual void check(const TableEntry* entries, std::size_t count, std::vector<std::string>& findings) = 0;
};

// What is suspicious in a table: codes with characters outside a-z, codes
// longer than four letters, the same word twice under one code, blank or
// malformed lines, lines that would not be written back as they are, bytes
// that are no character of the encoding; and what `more` finds. In line order.
std::vector<TableProblem> CheckTable(const TableDocument& doc, EntryCheck* more = nullptr);

// One data line written afresh for the given entries, in the table's own
// format and layout (for adding lines to a table). Fails when a code or word
// can't be written in that format.
std::string CanonicalLine(Format format, const TableLayout& layout, const TableEntry* entries, std::size_t count);

}  // namespace zelmora::formats

#pragma once
// Code tables in the formats that input engines use, read into documents:
// the entries in the engine's candidate order, and every line of the file so
// that it can be written back as it was.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_encoding.h"
#include "formats/encoding.h"
#include "formats/phrase_rules.h"

namespace zelmora::formats {

// The engines' formats, then those of the Windows input methods and typing
// simulators (UTF-16LE with a byte-order mark unless asked otherwise):
// duoduo "word<TAB>code", bingling "[CODETABLE]" then "code<TAB>word",
// jidian (plain group lines), the custom-phrase files of sogou
// ("code,position=word") and baidu ("code=position,word"), and jisu
// ("word<TAB>code and selection key<TAB>position", written only); and the
// binary user-defined-phrase file of the Windows built-in input methods
// (ms-phrase, "mschxudp": ms_phrase.h), read and written whole.
enum class Format {
    Auto,
    Plain,
    Rime,
    Libime,
    Fcitx4,
    Ibus,
    Yong,
    Duoduo,
    Bingling,
    Jidian,
    SogouPhrase,
    BaiduPhrase,
    Jisu,
    MsPhrase
};

// Parses "auto", "plain", "rime", "libime", "fcitx4", "ibus", "yong",
// "duoduo", "bingling", "jidian", "sogou-phrase", "baidu-phrase", "jisu",
// "ms-phrase"; fails on others.
Format ParseFormat(std::string_view name);
// The names above, for messages.
const char* FormatName(Format format);
// The format a table given as `format` is read as: jidian is plain in
// another encoding; fails for a format that is written only (jisu).
Format ReadingFormat(Format format);
// Whether a candidate's place is a number on its line (sogou, baidu, jisu):
// read, the numbers order a code's candidates; written, 1, 2, 3 … per code.
bool HasPositions(Format format);

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
    // Candidates by the position each line gives, lowest first, ties in file
    // order: sogou and baidu phrase files.
    bool byPosition = false;
    // libime and fcitx4: first characters of the keys of pinyin, prompt and
    // phrase-building lines, which are no code-word pairs.
    std::string specialPrefixes;
    // Phrase rules and keys the header gives.
    EngineSettings engine;
    // The table's name in its header (Rime's "name"), GB18030; empty when none.
    std::string name;
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

// Whether ReadTable with Auto reads these bytes as a plain table in GBK or
// GB18030 (no byte-order mark, not UTF-8, no header of another format): such
// bytes are the derivations' own text as they are.
bool ReadsAsPlainGbk(std::string_view bytes);

// The document as code-table text in GB18030: group lines "code word word ...",
// CR LF between lines, in candidate order. A plain table is its own text with
// line breaks made CR LF, so that it runs exactly as it would from a GBK file.
std::string ToGroupLines(const TableDocument& doc);

// What the derivations take of a table file read as ReadTable reads it: its
// group lines (ToGroupLines of that document, byte for byte) and how the file
// was read, with the document. A Rime dictionary is read without one unless
// `keepDocument` (told the encoding and whether the file began with a
// byte-order mark; may be empty) asks for it: from its lines to group lines
// directly, keeping no entry per line. Fails as ReadTable fails.
struct GroupLineTable {
    std::string groupLines;
    Encoding encoding = Encoding::Gb18030;
    bool hadBom = false;
    bool encodingCloseCall = false;
    Format format = Format::Plain;
    std::optional<TableDocument> document;

    TextEncoding textEncoding() const { return TextEncodingOf(encoding); }
};
GroupLineTable ReadGroupLines(std::string_view bytes, Encoding encoding, Format format,
                              const std::function<bool(Encoding, bool)>& keepDocument);

// Group lines (plain table text, GB18030) read as entries: token 0 of each
// line is the code, the other tokens its words. Lines without a word are
// skipped; `skipped` counts them.
// `lineOf`, when given, gets the line (1-based) of each entry.
std::vector<TableEntry> EntriesFromGroupLines(std::string_view text, std::size_t* skipped = nullptr,
                                              std::vector<std::size_t>* lineOf = nullptr);

}  // namespace zelmora::formats

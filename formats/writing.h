#pragma once
// Writing code tables: entries as a fresh file of any format, a document
// back in its own format or another, in the encoding chosen for it.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_encoding.h"
#include "formats/document.h"
#include "formats/encoding.h"

namespace zelmora::formats {

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

// The input line (1-based; 0: unknown) of `entry`, entries[index] of those
// given to WriteEntries; asked only for the message of a refusal.
using InputLineOf = std::function<std::size_t(const TableEntry& entry, std::size_t index)>;

// Writes entries as a file of the given format and encoding (a fresh header
// where the format needs one). Fails, writing nothing, when a character can't
// be held by the encoding, naming the line, or when the format can't hold a
// code or word, naming its input line when `inputLineOf` is given.
std::string WriteEntries(const std::vector<TableEntry>& entries, Format format, Encoding encoding, bool bom = false);
std::string WriteEntries(const std::vector<TableEntry>& entries, const WriteOptions& options,
                         const InputLineOf& inputLineOf = {});

// Whether the format is an input engine's own (Rime, libime, fcitx4, ibus):
// those engines read UTF-8 only.
bool IsEngineFormat(Format format);
// Whether the format is one of the Windows programs' (duoduo, bingling,
// jidian, sogou, baidu, jisu): written in UTF-16LE with a byte-order mark
// unless another encoding is asked for.
bool IsWindowsFormat(Format format);
// Sets `w.encoding` and `w.bom` for `w.format`: the encoding asked for (Auto:
// none), else UTF-8 for an engine format, UTF-16LE with a mark for a Windows
// program's (when `inputFormat` is another: its own keeps its encoding),
// else the input's (jidian, being plain in UTF-16LE, then becomes Plain); a byte-order mark
// when asked, or when the input had one and the output is Unicode or in the
// input's encoding. libime and fcitx4 files never get one (their compilers
// refuse it). Fails, before anything is written, when an engine format is
// asked for in another encoding than UTF-8, or libime or fcitx4 with a mark.
// ms-phrase is binary: UTF-16LE without a mark, and any encoding or mark
// asked for fails.
void ChooseOutputEncoding(WriteOptions& w, Encoding asked, bool bomAsked, Encoding inputEncoding, bool inputHadBom,
                          Format inputFormat = Format::Auto);

// Writes a document back. In its own format, every line whose entries are
// unchanged comes back byte for byte and every other line is written afresh;
// in another format the entries are written in candidate order under a fresh
// header (lines that have no equivalent there, such as pinyin lines, are left
// out: `droppedLines` counts them). A code or word the format can't hold
// fails, naming its line in the document (and `options.inputName`).
std::string WriteTable(const TableDocument& doc, const WriteOptions& options, std::size_t* droppedLines = nullptr);

// Derived text (GB18030 group lines, or lines of one word) without the words
// the output encoding can't hold, as `o.unencodable` says: the first fails,
// or each is left out (a line left with a code and no word goes). `lineOf`
// gives the input line a code-word pair (code empty: a word) came from, 0
// when unknown. The text as it is when the encoding lacks nothing.
std::string DropUnencodableWords(std::string_view text, const WriteOptions& o,
                                 const std::function<std::size_t(std::string_view, std::string_view)>& lineOf);

// One data line written afresh for the given entries, in the table's own
// format and layout (for adding lines to a table). Fails when a code or word
// can't be written in that format.
std::string CanonicalLine(Format format, const TableLayout& layout, const TableEntry* entries, std::size_t count);

}  // namespace zelmora::formats

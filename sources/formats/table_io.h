#pragma once
// Reading and writing code tables in the encodings and formats that input
// engines use. Inside, text is GB18030 bytes: a superset of GBK whose
// four-byte characters never hide a space, comma or quote, so every text rule
// and derivation works on it unchanged.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelmora::formats {

enum class Encoding { Auto, Gbk, Gb18030, Utf8, Utf16le, Utf16be };
enum class Format { Auto, Plain, Rime, Libime, Fcitx4, Ibus, Yong };

// Parses "auto", "gbk", "gb18030", "utf-8", "utf-16le", "utf-16be" /
// "auto", "plain", "rime", "libime", "fcitx4", "ibus", "yong"; fails on others.
Encoding ParseEncoding(std::string_view name);
Format ParseFormat(std::string_view name);

// One code-word pair, GB18030 bytes, with the format's per-entry extras.
struct TableEntry {
    std::string code;
    std::string word;
    std::optional<std::string> weight;  // as written in the file, if any
};

// A table file read into entries in the file's candidate order.
struct TableDocument {
    Format format = Format::Plain;
    Encoding encoding = Encoding::Gb18030;  // the detected or given input encoding
    bool hadBom = false;
    std::vector<TableEntry> entries;
    // Everything else needed to write the same file back byte for byte.
    std::string opaque;
};

// Reads file bytes in any supported encoding and format.
// Fails (zelmora::Failure) with a clear message on malformed input.
TableDocument ReadTable(std::string_view bytes, Encoding encoding = Encoding::Auto, Format format = Format::Auto);

// The document as code-table text in GB18030: group lines "code word word ...",
// CR LF between lines, in candidate order.
std::string ToGroupLines(const TableDocument& doc);

// Writes entries as a file of the given format and encoding (a fresh header
// where the format needs one). Fails, writing nothing, when a character can't
// be held by the encoding, naming the line.
std::string WriteEntries(const std::vector<TableEntry>& entries, Format format, Encoding encoding, bool bom = false);

}  // namespace zelmora::formats

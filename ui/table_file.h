#pragma once
// A table file in any encoding and format the command line reads, recognised
// by the same library call, made ready for the source pane.
#include <QString>
#include <memory>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "formats/document.h"
#include "formats/encoding.h"
#include "ui/pane_text.h"

namespace zelmora {

// The source's entries that carry a weight or a stem, found by code and word.
struct TableExtras {
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    std::vector<formats::TableEntry> entries;
    // Keys: code, 0x01, word; looked up without making a string each time.
    std::unordered_map<std::string, const formats::TableEntry*, Hash, std::equal_to<>> byPair;

    static std::string key(const std::string& code, const std::string& word) { return code + '\x01' + word; }
    const formats::TableEntry* find(const std::string& code, const std::string& word) const {
        thread_local std::string k;
        k.assign(code).append(1, '\x01').append(word);
        auto it = byPair.find(std::string_view(k));
        return it == byPair.end() ? nullptr : it->second;
    }
};

struct OpenedTable {
    // The source pane's text: group lines in the engine's candidate order; a
    // plain table in GBK or GB18030 bytes exactly as the file holds them.
    PaneText text;
    formats::Format format = formats::Format::Plain;
    formats::Encoding encoding = formats::Encoding::Gbk;  // Gbk for plain GBK bytes
    bool hadBom = false;
    // The entries that carry a weight or a stem, for writing results back in
    // the table's format; the rest of the document is not kept.
    std::shared_ptr<const TableExtras> extras;
};

// Reads and recognises the file. Fails (UserMessage) with a message naming
// the file when it is a folder, holds NUL characters or is no text in any
// encoding; a file that can't be read fails with "Cannot open file ...".
OpenedTable ReadTableFile(const QString& path);

// What the window says it recognised, e.g. "Rime 词典，UTF-8（带 BOM）".
QString DescribeTable(formats::Format format, formats::Encoding encoding, bool hadBom);

}  // namespace zelmora

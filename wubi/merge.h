#pragma once
// New words merged into a table file of any format, written back in its own
// format and encoding: the command line's `encode --merge` and anything else
// that adds words to a table file take this one path.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_encoding.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "wubi/encode.h"

namespace zelmora {

formats::TableEntry AsTableEntry(const EncodedEntry& e);

struct MergedTable {
    std::string bytes;  // the file to write
    formats::Encoding encoding = formats::Encoding::Gb18030;
    TextEncoding textEncoding = TextEncoding::Gb18030;
    std::size_t added = 0;           // code-word pairs the table did not have
    bool encodingCloseCall = false;  // the table's encoding was detected on thin evidence
};

// Reads `bytes` as a table (encoding and format given or detected), adds the
// entries as PlanMerge places them and writes it back: a plain table through
// MergeIntoGroupLines; in the other formats unchanged lines stay byte for
// byte and new pairs are written in the table's own layout (for yong, a
// code's line is rewritten with its new words). Fails on a NUL byte, naming
// its line.
MergedTable MergeIntoTable(std::string_view bytes, formats::Encoding encoding, formats::Format format,
                           const std::vector<EncodedEntry>& entries);

}  // namespace zelmora

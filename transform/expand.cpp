#include "transform/expand.h"

#include "core/collation.h"
#include "core/text.h"

namespace zelmora {

std::string ExpandToEntryLines(std::string_view text, TextEncoding encoding) {
    // Entry lines go into one buffer: a million of them as separate strings
    // would take several times the table's size.
    TextArena entries;
    entries.bytes.reserve(text.size() + text.size() / 4);
    LineList tokens;
    ForEachLine(text, [&](std::string_view line) {
        tokens = SplitTokens(line);
        if (tokens.count() < 2) return;
        const std::string& code = tokens.lines()[0];
        for (std::size_t j = 1; j < tokens.count(); ++j) {
            entries.bytes += code;
            entries.bytes += ' ';
            entries.bytes += tokens.lines()[j];
            entries.endText();
        }
    });
    std::vector<std::uint32_t> order = SortedOrder(entries, encoding);

    // JoinLines then TrimText, written straight into the result.
    std::string out;
    out.reserve(entries.bytes.size() + 2 * entries.size());
    for (std::uint32_t i : order) {
        out += entries[i];
        out += "\r\n";
    }
    TrimInPlace(out);
    return out;
}

}  // namespace zelmora

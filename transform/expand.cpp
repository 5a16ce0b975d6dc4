#include "transform/expand.h"

#include "core/collation.h"
#include "core/text.h"

namespace zelmora {

std::string ExpandToEntryLines(std::string_view text, TextEncoding encoding) {
    return ExpandWithRanks(text, encoding).text;
}

Expansion ExpandWithRanks(std::string_view text, TextEncoding encoding) {
    // Entry lines go into one buffer: a million of them as separate strings
    // would take several times the table's size.
    TextArena entries;
    entries.bytes.reserve(text.size() + text.size() / 4);
    LineList tokens;
    std::vector<std::string_view> views;
    auto expand = [&](const auto& lineTokens) {
        if (lineTokens.size() < 2) return;
        const std::string_view code = lineTokens[0];
        for (std::size_t j = 1; j < lineTokens.size(); ++j) {
            entries.bytes += code;
            entries.bytes += ' ';
            entries.bytes += lineTokens[j];
            entries.endText();
        }
    };
    ForEachLine(text, [&](std::string_view line) {
        // Views where the tokens are the line's bytes; copies where quotes change them.
        if (SplitTokensInto(line, views)) return expand(views);
        tokens = SplitTokens(line);
        expand(tokens.lines());
    });
    std::vector<std::uint32_t> ranks;
    std::vector<std::uint32_t> order = SortedOrder(entries, encoding, ranks);

    // JoinLines then TrimText, written straight into the result.
    std::string out;
    out.reserve(entries.bytes.size() + 2 * entries.size());
    for (std::uint32_t i : order) {
        out += entries[i];
        out += "\r\n";
    }
    TrimInPlace(out);

    // The lines of the text are the sorted entries unless trimming took
    // blanks off the first or last of them.
    Expansion e;
    std::size_t k = 0;
    bool same = true;
    ForEachLine(out, [&](std::string_view line) {
        same = same && k < order.size() && line == entries[order[k]];
        ++k;
    });
    if (same && k == order.size()) {
        e.ranks.resize(order.size());
        for (std::size_t i = 0; i < order.size(); ++i) e.ranks[i] = ranks[order[i]];
        e.ranked = true;
    }
    e.text = std::move(out);
    return e;
}

}  // namespace zelmora

#include "transform/expand.h"

#include "core/collation.h"
#include "core/limits.h"
#include "core/side_by_side.h"
#include "core/text.h"

namespace zelmora {

namespace {

// Below this a second thread costs about what it saves.
constexpr std::size_t kAloneBytes = 1 << 20;

}  // namespace

std::string ExpandToEntryLines(std::string_view text, TextEncoding encoding) {
    return ExpandWithRanks(text, encoding).text;
}

Expansion ExpandWithRanks(std::string_view text, TextEncoding encoding) {
    // Entry lines go into one buffer: a million of them as separate strings
    // would take several times the table's size. A big table is cut in two
    // at a line start and its halves done at once, the second's entries then
    // put after the first's.
    auto expandPart = [](std::string_view part, TextArena& entries) {
        entries.bytes.reserve(part.size() + part.size() / 4);
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
        ForEachLine(part, [&](std::string_view line) {
            // Views where the tokens are the line's bytes; copies where quotes change them.
            if (SplitTokensInto(line, views)) return expand(views);
            tokens = SplitTokens(line);
            expand(tokens.lines());
        });
    };
    TextArena entries;
    const std::string_view whole = UpToNul(text);
    const std::size_t cut =
        whole.size() < kAloneBytes ? std::string_view::npos : LineStartAfter(whole, whole.size() / 2);
    if (cut == std::string_view::npos) {
        expandPart(whole, entries);
    } else {
        TextArena second;
        second.maxBytes = entries.maxBytes;
        SideBySide([&] { expandPart(whole.substr(0, cut), entries); }, [&] { expandPart(whole.substr(cut), second); });
        const std::size_t base = entries.bytes.size();
        if (base + second.bytes.size() > entries.maxBytes)
            FailTooLarge(base + second.bytes.size(), "bytes of lines", entries.maxBytes);
        entries.bytes += second.bytes;
        entries.begin.reserve(entries.begin.size() + second.size());
        for (std::size_t i = 1; i < second.begin.size(); ++i)
            entries.begin.push_back(static_cast<std::uint32_t>(base + second.begin[i]));
    }
    std::vector<std::uint32_t> ranks;
    std::vector<std::uint32_t> order = SortedOrder(entries, encoding, ranks);

    // JoinLines then TrimText, written straight into the result, noting
    // where each line starts while offsets fit in 32 bits.
    std::string out;
    const std::size_t untrimmed = entries.bytes.size() + 2 * entries.size();
    out.reserve(untrimmed);
    std::vector<std::uint32_t> lineStarts;
    const bool noteStarts = untrimmed <= kMaxUint32;
    if (noteStarts) lineStarts.reserve(order.size());
    for (std::uint32_t i : order) {
        if (noteStarts) lineStarts.push_back(static_cast<std::uint32_t>(out.size()));
        out += entries[i];
        out += "\r\n";
    }
    TrimInPlace(out);

    // Entries hold no line break, so the lines of the text are the sorted
    // entries unless trimming took more than the last line break: blanks off
    // the first or last of them.
    Expansion e;
    if (order.empty() || out.size() + 2 == untrimmed) {
        e.ranks.resize(order.size());
        for (std::size_t i = 0; i < order.size(); ++i) e.ranks[i] = ranks[order[i]];
        e.lineStarts = std::move(lineStarts);
        e.ranked = true;
    }
    e.text = std::move(out);
    return e;
}

}  // namespace zelmora

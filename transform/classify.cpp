#include "transform/classify.h"

#include <cstdint>

#include "core/code_table.h"
#include "core/text.h"
#include "transform/status.h"

namespace zelmora {

LengthClasses SplitByCodeLength(std::string_view text) {
    LengthClasses c;
    // Counted first, so that each vector and pool is allocated once, at its
    // size; each line's class is kept from the count, not worked out again.
    std::array<std::size_t, 4> lines{}, bytes{};
    std::vector<std::uint8_t> classOf;
    ForEachLine(text, [&](std::string_view line) {
        int n = CodeLength(line);
        if (n < 1 || n > 4) n = 0;
        classOf.push_back(static_cast<std::uint8_t>(n));
        if (n == 0) return;
        ++lines[n - 1];
        bytes[n - 1] += WordTail(line).size();
    });
    for (int n = 0; n < 4; ++n) {
        c.lines[n] = TextLines(text);
        c.lines[n].reserve(lines[n]);
        c.pools[n].reserve(bytes[n]);
    }
    std::size_t k = 0;
    ForEachLine(text, [&](std::string_view line) {
        const int n = classOf[k++];
        if (n == 0) return;
        c.pools[n - 1].append(WordTail(line));
        c.lines[n - 1].push_back(line);
    });
    return c;
}

ClassifyResult ClassifyByCodeLength(std::string_view text) { return ClassifyByCodeLength(SplitByCodeLength(text)); }

ClassifyResult ClassifyByCodeLength(const LengthClasses& c) {
    ClassifyResult r;
    for (int n = 0; n < 4; ++n) {
        r.counts[n] = c.lines[n].size();
        r.texts[n] = JoinTrimmed(c.lines[n]);
    }
    return r;
}

std::string ClassifyStatus(const ClassifyResult& r) {
    return FormatStatus("行数:一码%d 二码%d 三码%d 四码%d", {r.counts[0], r.counts[1], r.counts[2], r.counts[3]});
}

}  // namespace zelmora

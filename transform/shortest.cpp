#include "transform/shortest.h"

#include <algorithm>

#include "core/code_table.h"
#include "core/collation.h"
#include "core/text.h"
#include "transform/classify.h"
#include "transform/entry_table.h"
#include "transform/status.h"

namespace zelmora {

ShortestCodesResult ExtractShortestCodes(std::string_view text, TextEncoding encoding) {
    EntryTable table(text, encoding);
    return ExtractShortestCodes(table);
}

ShortestCodesResult ExtractShortestCodes(EntryTable& table) {
    const LengthClasses& c = table.classes();
    // Class n+1 is searched in pool 1, pools 1+2 and pools 1+2+3, all built
    // from every entry before anything is removed. Asked for largest first:
    // the relation asks for the same in another order, and each is worked
    // out once.
    using Pools = EntryTable::Pools;
    const std::vector<char>* removed[4] = {nullptr, nullptr, nullptr, nullptr};
    removed[3] = &table.inPool(4, Pools::P123);
    removed[1] = &table.inPool(2, Pools::P1);
    removed[2] = &table.inPool(3, Pools::P12);
    // Each list taken at its size: grown by doubling, it would take up to
    // twice its room, left behind with the process.
    std::array<std::vector<std::string_view>, 4> kept;
    c.lines[0].appendTo(kept[0]);
    std::size_t allCount = kept[0].size();
    for (int n = 1; n < 4; ++n) {
        const auto& cls = c.lines[n];
        const std::vector<char>& out = *removed[n];
        kept[n].reserve(cls.size() - static_cast<std::size_t>(std::count(out.begin(), out.end(), 1)));
        for (std::size_t i = 0; i < cls.size(); ++i)
            if (!out[i]) kept[n].push_back(cls[i]);
        allCount += kept[n].size();
    }
    std::vector<std::string_view> all;
    all.reserve(allCount);
    for (const auto& k : kept) all.insert(all.end(), k.begin(), k.end());

    ShortestCodesResult r;
    for (int n = 0; n < 4; ++n) {
        r.counts[n] = kept[n].size();
        r.texts[n] = JoinTrimmed(kept[n]);
    }
    r.allCount = all.size();
    r.allText = JoinTrimmed(all, table.sortedOrder(all));
    return r;
}

std::string ShortestCodesStatus(const ShortestCodesResult& r) {
    return FormatStatus("行数:一码%d 二码%d 三码%d 四码%d 全部%d",
                        {r.counts[0], r.counts[1], r.counts[2], r.counts[3], r.allCount});
}

}  // namespace zelmora

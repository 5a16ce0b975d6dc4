#include "transform/shortest.h"

#include "core/code_table.h"
#include "core/collation.h"
#include "core/text.h"
#include "transform/classify.h"
#include "transform/status.h"

namespace zelmora {

ShortestCodesResult ExtractShortestCodes(std::string_view text, TextEncoding encoding) {
    LengthClasses c = SplitByCodeLength(text);
    // The searched texts are pool 1, pools 1+2 and pools 1+2+3, all built from
    // every entry before anything is removed.
    std::string searched = c.pools[0];
    std::array<std::vector<std::string_view>, 4> kept;
    kept[0] = c.lines[0];
    for (int n = 1; n < 4; ++n) {
        if (n > 1) searched += c.pools[n - 1];
        const PoolIndex index(searched);
        const auto& cls = c.lines[n];
        std::vector<char> removed(cls.size(), 0);
        for (std::size_t i = cls.size(); i-- > 0;)
            if (index.contains(WordTail(cls[i]))) removed[i] = 1;
        for (std::size_t i = 0; i < cls.size(); ++i)
            if (!removed[i]) kept[n].push_back(cls[i]);
    }
    std::vector<std::string_view> all;
    for (const auto& k : kept) all.insert(all.end(), k.begin(), k.end());

    ShortestCodesResult r;
    for (int n = 0; n < 4; ++n) {
        r.counts[n] = kept[n].size();
        r.texts[n] = JoinTrimmed(kept[n]);
    }
    r.allCount = all.size();
    r.allText = JoinTrimmed(all, SortedOrder(all, encoding));
    return r;
}

std::string ShortestCodesStatus(const ShortestCodesResult& r) {
    return FormatStatus("行数:一码%d 二码%d 三码%d 四码%d 全部%d",
                        {r.counts[0], r.counts[1], r.counts[2], r.counts[3], r.allCount});
}

}  // namespace zelmora

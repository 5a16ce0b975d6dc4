#include "transform/full_codes.h"

#include <algorithm>

#include "core/code_table.h"
#include "core/collation.h"
#include "core/text.h"
#include "transform/classify.h"
#include "transform/entry_table.h"
#include "transform/status.h"

namespace zelmora {

FullCodesResult ExtractFullCodes(std::string_view text, TextEncoding encoding) {
    EntryTable table(text, encoding);
    return ExtractFullCodes(table);
}

FullCodesResult ExtractFullCodes(EntryTable& table) {
    const LengthClasses& c = table.classes();
    const auto& class3 = c.lines[2];
    const auto& class4 = c.lines[3];
    const std::vector<char>& isShort = table.inPool(3, EntryTable::Pools::P4);

    // Walked from the last line to the first: short codes come out reversed.
    // Each list taken at its size: grown by doubling, it would take up to
    // twice its room, left behind with the process.
    const auto shortCount = static_cast<std::size_t>(std::count(isShort.begin(), isShort.end(), 1));
    std::vector<std::string_view> shortCodes, full3;
    shortCodes.reserve(shortCount);
    full3.reserve(class3.size() - shortCount);
    for (std::size_t i = class3.size(); i-- > 0;)
        if (isShort[i]) shortCodes.push_back(class3[i]);
    for (std::size_t i = 0; i < class3.size(); ++i)
        if (!isShort[i]) full3.push_back(class3[i]);

    std::vector<std::string_view> all;
    all.reserve(full3.size() + class4.size());
    all.insert(all.end(), full3.begin(), full3.end());
    class4.appendTo(all);

    FullCodesResult r;
    r.threeCount = full3.size();
    r.fourCount = class4.size();
    r.allCount = all.size();
    r.shortCount = shortCodes.size();
    r.threeText = JoinTrimmed(full3);
    r.fourText = JoinTrimmed(class4);
    r.allText = JoinTrimmed(all, table.sortedOrder(all));
    r.shortText = JoinTrimmed(shortCodes, table.sortedOrder(shortCodes));
    return r;
}

std::string FullCodesStatus(const FullCodesResult& r) {
    return FormatStatus("行数:三码%d 四码%d 全部%d 三简%d", {r.threeCount, r.fourCount, r.allCount, r.shortCount});
}

}  // namespace zelmora

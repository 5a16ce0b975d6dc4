#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "core/text_encoding.h"

namespace zelmora {

class EntryTable;

struct FullCodesResult {
    std::string threeText, fourText, allText, shortText;
    std::size_t threeCount = 0, fourCount = 0, allCount = 0, shortCount = 0;
};

// Three-letter entries whose word tail is in the four-letter pool are short
// codes; the rest are full codes, with all four-letter entries.
FullCodesResult ExtractFullCodes(std::string_view text, TextEncoding encoding);
// The same on a table shared with other derivations.
FullCodesResult ExtractFullCodes(EntryTable& table);

// "行数:三码%d 四码%d 全部%d 三简%d" (UTF-8)
std::string FullCodesStatus(const FullCodesResult& r);

}  // namespace zelmora

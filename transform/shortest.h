#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/text_encoding.h"

namespace zelmora {

class EntryTable;

struct ShortestCodesResult {
    std::array<std::string, 4> texts;  // shortest one- to four-letter codes
    std::string allText;               // all of them, sorted
    std::array<std::size_t, 4> counts{};
    std::size_t allCount = 0;
};

// Drops every entry whose word tail is in the pools of the shorter classes.
ShortestCodesResult ExtractShortestCodes(std::string_view text, TextEncoding encoding);
// The same on a table shared with other derivations.
ShortestCodesResult ExtractShortestCodes(EntryTable& table);

// "行数:一码%d 二码%d 三码%d 四码%d 全部%d" (UTF-8)
std::string ShortestCodesStatus(const ShortestCodesResult& r);

}  // namespace zelmora

#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_lines.h"

namespace zelmora {

// Entry lines of code lengths 1..4 in input order, with their tail pools.
// The lines are views into the text that was split: it must outlive them.
struct LengthClasses {
    std::array<TextLines, 4> lines;    // lines[n-1]: class n
    std::array<std::string, 4> pools;  // pools[n-1]: pool n
};

LengthClasses SplitByCodeLength(std::string_view text);

struct ClassifyResult {
    std::array<std::string, 4> texts;
    std::array<std::size_t, 4> counts{};
};

ClassifyResult ClassifyByCodeLength(std::string_view text);
ClassifyResult ClassifyByCodeLength(const LengthClasses& classes);

// "行数:一码%d 二码%d 三码%d 四码%d" (UTF-8)
std::string ClassifyStatus(const ClassifyResult& r);

}  // namespace zelmora

#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "core/text_encoding.h"

namespace zelmora {

struct DuplicateCodesResult {
    std::string duplicateText;  // lines of three or more tokens
    std::string uniqueText;     // all other lines
    std::size_t duplicateCount = 0;
    std::size_t doubleByteChars = 0;  // over the duplicate lines
    std::size_t uniqueCount = 0;      // empty lines included
};

// `encoding` decides how double-byte characters are counted.
DuplicateCodesResult ExtractDuplicateCodes(std::string_view text, TextEncoding encoding);

// "重码：%d行 %d字；不重码%d" (UTF-8); the first number is the duplicate pane's
// line count, which equals duplicateCount for a derived text.
std::string DuplicateCodesStatus(std::size_t duplicatePaneLines, const DuplicateCodesResult& r);

}  // namespace zelmora

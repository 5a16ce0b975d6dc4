#pragma once
#include <string>
#include <string_view>

#include "core/text_encoding.h"

namespace zelmora {

// Source table (group lines) to the sorted one-word-per-line table.
std::string ExpandToEntryLines(std::string_view text, TextEncoding encoding);

}  // namespace zelmora

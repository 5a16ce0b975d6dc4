#pragma once
#include <string>
#include <string_view>

namespace zelmora {

// Source table (group lines) to the sorted one-word-per-line table.
std::string ExpandToEntryLines(std::string_view text);

}  // namespace zelmora

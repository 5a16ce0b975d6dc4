#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include <string_view>

#include "core/text_encoding.h"

namespace zelmora {

// Source table (group lines) to the sorted one-word-per-line table.
std::string ExpandToEntryLines(std::string_view text, TextEncoding encoding);

// The expansion with the collation rank of each of its lines, for the
// derivations that read it (EntryTable::setRanks); `ranked` is false, and the
// ranks empty, where its lines are not the sorted entries one for one (an
// entry trimmed away at either end of the text).
struct Expansion {
    std::string text;
    std::vector<std::uint32_t> ranks;
    // Where each line of the text starts, when ranked (empty for a text too
    // long for 32-bit offsets).
    std::vector<std::uint32_t> lineStarts;
    bool ranked = false;
};
Expansion ExpandWithRanks(std::string_view text, TextEncoding encoding);

}  // namespace zelmora

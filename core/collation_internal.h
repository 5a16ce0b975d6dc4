#pragma once
// Internal to core/ and its tests: the two ways a sort key is written, held
// to each other by the tests. SortKey and the sorts use the table's key where
// there is one and ICU's otherwise.
#include <string>
#include <string_view>

#include "core/text_encoding.h"

namespace zelmora {

// Appends the key written from the weight table (ASCII and double-byte
// characters whose collation elements were taken from ICU and checked) and
// returns true; returns false, `out` unchanged, for a text it leaves to ICU.
bool TableSortKey(std::string_view text, TextEncoding encoding, std::string& out);

// ICU's own key of the text's decoding, without its terminating zero.
std::string IcuSortKey(std::string_view text, TextEncoding encoding);

}  // namespace zelmora

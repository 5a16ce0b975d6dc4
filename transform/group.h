#pragma once
#include <string>
#include <string_view>

namespace zelmora {

// Folds runs of consecutive lines with the same code (token 0, compared byte
// for byte) into one group line. Blank lines are skipped: not output, not
// compared.
std::string GroupEqualCodes(std::string_view text);

}  // namespace zelmora

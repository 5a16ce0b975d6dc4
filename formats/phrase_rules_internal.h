#pragma once
// Internal to formats/ (and its tests): Rime's phrase rules as the YAML of a
// header gives them, for the header reader and ParseRules alike.
#include <vector>

#include "formats/phrase_rules.h"

namespace YAML {
class Node;
}

namespace zelmora::formats {

// Appends the rules of a Rime "rules:" list: each item a mapping with
// "length_equal: N" or "length_in_range: [N, M]" and its "formula". Items
// that are no such rule, or whose formula counts keys from the last, are
// passed over, as anything that is no list.
void AppendRimeRules(const YAML::Node& list, std::vector<PhraseRule>& rules);

}  // namespace zelmora::formats

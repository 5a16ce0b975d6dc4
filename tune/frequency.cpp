#include "tune/frequency.h"

#include "typing/typing.h"

namespace zelmora::tune {

WordCounts::WordCounts(const typing::FrequencyList& list) {
    counts_.reserve(list.words.size());
    for (const auto& [word, count] : list.words) counts_[word] += count;
}

std::optional<std::uint64_t> WordCounts::find(std::u32string_view word) const {
    // The map's key type is a string: look up through a copy (words are short).
    auto it = counts_.find(std::u32string(word));
    if (it == counts_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::uint64_t> WordCounts::find(std::string_view word, TextEncoding textEncoding) const {
    return find(typing::Utf32Of(word, textEncoding));
}

}  // namespace zelmora::tune

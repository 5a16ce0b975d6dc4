#pragma once
// Word counts from a frequency list as the typing part reads it (jieba,
// essay or a file), looked up by a table's words.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/text_encoding.h"
#include "typing/score.h"

namespace zelmora::tune {

class WordCounts {
public:
    WordCounts() = default;
    // A word listed twice counts the sum of its lines.
    explicit WordCounts(const typing::FrequencyList& list);
    // The count of a word given as code points; none when the list lacks it.
    std::optional<std::uint64_t> find(std::u32string_view word) const;
    // The same for a table's word, its bytes read as `textEncoding` says.
    std::optional<std::uint64_t> find(std::string_view word, TextEncoding textEncoding) const;
    std::size_t size() const { return counts_.size(); }

private:
    std::unordered_map<std::u32string, std::uint64_t> counts_;
};

}  // namespace zelmora::tune

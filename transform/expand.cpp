#include "transform/expand.h"

#include "core/collation.h"
#include "core/text.h"

namespace zelmora {

std::string ExpandToEntryLines(std::string_view text) {
    LineList lines = SplitLines(text);
    std::vector<std::string> entries;
    entries.reserve(lines.count());
    for (const auto& line : lines) {
        LineList tokens = SplitTokens(line);
        if (tokens.count() < 2) continue;
        const std::string& code = tokens.lines()[0];
        for (std::size_t j = 1; j < tokens.count(); ++j) {
            std::string entry;
            entry.reserve(code.size() + 1 + tokens.lines()[j].size());
            entry += code;
            entry += ' ';
            entry += tokens.lines()[j];
            entries.push_back(std::move(entry));
        }
    }
    SortLines(entries);
    return TrimText(JoinLines(entries));
}

}  // namespace zelmora

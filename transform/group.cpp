#include "transform/group.h"

#include "core/code_table.h"
#include "core/text.h"

namespace zelmora {

std::string GroupEqualCodes(std::string_view text) {
    LineList lines = SplitLines(text);
    std::vector<std::string> out;
    std::string previousCode, code;
    bool havePrevious = false;
    for (const auto& line : lines) {
        if (!FirstToken(line, code)) continue;  // blank line
        if (havePrevious && code == previousCode) {
            // Same as rebuilding the whole text: the last output line loses its
            // trailing blanks and gains this line's word tail.
            std::string& last = out.back();
            std::size_t e = last.size();
            while (e > 0 && IsBlank(static_cast<unsigned char>(last[e - 1]))) --e;
            last.resize(e);
            last.append(WordTail(line));
        } else {
            out.push_back(line);
        }
        previousCode.swap(code);
        havePrevious = true;
    }
    return JoinTrimmed(out);
}

}  // namespace zelmora

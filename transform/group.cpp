#include "transform/group.h"

#include "core/code_table.h"
#include "core/text.h"

namespace zelmora {

std::string GroupEqualCodes(std::string_view text) {
    // The group lines are written straight into the result, each followed by
    // CR LF, and the whole trimmed at the end: JoinTrimmed of them, without a
    // string per line.
    std::string out;
    out.reserve(text.size());
    std::size_t lastStart = 0;  // where the last group line begins in `out`
    std::string previousCode, code;
    bool havePrevious = false;
    ForEachLine(text, [&](std::string_view line) {
        if (!FirstToken(line, code)) return;  // blank line
        if (havePrevious && code == previousCode) {
            // Same as rebuilding the whole text: the last group line loses its
            // trailing blanks (and break) and gains this line's word tail.
            std::size_t e = out.size();
            while (e > lastStart && IsBlank(static_cast<unsigned char>(out[e - 1]))) --e;
            out.resize(e);
            out.append(WordTail(line));
        } else {
            lastStart = out.size();
            out.append(line);
        }
        out += "\r\n";
        previousCode.swap(code);
        havePrevious = true;
    });
    TrimInPlace(out);
    return out;
}

}  // namespace zelmora

#include "transform/duplicates.h"

#include "core/collation.h"
#include "core/text.h"
#include "transform/status.h"

namespace zelmora {

DuplicateCodesResult ExtractDuplicateCodes(std::string_view text, TextEncoding encoding) {
    std::vector<std::string_view> dup, uniq;
    long long chars = 0;
    ForEachLine(text, [&](std::string_view line) {
        if (CountTokens(line, 3) >= 3) {
            chars += DoubleByteCharCount(line, encoding);
            dup.push_back(line);
        } else {
            uniq.push_back(line);
        }
    });
    DuplicateCodesResult r;
    r.duplicateCount = dup.size();
    r.uniqueCount = uniq.size();
    r.doubleByteChars = chars < 0 ? 0 : static_cast<std::size_t>(chars);
    r.duplicateText = JoinTrimmed(dup);
    r.uniqueText = JoinTrimmed(uniq);
    return r;
}

std::string DuplicateCodesStatus(std::size_t duplicatePaneLines, const DuplicateCodesResult& r) {
    return FormatStatus("重码：%d行 %d字；不重码%d", {duplicatePaneLines, r.doubleByteChars, r.uniqueCount});
}

}  // namespace zelmora

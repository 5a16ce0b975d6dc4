// The text helpers the formats share: GB18030 keywords and messages, blanks
// and tokens.
#include <unicode/ucnv.h>

#include <string>

#include "core/failure.h"
#include "core/text.h"
#include "formats/encoding.h"
#include "formats/encoding_internal.h"
#include "formats/lines.h"

namespace zelmora::formats {

namespace {

std::string Convert(const char* to, const char* from, std::string_view text) {
    if (text.empty()) return {};
    std::string out(text.size() * 4 + 8, '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()), text.data(),
                             static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return std::string(text);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

}  // namespace

std::string Gb(std::string_view utf8) { return Convert("gb18030", "UTF-8", utf8); }
// Through EncodeText, so that messages show the characters GB18030-2022 moved
// as the output does; text that is no GB18030 still shows as best it can.
std::string Utf8Of(std::string_view gb18030) {
    try {
        return EncodeText(gb18030, Encoding::Utf8, false, TextEncoding::Gb18030);
    } catch (const Failure&) {
        return Convert("UTF-8", "gb18030", gb18030);
    }
}
std::string MessageText(std::string_view gb18030) {
    // Codes and ASCII words, most of what reports show, need no conversion.
    for (char c : gb18030)
        if (static_cast<unsigned char>(c) >= 0x80) return Utf8Of(gb18030);
    return std::string(gb18030);
}

std::string Utf8Shown(std::string_view gb18030) {
    std::string shown = Utf8Of(AbbreviatedText(gb18030));
    if (shown.find_first_of("\r\n") == std::string::npos) return shown;
    // A message is one line.
    std::string out;
    for (char c : shown) c == '\r' ? out += "\\r" : c == '\n' ? out += "\\n" : out += c;
    return out;
}

bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace zelmora::formats

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

std::string Utf8Shown(std::string_view gb18030) { return Utf8Of(AbbreviatedText(gb18030)); }

bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

void AppendToken(std::string& out, std::string_view token) {
    bool quote = token.empty();
    for (std::size_t i = 0; i < token.size() && !quote; i += CharWidth(token, i)) {
        auto c = static_cast<unsigned char>(token[i]);
        quote = c <= 0x20 || c == '"' || c == ',';
    }
    if (!quote) {
        out += token;
        return;
    }
    out += '"';
    for (std::size_t i = 0; i < token.size();) {
        std::size_t w = CharWidth(token, i);
        if (token[i] == '"') out += '"';
        out.append(token.substr(i, w));
        i += w;
    }
    out += '"';
}

}  // namespace zelmora::formats

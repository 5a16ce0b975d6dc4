#pragma once
// Test helpers: tests are written in UTF-8, the system works on GBK bytes.
#include <unicode/ucnv.h>

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/line_list.h"

namespace testutil {

inline std::string Convert(const char* to, const char* from, std::string_view text) {
    if (text.empty()) return {};
    std::string out(text.size() * 4 + 8, '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()), text.data(),
                             static_cast<int32_t>(text.size()), &status);
    out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(n) : 0);
    return out;
}

// UTF-8 → GBK bytes.
inline std::string G(std::string_view utf8) { return Convert("windows-936", "UTF-8", utf8); }
// GBK bytes → UTF-8, for readable failure messages.
inline std::string U(std::string_view gbk) { return Convert("UTF-8", "windows-936", gbk); }

// GBK lines joined by CR LF (no final break), from UTF-8 lines.
inline std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string out;
    bool first = true;
    for (auto l : lines) {
        if (!first) out += "\r\n";
        out += G(l);
        first = false;
    }
    return out;
}

// The bytes of one of the format samples in tests/data/formats.
inline std::string FormatsSample(const std::string& name) {
    std::ifstream f(std::string(ZELMORA_FORMATS_DATA) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

inline std::vector<std::string> Vec(const zelmora::LineList& l) { return l.lines(); }

inline std::vector<std::string> GVec(std::initializer_list<std::string_view> utf8) {
    std::vector<std::string> v;
    for (auto s : utf8) v.push_back(G(s));
    return v;
}

}  // namespace testutil

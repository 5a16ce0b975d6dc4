#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>

namespace fuzz {

TwoTexts SplitTwo(std::string_view bytes) {
    const std::size_t cut = bytes.find('\x1E');
    if (cut == std::string_view::npos) return {bytes, std::nullopt};
    return {bytes.substr(0, cut), bytes.substr(cut + 1)};
}

std::string Escaped(std::string_view bytes, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '\n') {
            out += "\\n\n";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    if (bytes.size() > limit) out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

void Disagree(const char* what, std::string_view expected, std::string_view actual) {
    std::fprintf(stderr, "\n=== %s\n--- expected:\n%s\n--- actual:\n%s\n===\n", what, Escaped(expected).c_str(),
                 Escaped(actual).c_str());
    std::abort();
}

void Fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "\n=== %s\n%s\n===\n", what, Escaped(detail).c_str());
    std::abort();
}

}  // namespace fuzz

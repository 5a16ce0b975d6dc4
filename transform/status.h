#pragma once
// Status-line templates are filled here so that the window and the
// command-line tool show the same texts. Templates and results are UTF-8.
#include <cstddef>
#include <initializer_list>
#include <string>

namespace zelmora {

// Replaces each "%d" of the template, in order, by the next number.
inline std::string FormatStatus(const std::string& tmpl, std::initializer_list<std::size_t> numbers) {
    std::string out;
    auto it = numbers.begin();
    for (std::size_t i = 0; i < tmpl.size(); ++i) {
        if (tmpl[i] == '%' && i + 1 < tmpl.size() && tmpl[i + 1] == 'd' && it != numbers.end()) {
            out += std::to_string(*it++);
            ++i;
        } else {
            out += tmpl[i];
        }
    }
    return out;
}

// "%d行"
inline std::string LineCountStatus(std::size_t lines) { return FormatStatus("%d行", {lines}); }

// The wait text of the long commands.
inline const char* const kWaitText = "请稍等...";

}  // namespace zelmora

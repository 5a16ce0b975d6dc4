#pragma once
// The detection set: words and slices of real tables written in every
// encoding a table comes in, each read back with recognition, and how each
// reading went. The tests take part of it; bench/recognition_share all of it.
#include <unicode/ucnv.h>

#include <cstddef>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/failure.h"
#include "formats/encoding.h"
#include "formats/encoding_internal.h"

namespace zelmora::detection {

inline const char* const kDebianWubi = "/usr/share/rime-data/wubi86.dict.yaml";

inline std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// ICU conversion; nullopt when `to` can't hold the text.
inline std::optional<std::string> Convert(const char* to, const char* from, const std::string& text) {
    if (text.empty()) return std::string();
    std::string out(text.size() * 4 + 8, '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()), text.data(),
                             static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return std::nullopt;
    out.resize(static_cast<std::size_t>(n));
    // ICU substitutes silently for some encodings: a round trip tells.
    std::string back(out.size() * 4 + 8, '\0');
    status = U_ZERO_ERROR;
    n = ucnv_convert(from, to, back.data(), static_cast<int32_t>(back.size()), out.data(),
                     static_cast<int32_t>(out.size()), &status);
    if (U_FAILURE(status)) return std::nullopt;
    back.resize(static_cast<std::size_t>(n));
    if (back != text) return std::nullopt;
    return out;
}

// One way of writing UTF-8 text to a file.
struct Variant {
    const char* name;
    const char* icuName;  // ICU's name of the encoding
    formats::Encoding expected;
    std::string bom;
};

inline std::vector<Variant> Variants() {
    using formats::Encoding;
    return {
        {"UTF-8", "UTF-8", Encoding::Utf8, ""},
        {"UTF-8 with BOM", "UTF-8", Encoding::Utf8, "\xEF\xBB\xBF"},
        {"GBK", "windows-936", Encoding::Gb18030, ""},
        {"GB18030", "gb18030", Encoding::Gb18030, ""},
        {"GB18030 with BOM", "gb18030", Encoding::Gb18030, "\x84\x31\x95\x33"},
        {"UTF-16LE", "UTF-16LE", Encoding::Utf16le, ""},
        {"UTF-16LE with BOM", "UTF-16LE", Encoding::Utf16le, std::string("\xFF\xFE", 2)},
        {"UTF-16BE", "UTF-16BE", Encoding::Utf16be, ""},
        {"UTF-16BE with BOM", "UTF-16BE", Encoding::Utf16be, std::string("\xFE\xFF", 2)},
    };
}

enum class Outcome { Right, Refused, Wrong };

// Reads `bytes`, written from `utf8`, as every command does: right when the
// text is the one written and no doubt was raised; refused when recognition
// called it close or decoding failed (nothing is written silently then);
// wrong when other text came back without a word of doubt.
inline Outcome Judge(const std::string& bytes, const std::string& utf8, const Variant& v) {
    const formats::Recognition r = formats::RecognizeEncoding(bytes);
    if (r.encoding == v.expected) return r.closeCall ? Outcome::Refused : Outcome::Right;
    if (r.closeCall) return Outcome::Refused;
    try {
        const formats::DecodedText d = formats::DecodeText(bytes, formats::Encoding::Auto);
        const std::optional<std::string> written = Convert("gb18030", "UTF-8", utf8);
        return written && d.text == *written ? Outcome::Right : Outcome::Wrong;
    } catch (const Failure&) {
        return Outcome::Refused;
    }
}

struct Tally {
    std::size_t right = 0, refused = 0, wrong = 0;
    std::vector<std::string> wrongSamples, refusedSamples;  // a few, for messages
    void add(Outcome o, const std::string& what) {
        if (o == Outcome::Right) ++right;
        if (o == Outcome::Refused && ++refused <= 5) refusedSamples.push_back(what);
        if (o == Outcome::Wrong) {
            ++wrong;
            if (wrongSamples.size() < 10) wrongSamples.push_back(what);
        }
    }
    std::size_t total() const { return right + refused + wrong; }
    double rightShare() const { return total() ? 100.0 * static_cast<double>(right) / total() : 0; }
};

// The lines of a table, in UTF-8 (the built-in table is GBK with CR LF).
inline std::vector<std::string> Lines(const std::string& utf8) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t end = utf8.find('\n', i);
        if (end == std::string::npos) end = utf8.size();
        std::string line = utf8.substr(i, end - i);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        i = end + 1;
    }
    return lines;
}

// The words of table lines: plain group lines ("code word word") or Rime
// data lines ("word<TAB>code<TAB>weight").
inline std::vector<std::string> Words(const std::vector<std::string>& lines, bool rime) {
    std::vector<std::string> words;
    bool data = !rime;
    for (const std::string& line : lines) {
        if (!data) {
            data = line == "...";
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        if (rime) {
            words.push_back(line.substr(0, line.find('\t')));
            continue;
        }
        std::istringstream in(line);
        std::string token;
        in >> token;  // the code
        while (in >> token) words.push_back(token);
    }
    return words;
}

// The number of characters of UTF-8 text.
inline std::size_t Characters(const std::string& utf8) {
    std::size_t n = 0;
    for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// Every word alone on a line, in a variant: single characters tallied in
// `chars`, longer words in `words`.
inline void JudgeWords(const std::vector<std::string>& list, const Variant& v, Tally& words, Tally& chars,
                       std::size_t step = 1) {
    for (std::size_t i = 0; i < list.size(); i += step) {
        const std::string text = list[i] + "\n";
        std::optional<std::string> bytes = Convert(v.icuName, "UTF-8", text);
        if (!bytes) continue;  // the encoding can't hold it
        (Characters(list[i]) == 1 ? chars : words).add(Judge(v.bom + *bytes, text, v), list[i]);
    }
}

// Every slice of `size` consecutive lines, cut one after another from the
// first line (`stride` of them, for a quicker sample).
inline void JudgeSlices(const std::vector<std::string>& lines, std::size_t size, const Variant& v, Tally& tally,
                        std::size_t stride = 1) {
    std::vector<std::optional<std::string>> encoded;
    encoded.reserve(lines.size());
    for (const std::string& line : lines) encoded.push_back(Convert(v.icuName, "UTF-8", line + "\n"));
    for (std::size_t at = 0, n = 0; at + size <= lines.size(); at += size, ++n) {
        if (n % stride) continue;
        std::string bytes = v.bom, text;
        bool holds = true;
        for (std::size_t k = at; k < at + size && holds; ++k) {
            holds = encoded[k].has_value();
            if (holds) bytes += *encoded[k], text += lines[k] + "\n";
        }
        if (holds) tally.add(Judge(bytes, text, v), "line " + std::to_string(at + 1) + " +" + std::to_string(size));
    }
}

}  // namespace zelmora::detection

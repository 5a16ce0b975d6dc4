// Typing any text through any table: parts typed apart on threads and joined
// give the figures of one go, and the optimal segmentation never needs more
// keys than the greedy one.
//
// Input: the table (any format, read as UTF-8 or by detection), then a record
// separator (0x1E) and the text (UTF-8, invalid bytes dropped). The text's
// first byte also chooses the parts' size and the auto-commit length.
#include <cstdint>
#include <string>

#include "core/failure.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "fuzz/fuzz_support.h"
#include "typing/score.h"
#include "typing/typing.h"

using namespace zelmora;

namespace {

std::u32string Decode(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) {
            ++i;
            continue;
        }
        char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = true;
        for (std::size_t k = 1; k < n; ++k) {
            ok = ok && (static_cast<unsigned char>(s[i + k]) >> 6) == 2;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (ok && cp <= 0x10FFFF) out += cp;
        i += ok ? n : 1;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::TwoTexts in = fuzz::SplitTwo(std::string_view(reinterpret_cast<const char*>(data), size));
    formats::TableDocument doc;
    try {
        doc = formats::ReadTable(in.first, formats::Encoding::Auto, formats::Format::Auto);
    } catch (const Failure&) {
        return 0;
    }
    const std::string_view bytes = in.second.value_or(std::string_view());
    const std::u32string text = Decode(bytes);
    const unsigned knob = text.empty() ? 0 : static_cast<unsigned>(text[0]);
    typing::TypingOptions options;
    options.autoCommit = knob % 5;
    const typing::TypingTable table(doc.entries, doc.textEncoding(), options);
    std::uint64_t keys[2] = {0, 0};
    for (typing::Segmentation s : {typing::Segmentation::Greedy, typing::Segmentation::Optimal}) {
        typing::Typist whole(table, s);
        whole.type(text);
        whole.finish();
        typing::ScoreOptions o;
        o.segmentation = s;
        o.partCharacters = 1 + knob % 7;
        o.threads = 1 + knob % 3;
        const typing::Figures parted = typing::ScoreString(table, text, o);
        if (!(parted == whole.figures())) fuzz::Fail("parts typed apart differ from one go", bytes);
        keys[s == typing::Segmentation::Optimal] = whole.figures().tableKeys();
    }
    if (keys[1] > keys[0]) fuzz::Fail("the optimal segmentation needs more keys than the greedy one", bytes);
    return 0;
}

#pragma once
// What the fuzz targets share: choices taken from the front of an input, an
// input cut into two texts, and the stop when an oracle disagrees.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "formats/document.h"
#include "formats/encoding.h"

namespace fuzz {

// Every encoding and format a reader can be asked for, detection included.
inline constexpr zelmora::formats::Encoding kEncodings[] = {
    zelmora::formats::Encoding::Auto, zelmora::formats::Encoding::Gbk,     zelmora::formats::Encoding::Gb18030,
    zelmora::formats::Encoding::Utf8, zelmora::formats::Encoding::Utf16le, zelmora::formats::Encoding::Utf16be};
inline constexpr zelmora::formats::Format kFormats[] = {
    zelmora::formats::Format::Auto,   zelmora::formats::Format::Plain,  zelmora::formats::Format::Rime,
    zelmora::formats::Format::Libime, zelmora::formats::Format::Fcitx4, zelmora::formats::Format::Ibus,
    zelmora::formats::Format::Yong};

// An input read front to back: a few bytes of choices, then text.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : bytes_(reinterpret_cast<const char*>(data), size) {}
    // The next byte, 0 once the input is used up.
    unsigned take() {
        if (bytes_.empty()) return 0;
        const unsigned c = static_cast<unsigned char>(bytes_.front());
        bytes_.remove_prefix(1);
        return c;
    }
    std::string_view rest() const { return bytes_; }

private:
    std::string_view bytes_;
};

// Two texts in one input: up to the first record separator (0x1E) and after
// it; no second text when there is no separator. A separator is a single
// byte so that mutations make and move it easily.
struct TwoTexts {
    std::string_view first;
    std::optional<std::string_view> second;
};
TwoTexts SplitTwo(std::string_view bytes);

// Bytes as C-escaped text for a report, cut after `limit` bytes.
std::string Escaped(std::string_view bytes, std::size_t limit = 4000);

// An oracle found two sides that should agree and don't: prints both and
// aborts, so libFuzzer keeps the input as a crash.
[[noreturn]] void Disagree(const char* what, std::string_view expected, std::string_view actual);
[[noreturn]] void Fail(const char* what, std::string_view detail = {});

}  // namespace fuzz

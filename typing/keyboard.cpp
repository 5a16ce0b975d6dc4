// The standard touch-typing map of the US keyboard.
#include "typing/keyboard.h"

#include <string_view>

namespace zelmora::typing {

std::size_t FingerIndexOf(char key) {
    // Built once: every key press asks.
    static const std::array<std::uint8_t, 128> kFingerOf = [] {
        static constexpr std::array<std::string_view, 8> kKeys = {
            "`1qaz", "2wsx", "3edc", "45rtfgvb", "67yuhjnm", "8ik,", "9ol.", "0-=p[]\\;'/",
        };
        std::array<std::uint8_t, 128> fingerOf{};
        fingerOf.fill(static_cast<std::uint8_t>(kFingers));
        for (std::size_t f = 0; f < kKeys.size(); ++f)
            for (char k : kKeys[f]) fingerOf[static_cast<unsigned char>(k)] = static_cast<std::uint8_t>(f);
        fingerOf[' '] = static_cast<std::uint8_t>(Finger::Thumb);
        return fingerOf;
    }();
    const auto k = static_cast<unsigned char>(key);
    return k < 128 ? kFingerOf[k] : kFingers;
}

Hand HandOf(Finger finger) {
    if (finger == Finger::Thumb) return Hand::Thumbs;
    return finger <= Finger::LeftIndex ? Hand::Left : Hand::Right;
}

const char* FingerName(Finger finger) {
    static constexpr const char* kNames[kFingers] = {
        "left pinky",   "left ring",  "left middle", "left index", "right index",
        "right middle", "right ring", "right pinky", "thumb",
    };
    return kNames[static_cast<std::size_t>(finger)];
}

KeyStroke KeyOf(char32_t c) {
    if (c >= 'a' && c <= 'z') return {static_cast<char>(c), false};
    if (c >= 'A' && c <= 'Z') return {static_cast<char>(c - 'A' + 'a'), true};
    static constexpr std::string_view kShifted = "~!@#$%^&*()_+{}|:\"<>?", kBase = "`1234567890-=[]\\;',./";
    if (c < 0x21 || c > 0x7E) return {};
    const char ch = static_cast<char>(c);
    if (const std::size_t at = kShifted.find(ch); at != std::string_view::npos) return {kBase[at], true};
    return {ch, false};
}

}  // namespace zelmora::typing

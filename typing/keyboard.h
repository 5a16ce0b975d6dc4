#pragma once
// The US keyboard as a touch typist uses it: which finger and hand strike a
// key, and which key (with or without shift) types an ASCII character.
#include <array>
#include <cstddef>
#include <cstdint>

namespace zelmora::typing {

enum class Finger : std::uint8_t {
    LeftPinky,
    LeftRing,
    LeftMiddle,
    LeftIndex,
    RightIndex,
    RightMiddle,
    RightRing,
    RightPinky,
    Thumb,
};
inline constexpr std::size_t kFingers = 9;

enum class Hand : std::uint8_t { Left, Right, Thumbs };

// `key`: a key by the character it types unshifted (' ' the space bar).
// Keys that aren't on the main block go to no finger: kFingers.
std::size_t FingerIndexOf(char key);
Hand HandOf(Finger finger);
// English names ("left pinky") for reports.
const char* FingerName(Finger finger);

// The key that types a printable ASCII character, and whether shift is held.
struct KeyStroke {
    char key = 0;  // 0: no key types it
    bool shift = false;
};
KeyStroke KeyOf(char32_t c);

}  // namespace zelmora::typing

#pragma once
// Unicode to code page 936 ("windows-936"), the way back of ToUtf16 for GBK: the
// window holds Unicode text, the derivations and files GBK bytes.
#include <string>
#include <string_view>

namespace zelmora {

// Characters that GBK lacks become '?', as the ANSI conversion of the desktop
// gives them.
std::string EncodeGbk(std::u16string_view text);

}  // namespace zelmora

#pragma once
// The bytes of a pane's text and the encoding they are in. A text whose every
// character has a GBK code is held as GBK, byte for byte as it always was; a
// text with any character outside GBK (a CJK Extension B character, an emoji)
// is held as GB18030, which keeps every character and agrees with GBK on the
// ASCII bytes that the derivations split at.
#include <QString>
#include <string>
#include <string_view>

#include "core/collation.h"

namespace zelmora {

struct PaneText {
    std::string bytes;
    TextEncoding encoding = TextEncoding::Gbk;

    bool operator==(const PaneText&) const = default;
};

// Unicode text as pane bytes: GBK when every character has a GBK code,
// otherwise GB18030. Lone surrogates become '?'.
PaneText EncodePaneText(std::u16string_view text);
PaneText EncodePaneText(const QString& text);

// Pane bytes as Unicode; bytes that are no character become ICU's substitute.
std::u16string DecodePaneText(std::string_view bytes, TextEncoding encoding);

// The same text in another encoding (GBK to GB18030 always succeeds).
std::string ConvertPaneText(std::string_view bytes, TextEncoding from, TextEncoding to);

// True when the bytes are characters of the encoding throughout.
bool IsValidText(std::string_view bytes, TextEncoding encoding);

}  // namespace zelmora

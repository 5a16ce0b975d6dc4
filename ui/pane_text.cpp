#include "ui/pane_text.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include "core/failure.h"

namespace zelmora {

namespace {

const char* ConverterName(TextEncoding encoding) {
    return encoding == TextEncoding::Gb18030 ? "gb18030" : "windows-936";
}

// One converter per encoding and purpose, per thread (ICU converters are not
// shareable). `strict`: stop at the first character without a code, instead
// of substituting it.
UConverter* Converter(TextEncoding encoding, bool strict) {
    struct Set {
        UConverter* c[2][2] = {};
        ~Set() {
            for (auto& row : c)
                for (UConverter* cnv : row)
                    if (cnv) ucnv_close(cnv);
        }
    };
    thread_local Set set;
    UConverter*& cnv = set.c[encoding == TextEncoding::Gb18030][strict];
    if (!cnv) {
        UErrorCode status = U_ZERO_ERROR;
        cnv = ucnv_open(ConverterName(encoding), &status);
        if (U_FAILURE(status))
            throw Failure(std::string("Cannot open converter \"") + ConverterName(encoding) +
                          "\": " + u_errorName(status));
        status = U_ZERO_ERROR;
        if (strict) {
            ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
            status = U_ZERO_ERROR;
            ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        } else {
            ucnv_setSubstChars(cnv, "?", 1, &status);
        }
    }
    return cnv;
}

// Unicode to the encoding; false (strict) when a character has no code.
bool Encode(std::u16string_view text, TextEncoding encoding, bool strict, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    UConverter* cnv = Converter(encoding, strict);
    ucnv_resetFromUnicode(cnv);
    out.resize(text.size() * 4 + 4);  // GB18030 takes at most four bytes per unit
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n =
        ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()), reinterpret_cast<const UChar*>(text.data()),
                        static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) {
        out.clear();
        return false;
    }
    out.resize(static_cast<std::size_t>(n));
    return true;
}

}  // namespace

PaneText EncodePaneText(std::u16string_view text) {
    PaneText t;
    if (Encode(text, TextEncoding::Gbk, true, t.bytes)) return t;
    t.encoding = TextEncoding::Gb18030;
    Encode(text, TextEncoding::Gb18030, false, t.bytes);
    return t;
}

PaneText EncodePaneText(const QString& text) {
    return EncodePaneText(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
}

std::u16string DecodePaneText(std::string_view bytes, TextEncoding encoding) { return ToUtf16(bytes, encoding); }

std::string ConvertPaneText(std::string_view bytes, TextEncoding from, TextEncoding to) {
    if (from == to) return std::string(bytes);
    std::string out;
    Encode(DecodePaneText(bytes, from), to, false, out);
    return out;
}

bool IsValidText(std::string_view bytes, TextEncoding encoding) {
    if (bytes.empty()) return true;
    UConverter* cnv = Converter(encoding, true);
    ucnv_resetToUnicode(cnv);
    const char* source = bytes.data();
    const char* const end = source + bytes.size();
    UChar buffer[4096];
    for (;;) {
        UChar* target = buffer;
        UErrorCode status = U_ZERO_ERROR;
        ucnv_toUnicode(cnv, &target, buffer + 4096, &source, end, nullptr, true, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) continue;
        return U_SUCCESS(status);
    }
}

}  // namespace zelmora

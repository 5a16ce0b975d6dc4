#include "core/gbk.h"

#include <unicode/ucnv.h>

#include "core/failure.h"
#include "core/limits.h"

namespace zelmora {

namespace {

struct Encoder {
    UConverter* converter = nullptr;
    Encoder() {
        UErrorCode status = U_ZERO_ERROR;
        converter = ucnv_open("windows-936", &status);
        if (U_FAILURE(status))
            throw Failure(std::string("Cannot open converter \"windows-936\": ") + u_errorName(status));
        status = U_ZERO_ERROR;
        ucnv_setSubstChars(converter, "?", 1, &status);
    }
    ~Encoder() { ucnv_close(converter); }
};

// ICU converters are not shareable between threads.
UConverter* Converter() {
    thread_local Encoder encoder;
    return encoder.converter;
}

}  // namespace

std::string EncodeGbk(std::u16string_view text) {
    if (text.empty()) return {};
    // ICU counts in int32.
    CheckLimit(text.size(), "characters of text to encode at once", (kMaxInt32 - 2) / 2);
    UConverter* cnv = Converter();
    ucnv_resetFromUnicode(cnv);
    // At most two bytes per UTF-16 unit; '?' for a surrogate pair takes one.
    std::string out(text.size() * 2 + 2, '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n =
        ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()), reinterpret_cast<const UChar*>(text.data()),
                        static_cast<int32_t>(text.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(static_cast<std::size_t>(n) + 1);
        status = U_ZERO_ERROR;
        n = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()),
                            reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), &status);
    }
    if (U_FAILURE(status)) n = 0;
    out.resize(static_cast<std::size_t>(n));
    return out;
}

}  // namespace zelmora

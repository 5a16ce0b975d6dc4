// Texts as code points, block by block.
#include "formats/text_stream.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/failure.h"
#include "formats/encoding_internal.h"

namespace zelmora::formats {

namespace {

// Bytes read at a time, and UTF-16 units ICU writes at a time.
constexpr std::size_t kBlock = std::size_t(1) << 16;
constexpr std::size_t kUnits = std::size_t(1) << 13;

// A sequence that is no character is judged, and shown in a message, with
// this many bytes at hand, as the whole-file decoder shows it.
constexpr std::size_t kShown = 4;

bool IsHigh(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

struct TextStream::Converter {
    ConverterPtr cnv;
    bool swap = false;  // GB18030: the characters GB18030-2022 moved
    char16_t units[kUnits];
    char16_t high = 0;  // a pair's first half, its second not written yet
};

TextStream::TextStream(ByteSource& source, Encoding encoding, std::string name)
    : source_(source), name_(std::move(name)), buffer_(kBlock) {
    const Recognition r = RecognizeSource(source_, encoding, kBlock);
    encoding_ = r.encoding;
    hadBom_ = r.hadBom;
    closeCall_ = r.closeCall;
    if (encoding_ == Encoding::Gbk || encoding_ == Encoding::Gb18030) {
        converter_ = std::make_unique<Converter>();
        converter_->cnv = OpenStrict(GbConverterName(TextEncodingOf(encoding_)));
        converter_->swap = encoding_ == Encoding::Gb18030;
    }
    source_.rewind();
    for (std::size_t skip = hadBom_ ? BomLength(encoding_) : 0; skip > 0 && !eof_;) {
        if (at_ == end_) fill();
        const std::size_t k = std::min(skip, end_ - at_);
        at_ += k;
        skip -= k;
    }
}

TextStream::~TextStream() = default;

bool TextStream::next(std::u32string& out, std::size_t size) {
    size = std::max<std::size_t>(size, 1);
    const std::size_t old = out.size();
    out.resize(old + size);
    char32_t* const begin = out.data() + old;
    char32_t* const limit = begin + size;
    char32_t* to = begin;
    begin_ = begin;
    try {
        while (to < limit && !finished_) {
            switch (encoding_) {
                case Encoding::Utf8:
                    to = utf8(to, limit);
                    break;
                case Encoding::Utf16le:
                case Encoding::Utf16be:
                    to = utf16(to, limit);
                    break;
                default:
                    to = gb(to, limit);
                    break;
            }
            if (to < limit && !finished_) fill();
        }
    } catch (...) {
        out.resize(old);
        throw;
    }
    const auto n = static_cast<std::size_t>(to - begin);
    out.resize(old + n);
    given_ += n;
    return n > 0;
}

// Reads the next block behind the bytes not decoded yet, which are fewer than
// kShown: each decoder stops only for want of bytes or room.
void TextStream::fill() {
    const std::size_t left = end_ - at_;
    std::memmove(buffer_.data(), buffer_.data() + at_, left);
    at_ = 0;
    end_ = left;
    const std::size_t n = source_.read(buffer_.data() + end_, buffer_.size() - end_);
    if (n == 0) eof_ = true;
    end_ += n;
}

void TextStream::control(char32_t c, const char32_t* at) {
    const std::uint64_t index = given_ + static_cast<std::uint64_t>(at - begin_);
    if (c == '\r') {
        ++line_;
        afterCr_ = index + 1;
    } else if (c == '\n') {
        if (index != afterCr_) ++line_;
    } else if (c == 0) {
        throw Failure((name_.empty() ? "Line " : "\"" + name_ + "\", line ") + std::to_string(line_) +
                      " holds a NUL byte (U+0000), which no text holds: is it a binary file?");
    }
}

void TextStream::fail(std::string_view bytes, std::size_t offset, bool truncated) const {
    FailUndecodable(bytes, offset, line_, truncated, EncodingName(encoding_), name_);
}

char32_t* TextStream::utf8(char32_t* to, char32_t* limit) {
    const auto* b = reinterpret_cast<const unsigned char*>(buffer_.data());
    const std::string_view bytes(buffer_.data(), end_);
    std::size_t i = at_;
    while (to < limit && i < end_) {
        const unsigned c = b[i];
        if (c < 0x80) {
            if (c <= '\r') control(c, to);
            *to++ = c;
            ++i;
            continue;
        }
        if (end_ - i < kShown) {
            if (!eof_) break;
        } else if (c >= 0xE1 && c <= 0xEF && c != 0xED && (b[i + 1] & 0xC0) == 0x80 && (b[i + 2] & 0xC0) == 0x80) {
            // Most of Chinese text: three bytes, never overlong nor a surrogate.
            *to++ = (char32_t{c & 0x0F} << 12) | (char32_t{b[i + 1] & 0x3Fu} << 6) | (b[i + 2] & 0x3Fu);
            i += 3;
            continue;
        }
        char32_t cp = 0;
        const int n = Utf8SequenceAt(bytes, i, cp);
        if (n <= 0) fail(bytes, i, n < 0);
        *to++ = cp;
        i += static_cast<std::size_t>(n);
    }
    at_ = i;
    if (eof_ && at_ == end_) finished_ = true;
    return to;
}

char32_t* TextStream::utf16(char32_t* to, char32_t* limit) {
    const auto* b = reinterpret_cast<const unsigned char*>(buffer_.data());
    const std::string_view bytes(buffer_.data(), end_);
    const bool le = encoding_ == Encoding::Utf16le;
    auto unit = [&](std::size_t k) -> char32_t { return le ? b[k] | (b[k + 1] << 8) : (b[k] << 8) | b[k + 1]; };
    std::size_t i = at_;
    while (to < limit && end_ - i >= 2) {
        const char32_t u = unit(i);
        if (u < 0xD800 || u > 0xDFFF) {
            if (u <= '\r') control(u, to);
            *to++ = u;
            i += 2;
            continue;
        }
        if (end_ - i < kShown) {
            if (!eof_) break;
            if (IsHigh(u)) fail(bytes, i, true);
        }
        if (IsLow(u) || !IsLow(unit(i + 2))) fail(bytes, i, false);
        *to++ = 0x10000 + ((u - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
        i += 4;
    }
    at_ = i;
    if (eof_ && to < limit) {
        if (at_ < end_) fail(bytes, at_, true);  // an odd byte at the end
        finished_ = true;
    }
    return to;
}

char32_t* TextStream::gb(char32_t* to, char32_t* limit) {
    Converter& c = *converter_;
    // Bytes after any that fail stay at hand, to be shown as the whole text
    // would show them, however the blocks fall.
    const std::size_t feedEnd = eof_ ? end_ : std::max(at_, end_ - std::min(end_, kShown - 1));
    while (to < limit) {
        UChar* const units = reinterpret_cast<UChar*>(c.units);
        UChar* u = units;
        const char* s = buffer_.data() + at_;
        UErrorCode status = U_ZERO_ERROR;
        const auto room = std::min<std::size_t>(static_cast<std::size_t>(limit - to), kUnits);
        ucnv_toUnicode(c.cnv.get(), &u, units + room, &s, buffer_.data() + feedEnd, nullptr, eof_, &status);
        at_ = static_cast<std::size_t>(s - buffer_.data());
        for (const UChar* k = units; k < u; ++k) {
            char32_t v = *k;
            if (c.high) {
                *to++ = 0x10000 + ((c.high - 0xD800u) << 10) + (v - 0xDC00);
                c.high = 0;
                continue;
            }
            if (IsHigh(v)) {
                c.high = static_cast<char16_t>(v);  // ICU writes a pair whole but for want of room
                continue;
            }
            if (c.swap) v = Gb2022Swap(static_cast<char16_t>(v));
            if (v <= '\r') control(v, to);
            *to++ = v;
        }
        if (status == U_BUFFER_OVERFLOW_ERROR) continue;
        if (U_FAILURE(status)) {
            char bad[32];
            auto length = static_cast<int8_t>(sizeof bad);
            UErrorCode ignored = U_ZERO_ERROR;
            ucnv_getInvalidChars(c.cnv.get(), bad, &length, &ignored);
            std::string shown(bad, static_cast<std::size_t>(std::max<int8_t>(length, 0)));
            const bool truncated = status == U_TRUNCATED_CHAR_FOUND;
            if (!truncated && shown.size() < kShown)
                shown.append(buffer_.data() + at_, std::min(end_ - at_, kShown - shown.size()));
            fail(shown, 0, truncated);
        }
        if (eof_) finished_ = true;
        break;
    }
    return to;
}

}  // namespace zelmora::formats

// Conversion between file bytes and the GB18030 text the derivations work on.
#include <optional>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <cstdio>
#include <memory>
#include <string>

#include "core/failure.h"
#include "formats/formats_internal.h"
#include "formats/table_io.h"

namespace zelmora::formats {

namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenStrict(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr cnv(ucnv_open(name, &status));
    if (U_FAILURE(status)) throw Failure(std::string("Cannot open converter \"") + name + "\": " + u_errorName(status));
    status = U_ZERO_ERROR;
    ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    return cnv;
}

// 1-based number of the line that holds byte `offset`.
std::size_t LineAt(std::string_view text, std::size_t offset) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
        } else if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            ++line;
        }
    }
    return line;
}

std::string CodePoint(char32_t cp) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

// Length of the valid UTF-8 sequence at i, 0 when invalid, or -1 when the
// text ends inside an otherwise valid sequence.
int Utf8SequenceAt(std::string_view s, std::size_t i, char32_t& cp) {
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = at(i);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    int len;
    char32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    for (int k = 1; k < len; ++k) {
        if (i + k >= s.size()) return -1;
        unsigned char d = at(i + k);
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
        // Reject overlong forms, surrogates and values past U+10FFFF as soon
        // as the second byte tells, so a truncated tail is judged fairly.
        if (k == 1) {
            if (len == 3 && c == 0xE0 && d < 0xA0) return 0;
            if (len == 3 && c == 0xED && d >= 0xA0) return 0;
            if (len == 4 && c == 0xF0 && d < 0x90) return 0;
            if (len == 4 && c == 0xF4 && d >= 0x90) return 0;
        }
    }
    if (cp < min) return 0;
    return len;
}

enum class Utf8Check { Valid, Invalid, Truncated };
Utf8Check CheckUtf8(std::string_view s, std::size_t& errorAt) {
    std::size_t i = 0;
    char32_t cp;
    while (i < s.size()) {
        // ASCII runs are the common case.
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        int n = Utf8SequenceAt(s, i, cp);
        if (n <= 0) {
            errorAt = i;
            return n < 0 ? Utf8Check::Truncated : Utf8Check::Invalid;
        }
        i += static_cast<std::size_t>(n);
    }
    return Utf8Check::Valid;
}

[[noreturn]] void FailInput(std::string_view bytes, std::size_t offset, std::size_t lineNumber, bool truncated,
                            const char* encoding) {
    std::size_t end = std::min(bytes.size(), offset + 4);
    if (truncated)
        throw Failure("Line " + std::to_string(lineNumber) + ": the file ends inside a " + encoding +
                      " character (" + Hex(bytes.substr(offset)) + "); is the file truncated?");
    throw Failure("Line " + std::to_string(lineNumber) + ": bytes " + Hex(bytes.substr(offset, end - offset)) +
                  " are not valid " + encoding + " (give the file's encoding with --encoding)");
}

std::string FromUnicode(const std::u16string& u, const char* to) {
    if (u.empty()) return {};
    ConverterPtr cnv = OpenStrict(to);
    std::string out(u.size() * 4 + 16, '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(cnv.get(), out.data(), static_cast<int32_t>(out.size()),
                                reinterpret_cast<const UChar*>(u.data()), static_cast<int32_t>(u.size()), &status);
    if (U_FAILURE(status)) throw Failure(std::string("Cannot convert to ") + to + ": " + u_errorName(status));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string Utf8ToGb18030(std::string_view s) {
    std::u16string u;
    u.reserve(s.size());
    std::size_t i = 0;
    char32_t cp;
    while (i < s.size()) {
        int n = Utf8SequenceAt(s, i, cp);
        if (n <= 0) FailInput(s, i, LineAt(s, i), n < 0, "UTF-8");
        AppendUtf16(u, cp);
        i += static_cast<std::size_t>(n);
    }
    return FromUnicode(u, "gb18030");
}

std::string Utf16ToGb18030(std::string_view s, bool littleEndian) {
    std::u16string u;
    u.reserve(s.size() / 2);
    std::size_t lineNumber = 1;
    auto unit = [&](std::size_t i) -> char16_t {
        auto a = static_cast<unsigned char>(s[i]), b = static_cast<unsigned char>(s[i + 1]);
        return static_cast<char16_t>(littleEndian ? (a | (b << 8)) : ((a << 8) | b));
    };
    const char* name = littleEndian ? "UTF-16LE" : "UTF-16BE";
    std::size_t i = 0;
    for (; i + 1 < s.size(); i += 2) {
        char16_t c = unit(i);
        if (c == u'\n' && !(u.size() && u.back() == u'\r')) ++lineNumber;
        if (c == u'\r') ++lineNumber;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 3 >= s.size()) FailInput(s, i, lineNumber, true, name);
            char16_t d = unit(i + 2);
            if (d < 0xDC00 || d > 0xDFFF) FailInput(s, i, lineNumber, false, name);
            u += c;
            u += d;
            i += 2;
            continue;
        }
        if (c >= 0xDC00 && c <= 0xDFFF) FailInput(s, i, lineNumber, false, name);
        u += c;
    }
    if (i < s.size()) FailInput(s, i, lineNumber, true, name);
    return FromUnicode(u, "gb18030");
}

// Decodes GB18030 (or GBK) bytes to UTF-16, failing with the line of the
// first bytes that are no character.
std::u16string ToUnicode(std::string_view text, TextEncoding textEncoding, Encoding target, std::size_t firstLine = 1) {
    std::u16string u;
    if (text.empty()) return u;
    const char* from = textEncoding == TextEncoding::Gbk ? "windows-936" : "gb18030";
    ConverterPtr cnv = OpenStrict(from);
    u.resize(text.size() + 1);
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(cnv.get(), reinterpret_cast<UChar*>(u.data()), static_cast<int32_t>(u.size()),
                              text.data(), static_cast<int32_t>(text.size()), &status);
    if (U_SUCCESS(status)) {
        u.resize(static_cast<std::size_t>(n));
        return u;
    }
    // Find the first character that does not convert, walking by characters.
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t w = CharWidth(text, i);
        ucnv_reset(cnv.get());
        UChar buf[8];
        status = U_ZERO_ERROR;
        ucnv_toUChars(cnv.get(), buf, 8, text.data() + i, static_cast<int32_t>(w), &status);
        if (U_FAILURE(status))
            throw Failure("Line " + std::to_string(LineAt(text, i) + firstLine - 1) + ": bytes " + Hex(text.substr(i, w)) +
                          " are no " + (textEncoding == TextEncoding::Gbk ? "GBK" : "GB18030") +
                          " character and can't be written in " + EncodingName(target));
        i += w;
    }
    throw Failure(std::string("Cannot convert the text to ") + EncodingName(target));
}

std::string GbkFromGb18030(std::string_view text, std::size_t firstLine) {
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t w = CharWidth(text, i);
        if (w == 4) {
            std::string ch(text.substr(i, 4));
            std::string shown;
            char32_t cp = 0;
            try {
                std::u16string u = ToUnicode(ch, TextEncoding::Gb18030, Encoding::Gbk);
                for (std::size_t k = 0; k < u.size(); ++k) {
                    char32_t c = u[k];
                    if (c >= 0xD800 && c <= 0xDBFF && k + 1 < u.size()) c = 0x10000 + ((c - 0xD800) << 10) + (u[++k] - 0xDC00);
                    cp = c;
                    AppendUtf8(shown, c);
                }
            } catch (const Failure&) {
            }
            throw Failure("Line " + std::to_string(LineAt(text, i) + firstLine - 1) + ": the character \"" + shown + "\" (" +
                          CodePoint(cp) + ") can't be written in GBK");
        }
        i += w;
    }
    return std::string(text);
}

}  // namespace

std::string Hex(std::string_view bytes) {
    std::string out;
    char buf[8];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%s0x%02X", out.empty() ? "" : " ", c);
        out += buf;
    }
    return out;
}

std::size_t CharWidth(std::string_view text, std::size_t i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x81 || c > 0xFE || i + 1 >= text.size()) return 1;
    auto d = static_cast<unsigned char>(text[i + 1]);
    if (d >= 0x30 && d <= 0x39 && i + 3 < text.size()) return 4;
    return 2;
}

Encoding ParseEncoding(std::string_view name) {
    if (name == "auto") return Encoding::Auto;
    if (name == "gbk") return Encoding::Gbk;
    if (name == "gb18030") return Encoding::Gb18030;
    if (name == "utf-8" || name == "utf8") return Encoding::Utf8;
    if (name == "utf-16le") return Encoding::Utf16le;
    if (name == "utf-16be") return Encoding::Utf16be;
    throw Failure("Unknown encoding \"" + std::string(name) +
                  "\" (known: auto, gbk, gb18030, utf-8, utf-16le, utf-16be)");
}

const char* EncodingName(Encoding encoding) {
    switch (encoding) {
        case Encoding::Auto: return "auto";
        case Encoding::Gbk: return "GBK";
        case Encoding::Gb18030: return "GB18030";
        case Encoding::Utf8: return "UTF-8";
        case Encoding::Utf16le: return "UTF-16LE";
        case Encoding::Utf16be: return "UTF-16BE";
    }
    return "?";
}

TextEncoding TextEncodingOf(Encoding fileEncoding) {
    return fileEncoding == Encoding::Gbk ? TextEncoding::Gbk : TextEncoding::Gb18030;
}

std::optional<Encoding> EncodingByBom(std::string_view head) {
    auto startsWith = [&](std::string_view bom) { return head.substr(0, bom.size()) == bom; };
    if (startsWith("\xEF\xBB\xBF")) return Encoding::Utf8;
    if (startsWith("\xFF\xFE")) return Encoding::Utf16le;
    if (startsWith("\xFE\xFF")) return Encoding::Utf16be;
    if (startsWith("\x84\x31\x95\x33")) return Encoding::Gb18030;
    return std::nullopt;
}

std::size_t BomLength(Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf8: return 3;
        case Encoding::Utf16le:
        case Encoding::Utf16be: return 2;
        case Encoding::Gb18030: return 4;
        default: return 0;
    }
}

DecodedText DecodeText(std::string_view bytes, Encoding encoding) {
    DecodedText d;
    if (encoding == Encoding::Auto) {
        if (std::optional<Encoding> byBom = EncodingByBom(bytes)) {
            encoding = *byBom;
        } else {
            std::size_t at = 0;
            Utf8Check c = CheckUtf8(bytes, at);
            // A file cut inside its last character is still a UTF-8 file: say so
            // instead of reading it as GB18030.
            if (c == Utf8Check::Truncated) FailInput(bytes, at, LineAt(bytes, at), true, "UTF-8");
            encoding = c == Utf8Check::Valid ? Encoding::Utf8 : Encoding::Gb18030;
        }
    }
    d.encoding = encoding;
    // GBK has no byte-order mark: its bytes are taken as they are.
    if (EncodingByBom(bytes) == encoding) {
        d.hadBom = true;
        bytes.remove_prefix(BomLength(encoding));
    }
    switch (encoding) {
        case Encoding::Utf8:
            d.text = Utf8ToGb18030(bytes);
            break;
        case Encoding::Utf16le:
            d.text = Utf16ToGb18030(bytes, true);
            break;
        case Encoding::Utf16be:
            d.text = Utf16ToGb18030(bytes, false);
            break;
        case Encoding::Gb18030:
            d.text = std::string(bytes);
            break;
        default:  // GBK: the bytes as they are
            d.text = std::string(bytes);
            break;
    }
    return d;
}

std::string EncodeText(std::string_view text, Encoding encoding, bool bom, TextEncoding textEncoding) {
    return EncodeTextFrom(text, encoding, bom, textEncoding, 1);
}

std::string EncodeTextFrom(std::string_view text, Encoding encoding, bool bom, TextEncoding textEncoding,
                           std::size_t firstLine) {
    switch (encoding) {
        case Encoding::Gbk:
            // GBK is GB18030 without its four-byte characters.
            return GbkFromGb18030(text, firstLine);
        case Encoding::Gb18030:
            return (bom ? std::string("\x84\x31\x95\x33") : std::string()) + std::string(text);
        case Encoding::Utf8: {
            std::u16string u = ToUnicode(text, textEncoding, encoding, firstLine);
            std::string out;
            out.reserve(text.size() * 3 / 2 + 3);
            if (bom) out += "\xEF\xBB\xBF";
            for (std::size_t k = 0; k < u.size(); ++k) {
                char32_t c = u[k];
                if (c >= 0xD800 && c <= 0xDBFF && k + 1 < u.size()) c = 0x10000 + ((c - 0xD800) << 10) + (u[++k] - 0xDC00);
                AppendUtf8(out, c);
            }
            return out;
        }
        case Encoding::Utf16le:
        case Encoding::Utf16be: {
            std::u16string u = ToUnicode(text, textEncoding, encoding, firstLine);
            const bool le = encoding == Encoding::Utf16le;
            std::string out;
            out.reserve(u.size() * 2 + 2);
            auto put = [&](char16_t c) {
                if (le) {
                    out += static_cast<char>(c & 0xFF);
                    out += static_cast<char>(c >> 8);
                } else {
                    out += static_cast<char>(c >> 8);
                    out += static_cast<char>(c & 0xFF);
                }
            };
            if (bom) put(0xFEFF);
            for (char16_t c : u) put(c);
            return out;
        }
        case Encoding::Auto:
            break;
    }
    throw Failure("No output encoding given");
}

// ---- Block by block ----

namespace {

// Line breaks in a piece that ends after a whole break: CR LF counts once.
std::size_t Breaks(std::string_view s) {
    std::size_t n = 0;
    bool cr = false;
    for (char c : s) {
        if (c == '\r' || (c == '\n' && !cr)) ++n;
        cr = c == '\r';
    }
    return n;
}

}  // namespace

bool Utf8Scan::scan(std::string_view s, bool last) {
    std::size_t i = 0;
    char32_t cp;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if (c == '\r' || (c == '\n' && !cr_)) ++line_;
            cr_ = c == '\r';
            ++i;
            continue;
        }
        // A sequence is judged with all of its bytes at hand.
        if (!last && i + 3 >= s.size()) break;
        int n = Utf8SequenceAt(s, i, cp);
        if (n == 0 || (n < 0 && !last)) {
            invalid_ = true;
            carry_.clear();
            return false;
        }
        // A file cut inside its last character is still a UTF-8 file.
        if (n < 0) FailInput(s, i, line_, true, "UTF-8");
        cr_ = false;
        i += static_cast<std::size_t>(n);
    }
    carry_.assign(s.substr(i));
    return true;
}

bool Utf8Scan::feed(std::string_view bytes) {
    if (invalid_) return false;
    if (carry_.empty()) return scan(bytes, false);
    const std::string joined = carry_ + std::string(bytes);
    return scan(joined, false);
}

bool Utf8Scan::finish() {
    if (invalid_) return false;
    const std::string rest = std::move(carry_);
    return scan(rest, true);
}

StreamDecoder::StreamDecoder(Encoding encoding) : encoding_(encoding) {}

void StreamDecoder::feed(std::string_view bytes, bool last, std::string& out) {
    if (encoding_ != Encoding::Utf8 && encoding_ != Encoding::Utf16le && encoding_ != Encoding::Utf16be) {
        out.append(bytes);  // GBK and GB18030 bytes are kept as they are
        return;
    }
    std::string joined;
    std::string_view s = bytes;
    if (!carry_.empty()) {
        joined = carry_ + std::string(bytes);
        s = joined;
    }
    units_.clear();
    if (encoding_ == Encoding::Utf8)
        utf8(s, last);
    else
        utf16(s, last);
    if (!units_.empty()) out += FromUnicode(units_, "gb18030");
}

void StreamDecoder::utf8(std::string_view s, bool last) {
    std::size_t i = 0;
    char32_t cp;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if (c == '\r' || (c == '\n' && !cr_)) ++line_;
            cr_ = c == '\r';
            units_ += static_cast<char16_t>(c);
            ++i;
            continue;
        }
        // Judged, and shown in a message, with four bytes at hand as in the whole file.
        if (!last && i + 3 >= s.size()) break;
        int n = Utf8SequenceAt(s, i, cp);
        if (n <= 0) FailInput(s, i, line_, n < 0, "UTF-8");
        AppendUtf16(units_, cp);
        cr_ = false;
        i += static_cast<std::size_t>(n);
    }
    carry_.assign(s.substr(i));
}

void StreamDecoder::utf16(std::string_view s, bool last) {
    const bool le = encoding_ == Encoding::Utf16le;
    const char* name = le ? "UTF-16LE" : "UTF-16BE";
    auto unit = [&](std::size_t i) -> char16_t {
        auto a = static_cast<unsigned char>(s[i]), b = static_cast<unsigned char>(s[i + 1]);
        return static_cast<char16_t>(le ? (a | (b << 8)) : ((a << 8) | b));
    };
    std::size_t i = 0;
    for (; i + 1 < s.size(); i += 2) {
        if (!last && i + 3 >= s.size()) break;
        char16_t c = unit(i);
        if (c == u'\n' && last_ != u'\r') ++line_;
        if (c == u'\r') ++line_;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 3 >= s.size()) FailInput(s, i, line_, true, name);
            char16_t d = unit(i + 2);
            if (d < 0xDC00 || d > 0xDFFF) FailInput(s, i, line_, false, name);
            units_ += c;
            units_ += d;
            last_ = d;
            i += 2;
            continue;
        }
        if (c >= 0xDC00 && c <= 0xDFFF) FailInput(s, i, line_, false, name);
        units_ += c;
        last_ = c;
    }
    if (last && i < s.size()) FailInput(s, i, line_, true, name);
    carry_.assign(s.substr(i));
}

StreamEncoder::StreamEncoder(Encoding encoding, bool bom, TextEncoding textEncoding,
                             std::function<void(std::string_view)> sink, std::size_t pieceSize)
    : encoding_(encoding), textEncoding_(textEncoding), bom_(bom), sink_(std::move(sink)), pieceSize_(pieceSize) {}

void StreamEncoder::append(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() < pieceSize_) return;
    if (encoding_ == Encoding::Gb18030) {
        emit(buffer_.size());  // kept as it is: any cut will do
        return;
    }
    walk();
    if (cut_ > 0) emit(cut_);
}

void StreamEncoder::finish() {
    if (!buffer_.empty() || !started_) emit(buffer_.size());
}

// Walks characters as CharWidth walks the whole text, as far as the bytes at
// hand decide, remembering the last offset just after a line break that is a
// character of its own: no character runs across it, and no CR LF pair.
void StreamEncoder::walk() {
    const auto* b = reinterpret_cast<const unsigned char*>(buffer_.data());
    const std::size_t n = buffer_.size();
    std::size_t i = walked_;
    while (i < n) {
        unsigned char c = b[i];
        if (cr_ && c != '\n') cut_ = i;
        std::size_t w = 1;
        if (c >= 0x81 && c <= 0xFE) {
            if (i + 1 >= n) break;
            unsigned char d = b[i + 1];
            if (d >= 0x30 && d <= 0x39) {
                if (i + 3 >= n) break;
                w = 4;
            } else {
                w = 2;
            }
        }
        cr_ = w == 1 && c == '\r';
        if (w == 1 && c == '\n') cut_ = i + 1;
        i += w;
    }
    walked_ = i;
}

void StreamEncoder::emit(std::size_t end) {
    std::string_view piece(buffer_.data(), end);
    std::string bytes = EncodeTextFrom(piece, encoding_, bom_ && !started_, textEncoding_, line_);
    started_ = true;
    if (encoding_ != Encoding::Gb18030) line_ += Breaks(piece);
    buffer_.erase(0, end);
    walked_ = walked_ > end ? walked_ - end : 0;
    cut_ = 0;
    sink_(bytes);
}

}  // namespace zelmora::formats

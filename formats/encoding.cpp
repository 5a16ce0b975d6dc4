// Conversion between file bytes and the GB18030 text the derivations work on.
#include <optional>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "core/text.h"
#include "core/failure.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/encoding_internal.h"
#include "formats/lines.h"
#include "formats/writing.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

namespace {

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

// A code point's UTF-8 bytes into b[0..3]; returns how many.
std::size_t Utf8BytesOf(char32_t cp, char* b) {
    std::size_t n = 0;
    if (cp < 0x80) {
        b[n++] = static_cast<char>(cp);
    } else if (cp < 0x800) {
        b[n++] = static_cast<char>(0xC0 | (cp >> 6));
        b[n++] = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        b[n++] = static_cast<char>(0xE0 | (cp >> 12));
        b[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        b[n++] = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        b[n++] = static_cast<char>(0xF0 | (cp >> 18));
        b[n++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        b[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        b[n++] = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return n;
}

void AppendUtf8(std::string& out, char32_t cp) {
    // One append of the character's bytes: byte by byte, each would check
    // the room and end the string again.
    char b[4];
    out.append(b, Utf8BytesOf(cp, b));
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

// GB18030-2022 moved 18 characters: the code points that 2005 gave four-byte
// codes now have the two-byte codes 2005 gave private-use code points, and
// the other way round. ICU still follows 2005, so the pairs are swapped on
// the way in and out; glibc's iconv already follows 2022.
constexpr char16_t kGb2022Pairs[18][2] = {
    {0xFE10, 0xE78D}, {0xFE11, 0xE78F}, {0xFE12, 0xE78E}, {0xFE13, 0xE790}, {0xFE14, 0xE791}, {0xFE15, 0xE792},
    {0xFE16, 0xE793}, {0xFE17, 0xE794}, {0xFE18, 0xE795}, {0xFE19, 0xE796}, {0x9FB4, 0xE81E}, {0x9FB5, 0xE826},
    {0x9FB6, 0xE82B}, {0x9FB7, 0xE82C}, {0x9FB8, 0xE832}, {0x9FB9, 0xE843}, {0x9FBA, 0xE854}, {0x9FBB, 0xE864},
};

}  // namespace

void ConverterCloser::operator()(UConverter* c) const { ucnv_close(c); }

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

const char* GbConverterName(TextEncoding textEncoding) {
    return textEncoding == TextEncoding::Gbk ? "windows-936" : "gb18030";
}

char16_t Gb2022Swap(char16_t c) {
    // All 36 code points lie in two narrow ranges: most units leave at once.
    if (!((c >= 0x9FB4 && c <= 0x9FBB) || (c >= 0xE78D && c <= 0xE864) || (c >= 0xFE10 && c <= 0xFE19))) return c;
    for (const auto& p : kGb2022Pairs) {
        if (c == p[0]) return p[1];
        if (c == p[1]) return p[0];
    }
    return c;
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

namespace {

void Gb2022SwapAll(std::u16string& u) {
    for (auto& c : u) c = Gb2022Swap(c);
}

// Line numbers as text goes by: CR LF, CR and LF each end a line; `cr` tells
// that the last character was a CR.
void CountLine(char32_t c, std::size_t& line, bool& cr) {
    if (c == '\r' || (c == '\n' && !cr)) ++line;
    cr = c == '\r';
}

[[noreturn]] void FailInput(std::string_view bytes, std::size_t offset, std::size_t lineNumber, bool truncated,
                            const char* encoding) {
    FailUndecodable(bytes, offset, lineNumber, truncated, encoding, {});
}

// Converts in pieces of at most `piece` code units (a surrogate pair is never
// cut), so that no length handed to ICU nears its 32-bit limit.
void AppendFromUnicode(std::string& out, const char16_t* u, std::size_t size, const char* to, std::size_t piece) {
    if (size == 0) return;
    ConverterPtr cnv = OpenStrict(to);
    const bool swap = std::string_view(to) == "gb18030";
    std::u16string piece16;
    std::size_t at = 0;
    while (at < size) {
        std::size_t n = std::min(piece, size - at);
        if (at + n < size && n > 1 && u[at + n - 1] >= 0xD800 && u[at + n - 1] <= 0xDBFF) --n;
        const char16_t* from = u + at;
        if (swap) {
            // GB18030-2022 moved some characters: the converter knows the old places.
            piece16.assign(u + at, n);
            Gb2022SwapAll(piece16);
            from = piece16.data();
        }
        const std::size_t old = out.size();
        const std::size_t room = n * 4 + 16;
        out.resize(old + room);
        UErrorCode status = U_ZERO_ERROR;
        int32_t w = ucnv_fromUChars(cnv.get(), out.data() + old, static_cast<int32_t>(room),
                                    reinterpret_cast<const UChar*>(from), static_cast<int32_t>(n), &status);
        if (U_FAILURE(status)) throw Failure(std::string("Cannot convert to ") + to + ": " + u_errorName(status));
        out.resize(old + static_cast<std::size_t>(w));
        at += n;
    }
}

std::string FromUnicode(const std::u16string& u, const char* to, std::size_t piece = kConversionPiece) {
    // (GB18030-2022's moves are made piece by piece, in AppendFromUnicode.)
    std::string out;
    AppendFromUnicode(out, u.data(), u.size(), to, piece);
    return out;
}

// Each BMP code point's GB18030 bytes as AppendFromUnicode writes them (with
// GB18030-2022's swaps), packed from the lowest byte up; how many there are
// the bytes tell (GB18030Width). Empty when ICU's converter won't write them
// all, one for each, in one go.
const std::vector<std::uint32_t>& Gb18030OfBmp() {
    static const std::vector<std::uint32_t> table = [] {
        std::u16string all;
        all.reserve(0x10000);
        // Surrogates stand alone in no UTF-8: their places hold U+0000's.
        // (AppendFromUnicode makes GB18030-2022's swaps.)
        for (char32_t cp = 0; cp < 0x10000; ++cp) all += static_cast<char16_t>(cp >= 0xD800 && cp <= 0xDFFF ? 0 : cp);
        std::string bytes;
        try {
            AppendFromUnicode(bytes, all.data(), all.size(), "gb18030", all.size());
        } catch (const Failure&) {
            return std::vector<std::uint32_t>();
        }
        std::vector<std::uint32_t> t(0x10000, 0);
        std::size_t at = 0;
        for (std::size_t cp = 0; cp < t.size(); ++cp) {
            if (at >= bytes.size()) return std::vector<std::uint32_t>();
            const std::size_t n = Gb18030Width(bytes, at);
            if (at + n > bytes.size()) return std::vector<std::uint32_t>();
            std::uint32_t packed = 0;
            for (std::size_t k = 0; k < n; ++k)
                packed |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + k])) << (8 * k);
            t[cp] = packed;
            at += n;
        }
        if (at != bytes.size()) return std::vector<std::uint32_t>();
        return t;
    }();
    return table;
}

}  // namespace

std::size_t Gb18030Width(std::string_view bytes, std::size_t i) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) return 1;
    return i + 1 < bytes.size() && bytes[i + 1] >= '0' && bytes[i + 1] <= '9' ? 4 : 2;
}

void PrepareUtf8Reading() { Gb18030OfBmp(); }

bool AppendGb18030OfUtf8(std::string_view s, std::string& out) {
    const std::vector<std::uint32_t>& table = Gb18030OfBmp();
    if (table.empty()) return false;
    const std::size_t kept = out.size();
    // Room for the longest outcome: a character takes at most twice its
    // UTF-8 bytes (U+0080 to U+07FF: two bytes, four in GB18030).
    out.resize(kept + 2 * s.size());
    char* const begin = out.data();
    char* p = begin + kept;
    std::size_t i = 0;
    const Utf8Check c = WalkUtf8(s, i, true, [&](char32_t cp) {
        if (cp < 0x80) {
            *p++ = static_cast<char>(cp);
            return;
        }
        std::uint32_t packed;
        std::size_t n = 4;
        if (cp < 0x10000) {
            packed = table[cp];
            const std::uint32_t second = packed >> 8 & 0xFF;
            if ((packed & 0xFF) < 0x80)
                n = 1;
            else if (second < '0' || second > '9')
                n = 2;
        } else {
            // Beyond the BMP GB18030 counts code points in order from 90 30 81 30.
            std::uint32_t linear = static_cast<std::uint32_t>(cp - 0x10000);
            const std::uint32_t b4 = 0x30 + linear % 10;
            linear /= 10;
            const std::uint32_t b3 = 0x81 + linear % 126;
            linear /= 126;
            const std::uint32_t b2 = 0x30 + linear % 10;
            const std::uint32_t b1 = 0x90 + linear / 10;
            packed = b1 | b2 << 8 | b3 << 16 | b4 << 24;
        }
        for (std::size_t k = 0; k < n; ++k) p[k] = static_cast<char>(packed >> (8 * k) & 0xFF);
        p += n;
    });
    if (c != Utf8Check::Valid) {
        out.resize(kept);
        return false;
    }
    out.resize(static_cast<std::size_t>(p - begin));
    return true;
}

std::string Utf8ToGb18030ThroughConverter(std::string_view s, std::size_t piece) {
    std::string out;
    std::u16string u;
    u.reserve(std::min(s.size(), piece + 2));
    std::size_t i = 0;
    const Utf8Check c = WalkUtf8(s, i, true, [&](char32_t cp) {
        AppendUtf16(u, cp);
        if (u.size() >= piece) {
            AppendFromUnicode(out, u.data(), u.size(), "gb18030", piece);
            u.clear();
        }
    });
    if (c != Utf8Check::Valid) FailInput(s, i, LineAt(s, i), c == Utf8Check::Truncated, "UTF-8");
    AppendFromUnicode(out, u.data(), u.size(), "gb18030", piece);
    return out;
}

namespace {

// The converter's text straight from the table of BMP characters, or through
// the converter when that can't be (bytes that are no UTF-8: it names them).
std::string Utf8ToGb18030(std::string_view s, std::size_t piece) {
    std::string out;
    if (AppendGb18030OfUtf8(s, out)) return out;
    return Utf8ToGb18030ThroughConverter(s, piece);
}

std::string Utf16ToGb18030(std::string_view s, bool littleEndian, std::size_t piece) {
    std::string out;
    std::u16string u;
    u.reserve(std::min(s.size() / 2, piece + 2));
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
        } else {
            if (c >= 0xDC00 && c <= 0xDFFF) FailInput(s, i, lineNumber, false, name);
            u += c;
        }
        if (u.size() >= piece) {
            AppendFromUnicode(out, u.data(), u.size(), "gb18030", piece);
            u.clear();
        }
    }
    if (i < s.size()) FailInput(s, i, lineNumber, true, name);
    AppendFromUnicode(out, u.data(), u.size(), "gb18030", piece);
    return out;
}

// Decodes GB18030 (or GBK) bytes to UTF-16, failing with the line of the
// first bytes that are no character.
// Decoded in pieces of at most `piece` bytes, each ending on a character:
// no length handed to ICU nears its 32-bit limit.
std::u16string ToUnicode(std::string_view text, TextEncoding textEncoding, Encoding target, std::size_t firstLine = 1,
                         std::size_t piece = kConversionPiece) {
    std::u16string u;
    if (text.empty()) return u;
    ConverterPtr cnv = OpenStrict(GbConverterName(textEncoding));
    UErrorCode status = U_ZERO_ERROR;
    for (std::size_t at = 0; at < text.size() && U_SUCCESS(status);) {
        std::size_t end = text.size();
        if (end - at > piece) {
            // After a byte below 0x30, which is never part of a longer
            // character (line breaks, blanks, commas): else walk the characters.
            end = at + piece;
            while (end > at && static_cast<unsigned char>(text[end - 1]) >= 0x30) --end;
            if (end == at) {
                std::size_t i = at;
                while (i < text.size()) {
                    std::size_t w = CharWidth(text, i);
                    if (i + w > at + piece && i > at) break;
                    i += w;
                }
                end = i;
            }
        }
        const std::size_t old = u.size();
        const std::size_t room = end - at + 1;
        u.resize(old + room);
        int32_t n = ucnv_toUChars(cnv.get(), reinterpret_cast<UChar*>(u.data() + old), static_cast<int32_t>(room),
                                  text.data() + at, static_cast<int32_t>(end - at), &status);
        if (U_SUCCESS(status)) u.resize(old + static_cast<std::size_t>(n));
        at = end;
    }
    if (U_SUCCESS(status)) {
        if (textEncoding != TextEncoding::Gbk) Gb2022SwapAll(u);
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
            throw Failure("Line " + std::to_string(LineAt(text, i) + firstLine - 1) + ": bytes " +
                          Hex(text.substr(i, w)) + " are no " +
                          (textEncoding == TextEncoding::Gbk ? "GBK" : "GB18030") +
                          " character and can't be written in " + EncodingName(target));
        i += w;
    }
    throw Failure(std::string("Cannot convert the text to ") + EncodingName(target));
}

// Whether GBK (Windows code page 936) reads the GB18030 character at `ch`
// (1, 2 or 4 bytes) as GB18030 does. Four-byte characters are not GBK; a few
// two-byte codes mean other characters in the two (vertical forms, CJK
// radicals, the characters GB18030-2022 moved, which GBK has as private-use
// code points).
bool GbkHolds(std::string_view ch) {
    if (ch.size() == 1) return static_cast<unsigned char>(ch[0]) < 0x80;
    if (ch.size() != 2) return false;
    static const std::vector<bool> same = [] {
        std::vector<bool> t(65536, false);
        ConverterPtr gb = OpenStrict(GbConverterName(TextEncoding::Gb18030)),
                     cp = OpenStrict(GbConverterName(TextEncoding::Gbk));
        for (int lead = 0x81; lead <= 0xFE; ++lead)
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                const char b[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                UChar u1[4], u2[4];
                UErrorCode e1 = U_ZERO_ERROR, e2 = U_ZERO_ERROR;
                ucnv_reset(gb.get());
                ucnv_reset(cp.get());
                int32_t n1 = ucnv_toUChars(gb.get(), u1, 4, b, 2, &e1);
                int32_t n2 = ucnv_toUChars(cp.get(), u2, 4, b, 2, &e2);
                if (U_FAILURE(e1) || U_FAILURE(e2) || n1 != 1 || n2 != 1) continue;
                t[lead << 8 | trail] = Gb2022Swap(u1[0]) == u2[0];
            }
        return t;
    }();
    return same[static_cast<unsigned char>(ch[0]) << 8 | static_cast<unsigned char>(ch[1])];
}

// The code point ICU's converter gives each one- and two-byte character of
// `textEncoding` decoded alone (index: the byte, or lead << 8 | trail), with
// GB18030-2022's swaps as ToUnicode makes them; kNoShortCharacter where that
// is no single code point outside the surrogates (no character, a four-byte
// start). The converter is stateless, so a text of such characters decodes to
// theirs one after the other.
constexpr char32_t kNoShortCharacter = 0xFFFFFFFF;

const std::vector<char32_t>& ShortCharacters(TextEncoding textEncoding) {
    auto build = [](TextEncoding te) {
        std::vector<char32_t> t(65536, kNoShortCharacter);
        ConverterPtr cnv = OpenStrict(GbConverterName(te));
        auto decode = [&](const char* b, int32_t n) {
            UChar u[4];
            UErrorCode e = U_ZERO_ERROR;
            ucnv_reset(cnv.get());
            const int32_t got = ucnv_toUChars(cnv.get(), u, 4, b, n, &e);
            if (U_FAILURE(e) || got != 1 || (u[0] >= 0xD800 && u[0] <= 0xDFFF)) return kNoShortCharacter;
            return static_cast<char32_t>(te == TextEncoding::Gbk ? u[0] : Gb2022Swap(u[0]));
        };
        for (int b = 0; b < 0x80; ++b) {
            const char c = static_cast<char>(b);
            t[static_cast<std::size_t>(b)] = decode(&c, 1);
        }
        for (int lead = 0x81; lead <= 0xFE; ++lead)
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                const char b[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                t[static_cast<std::size_t>(lead << 8 | trail)] = decode(b, 2);
            }
        return t;
    };
    // Each built on its first use only: a run needs one.
    if (textEncoding == TextEncoding::Gbk) {
        static const std::vector<char32_t> gbk = build(TextEncoding::Gbk);
        return gbk;
    }
    static const std::vector<char32_t> gb18030 = build(TextEncoding::Gb18030);
    return gb18030;
}

// A four-byte GB18030 character's place in their order from 81 30 81 30.
std::size_t FourByteIndex(const unsigned char* b) {
    return ((static_cast<std::size_t>(b[0] - 0x81) * 10 + (b[1] - '0')) * 126 + (b[2] - 0x81)) * 10 + (b[3] - '0');
}

// The code point of each four-byte GB18030 character of the BMP (81 30 81 30
// to 84 31 A4 39, by FourByteIndex) as ICU's converter decodes it alone, with
// GB18030-2022's swaps; empty when the converter won't decode them all, one
// code unit each and no surrogate, in one go.
const std::vector<char16_t>& FourByteBmp() {
    static const std::vector<char16_t> table = [] {
        constexpr std::size_t kCount = 39420;
        std::string bytes;
        bytes.reserve(kCount * 4);
        for (std::size_t k = 0; k < kCount; ++k) {
            const std::size_t b3 = k / 10, b2 = b3 / 126, b1 = b2 / 10;
            bytes += static_cast<char>(0x81 + b1);
            bytes += static_cast<char>('0' + b2 % 10);
            bytes += static_cast<char>(0x81 + b3 % 126);
            bytes += static_cast<char>('0' + k % 10);
        }
        ConverterPtr cnv = OpenStrict(GbConverterName(TextEncoding::Gb18030));
        std::u16string u(kCount + 1, u'\0');
        UErrorCode e = U_ZERO_ERROR;
        const int32_t n = ucnv_toUChars(cnv.get(), reinterpret_cast<UChar*>(u.data()), static_cast<int32_t>(u.size()),
                                        bytes.data(), static_cast<int32_t>(bytes.size()), &e);
        if (U_FAILURE(e) || n != static_cast<int32_t>(kCount)) return std::vector<char16_t>();
        std::vector<char16_t> t(kCount);
        for (std::size_t k = 0; k < kCount; ++k) {
            if (u[k] >= 0xD800 && u[k] <= 0xDFFF) return std::vector<char16_t>();
            t[k] = Gb2022Swap(u[k]);
        }
        return t;
    }();
    return table;
}

// The room AppendUtf8OfShortCharacters writes the UTF-8 of `size` bytes into.
std::size_t Utf8Room(std::size_t size) { return size + size / 2 + 2; }

// Each short character's UTF-8 (index as ShortCharacters'), packed: its
// bytes from the lowest up, their count in the top byte; 0 where that table
// has no character. Every one is in the BMP, so three bytes hold it.
const std::vector<std::uint32_t>& ShortUtf8(TextEncoding textEncoding) {
    auto build = [](TextEncoding te) {
        const std::vector<char32_t>& characters = ShortCharacters(te);
        std::vector<std::uint32_t> t(characters.size(), 0);
        std::string bytes;
        for (std::size_t i = 0; i < characters.size(); ++i) {
            if (characters[i] == kNoShortCharacter) continue;
            bytes.clear();
            AppendUtf8(bytes, characters[i]);
            std::uint32_t packed = static_cast<std::uint32_t>(bytes.size()) << 24;
            for (std::size_t k = 0; k < bytes.size(); ++k)
                packed |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k])) << (8 * k);
            t[i] = packed;
        }
        return t;
    };
    if (textEncoding == TextEncoding::Gbk) {
        static const std::vector<std::uint32_t> gbk = build(TextEncoding::Gbk);
        return gbk;
    }
    static const std::vector<std::uint32_t> gb18030 = build(TextEncoding::Gb18030);
    return gb18030;
}

// The UTF-8 of the one- and two-byte characters of `bytes` from `i` on,
// written at `p` (moved past it) from their packed table (ShortUtf8), up to
// the first byte that begins no such character; where that is (`size` at the
// end). Three bytes are written for every character whatever its width: the
// next one or the end cuts what is not its own. The hot loop of writing
// UTF-8, kept small so that its few values stay in registers.
std::size_t WriteShortCharacters(const std::uint32_t* table, const unsigned char* bytes, std::size_t size,
                                 std::size_t i, char*& p) {
    char* q = p;
    while (i < size) {
        const unsigned c = bytes[i];
        std::uint32_t packed;
        if (c < 0x80) {
            packed = table[c];
            if (!packed) break;
            ++i;
        } else {
            if (i + 1 >= size) break;
            packed = table[c << 8 | bytes[i + 1]];
            if (!packed) break;
            i += 2;
        }
        q[0] = static_cast<char>(packed & 0xFF);
        q[1] = static_cast<char>((packed >> 8) & 0xFF);
        q[2] = static_cast<char>((packed >> 16) & 0xFF);
        q += packed >> 24;
    }
    p = q;
    return i;
}

// UTF-8 of a text straight from the table of one- and two-byte characters,
// appended to `out`: what ToUnicode and AppendUtf8 give, without ICU's
// converter for every byte; GB18030's four-byte characters are decoded one by
// one. False, with `out` as it was, at anything else (bytes that are no
// character: ToUnicode names their line).
bool AppendUtf8OfShortCharacters(std::string_view text, TextEncoding textEncoding, std::string& out) {
    const std::vector<std::uint32_t>& table = ShortUtf8(textEncoding);
    const std::size_t kept = out.size();
    // Written in place into room for the longest outcome: a one-byte
    // character stays one byte, a two-byte one takes at most three and a
    // four-byte one four, so never more than half as much again; and two
    // bytes past it that a last one-byte character may write (EncodeText
    // reserves as much).
    out.resize(kept + Utf8Room(text.size()));
    char* const begin = out.data();
    char* p = begin + kept;
    auto put = [&](char32_t cp) { p += Utf8BytesOf(cp, p); };
    auto fail = [&] {
        out.resize(kept);
        return false;
    };
    ConverterPtr cnv;
    auto digit = [&](std::size_t k) { return text[k] >= '0' && text[k] <= '9'; };
    const std::size_t size = text.size();
    const std::uint32_t* const characters = table.data();
    const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0;;) {
        i = WriteShortCharacters(characters, bytes, size, i, p);
        if (i >= size) break;
        const unsigned c = bytes[i];
        // A four-byte character: lead, digit, lead, digit.
        const bool fourBytes = textEncoding == TextEncoding::Gb18030 && i + 3 < size && c >= 0x81 && c <= 0xFE &&
                               digit(i + 1) && static_cast<unsigned char>(text[i + 2]) >= 0x81 &&
                               static_cast<unsigned char>(text[i + 2]) <= 0xFE && digit(i + 3);
        if (fourBytes && c >= 0x90) {
            // Beyond the BMP GB18030 counts code points in order from 90 30 81 30.
            const auto b3 = static_cast<unsigned char>(text[i + 2]);
            const char32_t linear =
                ((static_cast<char32_t>(c - 0x90) * 10 + static_cast<char32_t>(text[i + 1] - '0')) * 126 +
                 (b3 - 0x81)) *
                    10 +
                static_cast<char32_t>(text[i + 3] - '0');
            if (linear > 0x10FFFF - 0x10000) return fail();
            put(0x10000 + linear);
            i += 4;
            continue;
        }
        if (fourBytes) {
            // In the BMP: from the table of those characters, when there is one.
            const std::vector<char16_t>& bmp = FourByteBmp();
            const std::size_t linear = FourByteIndex(bytes + i);
            if (linear < bmp.size()) {
                put(bmp[linear]);
                i += 4;
                continue;
            }
        }
        UChar u[4];
        int32_t n = 0;
        UErrorCode e = U_ZERO_ERROR;
        if (fourBytes) {
            if (!cnv) cnv = OpenStrict(GbConverterName(textEncoding));
            ucnv_reset(cnv.get());
            n = ucnv_toUChars(cnv.get(), u, 4, text.data() + i, 4, &e);
        }
        if (!fourBytes || U_FAILURE(e) || n < 1 || n > 2 || (n == 1 && u[0] >= 0xD800 && u[0] <= 0xDFFF)) return fail();
        char32_t d = Gb2022Swap(u[0]);
        if (n == 2) {
            const char32_t low = Gb2022Swap(u[1]);
            if (d < 0xD800 || d > 0xDBFF || low < 0xDC00 || low > 0xDFFF) return fail();
            d = 0x10000 + ((d - 0xD800) << 10) + (low - 0xDC00);
        }
        put(d);
        i += 4;
    }
    out.resize(static_cast<std::size_t>(p - begin));
    return true;
}

}  // namespace

void PrepareUtf8Writing(TextEncoding textEncoding) {
    ShortUtf8(textEncoding);
    if (textEncoding == TextEncoding::Gb18030) FourByteBmp();
}

namespace {

// Bytes kept from a GBK file are GBK already: only what would read as a
// four-byte character fails, as always.
std::string GbkFromGb18030(std::string_view text, std::size_t firstLine, bool keptGbk) {
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t w = CharWidth(text, i);
        if (keptGbk ? w == 4
                    : !(w == 1 && static_cast<unsigned char>(text[i]) < 0x80) && !GbkHolds(text.substr(i, w))) {
            std::string ch(text.substr(i, w));
            std::string shown;
            char32_t cp = 0;
            try {
                std::u16string u = ToUnicode(ch, TextEncoding::Gb18030, Encoding::Gbk);
                for (std::size_t k = 0; k < u.size(); ++k) {
                    char32_t c = u[k];
                    if (c >= 0xD800 && c <= 0xDBFF && k + 1 < u.size())
                        c = 0x10000 + ((c - 0xD800) << 10) + (u[++k] - 0xDC00);
                    cp = c;
                    AppendUtf8(shown, c);
                }
            } catch (const Failure&) {}
            throw Failure("Line " + std::to_string(LineAt(text, i) + firstLine - 1) + ": the character \"" + shown +
                          "\" (" + CodePoint(cp) + ") can't be written in GBK");
        }
        i += w;
    }
    return std::string(text);
}

}  // namespace

void FailUndecodable(std::string_view bytes, std::size_t offset, std::size_t line, bool truncated, const char* encoding,
                     std::string_view file) {
    const std::string where =
        file.empty() ? "Line " + std::to_string(line) : "\"" + std::string(file) + "\", line " + std::to_string(line);
    const std::size_t end = std::min(bytes.size(), offset + 4);
    if (truncated)
        throw Failure(where + ": the file ends inside a " + encoding + " character (" + Hex(bytes.substr(offset)) +
                      "); is the file truncated?");
    throw Failure(where + ": bytes " + Hex(bytes.substr(offset, end - offset)) + " are not valid " + encoding +
                  " (if the file is in another encoding, name it)");
}

std::string Hex(std::string_view bytes) {
    std::string out;
    char buf[8];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%s0x%02X", out.empty() ? "" : " ", c);
        out += buf;
    }
    return out;
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
        case Encoding::Auto:
            return "auto";
        case Encoding::Gbk:
            return "GBK";
        case Encoding::Gb18030:
            return "GB18030";
        case Encoding::Utf8:
            return "UTF-8";
        case Encoding::Utf16le:
            return "UTF-16LE";
        case Encoding::Utf16be:
            return "UTF-16BE";
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

std::optional<Encoding> Utf16ByZeros(std::string_view bytes) {
    // A UTF-16 table without a byte-order mark: its codes, spaces and line
    // breaks are ASCII, whose high byte is zero, on one side of the pairs.
    // Text in GBK, GB18030 or UTF-8 holds no zero bytes at all.
    // The first 64 KiB tell.
    const std::size_t n = std::min<std::size_t>(bytes.size(), kUtf16Evidence) & ~std::size_t{1};
    if (n < 2) return std::nullopt;
    std::size_t even = 0, odd = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (bytes[i] == '\0') ++(i % 2 == 0 ? even : odd);
    const std::size_t pairs = n / 2;
    // A character such as U+DE00 (the low half of an emoji) gives a zero on
    // the other side now and then.
    if (odd * 4 >= pairs && even * 8 <= odd) return Encoding::Utf16le;
    if (even * 4 >= pairs && odd * 8 <= even) return Encoding::Utf16be;
    return std::nullopt;
}

std::size_t BomLength(Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf8:
            return 3;
        case Encoding::Utf16le:
        case Encoding::Utf16be:
            return 2;
        case Encoding::Gb18030:
            return 4;
        default:
            return 0;
    }
}

DecodedText DecodeText(std::string_view bytes, Encoding encoding) {
    return DecodeTextInPieces(bytes, encoding, kConversionPiece);
}

DecodedText DecodeTextInPieces(std::string_view bytes, Encoding encoding, std::size_t piece) {
    DecodedText d;
    if (encoding == Encoding::Auto) {
        const Recognition r = RecognizeEncoding(bytes);
        encoding = r.encoding;
        d.closeCall = r.closeCall;
    }
    d.encoding = encoding;
    // GBK has no byte-order mark: its bytes are taken as they are.
    if (EncodingByBom(bytes) == encoding) {
        d.hadBom = true;
        bytes.remove_prefix(BomLength(encoding));
    }
    switch (encoding) {
        case Encoding::Utf8:
            d.text = Utf8ToGb18030(bytes, piece);
            break;
        case Encoding::Utf16le:
            d.text = Utf16ToGb18030(bytes, true, piece);
            break;
        case Encoding::Utf16be:
            d.text = Utf16ToGb18030(bytes, false, piece);
            break;
        default:  // GB18030 and GBK: the bytes as they are
            d.text = std::string(bytes);
            break;
    }
    return d;
}

void DecodeCodePoints(std::string_view text, TextEncoding textEncoding, std::vector<char32_t>& out) {
    out.clear();
    thread_local ConverterPtr gb, cp;
    ConverterPtr& cnv = textEncoding == TextEncoding::Gbk ? cp : gb;
    if (!cnv) {
        UErrorCode status = U_ZERO_ERROR;
        cnv.reset(ucnv_open(GbConverterName(textEncoding), &status));
        if (U_FAILURE(status)) throw Failure("Cannot open a GB18030 converter");
        status = U_ZERO_ERROR;
        ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_SKIP, nullptr, nullptr, nullptr, &status);
    }
    ucnv_reset(cnv.get());
    thread_local std::u16string u;
    u.resize(text.size() + 1);
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(cnv.get(), reinterpret_cast<UChar*>(u.data()), static_cast<int32_t>(u.size()),
                              text.data(), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return;
    for (int32_t k = 0; k < n; ++k) {
        char32_t c = u[k];
        if (c >= 0xD800 && c <= 0xDBFF && k + 1 < n)
            c = 0x10000 + ((c - 0xD800) << 10) + (u[++k] - 0xDC00);
        else if (textEncoding != TextEncoding::Gbk)
            c = Gb2022Swap(static_cast<char16_t>(c));
        out.push_back(c);
    }
}

bool CanLack(Encoding encoding, TextEncoding textEncoding) {
    return encoding == Encoding::Gbk && textEncoding != TextEncoding::Gbk;
}

bool FindUnencodable(const TableEntry& e, SkippedWord& found) {
    for (const std::string* s : {&e.word, &e.code}) {
        for (std::size_t i = 0; i < s->size();) {
            std::size_t w = CharWidth(*s, i);
            if (static_cast<unsigned char>((*s)[i]) >= 0x80 && !GbkHolds(s->substr(i, w))) {
                found.code = Utf8Of(e.code);
                found.word = Utf8Of(e.word);
                found.character.clear();
                found.codePoint = 0;
                try {
                    std::u16string u = ToUnicode(s->substr(i, w), TextEncoding::Gb18030, Encoding::Gbk);
                    char32_t c = u.empty() ? 0 : u[0];
                    if (u.size() == 2) c = 0x10000 + ((c - 0xD800) << 10) + (u[1] - 0xDC00);
                    found.codePoint = c;
                    AppendUtf8(found.character, c);
                } catch (const Failure&) {
                    found.character = Hex(s->substr(i, w));
                }
                return true;
            }
            i += w;
        }
    }
    return false;
}

void FailUnencodable(const SkippedWord& w, const WriteOptions& o) {
    throw Failure((o.inputName.empty() ? std::string("Line ") : "\"" + o.inputName + "\", line ") +
                  std::to_string(w.line) + ": the character \"" + w.character + "\" (" + CodePoint(w.codePoint) +
                  ") of \"" + w.word + "\" can't be written in " + EncodingName(o.encoding) +
                  " (--unencodable skip leaves such words out)");
}

bool CheckEncodable(const TableEntry& e, std::size_t line, const WriteOptions& o, SkippedWord& out) {
    if (!FindUnencodable(e, out)) return false;
    out.line = line;
    if (o.unencodable == Unencodable::Error) FailUnencodable(out, o);
    if (o.skipped) o.skipped->push_back(out);
    return true;
}

namespace {

// A text that begins with U+FEFF (GB18030 84 31 95 33) would lose it when read
// back, where it stands for the byte-order mark: such a text gets a mark.
bool NeedsMark(std::string_view text, Encoding encoding, TextEncoding textEncoding) {
    return encoding != Encoding::Gbk && textEncoding == TextEncoding::Gb18030 &&
           text.substr(0, 4) == "\x84\x31\x95\x33";
}

}  // namespace

void AppendUtf8ThroughConverter(std::string_view text, TextEncoding textEncoding, std::string& out,
                                std::size_t firstLine, std::size_t piece) {
    std::u16string u = ToUnicode(text, textEncoding, Encoding::Utf8, firstLine, piece);
    for (std::size_t k = 0; k < u.size(); ++k) {
        char32_t c = u[k];
        if (c >= 0xD800 && c <= 0xDBFF && k + 1 < u.size()) c = 0x10000 + ((c - 0xD800) << 10) + (u[++k] - 0xDC00);
        AppendUtf8(out, c);
    }
}

std::string EncodeText(std::string_view text, Encoding encoding, bool bom, TextEncoding textEncoding) {
    return EncodeTextFrom(text, encoding, bom || NeedsMark(text, encoding, textEncoding), textEncoding, 1);
}

std::string EncodeTextFrom(std::string_view text, Encoding encoding, bool bom, TextEncoding textEncoding,
                           std::size_t firstLine, std::size_t piece) {
    switch (encoding) {
        case Encoding::Gbk:
            // GBK is GB18030 without its four-byte characters.
            return GbkFromGb18030(text, firstLine, textEncoding == TextEncoding::Gbk);
        case Encoding::Gb18030:
            return (bom ? std::string("\x84\x31\x95\x33") : std::string()) + std::string(text);
        case Encoding::Utf8: {
            std::string out;
            out.reserve(3 + Utf8Room(text.size()));
            if (bom) out += "\xEF\xBB\xBF";
            if (!AppendUtf8OfShortCharacters(text, textEncoding, out))
                AppendUtf8ThroughConverter(text, textEncoding, out, firstLine, piece);
            return out;
        }
        case Encoding::Utf16le:
        case Encoding::Utf16be: {
            std::u16string u = ToUnicode(text, textEncoding, encoding, firstLine, piece);
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
    for (char c : s) CountLine(static_cast<unsigned char>(c), n, cr);
    return n;
}

}  // namespace

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
    const Utf8Check c = WalkUtf8(s, i, last, [&](char32_t cp) {
        CountLine(cp, line_, cr_);
        AppendUtf16(units_, cp);
    });
    if (c != Utf8Check::Valid) FailInput(s, i, line_, c == Utf8Check::Truncated, "UTF-8");
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
        // CharWidth decides with the byte after a lead byte, and after a
        // digit there with two more: they must be at hand.
        if (IsLeadByte(c) && (i + 1 >= n || (b[i + 1] >= 0x30 && b[i + 1] <= 0x39 && i + 3 >= n))) break;
        const std::size_t w = CharWidth(buffer_, i);
        cr_ = w == 1 && c == '\r';
        if (w == 1 && c == '\n') cut_ = i + 1;
        i += w;
    }
    walked_ = i;
}

void StreamEncoder::emit(std::size_t end) {
    std::string_view piece(buffer_.data(), end);
    const bool mark = !started_ && (bom_ || NeedsMark(piece, encoding_, textEncoding_));
    std::string bytes = EncodeTextFrom(piece, encoding_, mark, textEncoding_, line_);
    started_ = true;
    if (encoding_ != Encoding::Gb18030) line_ += Breaks(piece);
    buffer_.erase(0, end);
    walked_ = walked_ > end ? walked_ - end : 0;
    cut_ = 0;
    sink_(bytes);
}

}  // namespace zelmora::formats

// Which encoding a file without a byte-order mark is in. Short Chinese text
// is often valid in several encodings at once (the six bytes of 亲人 in UTF-8
// are three GBK characters), so validity alone can't tell: each reading is
// scored by how likely its text is, and the likeliest wins.
#include <unicode/uchar.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "core/failure.h"
#include "formats/encoding_internal.h"
#include "formats/ms_phrase.h"
#include "formats/reading.h"
#include "formats/table_stream.h"

namespace zelmora::formats {

namespace {

struct HanCount {
    char32_t c;
    std::uint32_t n;
};
#include "zelmora/han_frequency.inc"

// The cost, in bits, of a byte (or UTF-16 unit) a reading can't decode:
// more than any character, so that one such byte outweighs a rare one.
constexpr float kUndecodable = 32;
// A lead of fewer bits than this over the runner-up is a close call (odds
// under 4,096 to one). Over the words and short slices of the built-in and
// Debian's wubi86 table in every encoding, no wrong reading led by 8 bits.
constexpr double kCloseCall = 12;
// A lead this large at a checkpoint settles the verdict: the rest of the
// file is not read.
constexpr double kSettled = 1 << 16;
constexpr std::size_t kCheckpoint = 1 << 16;
// The most bits per character a UTF-16 reading may cost on average: Chinese
// text costs about 12.
constexpr double kUtf16Noise = 20;
// A Rime header's head start for the UTF-8 reading: eight undecodable bytes.
constexpr double kRimeHeader = 8 * kUndecodable;

bool IsHan(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

// The punctuation of Chinese text: as common as a common character.
bool IsCommonChinesePunctuation(char32_t c) {
    switch (c) {
        case 0x3001:
        case 0x3002:
        case 0xFF0C:
        case 0xFF01:
        case 0xFF1F:
        case 0xFF1A:
        case 0xFF1B:  // 、。，！？：；
        case 0xFF08:
        case 0xFF09:
        case 0x201C:
        case 0x201D:
        case 0x2018:
        case 0x2019:
        case 0x2026:  // （）“”‘’…
        case 0x2014:
        case 0x00B7:
        case 0x300A:
        case 0x300B:
        case 0x300C:
        case 0x300D:
        case 0x3010:  // —·《》「」【
        case 0x3011:  // 】
            return true;
        default:
            return false;
    }
}

// Pinyin's letters with tone marks, which Chinese tables carry.
bool IsPinyinLetter(char32_t c) {
    static constexpr std::u32string_view kLetters = U"āáǎàēéěèīíǐìōóǒòūúǔùǖǘǚǜüêńňḿ";
    return kLetters.find(c) != std::u32string_view::npos;
}

// What a character costs when it is not a Han character jieba counts.
float ClassCost(char32_t c) {
    if (c < 0x80) {
        if (c == '\n' || c == '\r' || c == ' ' || c == '\t') return 3;
        if (c >= 'a' && c <= 'z') return 5;
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return 7;
        if (c > 0x20 && c < 0x7F) return 8;
        return c == 0 ? kUndecodable : 24;  // control characters
    }
    if (IsHan(c)) {
        // Rarer than the rarest character jieba counts, by block; but the
        // characters beyond the BMP come in tables by the thousand, and their
        // four UTF-8 bytes read as two GBK characters that cost about as much.
        if (c >= 0x4E00 && c <= 0x9FFF) return 26;
        return c >= 0x3400 && c <= 0x4DBF ? 27 : 25;
    }
    if (IsCommonChinesePunctuation(c)) return 9;
    if ((c >= 0x3000 && c <= 0x303F) || (c >= 0xFF01 && c <= 0xFF5E) || (c >= 0x2010 && c <= 0x2027)) return 14;
    if (IsPinyinLetter(c)) return 14;
    if (c >= 0x3100 && c <= 0x312F) return 16;  // bopomofo
    if (c >= 0x3040 && c <= 0x30FF) return 17;  // kana
    // The symbols of GB 2312's first rows (arrows, maths, boxes, shapes,
    // numerals), which tables list under codes.
    if (c >= 0x2100 && c <= 0x27BF) return 16;
    // Latin-1's other letters and signs are rare in Chinese text; Latin
    // Extended, IPA and combining marks, C1 controls are not in it.
    if (c >= 0x00A0 && c <= 0x00FF) return 26;
    if (c >= 0x0080 && c <= 0x036F) return 30;
    // Armenian to NKo are what GBK's characters look like read as UTF-8,
    // and no script from there to Vedic is in a Chinese table.
    if (c >= 0x0530 && c <= 0x07FF) return kUndecodable;
    if (c >= 0x0800 && c <= 0x1CFF) return 30;
    if (c >= 0xAC00 && c <= 0xD7AF) return 26;  // Hangul
    if (c == 0xFFFD) return kUndecodable;
    switch (u_charType(static_cast<UChar32>(c))) {
        case U_UNASSIGNED:
        case U_SURROGATE:
            return kUndecodable;
        case U_CONTROL_CHAR:
        case U_FORMAT_CHAR:
        case U_PRIVATE_USE_CHAR:
            return 28;
        case U_NON_SPACING_MARK:  // marks and letters of other scripts
        case U_ENCLOSING_MARK:
        case U_COMBINING_SPACING_MARK:
        case U_UPPERCASE_LETTER:
        case U_LOWERCASE_LETTER:
        case U_TITLECASE_LETTER:
        case U_MODIFIER_LETTER:
        case U_OTHER_LETTER:
            return 26;
        default:
            return 20;  // numbers, symbols, punctuation, spaces
    }
}

// The cost of every BMP code point, and of the Han characters beyond it
// that jieba counts.
struct CostTable {
    std::vector<float> bmp;
    std::vector<std::pair<char32_t, float>> astral;  // sorted by code point
    std::vector<float> gbPairs;                      // by lead << 8 | trail
};

const CostTable& Costs() {
    static const CostTable table = [] {
        CostTable t;
        t.bmp.resize(0x10000);
        for (char32_t c = 0; c < 0x10000; ++c) t.bmp[c] = ClassCost(c);
        const double total = static_cast<double>(kHanTotal);
        for (const HanCount& h : kHanCounts) {
            const auto bits = static_cast<float>(std::log2(total / (h.n + 0.5)));
            if (h.c < 0x10000)
                t.bmp[h.c] = std::min(t.bmp[h.c], bits);
            else
                t.astral.emplace_back(h.c, bits);
        }
        std::sort(t.astral.begin(), t.astral.end());
        // Every two-byte GB18030 code, decoded once.
        t.gbPairs.assign(0x10000, kUndecodable);
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UConverter, void (*)(UConverter*)> cnv(ucnv_open("gb18030", &status), ucnv_close);
        if (U_FAILURE(status)) throw Failure("Cannot open a GB18030 converter");
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                UChar u[4];
                status = U_ZERO_ERROR;
                ucnv_reset(cnv.get());
                const int32_t n = ucnv_toUChars(cnv.get(), u, 4, pair, 2, &status);
                if (U_SUCCESS(status) && n == 1) t.gbPairs[lead << 8 | trail] = t.bmp[Gb2022Swap(u[0])];
            }
        }
        // What GB 2312 carries (the Greek and Russian alphabets, pinyin's
        // letters, Latin-1's signs), Latin letters and IPA: tables list them,
        // and tables of romanisations and of IPA are made of them. Their
        // UTF-8 bytes are GBK characters too (С is 小, ɕ is 蓵): such a
        // character costs what those bytes cost read as GBK, no evidence
        // either way, so that a run of them is a close call, never a guess.
        for (char32_t c = 0xA0; c < 0x800; ++c) {
            const UChar u = static_cast<UChar>(c);
            char gb[8];
            status = U_ZERO_ERROR;
            ucnv_resetFromUnicode(cnv.get());
            const int32_t n = ucnv_fromUChars(cnv.get(), gb, sizeof gb, &u, 1, &status);
            const auto lead = static_cast<unsigned char>(gb[0]), trail = static_cast<unsigned char>(gb[1]);
            const bool gb2312 = U_SUCCESS(status) && n == 2 && lead >= 0xA1 && lead <= 0xA9 && trail >= 0xA1;
            if (gb2312 || (c >= 0xC0 && c <= 0x17F) || (c >= 0x250 && c <= 0x36F))
                t.bmp[c] = t.gbPairs[(0xC0 | c >> 6) << 8 | (0x80 | (c & 0x3F))];
        }
        return t;
    }();
    return table;
}

float CostOf(const CostTable& t, char32_t c) {
    if (c < 0x10000) return t.bmp[c];
    auto it = std::lower_bound(t.astral.begin(), t.astral.end(), std::make_pair(c, 0.0f));
    if (it != t.astral.end() && it->first == c) return it->second;
    return ClassCost(c);
}

// The cost of a four-byte GB18030 character: rare enough to decode one by one.
float FourByteCost(const CostTable& t, std::string_view bytes) {
    thread_local std::vector<char32_t> cps;
    DecodeCodePoints(bytes, TextEncoding::Gb18030, cps);
    return cps.size() == 1 ? CostOf(t, cps[0]) : kUndecodable;
}

std::string_view Joined(std::string& carry, std::string_view bytes, std::string& joined) {
    if (carry.empty()) return bytes;
    joined = carry;
    joined.append(bytes);
    carry.clear();
    return joined;
}

}  // namespace

std::optional<Encoding> EncodingShownByHead(std::string_view head) {
    // A Windows phrase file is binary, its text UTF-16LE: told by its magic
    // before its zero bytes are weighed.
    if (IsMsPhrase(head)) return Encoding::Utf16le;
    if (std::optional<Encoding> byBom = EncodingByBom(head)) return byBom;
    return Utf16ByZeros(head);
}

EncodingJudge::EncodingJudge(std::string_view head) {
    Costs();
    // Rime reads its dictionaries in UTF-8 only: a few bytes that are not
    // UTF-8 there are faults to name, not a reason to read the rest as GBK.
    if (FormatShownByBytes(head) == Format::Rime) readings_[kUtf8].headStart = kRimeHeader;
}

void EncodingJudge::feed(std::string_view bytes, bool last) {
    fed_ = true;
    // Settled only at the same offsets of the file however it is cut into
    // blocks, so that every reader reaches the same verdict.
    while (!settled_) {
        const std::size_t room = kCheckpoint - fedBytes_ % kCheckpoint;
        const std::string_view piece = bytes.substr(0, room);
        const bool end = last && piece.size() == bytes.size();
        if (!nonAscii_)
            nonAscii_ =
                std::any_of(piece.begin(), piece.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        utf8(piece, end);
        gb(piece, end);
        utf16(kLe, piece, end);
        utf16(kBe, piece, end);
        fedBytes_ += piece.size();
        if (fedBytes_ % kCheckpoint == 0 && piece.size() > 0) settled_ = lead() > kSettled;
        bytes.remove_prefix(piece.size());
        if (bytes.empty()) break;
    }
}

double EncodingJudge::lead() const {
    double best = readings_[0].score(), second = -1;
    for (int k = 1; k < kReadings; ++k) {
        const double b = readings_[k].score();
        if (b < best) {
            second = best;
            best = b;
        } else if (second < 0 || b < second) {
            second = b;
        }
    }
    return second - best;
}

void EncodingJudge::utf8(std::string_view bytes, bool last) {
    const CostTable& t = Costs();
    Reading& r = readings_[kUtf8];
    std::string joined;
    std::string_view s = Joined(r.carry, bytes, joined);
    double bits = 0;
    std::size_t i = 0;
    for (;;) {
        const Utf8Check c = WalkUtf8(s, i, last, [&](char32_t cp) { bits += CostOf(t, cp); });
        if (c == Utf8Check::Valid) break;
        bits += kUndecodable;
        ++r.undecodable;
        ++i;
    }
    r.bits += bits;
    r.carry.assign(s.substr(i));
}

void EncodingJudge::gb(std::string_view bytes, bool last) {
    const CostTable& t = Costs();
    Reading& r = readings_[kGb];
    std::string joined;
    std::string_view s = Joined(r.carry, bytes, joined);
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    double bits = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = at(i);
        if (c < 0x80) {
            bits += t.bmp[c];
            ++i;
            continue;
        }
        if (c == 0x80 || c == 0xFF) {
            bits += kUndecodable;
            ++i;
            continue;
        }
        // A lead byte is judged with the bytes CharWidth looks at.
        if (i + 1 >= s.size() || (at(i + 1) >= 0x30 && at(i + 1) <= 0x39 && i + 3 >= s.size())) {
            if (!last) break;
            bits += kUndecodable;
            ++i;
            continue;
        }
        const std::size_t w = CharWidth(s, i);
        if (w == 4) {
            bits += FourByteCost(t, s.substr(i, 4));
        } else if (w == 2) {
            bits += t.gbPairs[c << 8 | at(i + 1)];
        } else {
            bits += kUndecodable;
        }
        i += w;
    }
    r.bits += bits;
    r.carry.assign(s.substr(i));
}

void EncodingJudge::utf16(Kind kind, std::string_view bytes, bool last) {
    const CostTable& t = Costs();
    Reading& r = readings_[kind];
    std::string joined;
    std::string_view s = Joined(r.carry, bytes, joined);
    const bool le = kind == kLe;
    auto unit = [&](std::size_t i) -> char16_t {
        auto a = static_cast<unsigned char>(s[i]), b = static_cast<unsigned char>(s[i + 1]);
        return static_cast<char16_t>(le ? (a | (b << 8)) : ((a << 8) | b));
    };
    double bits = 0;
    std::size_t i = 0, units = 0;
    while (i + 1 < s.size()) {
        const char16_t c = unit(i);
        ++units;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 3 >= s.size() && !last) break;
            if (i + 3 < s.size()) {
                const char16_t d = unit(i + 2);
                if (d >= 0xDC00 && d <= 0xDFFF) {
                    bits += CostOf(t, 0x10000 + ((char32_t{c} - 0xD800) << 10) + (d - 0xDC00));
                    i += 4;
                    continue;
                }
            }
            bits += kUndecodable;
        } else {
            bits += t.bmp[c];  // a lone low surrogate costs as undecodable
        }
        i += 2;
    }
    if (last && i < s.size()) {
        bits += kUndecodable;  // an odd byte at the end
        i = s.size();
    }
    r.bits += bits;
    r.characters += units;
    r.carry.assign(s.substr(i));
}

double EncodingJudge::bits(Encoding encoding) const {
    switch (encoding) {
        case Encoding::Utf8:
            return readings_[kUtf8].bits;
        case Encoding::Utf16le:
            return readings_[kLe].bits;
        case Encoding::Utf16be:
            return readings_[kBe].bits;
        default:
            return readings_[kGb].bits;
    }
}

namespace {

constexpr Encoding kReadingEncodings[] = {Encoding::Utf8, Encoding::Gb18030, Encoding::Utf16le, Encoding::Utf16be};

}  // namespace

Recognition EncodingJudge::verdict() const {
    Recognition v;
    v.encoding = Encoding::Utf8;
    if (!fed_) return v;
    // UTF-16 without a mark or zero bytes must read as text, not as noise:
    // random bytes read as UTF-16 are characters of every block.
    auto noise = [&](int k) {
        const Reading& r = readings_[k];
        return (k == kLe || k == kBe) &&
               r.bits > kUtf16Noise * static_cast<double>(std::max<std::size_t>(r.characters, 1));
    };
    // A Rime dictionary that is valid UTF-8 is UTF-8: the engine reads
    // nothing else (IPA letters read as GBK would be common characters).
    if (readings_[kUtf8].headStart > 0 && readings_[kUtf8].undecodable == 0) return v;
    int best = kUtf8;
    for (int k = 0; k < kReadings; ++k)
        if (!noise(k) && readings_[k].score() < readings_[best].score()) best = k;
    // ASCII reads the same in UTF-8 and GB18030: no contest between them.
    double runnerUp = -1;
    for (int k = 0; k < kReadings; ++k) {
        if (k == best || noise(k) || (!nonAscii_ && (k == kUtf8 || k == kGb) && (best == kUtf8 || best == kGb)))
            continue;
        if (runnerUp < 0 || readings_[k].score() < runnerUp) runnerUp = readings_[k].score();
    }
    v.encoding = kReadingEncodings[best];
    const double margin = runnerUp - readings_[best].score();
    v.lead = runnerUp >= 0 ? margin : 0;
    v.closeCall = runnerUp >= 0 && margin < kCloseCall;
    return v;
}

Recognition RecognizeEncoding(std::string_view bytes) {
    Recognition r;
    if (std::optional<Encoding> byHead = EncodingShownByHead(bytes.substr(0, kUtf16Evidence))) {
        r.encoding = *byHead;
        r.hadBom = EncodingByBom(bytes) == r.encoding;
        return r;
    }
    EncodingJudge judge(bytes.substr(0, kUtf16Evidence));
    judge.feed(bytes, true);
    return judge.verdict();
}

namespace {

std::size_t ReadFully(ByteSource& in, char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const std::size_t n = in.read(buffer + got, size - got);
        if (n == 0) break;
        got += n;
    }
    return got;
}

}  // namespace

Recognition RecognizeSource(ByteSource& in, Encoding encoding, std::size_t blockSize,
                            const std::function<void()>& onJudging) {
    Recognition r;
    in.rewind();
    char head[4];
    const std::string_view h(head, ReadFully(in, head, sizeof head));
    if (encoding == Encoding::Auto) {
        in.rewind();
        std::string start(kUtf16Evidence, '\0');
        start.resize(ReadFully(in, start.data(), start.size()));
        if (std::optional<Encoding> byHead = EncodingShownByHead(start)) {
            encoding = *byHead;
        } else {
            if (onJudging) onJudging();
            in.rewind();
            EncodingJudge judge(start);
            // The judge is fed whole checkpoints, however small the stream's
            // blocks, so that it sees the bytes as the whole-file reading does.
            std::vector<char> block(std::max(blockSize, kUtf16Evidence));
            while (!judge.settled()) {
                const std::size_t n = ReadFully(in, block.data(), block.size());
                judge.feed(std::string_view(block.data(), n), n == 0);
                if (n == 0) break;
            }
            r = judge.verdict();
            encoding = r.encoding;
        }
    }
    r.encoding = encoding;
    // GBK has no byte-order mark: its bytes are taken as they are.
    r.hadBom = EncodingByBom(h) == encoding;
    return r;
}

}  // namespace zelmora::formats

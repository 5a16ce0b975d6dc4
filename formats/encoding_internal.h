#pragma once
// Internal to formats/ (and its tests): the parts of decoding and encoding
// that the whole-file and the streamed paths share, so that both read every
// byte the same way, and the block-by-block decoder and encoder.
#include <unicode/ucnv_err.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/encoding.h"

namespace zelmora::formats {

class ByteSource;

// Bytes as "0xAB 0xCD", for messages about undecodable text.
std::string Hex(std::string_view bytes);
// The failure for the bytes at `offset`, on `line` of `file` (unnamed: "Line
// N"): no character in `encoding`, or, `truncated`, the file ends inside one.
[[noreturn]] void FailUndecodable(std::string_view bytes, std::size_t offset, std::size_t line, bool truncated,
                                  const char* encoding, std::string_view file);

// ICU converters, which fail (stop) on bytes that are no character.
struct ConverterCloser {
    void operator()(UConverter* c) const;
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;
ConverterPtr OpenStrict(const char* name);
// The converter every reader of GBK or GB18030 bytes takes: code page 936
// for GBK, "gb18030" for GB18030, whose BMP code points then go through
// Gb2022Swap (GBK keeps the moved characters' private-use code points).
const char* GbConverterName(TextEncoding textEncoding);

// The code points of GB18030 (or, with Gbk, GBK) text; bytes that are no
// character are passed over.
void DecodeCodePoints(std::string_view text, TextEncoding textEncoding, std::vector<char32_t>& out);

// UTF-8 of GB18030 (or GBK) text through ICU's converter, whole pieces at a
// time, appended to `out`: what EncodeText writes, which takes a table of the
// characters instead (and this only to name the line of bytes that are no
// character).
void AppendUtf8ThroughConverter(std::string_view text, TextEncoding textEncoding, std::string& out,
                                std::size_t firstLine, std::size_t piece);

// GB18030 text of UTF-8 bytes through ICU's converter, pieces of at most
// `piece` code units at a time: what DecodeText gives, which takes a table of
// the BMP's characters instead (and this only to name bytes that are no UTF-8).
std::string Utf8ToGb18030ThroughConverter(std::string_view s, std::size_t piece);
// Builds that table (once, on first need otherwise).
void PrepareUtf8Reading();
// Appends the GB18030 text of UTF-8 bytes from that table; false, with `out`
// as it was, when they are no UTF-8.
bool AppendGb18030OfUtf8(std::string_view s, std::string& out);
// The width of the GB18030 character at `i` of text the converter wrote: 1,
// 2, or 4 when its second byte is a digit.
std::size_t Gb18030Width(std::string_view bytes, std::size_t i);

// Builds the tables UTF-8 of `textEncoding` text is written from (each built
// once, on first need otherwise).
void PrepareUtf8Writing(TextEncoding textEncoding);

// ---- Walking UTF-8 ----

// GB18030-2022 moved 18 characters between the private use area and their
// standard code points; ICU's converter keeps the 2005 mapping: this swaps one.
char16_t Gb2022Swap(char16_t c);

// Length of the valid UTF-8 sequence at i, 0 when invalid, or -1 when the
// text ends inside an otherwise valid sequence.
int Utf8SequenceAt(std::string_view s, std::size_t i, char32_t& cp);

enum class Utf8Check { Valid, Invalid, Truncated };

// The UTF-8 walk of every reader of UTF-8 bytes, whole or block by block:
// calls onChar(code point) for each character from `i` on, advancing `i`.
// Stops at the end; unless `last`, also at a sequence without four bytes at
// hand, to be judged (and shown in a message) with them all as in the whole
// text; and at one that is no character, with `i` on it: Invalid, or
// Truncated when the text ends inside an otherwise valid one.
template <typename OnChar>
Utf8Check WalkUtf8(std::string_view s, std::size_t& i, bool last, OnChar&& onChar) {
    char32_t cp;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        // ASCII runs are the common case.
        if (c < 0x80) {
            onChar(char32_t{c});
            ++i;
            continue;
        }
        if (!last && i + 3 >= s.size()) break;
        const int n = Utf8SequenceAt(s, i, cp);
        if (n <= 0) return n < 0 ? Utf8Check::Truncated : Utf8Check::Invalid;
        onChar(cp);
        i += static_cast<std::size_t>(n);
    }
    return Utf8Check::Valid;
}

// ---- Which encoding ----

// The encoding a byte-order mark at the start of `head` names, if any.
std::optional<Encoding> EncodingByBom(std::string_view head);
// The length of that encoding's byte-order mark (0 for GBK).
std::size_t BomLength(Encoding encoding);
// UTF-16 recognised without a byte-order mark, by where its zero bytes stand
// in the first kUtf16Evidence bytes.
inline constexpr std::size_t kUtf16Evidence = 1 << 16;
std::optional<Encoding> Utf16ByZeros(std::string_view bytes);

// How a file's bytes are to be read, as every reader (whole, streamed, the
// plain-GBK shortcut) judges them.
struct Recognition {
    Encoding encoding = Encoding::Gb18030;
    bool hadBom = false;
    bool closeCall = false;  // another encoding read the bytes nearly as well
    double lead = 0;         // bits the chosen reading led the runner-up by (judged only)
};

// What the head of a file (its first kUtf16Evidence bytes) decides alone: a
// Windows phrase file's magic (UTF-16LE), a byte-order mark or the zero
// bytes of UTF-16. Nullopt: the whole file must
// be judged.
std::optional<Encoding> EncodingShownByHead(std::string_view head);

// Which reading of bytes without a byte-order mark is right: each of UTF-8,
// GB18030, UTF-16LE and UTF-16BE is scored by how many bits its text costs
// as Chinese table text -- a Han character by its frequency in jieba's word
// list, letters, symbols and other scripts by their rarity in such text,
// bytes the reading can't decode most of all -- and the cheapest wins. Fed
// block by block; the same verdict for any cut of the same bytes.
class EncodingJudge {
public:
    // `head`: the file's first kUtf16Evidence bytes. A Rime header there
    // gives UTF-8 a head start, as the engine reads only UTF-8.
    explicit EncodingJudge(std::string_view head = {});
    void feed(std::string_view bytes, bool last);
    // One reading leads by so much that no rest of the file could overturn
    // it in practice: the caller may stop feeding.
    bool settled() const { return settled_; }
    // Utf8, Gb18030, Utf16le or Utf16be, and whether the runner-up was close.
    Recognition verdict() const;
    // The bits each reading has cost so far (tests).
    double bits(Encoding encoding) const;

private:
    enum Kind { kUtf8, kGb, kLe, kBe, kReadings };
    struct Reading {
        double bits = 0;
        double headStart = 0;         // what the file's header grants this reading
        std::size_t characters = 0;   // counted in the UTF-16 readings
        std::size_t undecodable = 0;  // counted in the UTF-8 reading
        std::string carry;
        double score() const { return bits - headStart; }
    };
    void utf8(std::string_view s, bool last);
    void gb(std::string_view s, bool last);
    void utf16(Kind kind, std::string_view s, bool last);
    double lead() const;  // of the cheapest reading over the runner-up
    Reading readings_[kReadings];
    std::size_t fedBytes_ = 0;
    bool nonAscii_ = false;  // ASCII alone reads the same in UTF-8 and GB18030
    bool fed_ = false;
    bool settled_ = false;
};

// The whole-file recognition: a byte-order mark, the head, or the judge.
Recognition RecognizeEncoding(std::string_view bytes);
// The same verdict for the bytes of a source read block by block: the head,
// or else the judge fed blocks of `blockSize` until settled (a pass of its
// own; `onJudging` is told as it begins). With an encoding given, only
// whether the bytes begin with its byte-order mark. Leaves the source
// anywhere: rewind it before reading.
Recognition RecognizeSource(ByteSource& in, Encoding encoding, std::size_t blockSize,
                            const std::function<void()>& onJudging = {});

// ---- Encodings, block by block ----

// EncodeText for a piece of a text that begins on line `firstLine` of the
// whole: failures name the line of the whole text.
// The conversions through ICU run on pieces of at most this many characters
// (bytes of GB18030 text, code units of UTF-16), so that no length handed to
// ICU nears its 32-bit limit however large the table.
inline constexpr std::size_t kConversionPiece = std::size_t(1) << 24;
std::string EncodeTextFrom(std::string_view text, Encoding encoding, bool bom, TextEncoding textEncoding,
                           std::size_t firstLine, std::size_t piece = kConversionPiece);
// DecodeText with the pieces' size given (tests give a small one).
DecodedText DecodeTextInPieces(std::string_view bytes, Encoding encoding, std::size_t piece);

// DecodeText block by block: the same GB18030 text, and the same failures,
// as decoding the whole file at once. The byte-order mark is left to the caller.
class StreamDecoder {
public:
    explicit StreamDecoder(Encoding encoding);
    // Appends the text of `bytes` to `out`; with `last`, the file ends there.
    void feed(std::string_view bytes, bool last, std::string& out);

private:
    void utf8(std::string_view s, bool last);
    void utf16(std::string_view s, bool last);
    Encoding encoding_;
    std::string carry_;
    std::u16string units_;
    std::size_t line_ = 1;
    bool cr_ = false;    // UTF-8: the last byte was a CR
    char16_t last_ = 0;  // UTF-16: the last unit
};

// EncodeText block by block: text appended in pieces comes out in pieces
// whose concatenation is EncodeText of the whole text, and a failure names
// the same line. The text is cut only after a line break the character walk
// of the whole text reaches, so every piece is read as the whole would be.
class StreamEncoder {
public:
    StreamEncoder(Encoding encoding, bool bom, TextEncoding textEncoding, std::function<void(std::string_view)> sink,
                  std::size_t pieceSize = std::size_t(1) << 18);
    void append(std::string_view text);
    void finish();

private:
    void walk();
    void emit(std::size_t end);
    Encoding encoding_;
    TextEncoding textEncoding_;
    bool bom_;
    std::function<void(std::string_view)> sink_;
    std::size_t pieceSize_;
    std::string buffer_;
    std::size_t walked_ = 0;  // the character walk has reached this offset
    std::size_t cut_ = 0;     // the last offset after a line break the walk reached
    bool cr_ = false;         // the last character walked was a CR
    std::size_t line_ = 1;    // of the whole text, at the start of the buffer
    bool started_ = false;
};

}  // namespace zelmora::formats

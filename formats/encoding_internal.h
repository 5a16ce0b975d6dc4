#pragma once
// Internal to formats/ (and its tests): the parts of decoding and encoding
// that the whole-file and the streamed paths share, so that both read every
// byte the same way, and the block-by-block decoder and encoder.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/encoding.h"

namespace zelmora::formats {

// Bytes as "0xAB 0xCD", for messages about undecodable text.
std::string Hex(std::string_view bytes);

// The code points of GB18030 (or, with Gbk, GBK) text; bytes that are no
// character are passed over.
void DecodeCodePoints(std::string_view text, TextEncoding textEncoding, std::vector<char32_t>& out);

// ---- Which encoding ----

// The encoding a byte-order mark at the start of `head` names, if any.
std::optional<Encoding> EncodingByBom(std::string_view head);
// The length of that encoding's byte-order mark (0 for GBK).
std::size_t BomLength(Encoding encoding);
// UTF-16 recognised without a byte-order mark, by where its zero bytes stand
// in the first kUtf16Evidence bytes.
inline constexpr std::size_t kUtf16Evidence = 1 << 16;
std::optional<Encoding> Utf16ByZeros(std::string_view bytes);

// Whether the bytes of a file without a byte-order mark are UTF-8, fed block
// by block: Valid until an invalid sequence, which makes them GB18030.
class Utf8Scan {
public:
    // False once the bytes are known not to be UTF-8.
    bool feed(std::string_view bytes);
    // At the end: fails when the file ends inside a UTF-8 character.
    bool finish();

private:
    // Walks s; unless `last`, a sequence without all its bytes waits in carry_.
    bool scan(std::string_view s, bool last);
    std::string carry_;
    std::size_t line_ = 1;
    bool cr_ = false;
    bool invalid_ = false;
};

// Which of UTF-8 and GBK bytes that are valid UTF-8 are: each decoding is
// scored by how much of its text is Chinese (ideographs and punctuation)
// against other characters; GBK must win outright. Fed block by block.
class EncodingEvidence {
public:
    void feed(std::string_view bytes, bool last);
    // Utf8 or Gb18030; `closeCall` when the evidence is thin.
    Encoding verdict(bool& closeCall) const;

private:
    std::string carryU_, carryG_;
    std::size_t utf8Chinese_ = 0, utf8Other_ = 0, gbkChinese_ = 0, gbkOther_ = 0;
    bool gbkInvalid_ = false;
};

// The encoding DecodeText with Auto takes for bytes without a byte-order mark.
Encoding DetectedEncoding(std::string_view bytes);

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

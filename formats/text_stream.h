#pragma once
// A text (prose to type, a word list) read block by block as Unicode code
// points: memory stays flat however large the file, and however long its
// lines. UTF-8 and UTF-16 are decoded here; GBK and GB18030 through the ICU
// converters the rest of formats/ reads them with, so a character is the one
// a table in the same encoding gives.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/encoding.h"
#include "formats/table_stream.h"

namespace zelmora::formats {

class TextStream {
public:
    // With Encoding::Auto, the encoding is recognised as a table file's is (a
    // byte-order mark; the zero bytes of UTF-16; else the judge, fed block
    // by block until settled, a pass of its own): the verdict DecodeText
    // gives for the same bytes. `name` is the file's name for messages.
    TextStream(ByteSource& source, Encoding encoding, std::string name);
    ~TextStream();
    TextStream(const TextStream&) = delete;
    TextStream& operator=(const TextStream&) = delete;

    Encoding encoding() const { return encoding_; }
    bool hadBom() const { return hadBom_; }
    // Another encoding read the bytes nearly as well (Auto only).
    bool closeCall() const { return closeCall_; }

    // Appends up to `size` (at least 1) further code points of the text to
    // `out`, the byte-order mark left out; false at the end of the text,
    // nothing appended. Fails naming the file and the line (CR LF, CR and
    // LF each end one) on bytes that are no character, a text that ends
    // inside one, or a NUL byte; nothing is substituted. Not to be called
    // again after a failure.
    bool next(std::u32string& out, std::size_t size);

private:
    struct Converter;  // ICU's, for GBK and GB18030
    void fill();
    char32_t* utf8(char32_t* to, char32_t* limit);
    char32_t* utf16(char32_t* to, char32_t* limit);
    char32_t* gb(char32_t* to, char32_t* limit);
    // A character up to CR, written at `at`: counts lines, refuses NUL.
    void control(char32_t c, const char32_t* at);
    [[noreturn]] void fail(std::string_view bytes, std::size_t offset, bool truncated) const;

    ByteSource& source_;
    std::string name_;
    Encoding encoding_ = Encoding::Gb18030;
    bool hadBom_ = false;
    bool closeCall_ = false;
    std::vector<char> buffer_;
    std::size_t at_ = 0, end_ = 0;  // the bytes of buffer_ not decoded yet
    bool eof_ = false;              // the source has no more bytes
    bool finished_ = false;         // every byte decoded
    std::unique_ptr<Converter> converter_;
    // Lines: code points are counted from the text's start; `afterCr_` is
    // the index just after the last CR, where an LF ends no further line.
    std::size_t line_ = 1;
    std::uint64_t given_ = 0;          // code points handed out before this call of next()
    const char32_t* begin_ = nullptr;  // where this call of next() writes its first
    std::uint64_t afterCr_ = UINT64_MAX;
};

}  // namespace zelmora::formats

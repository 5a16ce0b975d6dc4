#pragma once
// The encodings of table files, and text conversion between a file's bytes
// and the text held inside. Inside, text is GB18030 bytes: a superset of GBK
// whose four-byte characters never hide a space, comma or quote, so every
// text rule and derivation works on it unchanged.
#include <string>
#include <string_view>

#include "core/text_encoding.h"

namespace zelmora::formats {

enum class Encoding { Auto, Gbk, Gb18030, Utf8, Utf16le, Utf16be };

// Parses "auto", "gbk", "gb18030", "utf-8", "utf-16le", "utf-16be"; fails on others.
Encoding ParseEncoding(std::string_view name);
// The names above, for messages.
const char* EncodingName(Encoding encoding);

// How the text of a file in this encoding is held once read: a GBK file keeps
// its GBK bytes, every other encoding becomes GB18030 bytes.
TextEncoding TextEncodingOf(Encoding fileEncoding);

// Text conversion between a file's bytes and GB18030.
struct DecodedText {
    std::string text;  // GB18030
    Encoding encoding = Encoding::Gb18030;
    bool hadBom = false;
    bool closeCall = false;  // Auto chose between UTF-8 and GBK on thin evidence
};
// Auto: a byte-order mark decides; otherwise zero bytes on one side of every
// pair make UTF-16 (LE or BE); otherwise bytes that are not valid UTF-8 are
// GB18030, and valid UTF-8 is UTF-8 unless reading it as GBK gives clearly
// more Chinese text (short GBK text is often valid UTF-8). GBK and GB18030
// bytes are kept as they are. Fails naming the line
// of an invalid UTF-8 or UTF-16 sequence, or a file that ends inside one.
DecodedText DecodeText(std::string_view bytes, Encoding encoding);
// GB18030 text as bytes of the encoding (not Auto). Fails, naming the line,
// on a character the encoding can't hold or on bytes that are no character.
// `textEncoding` says how the text's bytes are read: Gbk for bytes kept as
// they were in a GBK file, Gb18030 otherwise.
std::string EncodeText(std::string_view text, Encoding encoding, bool bom, TextEncoding textEncoding);

// GB18030 text as UTF-8 for messages and reports; bytes that are no
// character are replaced, never fail.
std::string MessageText(std::string_view gb18030);

}  // namespace zelmora::formats

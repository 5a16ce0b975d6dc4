#pragma once
// How a text's bytes are read. The encoding travels with the text it belongs
// to (as an argument of whatever decodes, collates or counts it): two tables
// of different encodings can be worked on at once.
namespace zelmora {

// GBK: code page 936 ("windows-936"), the bytes the window holds and GBK
// files give. GB18030: the bytes of tables read from UTF-8, UTF-16 or GB18030
// files, which may hold four-byte characters.
enum class TextEncoding { Gbk, Gb18030 };

}  // namespace zelmora

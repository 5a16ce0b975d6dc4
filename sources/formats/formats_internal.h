#pragma once
// Helpers shared by the readers, the writers and the checks of table formats.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sources/formats/table_io.h"

namespace zelmora::formats {

// Bytes of the GB18030 character at i: 1, 2 or 4.
std::size_t CharWidth(std::string_view text, std::size_t i);

// GB18030 bytes of a UTF-8 literal (keywords such as "[数据]"), and back.
std::string Gb(std::string_view utf8);
std::string Utf8Of(std::string_view gb18030);

bool IsSpaceOrTab(char c);
std::string_view TrimBlanks(std::string_view s);  // spaces, tabs, CR, LF, VT, FF
bool StartsWith(std::string_view s, std::string_view prefix);

// A word or code for a group line: quoted (quotes doubled) when it holds white
// space, a comma or a double quote, or is empty, so that SplitTokens gives it back.
void AppendToken(std::string& out, std::string_view token);

// Bytes as "0xAB 0xCD", for messages about undecodable text.
std::string Hex(std::string_view bytes);

// The entries a line of a data section gives, as the reader reads them;
// false when the line is no code-word line of that format.
bool ParseEntryLine(Format format, const TableLayout& layout, std::string_view line, std::vector<TableEntry>& out);

}  // namespace zelmora::formats

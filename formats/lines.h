#pragma once
// Internal to formats/ (and its tests): the text helpers the formats'
// readers, writers and checks share, so that every format reads and writes
// its keywords, blanks and tokens the same way.
#include <string>
#include <string_view>

namespace zelmora::formats {

// GB18030 bytes of a UTF-8 literal (keywords such as "[数据]"), and back.
std::string Gb(std::string_view utf8);
std::string Utf8Of(std::string_view gb18030);
// Utf8Of for a message: a long text cut to its first 100 characters, "…" and
// its length; CR and LF shown as \r and \n.
std::string Utf8Shown(std::string_view gb18030);

bool IsSpaceOrTab(char c);
bool StartsWith(std::string_view s, std::string_view prefix);

}  // namespace zelmora::formats

#pragma once
// Internal to formats/ (and its tests): the check of one line, which the
// whole-table check and the streamed one share, so that both find the same.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "formats/checking.h"
#include "formats/document.h"

namespace zelmora::formats {

// Offset of the first bytes that are no character of GBK (or GB18030), or npos.
std::size_t FirstBadCharacter(std::string_view s, bool gb18030, std::size_t& width);

// The findings of the check on one line (index 0-based) of a table read in
// `encoding`, reported through `report` in the order the check gives them.
// `seen` maps code, 0x01, word to the line a pair was first met on.
void CheckLine(Format format, const TableLayout& layout, Encoding encoding, std::size_t index, std::string_view text,
               TableLine::Kind kind, const TableEntry* entries, std::size_t count,
               std::unordered_map<std::string, std::size_t>& seen,
               const std::function<void(std::size_t, std::string)>& report);

// CheckLine for an Entry line of a plain table whose entries come in parts
// (a line of millions of words): the same findings in the same order, with
// memory for one part at a time.
class PlainLineCheck {
public:
    explicit PlainLineCheck(Encoding encoding) : encoding_(encoding) {}
    void part(std::size_t index, std::string_view text, const TableEntry* entries, std::size_t count, bool first,
              bool last, std::unordered_map<std::string, std::size_t>& seen,
              const std::function<void(std::size_t, std::string)>& report);

private:
    Encoding encoding_;
    std::string lastCode_, again_;
    std::string refused_;  // why the line can't be written back, once known
};

}  // namespace zelmora::formats

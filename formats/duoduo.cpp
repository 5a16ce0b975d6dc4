// duoduo tables: "word<TAB>code", one entry a line, candidates in file order;
// "---config@…" lines are the program's settings.
#include <string>
#include <vector>

#include "core/text.h"
#include "formats/document.h"
#include "formats/lines.h"
#include "formats/reading.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

namespace {

bool IsConfigLine(std::string_view t) { return StartsWith(t, "---config@"); }

bool LowercaseLetters(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < 'a' || c > 'z') return false;
    return true;
}

}  // namespace

TableLine::Kind LineReader::readDuoduo(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    std::string_view t = TrimWhiteSpace(text);
    if (t.empty()) return TableLine::Kind::Blank;
    if (IsConfigLine(t)) return TableLine::Kind::Comment;
    return data(text, entries, problem);
}

bool ParseDuoduoLine(std::string_view line, std::vector<TableEntry>& out) {
    thread_local std::vector<std::string_view> fields;
    SplitTabs(line, fields);
    if (fields.size() != 2 || fields[0].empty() || fields[1].empty()) return false;
    out.push_back({std::string(fields[1]), std::string(fields[0]), {}, {}});
    return true;
}

// A Chinese word before a code of letters: a plain line would have its code
// first. A line of ASCII alone shows nothing new: it stays plain.
bool ShowsDuoduo(std::string_view t) {
    if (IsConfigLine(t)) return true;
    const std::size_t tab = t.find('\t');
    if (tab == std::string_view::npos || tab == 0) return false;
    const std::string_view word = t.substr(0, tab), code = t.substr(tab + 1);
    if (HasAny(word, " \t") || !LowercaseLetters(code)) return false;
    for (char c : word)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

std::string DuoduoLine(const TableEntry& e) {
    const Format format = Format::Duoduo;
    if (e.code.empty() || HasAny(e.code, " \t\r\n"))
        CannotWrite("The code", e.code, "is empty or holds white space", format);
    if (e.word.empty() || HasAny(e.word, "\t\r\n"))
        CannotWrite("The word", e.word, "is empty or holds a tab or line break", format);
    if (IsConfigLine(e.word)) CannotWrite("The word", e.word, "begins with ---config@", format);
    return e.word + '\t' + e.code;
}

}  // namespace zelmora::formats

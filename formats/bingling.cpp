// bingling tables: the program's keys, then [CODETABLE] with "code<TAB>word"
// lines, candidates in file order.
#include <string>
#include <vector>

#include "core/failure.h"
#include "core/text.h"
#include "formats/document.h"
#include "formats/lines.h"
#include "formats/reading.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

TableLine::Kind LineReader::readBingling(std::string_view text, std::vector<TableEntry>& entries,
                                         std::string& problem) {
    std::string_view t = TrimWhiteSpace(text);
    if (bingling_.phase == BinglingState::Phase::Keys) {
        if (IsBinglingTableLine(t)) bingling_.phase = BinglingState::Phase::Data;
        return TableLine::Kind::Header;
    }
    if (t.empty()) return TableLine::Kind::Blank;
    return data(text, entries, problem);
}

void LineReader::finishBingling() const {
    if (bingling_.phase == BinglingState::Phase::Keys)
        throw Failure("No [CODETABLE] line: is the file truncated, or not a bingling table?");
}

bool ParseBinglingLine(std::string_view line, std::vector<TableEntry>& out) {
    thread_local std::vector<std::string_view> fields;
    SplitTabs(line, fields);
    if (fields.size() != 2 || fields[0].empty() || fields[1].empty()) return false;
    out.push_back({std::string(fields[0]), std::string(fields[1]), {}, {}});
    return true;
}

bool IsBinglingTableLine(std::string_view t) { return EqualsIgnoringCase(t, "[CODETABLE]"); }

// "Key=value" with an ASCII key that begins in upper case, or "[Section]".
bool NeutralBinglingKey(std::string_view t) {
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
        for (char c : t)
            if (static_cast<unsigned char>(c) >= 0x80 || c == ' ' || c == '\t') return false;
        return true;
    }
    if (t.empty() || t[0] < 'A' || t[0] > 'Z') return false;
    std::size_t i = 0;
    while (i < t.size() && ((t[i] >= 'A' && t[i] <= 'Z') || (t[i] >= 'a' && t[i] <= 'z') ||
                            (t[i] >= '0' && t[i] <= '9') || t[i] == '_'))
        ++i;
    return i < t.size() && t[i] == '=';
}

std::string BinglingLine(const TableEntry& e) {
    const Format format = Format::Bingling;
    if (e.code.empty() || HasAny(e.code, " \t\r\n"))
        CannotWrite("The code", e.code, "is empty or holds white space", format);
    if (e.word.empty() || HasAny(e.word, "\t\r\n"))
        CannotWrite("The word", e.word, "is empty or holds a tab or line break", format);
    return e.code + '\t' + e.word;
}

std::string BinglingFreshHeader() { return "[CODETABLE]\r\n"; }

}  // namespace zelmora::formats

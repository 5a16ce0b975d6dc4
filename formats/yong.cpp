// yong tables: "key=value" settings, then [DATA] with a code's words on a
// line, parted by blanks.
#include <string>
#include <vector>

#include "core/text.h"
#include "core/failure.h"
#include "formats/document.h"
#include "formats/lines.h"
#include "formats/reading.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

namespace {

// Splits at runs of spaces and tabs.
void SplitBlanks(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSpaceOrTab(line[i])) ++i;
        if (i >= line.size()) break;
        std::size_t start = i;
        while (i < line.size() && !IsSpaceOrTab(line[i])) ++i;
        fields.push_back(line.substr(start, i - start));
    }
}

}  // namespace

// yong: settings, then [DATA].
TableLine::Kind LineReader::readYong(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    using Kind = TableLine::Kind;
    std::string_view t = TrimWhiteSpace(text);
    if (yong_.phase == YongState::Phase::Settings) {
        if (EqualsIgnoringCase(t, "[DATA]")) yong_.phase = YongState::Phase::Data;
        return Kind::Header;
    }
    if (t.empty()) return Kind::Blank;
    if (t[0] == '#') return Kind::Comment;
    return data(text, entries, problem);
}

void LineReader::finishYong() const {
    if (yong_.phase == YongState::Phase::Settings)
        throw Failure("No [DATA] line: is the file truncated, or not a yong table?");
}

bool ParseYongLine(std::string_view line, std::vector<TableEntry>& out) {
    thread_local std::vector<std::string_view> fields;
    SplitBlanks(line, fields);
    if (fields.size() < 2) return false;
    for (std::size_t i = 1; i < fields.size(); ++i)
        out.push_back({std::string(fields[0]), std::string(fields[i]), {}, {}});
    return true;
}

std::string YongLine(const TableEntry* entries, std::size_t count) {
    const Format format = Format::Yong;
    const TableEntry& e = entries[0];
    if (e.code.empty() || HasAny(e.code, " \t\r\n"))
        CannotWrite("The code", e.code, "is empty or holds white space", format);
    // yong reads a data line that begins with # as a comment.
    if (e.code[0] == '#') CannotWrite("The code", e.code, "begins with #", format);
    std::string out = e.code;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& w = entries[i].word;
        if (w.empty() || HasAny(w, " \t\r\n")) CannotWrite("The word", w, "is empty or holds white space", format, i);
        out += ' ';
        out += w;
    }
    return out;
}

std::string YongFreshHeader(const HeaderFacts& facts, const WriteOptions& o) {
    // yong reads GB18030 unless told "encode=UTF-8".
    return std::string(o.encoding == Encoding::Utf8 ? "encode=UTF-8\n" : "") + "name=" + Gb(o.name) +
           "\nkey=" + facts.keys() + "\nlen=" + std::to_string(facts.maxLength) + "\n[DATA]\n";
}

}  // namespace zelmora::formats

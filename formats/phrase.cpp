// Custom-phrase files of sogou ("code,position=word") and baidu
// ("code=position,word"), ';' comments: the position orders a code's
// candidates. And jisu, the typing simulators' tables
// ("word<TAB>code and selection key<TAB>position"), written only.
#include <string>
#include <vector>

#include "core/text.h"
#include "formats/document.h"
#include "formats/lines.h"
#include "formats/reading.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

namespace {

// At most nine digits: a position fits 32 bits.
bool ParsePosition(std::string_view digits, std::uint32_t& position) {
    if (digits.empty() || digits.size() > 9) return false;
    std::uint32_t n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<std::uint32_t>(c - '0');
    }
    position = n;
    return n > 0;
}

// The code, position and word of a line; the separators are the format's.
bool SplitPhrase(Format format, std::string_view line, std::string_view& code, std::uint32_t& position,
                 std::string_view& word) {
    const char first = format == Format::SogouPhrase ? ',' : '=';
    const char second = format == Format::SogouPhrase ? '=' : ',';
    const std::size_t a = line.find(first);
    if (a == std::string_view::npos || a == 0) return false;
    const std::size_t b = line.find(second, a + 1);
    if (b == std::string_view::npos) return false;
    code = line.substr(0, a);
    word = line.substr(b + 1);
    if (code.find(second) != std::string_view::npos) return false;
    return !word.empty() && ParsePosition(line.substr(a + 1, b - a - 1), position);
}

}  // namespace

TableLine::Kind LineReader::readPhrase(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    std::string_view t = TrimWhiteSpace(text);
    if (t.empty()) return TableLine::Kind::Blank;
    if (t[0] == ';') return TableLine::Kind::Comment;
    entries.clear();
    if (ParsePhraseLine(format_, text, entries, &position_)) return TableLine::Kind::Entry;
    problem = format_ == Format::SogouPhrase ? "not code,position=word" : "not code=position,word";
    return TableLine::Kind::Malformed;
}

bool ParsePhraseLine(Format format, std::string_view line, std::vector<TableEntry>& out, std::uint32_t* position) {
    std::string_view code, word;
    std::uint32_t p = 0;
    if (!SplitPhrase(format, line, code, p, word)) return false;
    out.push_back({std::string(code), std::string(word), {}, {}});
    if (position) *position = p;
    return true;
}

// A code of letters, as the programs' own files have: a plain table's
// single-token line is no table line, and a yong setting's value is no
// position and word.
bool ShowsPhrase(Format format, std::string_view t) {
    std::string_view code, word;
    std::uint32_t p = 0;
    if (!SplitPhrase(format, t, code, p, word)) return false;
    for (char c : code)
        if (c < 'a' || c > 'z') return false;
    return true;
}

std::string PhraseLine(Format format, const TableEntry& e, std::size_t position) {
    const bool sogou = format == Format::SogouPhrase;
    if (e.code.empty() || HasAny(e.code, " \t\r\n,="))
        CannotWrite("The code", e.code, "is empty or holds white space, a comma or an equals sign", format);
    if (e.code[0] == ';') CannotWrite("The code", e.code, "begins with ;", format);
    if (e.word.empty() || HasAny(e.word, "\r\n"))
        CannotWrite("The word", e.word, "is empty or holds a line break", format);
    const std::string n = std::to_string(position);
    return sogou ? e.code + ',' + n + '=' + e.word : e.code + '=' + n + ',' + e.word;
}

std::string JisuLine(const TableEntry& e, std::size_t position) {
    const Format format = Format::Jisu;
    if (e.code.empty() || HasAny(e.code, " \t\r\n_"))
        CannotWrite("The code", e.code, "is empty or holds white space or _", format);
    if (e.word.empty() || HasAny(e.word, "\t\r\n"))
        CannotWrite("The word", e.word, "is empty or holds a tab or line break", format);
    // How a typist takes the candidate, as Zelmora's typing figures count
    // it: "=" turns each page of five, then the space ("_") takes the
    // page's first, ; ' 4 5 the others.
    const std::size_t page = (position - 1) / 5, place = (position - 1) % 5;
    std::string keys(page, '=');
    keys += place == 0 ? '_' : ";'45"[place - 1];
    return e.word + '\t' + e.code + keys + '\t' + std::to_string(position);
}

}  // namespace zelmora::formats

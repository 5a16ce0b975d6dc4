// Plain tables: group lines "code word word …", tokens quoted as the text
// rules read them, no header.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "formats/document.h"
#include "formats/lines.h"
#include "formats/reading.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

TableLine::Kind LineReader::readPlain(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    return TrimText(text).empty() ? TableLine::Kind::Blank : data(text, entries, problem);
}

bool ParsePlainLine(std::string_view line, std::vector<TableEntry>& out) {
    if (line.size() < 4096) {
        LineList tokens = SplitTokens(line);
        if (tokens.count() < 2) return false;
        auto& t = tokens.lines();
        for (std::size_t i = 1; i < t.size(); ++i) out.push_back({t[0], std::move(t[i]), {}, {}});
        return true;
    }
    // A long line is counted first and filled token by token: a line
    // of millions of words holds its entries once, not beside a list
    // of its tokens or in a vector left half empty by its last doubling.
    const std::size_t count = CountTokens(line, SIZE_MAX);
    if (count < 2) return false;
    out.reserve(count - 1);
    std::string code;
    bool first = true;
    ForEachToken(line, [&](std::string&& t) {
        if (first) {
            code = std::move(t);
            first = false;
        } else {
            out.push_back({code, std::move(t), {}, {}});
        }
    });
    return true;
}

void AppendPlainToken(std::string& out, std::string_view token, const char* what, bool followed) {
    // The reader cuts lines at every CR and LF, inside quotes too.
    if (HasAny(token, "\r\n")) CannotWrite(what, token, "holds a line break", Format::Plain);
    const std::size_t at = out.size();
    AppendToken(out, token);
    if (!EndsInLoneLeadByte(token)) return;
    if (out[at] == '"') CannotWrite(what, token, "needs quotes and ends in a lone lead byte", Format::Plain);
    if (followed) CannotWrite(what, token, "ends in a lone lead byte and has a word after it", Format::Plain);
}

void AppendPlainCode(std::string& out, std::string_view code) {
    const std::size_t at = out.size();
    AppendPlainToken(out, code, "The code", true);
    if (out[at] == '"') return;
    // A code of letters a-z, the common one, begins no other format's line:
    // every header keyword has a capital, a symbol or a Chinese character.
    if (std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; })) return;
    // Recognition goes by how a line begins, and a blank always follows the
    // code: any word after it shows the same.
    thread_local std::string probe;
    probe.assign(out, at).append(" x");
    const std::optional<Format> shown = FormatShownBy(probe);
    if (!shown || *shown == Format::Plain) return;
    if (EndsInLoneLeadByte(code))
        CannotWrite("The code", code, "needs quotes and ends in a lone lead byte", Format::Plain);
    out.resize(at);
    out += '"';
    for (std::size_t i = 0, w = 0; i < code.size(); i += w) {
        w = CharWidth(code, i);
        if (code[i] == '"') out += '"';
        out.append(code, i, w);
    }
    out += '"';
}

std::string PlainLine(const TableEntry* entries, std::size_t count) {
    std::string out;
    AppendPlainCode(out, entries[0].code);
    for (std::size_t i = 0; i < count; ++i) {
        out += ' ';
        try {
            AppendPlainToken(out, entries[i].word, "The word", i + 1 < count);
        } catch (const RefusedEntry& f) {
            throw RefusedEntry(f.what(), i);
        }
    }
    return out;
}

}  // namespace zelmora::formats

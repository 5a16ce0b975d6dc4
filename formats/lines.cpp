// The line syntax of each format: reading one data line into entries and
// writing entries as one line.
#include <unicode/ucnv.h>

#include <algorithm>

#include "core/failure.h"
#include "core/text.h"
#include "formats/formats_internal.h"

namespace zelmora::formats {

namespace {

std::string Convert(const char* to, const char* from, std::string_view text) {
    if (text.empty()) return {};
    std::string out(text.size() * 4 + 8, '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()), text.data(),
                             static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return std::string(text);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

bool HasAny(std::string_view s, std::string_view bytes) { return s.find_first_of(bytes) != std::string_view::npos; }

[[noreturn]] void CannotWrite(std::string_view what, std::string_view text, const char* why, Format format) {
    throw Failure(std::string(what) + " \"" + Utf8Shown(text) + "\" " + why + ", which a " + FormatName(format) +
                  " table can't hold");
}

// Splits at every tab.
void SplitTabs(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

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

std::string Unescape(std::string_view quoted) {
    std::string out;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '\\' && i + 2 < quoted.size()) {
            char d = quoted[++i];
            out += d == 'n' ? '\n' : d;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Escape(std::string_view word) {
    std::string out = "\"";
    for (char c : word) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::string Gb(std::string_view utf8) { return Convert("gb18030", "UTF-8", utf8); }
// Through EncodeText, so that messages show the characters GB18030-2022 moved
// as the output does; text that is no GB18030 still shows as best it can.
std::string Utf8Of(std::string_view gb18030) {
    try {
        return EncodeText(gb18030, Encoding::Utf8, false, TextEncoding::Gb18030);
    } catch (const Failure&) {
        return Convert("UTF-8", "gb18030", gb18030);
    }
}
std::string MessageText(std::string_view gb18030) {
    // Codes and ASCII words, most of what reports show, need no conversion.
    for (char c : gb18030)
        if (static_cast<unsigned char>(c) >= 0x80) return Utf8Of(gb18030);
    return std::string(gb18030);
}

std::string Utf8Shown(std::string_view gb18030) { return Utf8Of(AbbreviatedText(gb18030)); }

bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

void AppendPlainToken(std::string& out, std::string_view token, const char* what, bool followed) {
    const std::size_t at = out.size();
    AppendToken(out, token);
    if (!EndsInLoneLeadByte(token)) return;
    if (out[at] == '"') CannotWrite(what, token, "needs quotes and ends in a lone lead byte", Format::Plain);
    if (followed) CannotWrite(what, token, "ends in a lone lead byte and has a word after it", Format::Plain);
}

bool ParseEntryLine(Format format, const TableLayout& layout, std::string_view line, std::vector<TableEntry>& out) {
    out.clear();
    thread_local std::vector<std::string_view> fields;
    switch (format) {
        case Format::Plain: {
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
        case Format::Rime: {
            SplitTabs(line, fields);
            auto field = [&](int column) -> std::optional<std::string> {
                if (column < 0 || static_cast<std::size_t>(column) >= fields.size() || fields[column].empty())
                    return std::nullopt;
                return std::string(fields[column]);
            };
            auto text = field(layout.textColumn), code = field(layout.codeColumn);
            if (!text || !code) return false;
            out.push_back({std::move(*code), std::move(*text), field(layout.weightColumn), field(layout.stemColumn)});
            return true;
        }
        case Format::Libime:
        case Format::Fcitx4: {
            std::string_view t = TrimWhiteSpace(line);
            std::size_t sep = t.find_first_of(" \t\v\f");
            if (sep == std::string_view::npos) return false;
            std::string_view key = t.substr(0, sep);
            std::string_view value = TrimWhiteSpace(t.substr(sep));
            if (key.empty() || value.empty()) return false;
            std::string word =
                (format == Format::Libime && value.size() >= 2 && value.front() == '"' && value.back() == '"')
                    ? Unescape(value)
                    : std::string(value);
            out.push_back({std::string(key), std::move(word), {}, {}});
            return true;
        }
        case Format::Ibus: {
            SplitTabs(line, fields);
            if (fields.size() < 3 || fields[0].empty() || fields[1].empty()) return false;
            out.push_back({std::string(fields[0]), std::string(fields[1]), std::string(fields[2]), {}});
            return true;
        }
        case Format::Yong: {
            SplitBlanks(line, fields);
            if (fields.size() < 2) return false;
            for (std::size_t i = 1; i < fields.size(); ++i)
                out.push_back({std::string(fields[0]), std::string(fields[i]), {}, {}});
            return true;
        }
        case Format::Auto:
            break;
    }
    return false;
}

std::string CanonicalLineTail(Format format, const TableLayout& layout, const TableEntry* entries, std::size_t count) {
    if (count == 0) return {};
    std::string line = CanonicalLine(format, layout, entries, count);
    std::size_t codeLength = entries[0].code.size();  // yong writes the code as it is
    if (format == Format::Plain) {
        std::string token;
        AppendToken(token, entries[0].code);
        codeLength = token.size();
    }
    return line.substr(codeLength);
}

std::string CanonicalLine(Format format, const TableLayout& layout, const TableEntry* entries, std::size_t count) {
    std::string out;
    if (count == 0) return out;
    const TableEntry& e = entries[0];
    switch (format) {
        case Format::Plain:
            AppendPlainToken(out, e.code, "The code", true);
            for (std::size_t i = 0; i < count; ++i) {
                out += ' ';
                AppendPlainToken(out, entries[i].word, "The word", i + 1 < count);
            }
            return out;
        case Format::Yong:
            if (e.code.empty() || HasAny(e.code, " \t\r\n"))
                CannotWrite("The code", e.code, "is empty or holds white space", format);
            // yong reads a data line that begins with # as a comment.
            if (e.code[0] == '#') CannotWrite("The code", e.code, "begins with #", format);
            out = e.code;
            for (std::size_t i = 0; i < count; ++i) {
                const std::string& w = entries[i].word;
                if (w.empty() || HasAny(w, " \t\r\n"))
                    CannotWrite("The word", w, "is empty or holds white space", format);
                out += ' ';
                out += w;
            }
            return out;
        case Format::Rime: {
            if (HasAny(e.code, "\t\r\n") || e.code.empty())
                CannotWrite("The code", e.code, "is empty or holds a tab or line break", format);
            if (HasAny(e.word, "\t\r\n") || e.word.empty())
                CannotWrite("The word", e.word, "is empty or holds a tab or line break", format);
            // Empty columns at the end are never written, so only the columns up
            // to the last one filled matter: a header naming a thousand columns
            // costs no line a thousand steps.
            thread_local std::vector<std::string_view> columns;
            const int widest =
                std::max({layout.textColumn, layout.codeColumn, layout.weightColumn, layout.stemColumn, 1});
            columns.assign(static_cast<std::size_t>(widest) + 1, {});
            auto put = [&](int column, const std::string* v) {
                if (column >= 0 && v) {
                    if (HasAny(*v, "\t\r\n")) CannotWrite("The value", *v, "holds a tab or line break", format);
                    if (static_cast<std::size_t>(column) >= columns.size()) columns.resize(column + 1);
                    columns[column] = *v;
                }
            };
            put(layout.textColumn, &e.word);
            put(layout.codeColumn, &e.code);
            put(layout.weightColumn, e.weight ? &*e.weight : nullptr);
            put(layout.stemColumn, e.stem ? &*e.stem : nullptr);
            std::size_t used = columns.size();
            while (used > 0 && columns[used - 1].empty()) --used;
            for (std::size_t i = 0; i < used; ++i) {
                if (i) out += '\t';
                out += columns[i];
            }
            // Rime reads a line that begins with # as a comment and one of
            // blanks as a blank line: the entry would be gone.
            if (out[0] == '#') CannotWrite("The value", columns[0], "begins with # in the first column", format);
            if (TrimWhiteSpace(out).empty()) CannotWrite("The code", e.code, "and its word are only blanks", format);
            return out;
        }
        case Format::Libime:
        case Format::Fcitx4: {
            if (e.code.empty() || HasAny(e.code, " \t\r\n\v\f"))
                CannotWrite("The code", e.code, "is empty or holds white space", format);
            if (!e.code.empty() && layout.specialPrefixes.find(e.code[0]) != std::string::npos)
                CannotWrite("The code", e.code, "begins with a pinyin, prompt or phrase key", format);
            // fcitx4's txt2mb skips a line that begins with ';' wherever it stands.
            if (format == Format::Fcitx4 && e.code[0] == ';') CannotWrite("The code", e.code, "begins with ;", format);
            out = e.code + " ";
            std::string_view w = e.word;
            bool edgeBlank = w.empty() || TrimWhiteSpace(w).size() != w.size();
            if (format == Format::Libime) {
                if (edgeBlank || HasAny(w, " \t\r\n\v\f") || w.front() == '"')
                    out += Escape(w);
                else
                    out += w;
            } else {
                if (edgeBlank || HasAny(w, "\r\n"))
                    CannotWrite("The word", w, "is empty, holds a line break or begins or ends with white space",
                                format);
                out += w;
            }
            return out;
        }
        case Format::Ibus: {
            if (e.code.empty() || HasAny(e.code, "\t\r\n"))
                CannotWrite("The code", e.code, "is empty or holds a tab or line break", format);
            if (e.word.empty() || HasAny(e.word, "\t\r\n"))
                CannotWrite("The word", e.word, "is empty or holds a tab or line break", format);
            // ibus-table reads a line that begins with ### as a comment.
            if (StartsWith(e.code, "###")) CannotWrite("The code", e.code, "begins with ###", format);
            out = e.code + "\t" + e.word + "\t" + (e.weight ? *e.weight : std::string("0"));
            return out;
        }
        case Format::Auto:
            break;
    }
    return out;
}

}  // namespace zelmora::formats

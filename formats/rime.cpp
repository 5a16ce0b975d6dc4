// Rime dictionaries: a YAML header ended by "...", whose columns say where
// text, code, weight and stem stand on the tab-separated data lines.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "core/failure.h"
#include "formats/document.h"
#include "formats/lines.h"
#include "formats/phrase_rules.h"
#include "formats/reading.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

namespace {

using Kind = TableLine::Kind;

bool IsNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    }
    if (i < s.size() && s[i] == '%') ++i;
    return digits > 0 && i == s.size();
}

std::string YamlQuoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

// Rime: a YAML header ended by "...", then data lines.
TableLine::Kind LineReader::readRime(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    if (rime_.phase == RimeState::Phase::Header) {
        std::string_view t = text;
        while (!t.empty() && IsSpaceOrTab(t.back())) t.remove_suffix(1);
        if (t == "---" && rime_.start == SIZE_MAX) rime_.start = index_;
        if (t == "...") {
            rime_.phase = RimeState::Phase::Data;
            if (!rime_.columns.empty()) {
                TableLayout& L = layout_;
                L.textColumn = L.codeColumn = L.weightColumn = L.stemColumn = -1;
                for (std::size_t k = 0; k < rime_.columns.size(); ++k) {
                    int c = static_cast<int>(k);
                    if (rime_.columns[k] == "text") L.textColumn = c;
                    if (rime_.columns[k] == "code") L.codeColumn = c;
                    if (rime_.columns[k] == "weight") L.weightColumn = c;
                    if (rime_.columns[k] == "stem") L.stemColumn = c;
                }
                L.columnCount = static_cast<int>(rime_.columns.size());
            }
            return Kind::Header;
        }
        readRimeHeaderLine(text);
        return Kind::Header;
    }
    if (TrimWhiteSpace(text).empty()) return Kind::Blank;
    if (rime_.comments && text[0] == '#') {
        if (StartsWith(text, "# no comment")) rime_.comments = false;
        return Kind::Comment;
    }
    Kind kind = data(text, entries, problem);
    if (kind == Kind::Entry) {
        const TableEntry& e = entries.back();
        if (e.weight && !IsNumber(*e.weight)) problem = "weight \"" + Utf8Shown(*e.weight) + "\" is not a number";
    }
    return kind;
}

// The settings of the YAML header that decide how lines read: "sort" and
// "columns" at the top level, the columns either as a flow list or as the
// item lines that follow.
void LineReader::readRimeHeaderLine(std::string_view t) {
    if (rime_.collectingColumns) {
        std::string_view ti = TrimWhiteSpace(t);
        if (ti.empty() || ti[0] == '#') {
            // neither an item nor the end of the list
        } else if (t.empty() || !IsSpaceOrTab(t[0]) || ti[0] != '-') {
            rime_.collectingColumns = false;
        } else {
            std::string_view name = TrimWhiteSpace(ti.substr(1));
            std::size_t hash = name.find(" #");
            if (hash != std::string_view::npos) name = TrimWhiteSpace(name.substr(0, hash));
            rime_.columns.emplace_back(name);
        }
    }
    auto value = [&](std::string_view key) -> std::optional<std::string_view> {
        if (!StartsWith(t, key)) return std::nullopt;
        std::string_view v = t.substr(key.size());
        std::size_t hash = v.find(" #");
        if (hash != std::string_view::npos) v = v.substr(0, hash);
        v = TrimWhiteSpace(v);
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        return v;
    };
    // The encoder's rules.
    if (!t.empty() && !IsSpaceOrTab(t[0])) rime_.inEncoder = StartsWith(t, "encoder:");
    if (rime_.inEncoder) rime_.rules.line(t, layout_.engine.rules);
    if (auto v = value("sort:")) {
        layout_.byWeight = *v == "by_weight";
    } else if (auto c = value("columns:")) {
        rime_.columns.clear();
        rime_.collectingColumns = false;
        if (!c->empty() && c->front() == '[') {
            std::string_view list =
                c->substr(1, c->find(']') == std::string_view::npos ? c->size() - 1 : c->find(']') - 1);
            std::size_t pos = 0;
            while (pos <= list.size()) {
                std::size_t comma = list.find(',', pos);
                if (comma == std::string_view::npos) comma = list.size();
                rime_.columns.emplace_back(TrimWhiteSpace(list.substr(pos, comma - pos)));
                pos = comma + 1;
            }
        } else {
            rime_.collectingColumns = true;
        }
    }
}

void LineReader::finishRime() const {
    if (rime_.phase == RimeState::Phase::Header) {
        if (rime_.start != SIZE_MAX)
            throw Failure("Line " + std::to_string(rime_.start + 1) +
                          ": the Rime header that starts here has no end line \"...\"; is the file truncated?");
        throw Failure("No Rime header (a YAML header ended by a line \"...\"): is this a Rime dictionary?");
    }
}

bool ParseRimeLine(const TableLayout& layout, std::string_view line, std::vector<TableEntry>& out) {
    thread_local std::vector<std::string_view> fields;
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

std::string RimeLine(const TableLayout& layout, const TableEntry& e) {
    const Format format = Format::Rime;
    if (HasAny(e.code, "\t\r\n") || e.code.empty())
        CannotWrite("The code", e.code, "is empty or holds a tab or line break", format);
    if (HasAny(e.word, "\t\r\n") || e.word.empty())
        CannotWrite("The word", e.word, "is empty or holds a tab or line break", format);
    // Empty columns at the end are never written, so only the columns up
    // to the last one filled matter: a header naming a thousand columns
    // costs no line a thousand steps.
    thread_local std::vector<std::string_view> columns;
    const int widest = std::max({layout.textColumn, layout.codeColumn, layout.weightColumn, layout.stemColumn, 1});
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
    std::string out;
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

std::string RimeFreshHeader(const HeaderFacts& facts, const WriteOptions& o, TableLayout& layout) {
    const bool weights = facts.weights, stems = facts.stems;
    layout.weightColumn = weights ? 2 : -1;
    layout.stemColumn = stems ? (weights ? 3 : 2) : -1;
    layout.columnCount = 2 + weights + stems;
    // Written in candidate order: Rime keeps it as it is, or sorts by
    // weights that give the same order.
    const bool byWeight = weights && facts.weightsDescend;
    return "# Rime dictionary\n# encoding: utf-8\n\n---\nname: " + YamlQuoted(Gb(o.name)) +
           "\nversion: \"1.0\"\nsort: " + (byWeight ? "by_weight" : "original") + "\ncolumns:\n  - text\n  - code\n" +
           (weights ? "  - weight\n" : "") + (stems ? "  - stem\n" : "") +
           "encoder:\n  exclude_patterns:\n    - '^z.*$'\n  rules:\n" + WriteRules(RuleSyntax::Rime, FreshRules(o)) +
           "...\n\n";
}

}  // namespace zelmora::formats

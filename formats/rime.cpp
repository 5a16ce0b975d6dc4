// Rime dictionaries: a YAML header ended by "...", read with yaml-cpp as
// librime reads it, whose columns say where text, code, weight and stem
// stand on the tab-separated data lines.
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/failure.h"
#include "core/text.h"
#include "formats/document.h"
#include "formats/lines.h"
#include "formats/phrase_rules.h"
#include "formats/phrase_rules_internal.h"
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

// The longest header read. A header is a few lines; "..." this far into a
// file ends no header, and holding all before it would hold a table whole.
constexpr std::size_t kMaxRimeHeader = std::size_t(16) << 20;

[[noreturn]] void HeaderFailure(const YAML::Mark& mark, std::size_t endLine, const std::string& what) {
    // yaml-cpp counts lines from 0, from the first line of the file.
    const std::size_t line = mark.is_null() ? endLine : static_cast<std::size_t>(mark.line);
    throw Failure("Line " + std::to_string(line + 1) + ": the Rime header" + what);
}

// A setting that is one value: its text ("" for none given, as "sort:").
std::string SingleValue(const YAML::Node& node, const char* key, std::size_t endLine) {
    if (node.IsNull()) return {};
    if (!node.IsScalar()) HeaderFailure(node.Mark(), endLine, std::string("'s \"") + key + "\" is no single value");
    return node.Scalar();
}

// What librime takes from a header that decides how the data lines read:
// the name, the columns, the sort and the encoder's phrase rules. `header`
// holds the file's lines up to its end line `endLine` (0-based), GB18030.
void ReadRimeHeader(std::string_view header, std::size_t endLine, TableLayout& layout) {
    YAML::Node yaml;
    try {
        // yaml-cpp reads UTF-8; like librime it takes the first document.
        yaml = YAML::Load(Utf8Of(header));
    } catch (const YAML::Exception& e) {
        HeaderFailure(e.mark, endLine, " is not valid YAML: " + e.msg);
    }
    if (yaml.IsNull()) return;  // "---" and "..." alone say nothing
    if (!yaml.IsMap()) HeaderFailure(yaml.Mark(), endLine, " is no mapping of settings (\"name: ...\")");
    const YAML::Node& settings = yaml;
    if (const YAML::Node name = settings["name"]) layout.name = Gb(SingleValue(name, "name", endLine));
    // Rime sorts by weight unless told "sort: original".
    if (const YAML::Node sort = settings["sort"]) layout.byWeight = SingleValue(sort, "sort", endLine) == "by_weight";
    // Without "columns", librime's: text, code, weight. A name that is
    // there twice is the first.
    const YAML::Node columns = settings["columns"];
    if (columns && !columns.IsNull()) {
        if (!columns.IsSequence()) HeaderFailure(columns.Mark(), endLine, "'s \"columns\" is no list");
        layout.textColumn = layout.codeColumn = layout.weightColumn = layout.stemColumn = -1;
        const int count = static_cast<int>(std::min<std::size_t>(columns.size(), INT_MAX));
        for (int c = 0; c < count; ++c) {
            const YAML::Node column = columns[static_cast<std::size_t>(c)];
            if (!column.IsScalar()) continue;
            const std::string& name = column.Scalar();
            for (auto [label, at] : {std::pair{"text", &layout.textColumn}, std::pair{"code", &layout.codeColumn},
                                     std::pair{"weight", &layout.weightColumn}, std::pair{"stem", &layout.stemColumn}})
                if (name == label && *at < 0) *at = c;
        }
        layout.columnCount = count;
    }
    const YAML::Node encoder = settings["encoder"];
    if (encoder && encoder.IsMap()) {
        if (const YAML::Node rules = encoder["rules"]) AppendRimeRules(rules, layout.engine.rules);
    }
}
}  // namespace

// Rime: a YAML header ended by "...", then data lines.
TableLine::Kind LineReader::readRime(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    if (rime_.phase == RimeState::Phase::Header) {
        // The header ends where librime ends it, at the first line that is
        // "..." with nothing after it but blanks; what follows is no YAML.
        std::string_view t = text;
        while (!t.empty() && IsSpaceOrTab(t.back())) t.remove_suffix(1);
        if (IsYamlDocumentStart(t) && rime_.start == SIZE_MAX) rime_.start = index_;
        if (!rime_.headerTooLong) {
            rime_.header.append(text);
            rime_.header += '\n';
            if (rime_.header.size() > kMaxRimeHeader) {
                rime_.headerTooLong = true;
                std::string().swap(rime_.header);
            }
        }
        if (t == "...") {
            rime_.phase = RimeState::Phase::Data;
            if (rime_.headerTooLong)
                throw Failure("Line " + std::to_string(index_ + 1) +
                              ": the Rime header that ends here is longer than " +
                              std::to_string(kMaxRimeHeader >> 20) + " MiB, more than a dictionary's header holds");
            try {
                ReadRimeHeader(rime_.header, index_, layout_);
            } catch (const YAML::Exception& e) {
                // Whatever else yaml-cpp refuses in a header it has parsed.
                HeaderFailure(e.mark, index_, " can't be read: " + e.msg);
            }
            std::string().swap(rime_.header);
        }
        return Kind::Header;
    }
    Kind kind = rimeLineKind(text);
    if (kind != Kind::Entry) return kind;
    kind = data(text, entries, problem);
    if (kind == Kind::Entry) {
        const TableEntry& e = entries.back();
        if (e.weight && !IsNumber(*e.weight)) problem = "weight \"" + Utf8Shown(*e.weight) + "\" is not a number";
    }
    return kind;
}

TableLine::Kind LineReader::rimeLineKind(std::string_view text) {
    if (TrimWhiteSpace(text).empty()) return Kind::Blank;
    if (rime_.comments && text[0] == '#') {
        if (StartsWith(text, "# no comment")) rime_.comments = false;
        return Kind::Comment;
    }
    return Kind::Entry;
}

TableLine::Kind LineReader::readRimeColumns(std::string_view text, RimeColumns& columns) {
    RefuseNulBytes(text, nullptr, index_ + 1);
    Kind kind = rimeLineKind(text);
    if (kind == Kind::Entry && !SplitRimeLine(layout_, text, columns)) kind = Kind::Malformed;
    ++index_;
    return kind;
}

void LineReader::finishRime() const {
    if (rime_.phase == RimeState::Phase::Header) {
        if (rime_.start != SIZE_MAX)
            throw Failure("Line " + std::to_string(rime_.start + 1) +
                          ": the Rime header that starts here has no end line \"...\"; is the file truncated?");
        throw Failure("No Rime header (a YAML header ended by a line \"...\"): is this a Rime dictionary?");
    }
}

bool SplitRimeLine(const TableLayout& layout, std::string_view line, RimeColumns& out) {
    thread_local std::vector<std::string_view> fields;
    SplitTabs(line, fields);
    auto field = [&](int column) -> std::string_view {
        if (column < 0 || static_cast<std::size_t>(column) >= fields.size()) return {};
        return fields[static_cast<std::size_t>(column)];
    };
    out = {field(layout.textColumn), field(layout.codeColumn), field(layout.weightColumn), field(layout.stemColumn)};
    return !out.text.empty() && !out.code.empty();
}

bool ParseRimeLine(const TableLayout& layout, std::string_view line, std::vector<TableEntry>& out) {
    RimeColumns c;
    if (!SplitRimeLine(layout, line, c)) return false;
    auto optional = [](std::string_view v) { return v.empty() ? std::nullopt : std::optional<std::string>(v); };
    out.push_back({std::string(c.code), std::string(c.text), optional(c.weight), optional(c.stem)});
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

// ibus-table sources: definitions, then code, phrase and frequency parted by
// tabs between BEGIN_TABLE and END_TABLE.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/text.h"
#include "core/failure.h"
#include "formats/document.h"
#include "formats/lines.h"
#include "formats/name_uuid.h"
#include "formats/phrase_rules.h"
#include "formats/reading.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

namespace {

using Kind = TableLine::Kind;

bool IsInteger(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

double WeightOf(const TableEntry& e) { return e.weight ? std::strtod(e.weight->c_str(), nullptr) : 0.0; }

}  // namespace

// ibus-table: definitions, then the lines between BEGIN_TABLE and END_TABLE.
TableLine::Kind LineReader::readIbus(std::string_view raw, std::vector<TableEntry>& entries, std::string& problem) {
    std::string_view t = TrimWhiteSpace(raw);
    if (ibus_.phase == IbusState::Phase::Outside) {
        if (t == "BEGIN_TABLE") ibus_.phase = IbusState::Phase::Table, ibus_.sawTable = true, ibus_.tableStart = index_;
        if (t == "BEGIN_RULES") ibus_.inRules = true;
        if (t == "END_RULES") ibus_.inRules = false;
        if (ibus_.inRules) {
            ParseRules(RuleSyntax::Ibus, t, layout_.engine.rules);
        } else if (StartsWith(t, "RULES") && !StartsWith(t, "RULES_")) {
            std::string_view v = TrimWhiteSpace(t.substr(5));
            if (!v.empty() && v[0] == '=')
                ParseRules(RuleSyntax::Ibus, TrimWhiteSpace(v.substr(1)), layout_.engine.rules);
        }
        return Kind::Header;
    }
    if (t == "END_TABLE") {
        ibus_.phase = IbusState::Phase::Outside;
        return Kind::Header;
    }
    if (t.empty()) return Kind::Blank;
    if (StartsWith(raw, "###")) return Kind::Comment;
    Kind kind = data(raw, entries, problem);
    if (kind == Kind::Entry && !IsInteger(*entries.back().weight))
        problem = "frequency \"" + Utf8Shown(*entries.back().weight) + "\" is not a whole number";
    return kind;
}

void LineReader::finishIbus() const {
    if (!ibus_.sawTable) throw Failure("No BEGIN_TABLE line: is this an ibus-table source?");
    if (ibus_.phase == IbusState::Phase::Table)
        throw Failure("Line " + std::to_string(ibus_.tableStart + 1) +
                      ": BEGIN_TABLE has no END_TABLE; is the file truncated?");
}

bool ParseIbusLine(std::string_view line, std::vector<TableEntry>& out) {
    thread_local std::vector<std::string_view> fields;
    SplitTabs(line, fields);
    if (fields.size() < 3 || fields[0].empty() || fields[1].empty()) return false;
    out.push_back({std::string(fields[0]), std::string(fields[1]), std::string(fields[2]), {}});
    return true;
}

std::string IbusLine(const TableEntry& e) {
    const Format format = Format::Ibus;
    if (e.code.empty() || HasAny(e.code, "\t\r\n"))
        CannotWrite("The code", e.code, "is empty or holds a tab or line break", format);
    if (e.word.empty() || HasAny(e.word, "\t\r\n"))
        CannotWrite("The word", e.word, "is empty or holds a tab or line break", format);
    // ibus-table reads a line that begins with ### as a comment.
    if (StartsWith(e.code, "###")) CannotWrite("The code", e.code, "begins with ###", format);
    return e.code + "\t" + e.word + "\t" + (e.weight ? *e.weight : std::string("0"));
}

std::string IbusFreshHeader(const HeaderFacts& facts, const WriteOptions& o) {
    const std::string name = Gb(o.name);
    return "SCIM_Generic_Table_Phrase_Library_TEXT\nVERSION_1_0\n### written by zelmora-cli\nBEGIN_DEFINITION\n"
           "UUID = " +
           NameUuid(o.name) + "\nSERIAL_NUMBER = 1\nNAME = " + name + "\nNAME.zh_CN = " + name +
           "\nLANGUAGES = zh_CN\nAUTHOR = zelmora-cli\nSYMBOL = " + Gb("五") + "\nSTATUS_PROMPT = " + Gb("五") +
           "\nVALID_INPUT_CHARS = " + facts.keys() + "\nMAX_KEY_LENGTH = " + std::to_string(facts.maxLength) +
           "\nUSER_CAN_DEFINE_PHRASE = TRUE\nRULES = " + WriteRules(RuleSyntax::Ibus, FreshRules(o)) +
           "\nEND_DEFINITION\nBEGIN_TABLE\n";
}

// ibus-table shows a code's candidates by frequency, and equal frequencies
// by the first character's code point: whole-number frequencies that fall
// strictly, as close to the weights as that allows (the positions, counted
// down, when there are no weights).
void IbusFrequencies(const TableEntry* run, std::size_t count, std::size_t unweightedLeft,
                     std::vector<std::string>& out) {
    out.assign(count, {});
    bool any = false;
    for (std::size_t i = 0; i < count; ++i) any = any || run[i].weight.has_value();
    if (!any) {
        const std::size_t top = unweightedLeft ? unweightedLeft : count;
        for (std::size_t i = 0; i < count; ++i) out[i] = std::to_string(top - i);
        return;
    }
    bool kept = true;
    for (std::size_t i = 0; i < count && kept; ++i)
        kept = run[i].weight && IsInteger(*run[i].weight) && (i == 0 || WeightOf(run[i]) < WeightOf(run[i - 1]));
    if (kept) {
        for (std::size_t i = 0; i < count; ++i) out[i] = *run[i].weight;
        return;
    }
    long double next = -1;
    for (std::size_t k = count; k-- > 0;) {
        long double w = std::floor(static_cast<long double>(std::max(0.0, WeightOf(run[k]))));
        if (w <= next) w = next + 1;
        next = w;
        char buf[48];
        std::snprintf(buf, sizeof buf, "%.0Lf", w);
        out[k] = buf;
    }
}

}  // namespace zelmora::formats

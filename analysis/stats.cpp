#include "analysis/stats.h"

#include <algorithm>
#include <deque>
#include <cstdio>

#include "analysis/string_index.h"
#include "core/text.h"

namespace zelmora::analysis {

namespace {

// GB 2312 level 1: rows 0xB0-0xD7 (the last ends at 0xF9); level 2: rows
// 0xD8-0xF7; 94 cells a row from 0xA1.
int LevelOf(unsigned char lead, unsigned char trail) {
    if (trail < 0xA1 || trail > 0xFE) return 0;
    if (lead >= 0xB0 && lead <= 0xD7) return lead == 0xD7 && trail > 0xF9 ? 0 : 1;
    if (lead >= 0xD8 && lead <= 0xF7) return 2;
    return 0;
}

template <class T>
void Bump(std::vector<T>& v, std::size_t i, T by = 1) {
    if (v.size() <= i) v.resize(i + 1);
    v[i] += by;
}

std::string Json(std::string_view gb18030) {
    std::string utf8 = formats::MessageText(gb18030), out = "\"";
    for (char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// A code length or a key position (1-based) as its row is named: "16+" for the summed one.
std::string RowName(std::size_t n) { return std::to_string(n) + (n == kSummedFrom ? "+" : ""); }

std::string JsonList(const std::vector<std::size_t>& v) {
    std::string out = "[";
    for (std::size_t i = 0; i < v.size(); ++i) out += (i ? ", " : "") + std::to_string(v[i]);
    return out + "]";
}

}  // namespace

struct StatsCounter::Counts {
    TableStats s;
    std::deque<std::string> codeText;  // the distinct codes the index views
    StringIndex codes;
    std::vector<std::uint32_t> perCode;  // candidates of each code
    std::vector<bool> present = std::vector<bool>(65536, false);
};

StatsCounter::StatsCounter() : counts_(std::make_unique<Counts>()) {}
StatsCounter::~StatsCounter() = default;

void StatsCounter::add(const formats::TableEntry& e) {
    Counts& c = *counts_;
    TableStats& s = c.s;
    ++s.entries;
    std::uint32_t id = c.codes.find(e.code);
    if (id == StringIndex::kNone) {
        id = c.codes.intern(c.codeText.emplace_back(e.code));
        c.perCode.push_back(0);
    }
    ++c.perCode[id];
    Bump(s.entriesByLength, std::min(e.code.size(), kSummedFrom));
    if (e.word.empty()) return;
    if (CharWidth(e.word, 0) == e.word.size()) {
        ++s.singleCharacters;
        if (e.word.size() == 2)
            c.present[static_cast<unsigned char>(e.word[0]) << 8 | static_cast<unsigned char>(e.word[1])] = true;
    } else {
        ++s.phrases;
    }
}

TableStats ComputeStats(const std::vector<formats::TableEntry>& entries) {
    StatsCounter counter;
    for (const auto& e : entries) counter.add(e);
    return counter.finish();
}

TableStats StatsCounter::finish() {
    Counts& c = *counts_;
    TableStats s = std::move(c.s);
    const StringIndex& codes = c.codes;
    const std::vector<std::uint32_t>& perCode = c.perCode;
    const std::vector<bool>& present = c.present;
    s.codes = codes.size();
    for (std::uint32_t id = 0; id < codes.size(); ++id) {
        const std::uint32_t n = perCode[id];
        Bump(s.candidatesPerCode, n);
        if (n >= 2) {
            ++s.duplicateCodes;
            s.entriesOnDuplicateCodes += n;
        }
        s.behindFirst += n - 1;
        const std::string_view code = codes.key(id);
        Bump(s.codesByLength, std::min(code.size(), kSummedFrom));
        const std::size_t rows = std::min(code.size(), kSummedFrom);
        if (s.keysAt.size() < rows) {
            s.keysAt.resize(rows);
            s.otherKeysAt.resize(rows);
        }
        for (std::size_t p = 0; p < code.size(); ++p) {
            const char key = code[p];
            const std::size_t row = std::min(p, kSummedFrom - 1);
            if (key >= 'a' && key <= 'z') {
                ++s.keys[key - 'a'];
                ++s.keysAt[row][key - 'a'];
            } else {
                ++s.otherKeys;
                ++s.otherKeysAt[row];
            }
        }
        s.keysTotal += code.size();
    }
    if (s.candidatesPerCode.empty()) s.candidatesPerCode.resize(1);
    s.codesByLength.resize(std::max(s.codesByLength.size(), s.entriesByLength.size()));
    s.entriesByLength.resize(s.codesByLength.size());
    for (unsigned lead = 0xB0; lead <= 0xF7; ++lead) {
        for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
            const int level = LevelOf(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
            if (level == 0) continue;
            Gb2312Level& l = level == 1 ? s.level1 : s.level2;
            ++l.total;
            if (present[lead << 8 | trail]) {
                ++l.present;
            } else {
                l.missing += static_cast<char>(lead);
                l.missing += static_cast<char>(trail);
            }
        }
    }
    return s;
}

std::string Percent(std::size_t part, std::size_t whole) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f%%",
                  whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
    return buf;
}

std::string FormatStatsText(const TableStats& s) {
    std::string t;
    auto line = [&](const std::string& name, std::size_t n, const std::string& extra = {}) {
        t += name + ": " + std::to_string(n) + (extra.empty() ? "" : "  (" + extra + ")") + "\n";
    };
    line("entries", s.entries);
    line("codes", s.codes);
    line("single characters", s.singleCharacters, Percent(s.singleCharacters, s.entries) + " of entries");
    line("phrases", s.phrases, Percent(s.phrases, s.entries) + " of entries");
    line("duplicate codes (two or more candidates)", s.duplicateCodes,
         Percent(s.duplicateCodes, s.codes) + " of codes");
    line("entries on duplicate codes", s.entriesOnDuplicateCodes,
         Percent(s.entriesOnDuplicateCodes, s.entries) + " of entries");
    line("candidates behind the first", s.behindFirst, Percent(s.behindFirst, s.entries) + " of entries");
    t += "candidates per code:\n";
    for (std::size_t n = 1; n < s.candidatesPerCode.size(); ++n)
        if (s.candidatesPerCode[n])
            t += "  " + std::to_string(n) + ": " + std::to_string(s.candidatesPerCode[n]) + " codes  (" +
                 Percent(s.candidatesPerCode[n], s.codes) + ")\n";
    t += "code lengths:\n";
    for (std::size_t n = 0; n < s.entriesByLength.size(); ++n)
        if (s.entriesByLength[n])
            t += "  " + RowName(n) + ": " + std::to_string(s.entriesByLength[n]) + " entries, " +
                 std::to_string(s.codesByLength[n]) + " codes\n";
    t += "keys in the codes (" + std::to_string(s.keysTotal) + "):\n";
    for (int k = 0; k < 26; ++k)
        t += std::string("  ") + static_cast<char>('a' + k) + ": " + std::to_string(s.keys[k]) + "  (" +
             Percent(s.keys[k], s.keysTotal) + ")\n";
    if (s.otherKeys) t += "  other: " + std::to_string(s.otherKeys) + "  (" + Percent(s.otherKeys, s.keysTotal) + ")\n";
    t += "keys by position:\n";
    t += "     ";
    for (std::size_t p = 0; p < s.keysAt.size(); ++p) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " %9s", RowName(p + 1).c_str());
        t += buf;
    }
    t += "\n";
    for (int k = 0; k <= 26; ++k) {
        if (k == 26 && !s.otherKeys) break;
        t += k < 26 ? std::string("  ") + static_cast<char>('a' + k) + "  " : std::string("  ?  ");
        for (std::size_t p = 0; p < s.keysAt.size(); ++p) {
            char buf[24];
            std::snprintf(buf, sizeof buf, " %9zu", k < 26 ? s.keysAt[p][k] : s.otherKeysAt[p]);
            t += buf;
        }
        t += "\n";
    }
    auto level = [&](const char* name, const Gb2312Level& l) {
        t += std::string(name) + ": " + std::to_string(l.present) + " of " + std::to_string(l.total) + " present, " +
             std::to_string(l.total - l.present) + " missing\n";
    };
    level("GB 2312 level 1", s.level1);
    level("GB 2312 level 2", s.level2);
    return t;
}

std::string FormatStatsJson(const TableStats& s) {
    std::string j = "{\n";
    auto field = [&](const char* name, const std::string& value, bool last = false) {
        j += std::string("  \"") + name + "\": " + value + (last ? "\n" : ",\n");
    };
    auto n = [](std::size_t v) { return std::to_string(v); };
    field("entries", n(s.entries));
    field("codes", n(s.codes));
    field("single_characters", n(s.singleCharacters));
    field("phrases", n(s.phrases));
    field("duplicate_codes", n(s.duplicateCodes));
    field("duplicate_codes_share", Json(Percent(s.duplicateCodes, s.codes)));
    field("entries_on_duplicate_codes", n(s.entriesOnDuplicateCodes));
    field("entries_on_duplicate_codes_share", Json(Percent(s.entriesOnDuplicateCodes, s.entries)));
    field("behind_first", n(s.behindFirst));
    field("behind_first_share", Json(Percent(s.behindFirst, s.entries)));
    std::string per = "{";
    for (std::size_t k = 1; k < s.candidatesPerCode.size(); ++k)
        if (s.candidatesPerCode[k])
            per += std::string(per.size() > 1 ? ", " : "") + "\"" + n(k) + "\": " + n(s.candidatesPerCode[k]);
    field("candidates_per_code", per + "}");
    // Present only when some code is that long: the last element of the
    // lists by length and by position then sums the longer ones too.
    if (s.summedRows()) field("summed_from", n(kSummedFrom));
    field("entries_by_code_length", JsonList(s.entriesByLength));
    field("codes_by_code_length", JsonList(s.codesByLength));
    std::string keys = "{";
    for (int k = 0; k < 26; ++k)
        keys += std::string(k ? ", " : "") + "\"" + static_cast<char>('a' + k) + "\": " + n(s.keys[k]);
    keys += ", \"other\": " + n(s.otherKeys) + "}";
    field("keys", keys);
    field("keys_total", n(s.keysTotal));
    std::string at = "[";
    for (std::size_t p = 0; p < s.keysAt.size(); ++p) {
        at += p ? ", {" : "{";
        for (int k = 0; k < 26; ++k)
            at += std::string(k ? ", " : "") + "\"" + static_cast<char>('a' + k) + "\": " + n(s.keysAt[p][k]);
        at += ", \"other\": " + n(s.otherKeysAt[p]) + "}";
    }
    field("keys_by_position", at + "]");
    auto level = [&](const Gb2312Level& l) {
        return "{\"total\": " + n(l.total) + ", \"present\": " + n(l.present) +
               ", \"missing\": " + n(l.total - l.present) + ", \"missing_characters\": " + Json(l.missing) + "}";
    };
    field("gb2312_level1", level(s.level1));
    field("gb2312_level2", level(s.level2), true);
    return j + "}\n";
}

}  // namespace zelmora::analysis

// Reading a table file of any format into a document, and writing documents
// and entries back.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "core/failure.h"
#include "core/limits.h"
#include "core/text.h"
#include "formats/formats_internal.h"
#include "formats/table_io.h"

namespace zelmora::formats {

namespace {

using Kind = TableLine::Kind;

std::vector<TableLine> CutLines(std::string_view text) {
    std::vector<TableLine> lines;
    lines.reserve(text.size() / 16 + 1);
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        TableLine l;
        l.offset = i;
        while (i < n && text[i] != '\r' && text[i] != '\n') ++i;
        l.length = i - l.offset;
        if (i < n && text[i] == '\r') ++i, ++l.breakLength;
        if (i < n && text[i] == '\n') ++i, ++l.breakLength;
        lines.push_back(l);
    }
    return lines;
}

// The keywords of libime tables in English and in Chinese (the fcitx4 ones),
// GB18030 bytes.
struct Keywords {
    std::string keyCode, length, invalidChar, pinyin, pinyinLength, prompt, constructPhrase, rule, data, phrase;
    std::vector<const std::string*> config() const {
        return {&keyCode, &length, &invalidChar, &pinyin, &pinyinLength, &prompt, &constructPhrase, &rule, &data};
    }
};
const Keywords& English() {
    static const Keywords k{"KeyCode=", "Length=",          "InvalidChar=", "Pinyin=", "PinyinLength=",
                            "Prompt=",  "ConstructPhrase=", "[Rule]",       "[Data]",  "[Phrase]"};
    return k;
}
const Keywords& Chinese() {
    static const Keywords k{Gb("键码="), Gb("码长="), Gb("规避字符="),  Gb("拼音="),  Gb("拼音长度="),
                            Gb("提示="), Gb("构词="), Gb("[组词规则]"), Gb("[数据]"), Gb("[词组]")};
    return k;
}
bool StartsWithAny(std::string_view t, const Keywords& k) {
    for (const std::string* s : k.config())
        if (StartsWith(t, *s)) return true;
    return false;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// "key=" with a lowercase ASCII key, as yong's header lines are.
bool IsYongSetting(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && ((t[i] >= 'a' && t[i] <= 'z') || (t[i] >= '0' && t[i] <= '9') || t[i] == '_')) ++i;
    return i > 0 && i < t.size() && t[i] == '=' && t[0] >= 'a' && t[0] <= 'z';
}

// "key:" at the start of a line, as Rime's YAML header lines are.
bool IsYamlKey(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && ((t[i] >= 'a' && t[i] <= 'z') || t[i] == '_')) ++i;
    return i > 0 && i < t.size() && t[i] == ':' && (i + 1 == t.size() || t[i + 1] == ' ');
}

struct Detection {
    Format format = Format::Plain;
    std::size_t line = 0;  // the line that decided, 0-based
};

Detection Detect(const TableDocument& doc) {
    const std::size_t limit = std::min<std::size_t>(doc.lines.size(), kDetectionLines);
    for (std::size_t i = 0; i < limit; ++i)
        if (std::optional<Format> f = FormatShownBy(doc.lineText(i))) return {*f, i};
    return {};
}

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

bool IsInteger(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

const char* MalformedMessage(Format format) {
    switch (format) {
        case Format::Plain:
            return "a code without words";
        case Format::Rime:
            return "no text or no code in the columns the header gives";
        case Format::Libime:
        case Format::Fcitx4:
            return "a key without a word";
        case Format::Ibus:
            return "not code<TAB>phrase<TAB>frequency";
        case Format::Yong:
            return "a code without words";
        case Format::Auto:
            break;
    }
    return "malformed";
}

class Reader {
public:
    explicit Reader(TableDocument& doc) : doc_(doc) {}

    void read() {
        // Most formats hold one entry a line; growing past that is rare.
        doc_.entries.reserve(doc_.lines.size());
        LineReader reader(doc_.format);
        std::string problem;
        for (std::size_t i = 0; i < doc_.lines.size(); ++i) {
            TableLine& l = doc_.lines[i];
            l.kind = reader.read(doc_.lineText(i), parsed_, problem);
            if (l.kind == Kind::Entry) {
                // Lines and the grouping below index entries in 32 bits.
                CheckLimit(doc_.entries.size() + parsed_.size(), "entries", kMaxUint32);
                l.firstEntry = static_cast<std::uint32_t>(doc_.entries.size());
                l.entryCount = static_cast<std::uint32_t>(parsed_.size());
                for (auto& e : parsed_) doc_.entries.push_back(std::move(e));
            }
            if (!problem.empty()) doc_.problems.push_back({i + 1, std::move(problem)});
        }
        reader.finish();
        doc_.layout = reader.layout();
        std::size_t firstData = doc_.lines.size();
        for (std::size_t i = 0; i < doc_.lines.size(); ++i)
            if (doc_.lines[i].kind != Kind::Header) {
                firstData = i;
                break;
            }
        doc_.opaque = firstData < doc_.lines.size() ? doc_.text.substr(0, doc_.lines[firstData].offset) : doc_.text;
        if (doc_.format != Format::Plain) groupByCode();
    }

private:
    // Entries grouped by code in the order codes first appear; within a code
    // in candidate order. Lines keep pointing at their entries.
    void groupByCode() {
        auto& entries = doc_.entries;
        const std::size_t n = entries.size();
        if (n == 0) return;
        std::unordered_map<std::string_view, std::uint32_t> groupOf;
        groupOf.reserve(n);
        std::vector<std::uint32_t> group(n), start;
        for (std::size_t i = 0; i < n; ++i) {
            auto [it, added] = groupOf.try_emplace(entries[i].code, static_cast<std::uint32_t>(start.size()));
            if (added) start.push_back(0);
            group[i] = it->second;
            ++start[it->second];
        }
        std::uint32_t sum = 0;
        for (auto& s : start) {
            std::uint32_t size = s;
            s = sum;
            sum += size;
        }
        std::vector<std::uint32_t> order(n), cursor = start;
        for (std::size_t i = 0; i < n; ++i) order[cursor[group[i]]++] = static_cast<std::uint32_t>(i);
        if (doc_.layout.byWeight) {
            std::vector<double> weight(n, 0.0);
            for (std::size_t i = 0; i < n; ++i)
                if (entries[i].weight) weight[i] = std::strtod(entries[i].weight->c_str(), nullptr);
            for (std::size_t g = 0; g < start.size(); ++g) {
                auto b = order.begin() + start[g], e = order.begin() + cursor[g];
                std::stable_sort(b, e, [&](std::uint32_t x, std::uint32_t y) { return weight[x] > weight[y]; });
            }
        }
        groupOf.clear();
        // Entries move into their places along the cycles of the permutation,
        // without a second vector of entries.
        std::vector<std::uint32_t> newIndex(n);
        for (std::size_t k = 0; k < n; ++k) newIndex[order[k]] = static_cast<std::uint32_t>(k);
        std::vector<bool> placed(n, false);
        for (std::size_t k = 0; k < n; ++k) {
            if (placed[k]) continue;
            TableEntry held = std::move(entries[k]);
            std::size_t j = k;
            for (;;) {
                placed[j] = true;
                std::size_t from = order[j];
                if (from == k) {
                    entries[j] = std::move(held);
                    break;
                }
                entries[j] = std::move(entries[from]);
                j = from;
            }
        }
        for (auto& l : doc_.lines)
            if (l.kind == Kind::Entry) l.firstEntry = newIndex[l.firstEntry];
    }

    TableDocument& doc_;
    std::vector<TableEntry> parsed_;
};

std::string YamlQuoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// The entries with each code's together, codes in the order they first
// appear and each code's entries in their order; empty when they already stand
// so. An engine ranks a code's candidates as one list (ibus by the frequencies
// written per run), so a code's lines that stand apart must become one run.
std::vector<TableEntry> GroupedByCode(const std::vector<TableEntry>& entries) {
    // Runs whose codes ascend (by bytes, or by length and then bytes) stand
    // together without a look-up per run.
    bool byBytes = true, byLength = true;
    for (std::size_t i = 1; i < entries.size() && (byBytes || byLength); ++i) {
        const std::string &a = entries[i - 1].code, &b = entries[i].code;
        if (a == b) continue;
        byBytes = byBytes && a < b;
        byLength = byLength && (a.size() < b.size() || (a.size() == b.size() && a < b));
    }
    if (byBytes || byLength) return {};
    std::unordered_set<std::string_view> ended;
    bool together = true;
    for (std::size_t i = 0; i < entries.size() && together; ++i)
        if (i + 1 == entries.size() || entries[i + 1].code != entries[i].code)
            together = ended.insert(entries[i].code).second;
    if (together) return {};
    std::unordered_map<std::string_view, std::size_t> groupOf;
    std::vector<std::vector<std::uint32_t>> groups;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto [it, added] = groupOf.try_emplace(entries[i].code, groups.size());
        if (added) groups.emplace_back();
        groups[it->second].push_back(static_cast<std::uint32_t>(i));
    }
    std::vector<TableEntry> grouped;
    grouped.reserve(entries.size());
    for (const auto& g : groups)
        for (std::uint32_t i : g) grouped.push_back(entries[i]);
    return grouped;
}

// The whole file, GB18030, before the encoding.
std::string FreshText(const std::vector<TableEntry>& given, const WriteOptions& o) {
    std::vector<TableEntry> grouped;
    if (o.format != Format::Plain) grouped = GroupedByCode(given);
    const std::vector<TableEntry>& entries = grouped.empty() ? given : grouped;
    HeaderFacts facts;
    if (o.format != Format::Plain)
        for (const auto& e : entries) facts.add(e);
    TableLayout layout;
    std::string out = FreshHeader(facts, o, layout);
    std::size_t line = static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n'));
    out.reserve(entries.size() * 24 + out.size());
    for (std::size_t i = 0; i < entries.size();) {
        std::size_t j = i + 1;
        while (j < entries.size() && entries[j].code == entries[i].code) ++j;
        AppendFreshRun(out, &entries[i], j - i, o, layout, line);
        i = j;
    }
    out += FreshFooter(o.format);
    return out;
}

std::string OptionName(Format format) {
    switch (format) {
        case Format::Rime:
            return "rime";
        case Format::Ibus:
            return "ibus";
        default:
            return FormatName(format);
    }
}

// ---- Phrase rules in each engine's syntax ----

int ParseSmall(std::string_view s, std::size_t& i) {
    int v = 0, digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && digits < 3) v = v * 10 + (s[i++] - '0'), ++digits;
    return digits ? v : -1;
}

// "p11+p12+n11" (libime: n = counted from the last character) or
// "p11+p-11" (ibus: a negative character counts from the last).
bool ParseRuleKeys(std::string_view body, PhraseRule& rule) {
    rule.keys.clear();
    std::size_t i = 0;
    while (i < body.size()) {
        char kind = body[i++];
        if (kind != 'p' && kind != 'n') return false;
        bool fromEnd = kind == 'n';
        if (i < body.size() && body[i] == '-') fromEnd = true, ++i;
        if (i + 2 > body.size() || body[i] < '1' || body[i] > '9' || body[i + 1] < '1' || body[i + 1] > '9')
            return false;
        PhraseRule::Key k;
        k.character = (body[i] - '0') * (fromEnd ? -1 : 1);
        k.key = body[i + 1] - '0';
        i += 2;
        rule.keys.push_back(k);
        if (i < body.size()) {
            if (body[i] != '+') return false;
            ++i;
        }
    }
    return !rule.keys.empty();
}

std::string RuleKeysText(const PhraseRule& rule, bool ibus) {
    std::string out;
    for (const auto& k : rule.keys) {
        if (!out.empty()) out += '+';
        if (k.character < 0)
            out += (ibus ? "p-" : "n") + std::to_string(-k.character);
        else
            out += "p" + std::to_string(k.character);
        out += std::to_string(k.key);
    }
    return out;
}

std::string LibimeRules(const std::vector<PhraseRule>& rules) {
    std::string out;
    for (const auto& r : rules)
        out += (r.atLeast ? "a" : "e") + std::to_string(r.length) + "=" + RuleKeysText(r, false) + "\n";
    return out;
}

std::string IbusRules(const std::vector<PhraseRule>& rules) {
    std::string out;
    for (const auto& r : rules) {
        if (!out.empty()) out += ';';
        out += (r.atLeast ? "ca" : "ce") + std::to_string(r.length) + ":" + RuleKeysText(r, true);
    }
    return out;
}

std::string RimeRules(const std::vector<PhraseRule>& rules) {
    std::string out = "encoder:\n  exclude_patterns:\n    - '^z.*$'\n  rules:\n";
    for (const auto& r : rules) {
        if (r.atLeast)
            out += "    - length_in_range: [" + std::to_string(r.length) + ", 10]\n";
        else
            out += "    - length_equal: " + std::to_string(r.length) + "\n";
        std::string formula;
        for (const auto& k : r.keys) {
            formula += static_cast<char>(k.character > 0 ? 'A' + k.character - 1 : 'Z' + k.character + 1);
            formula += static_cast<char>('a' + k.key - 1);
        }
        out += "      formula: \"" + formula + "\"\n";
    }
    return out;
}

// ---- A name-based UUID (version 5, RFC 4122), so that the same table name
// always gives the same ibus-table UUID ----

std::array<std::uint8_t, 20> Sha1(std::string_view data) {
    std::uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::string m(data);
    const std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
    m += static_cast<char>(0x80);
    while (m.size() % 64 != 56) m += '\0';
    for (int i = 7; i >= 0; --i) m += static_cast<char>((bits >> (i * 8)) & 0xFF);
    auto rol = [](std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); };
    for (std::size_t off = 0; off < m.size(); off += 64) {
        std::uint32_t w[80];
        for (int i = 0; i < 16; ++i)
            w[i] = (std::uint32_t(std::uint8_t(m[off + 4 * i])) << 24) |
                   (std::uint32_t(std::uint8_t(m[off + 4 * i + 1])) << 16) |
                   (std::uint32_t(std::uint8_t(m[off + 4 * i + 2])) << 8) |
                   std::uint32_t(std::uint8_t(m[off + 4 * i + 3]));
        for (int i = 16; i < 80; ++i) w[i] = rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f, k;
            if (i < 20)
                f = (b & c) | (~b & d), k = 0x5A827999;
            else if (i < 40)
                f = b ^ c ^ d, k = 0x6ED9EBA1;
            else if (i < 60)
                f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
            else
                f = b ^ c ^ d, k = 0xCA62C1D6;
            std::uint32_t t = rol(a, 5) + f + e + k + w[i];
            e = d, d = c, c = rol(b, 30), b = a, a = t;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
    }
    std::array<std::uint8_t, 20> out{};
    for (int i = 0; i < 20; ++i) out[i] = static_cast<std::uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
    return out;
}

}  // namespace

std::string NameUuid(std::string_view name) {
    // The URL namespace of RFC 4122, with a name of this program's own.
    static const std::uint8_t ns[16] = {0x6b, 0xa7, 0xb8, 0x11, 0x9d, 0xad, 0x11, 0xd1,
                                        0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8};
    std::string data(reinterpret_cast<const char*>(ns), 16);
    data += "zelmora-ibus-table:";
    data += name;
    auto d = Sha1(data);
    d[6] = static_cast<std::uint8_t>((d[6] & 0x0F) | 0x50);
    d[8] = static_cast<std::uint8_t>((d[8] & 0x3F) | 0x80);
    std::string out;
    char buf[4];
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        std::snprintf(buf, sizeof buf, "%02x", d[i]);
        out += buf;
    }
    return out;
}

const std::vector<PhraseRule>& WubiPhraseRules() {
    using K = PhraseRule::Key;
    static const std::vector<PhraseRule> rules = {
        {false, 2, {K{1, 1}, K{1, 2}, K{2, 1}, K{2, 2}}},
        {false, 3, {K{1, 1}, K{2, 1}, K{3, 1}, K{3, 2}}},
        {true, 4, {K{1, 1}, K{2, 1}, K{3, 1}, K{-1, 1}}},
    };
    return rules;
}

bool ParseLibimeRule(std::string_view line, PhraseRule& rule) {
    std::string_view t = TrimWhiteSpace(line);
    if (t.size() < 4 || (t[0] != 'e' && t[0] != 'a' && t[0] != 'E' && t[0] != 'A')) return false;
    std::size_t i = 1;
    int length = ParseSmall(t, i);
    if (length < 1 || i >= t.size() || t[i] != '=') return false;
    rule.atLeast = t[0] == 'a' || t[0] == 'A';
    rule.length = length;
    return ParseRuleKeys(TrimWhiteSpace(t.substr(i + 1)), rule);
}

bool ParseIbusRules(std::string_view text, std::vector<PhraseRule>& rules) {
    std::vector<PhraseRule> found;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find(';', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view one = TrimWhiteSpace(text.substr(pos, end - pos));
        pos = end + 1;
        if (one.empty()) continue;
        PhraseRule r;
        if (one.size() < 4 || one[0] != 'c' || (one[1] != 'e' && one[1] != 'a')) return false;
        std::size_t i = 2;
        int length = ParseSmall(one, i);
        if (length < 1 || i >= one.size() || one[i] != ':') return false;
        r.atLeast = one[1] == 'a';
        r.length = length;
        if (!ParseRuleKeys(one.substr(i + 1), r)) return false;
        found.push_back(std::move(r));
    }
    if (found.empty()) return false;
    for (auto& r : found) rules.push_back(std::move(r));
    return true;
}

bool ParseRimeFormula(std::string_view formula, PhraseRule& rule) {
    rule.keys.clear();
    if (formula.empty() || formula.size() % 2) return false;
    for (std::size_t i = 0; i < formula.size(); i += 2) {
        char c = formula[i], k = formula[i + 1];
        if (c < 'A' || c > 'Z' || k < 'a' || k > 'z') return false;
        // Rime counts keys from the end with z, y, ...: none of the other
        // engines can say that, so such a formula is not carried over.
        if (k > 'm') return false;
        PhraseRule::Key key;
        key.character = c > 'M' ? -('Z' - c + 1) : c - 'A' + 1;
        key.key = k - 'a' + 1;
        rule.keys.push_back(key);
    }
    return true;
}

namespace {}  // namespace

std::optional<Format> FormatShownBy(std::string_view raw) {
    std::string_view t = TrimWhiteSpace(raw);
    if (t.empty() || t[0] == '#') return std::nullopt;
    // fcitx4's own dump begins ";fcitx Version 0x03 Table file"; other ';'
    // lines are its comments and decide nothing.
    if (t[0] == ';') return StartsWith(t, ";fcitx") ? std::optional<Format>(Format::Fcitx4) : std::nullopt;
    if (t == "SCIM_Generic_Table_Phrase_Library_TEXT" || t == "VERSION_1_0") return Format::Ibus;
    if (t == "---" || (raw.size() == t.size() && IsYamlKey(t))) return Format::Rime;
    if (t == "BEGIN_DEFINITION" || t == "BEGIN_TABLE" || StartsWith(t, "SCM_VERSION")) return Format::Ibus;
    if (StartsWithAny(t, English())) return Format::Libime;
    if (StartsWithAny(t, Chinese())) return Format::Fcitx4;
    if (IsYongSetting(t) || EqualsIgnoringCase(t, "[DATA]")) return Format::Yong;
    return Format::Plain;
}

// "a Rime table", "an ibus-table table".
std::string WithArticle(const char* name) {
    const char c = name[0];
    const bool vowel = c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u';
    return std::string(vowel ? "an " : "a ") + name;
}

void CheckGivenFormat(Format given, Format shown, std::size_t line, std::string_view text) {
    if (shown == Format::Plain || shown == given) return;
    // libime and fcitx4 read each other's keywords, as their engines do.
    const bool libimeLike =
        (shown == Format::Libime || shown == Format::Fcitx4) && (given == Format::Libime || given == Format::Fcitx4);
    if (libimeLike) return;
    throw Failure("Line " + std::to_string(line) + " (\"" + Utf8Shown(TrimWhiteSpace(text)) +
                  "\") belongs to the header of " + WithArticle(FormatName(shown)) + " table, not of " +
                  WithArticle(FormatName(given)) + " table; give --format " + OptionName(shown) + " or --format auto");
}

LineReader::LineReader(Format format) : format_(format) {
    // fcitx4's prompt and phrase keys have defaults; libime's have none.
    if (format == Format::Fcitx4) layout_.specialPrefixes = "&^";
    // Rime sorts by weight unless told "sort: original"; ibus-table shows
    // the higher frequency first.
    layout_.byWeight = format == Format::Rime || format == Format::Ibus;
}

TableLine::Kind LineReader::read(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    problem.clear();
    RefuseNulBytes(text, nullptr, index_ + 1);
    Kind kind = Kind::Header;
    switch (format_) {
        case Format::Plain:
            kind = TrimText(text).empty() ? Kind::Blank : data(text, entries, problem);
            break;
        case Format::Rime:
            kind = readRime(text, entries, problem);
            break;
        case Format::Libime:
        case Format::Fcitx4:
            kind = readLibime(text, entries, problem);
            break;
        case Format::Ibus:
            kind = readIbus(text, entries, problem);
            break;
        case Format::Yong:
            kind = readYong(text, entries, problem);
            break;
        case Format::Auto:
            break;
    }
    ++index_;
    return kind;
}

TableLine::Kind LineReader::data(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    if (ParseEntryLine(format_, layout_, text, entries)) return Kind::Entry;
    problem = MalformedMessage(format_);
    return Kind::Malformed;
}

void LineReader::finish() {
    switch (format_) {
        case Format::Rime:
            if (phase_ == 0) {
                if (rimeStart_ != SIZE_MAX)
                    throw Failure("Line " + std::to_string(rimeStart_ + 1) +
                                  ": the Rime header that starts here has no end line \"...\"; is the file truncated?");
                throw Failure("No Rime header (a YAML header ended by a line \"...\"): is this a Rime dictionary?");
            }
            break;
        case Format::Libime:
        case Format::Fcitx4:
            if (phase_ < 2)
                throw Failure(std::string("No [Data] line: is the file truncated, or not a ") + FormatName(format_) +
                              " table?");
            break;
        case Format::Ibus:
            if (!sawTable_) throw Failure("No BEGIN_TABLE line: is this an ibus-table source?");
            if (phase_ == 1)
                throw Failure("Line " + std::to_string(tableStart_ + 1) +
                              ": BEGIN_TABLE has no END_TABLE; is the file truncated?");
            break;
        case Format::Yong:
            if (phase_ == 0) throw Failure("No [DATA] line: is the file truncated, or not a yong table?");
            break;
        default:
            break;
    }
}

// Rime: a YAML header ended by "...", then data lines.
TableLine::Kind LineReader::readRime(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    if (phase_ == 0) {
        std::string_view t = text;
        while (!t.empty() && IsSpaceOrTab(t.back())) t.remove_suffix(1);
        if (t == "---" && rimeStart_ == SIZE_MAX) rimeStart_ = index_;
        if (t == "...") {
            phase_ = 1;
            if (!columns_.empty()) {
                TableLayout& L = layout_;
                L.textColumn = L.codeColumn = L.weightColumn = L.stemColumn = -1;
                for (std::size_t k = 0; k < columns_.size(); ++k) {
                    int c = static_cast<int>(k);
                    if (columns_[k] == "text") L.textColumn = c;
                    if (columns_[k] == "code") L.codeColumn = c;
                    if (columns_[k] == "weight") L.weightColumn = c;
                    if (columns_[k] == "stem") L.stemColumn = c;
                }
                L.columnCount = static_cast<int>(columns_.size());
            }
            return Kind::Header;
        }
        readRimeHeaderLine(text);
        return Kind::Header;
    }
    if (TrimWhiteSpace(text).empty()) return Kind::Blank;
    if (comments_ && text[0] == '#') {
        if (StartsWith(text, "# no comment")) comments_ = false;
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
    if (collectingColumns_) {
        std::string_view ti = TrimWhiteSpace(t);
        if (ti.empty() || ti[0] == '#') {
            // neither an item nor the end of the list
        } else if (t.empty() || !IsSpaceOrTab(t[0]) || ti[0] != '-') {
            collectingColumns_ = false;
        } else {
            std::string_view name = TrimWhiteSpace(ti.substr(1));
            std::size_t hash = name.find(" #");
            if (hash != std::string_view::npos) name = TrimWhiteSpace(name.substr(0, hash));
            columns_.emplace_back(name);
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
    // The encoder's rules: "- length_equal: N" or "- length_in_range: [N, M]",
    // each followed by its "formula:".
    if (!t.empty() && !IsSpaceOrTab(t[0])) inEncoder_ = StartsWith(t, "encoder:");
    if (inEncoder_) {
        std::string_view ti = TrimWhiteSpace(t);
        if (StartsWith(ti, "- ")) ti = TrimWhiteSpace(ti.substr(2));
        auto number = [](std::string_view v) {
            std::size_t i = 0;
            while (i < v.size() && (v[i] == '[' || v[i] == ' ')) ++i;
            return ParseSmall(v, i);
        };
        if (StartsWith(ti, "length_equal:")) {
            pendingRule_ = PhraseRule{false, number(TrimWhiteSpace(ti.substr(13))), {}};
        } else if (StartsWith(ti, "length_in_range:")) {
            pendingRule_ = PhraseRule{true, number(TrimWhiteSpace(ti.substr(16))), {}};
        } else if (StartsWith(ti, "formula:") && pendingRule_.length > 0) {
            std::string_view f = TrimWhiteSpace(ti.substr(8));
            if (f.size() >= 2 && (f.front() == '"' || f.front() == '\'') && f.back() == f.front())
                f = f.substr(1, f.size() - 2);
            if (ParseRimeFormula(f, pendingRule_)) layout_.engine.rules.push_back(pendingRule_);
            pendingRule_ = PhraseRule{};
        }
    }
    if (auto v = value("sort:")) {
        layout_.byWeight = *v == "by_weight";
    } else if (auto c = value("columns:")) {
        columns_.clear();
        collectingColumns_ = false;
        if (!c->empty() && c->front() == '[') {
            std::string_view list =
                c->substr(1, c->find(']') == std::string_view::npos ? c->size() - 1 : c->find(']') - 1);
            std::size_t pos = 0;
            while (pos <= list.size()) {
                std::size_t comma = list.find(',', pos);
                if (comma == std::string_view::npos) comma = list.size();
                columns_.emplace_back(TrimWhiteSpace(list.substr(pos, comma - pos)));
                pos = comma + 1;
            }
        } else {
            collectingColumns_ = true;
        }
    }
}

// libime and fcitx4: settings, rules, [Data], then [Phrase].
TableLine::Kind LineReader::readLibime(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    enum { Config, Rule, Data, Phrase };
    std::string_view t = TrimWhiteSpace(text);
    std::string& prefixes = layout_.specialPrefixes;
    if (phase_ == Config || phase_ == Rule) {
        if (t.empty() || t[0] == '#' || t[0] == ';') return Kind::Header;
        readEngineSetting(t);
        const Keywords* sets[2] = {&English(), &Chinese()};
        for (const Keywords* k : sets) {
            auto prefixChar = [&](const std::string& key, int slot) {
                if (!StartsWith(t, key) || t.size() == key.size()) return;
                char c = t[key.size()];
                // The defaults of prompt (slot 1) and phrase (slot 2) give way to the settings.
                if (format_ == Format::Fcitx4 && slot > 0)
                    prefixes.erase(std::remove(prefixes.begin(), prefixes.end(), slot == 1 ? '&' : '^'),
                                   prefixes.end());
                prefixes += c;
            };
            if (!StartsWith(t, k->pinyinLength)) prefixChar(k->pinyin, 0);
            prefixChar(k->prompt, 1);
            prefixChar(k->constructPhrase, 2);
            if (t == k->rule) phase_ = Rule;
            if (t == k->data) phase_ = Data;
        }
        return Kind::Header;
    }
    if (phase_ == Data) {
        if (t.empty()) return Kind::Blank;
        // txt2mb skips ';' lines anywhere.
        if (format_ == Format::Fcitx4 && t[0] == ';') return Kind::Comment;
        if (t == English().phrase || t == Chinese().phrase) {
            phase_ = Phrase;
            return Kind::Header;
        }
        if (prefixes.find(t[0]) != std::string::npos) return Kind::Extra;
        return data(text, entries, problem);
    }
    return t.empty() ? Kind::Blank : Kind::Extra;  // phrases without codes
}

// libime and fcitx4 header lines that other engines can use: phrase rules
// and the keys of pinyin, prompt and phrase lines.
void LineReader::readEngineSetting(std::string_view t) {
    EngineSettings& e = layout_.engine;
    PhraseRule rule;
    if (phase_ == 1 && ParseLibimeRule(t, rule)) {
        e.rules.push_back(std::move(rule));
        return;
    }
    for (const Keywords* k : {&English(), &Chinese()}) {
        auto key = [&](const std::string& name, std::string& to) {
            if (StartsWith(t, name) && t.size() > name.size()) to = std::string(TrimWhiteSpace(t.substr(name.size())));
        };
        if (!StartsWith(t, k->pinyinLength)) key(k->pinyin, e.pinyinKey);
        key(k->prompt, e.promptKey);
        key(k->constructPhrase, e.phraseKey);
    }
}

// ibus-table: definitions, then the lines between BEGIN_TABLE and END_TABLE.
TableLine::Kind LineReader::readIbus(std::string_view raw, std::vector<TableEntry>& entries, std::string& problem) {
    std::string_view t = TrimWhiteSpace(raw);
    if (phase_ == 0) {
        if (t == "BEGIN_TABLE") phase_ = 1, sawTable_ = true, tableStart_ = index_;
        if (t == "BEGIN_RULES") inRules_ = true;
        if (t == "END_RULES") inRules_ = false;
        if (inRules_) {
            ParseIbusRules(t, layout_.engine.rules);
        } else if (StartsWith(t, "RULES") && !StartsWith(t, "RULES_")) {
            std::string_view v = TrimWhiteSpace(t.substr(5));
            if (!v.empty() && v[0] == '=') ParseIbusRules(TrimWhiteSpace(v.substr(1)), layout_.engine.rules);
        }
        return Kind::Header;
    }
    if (t == "END_TABLE") {
        phase_ = 0;
        return Kind::Header;
    }
    if (t.empty()) return Kind::Blank;
    if (StartsWith(raw, "###")) return Kind::Comment;
    Kind kind = data(raw, entries, problem);
    if (kind == Kind::Entry && !IsInteger(*entries.back().weight))
        problem = "frequency \"" + Utf8Shown(*entries.back().weight) + "\" is not a whole number";
    return kind;
}

// yong: settings, then [DATA].
TableLine::Kind LineReader::readYong(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    std::string_view t = TrimWhiteSpace(text);
    if (phase_ == 0) {
        if (EqualsIgnoringCase(t, "[DATA]")) phase_ = 1;
        return Kind::Header;
    }
    if (t.empty()) return Kind::Blank;
    if (t[0] == '#') return Kind::Comment;
    return data(text, entries, problem);
}

void HeaderFacts::add(const TableEntry& e) {
    weights = weights || e.weight.has_value();
    const double w = e.weight ? std::strtod(e.weight->c_str(), nullptr) : 0.0;
    if (e.code == lastCode_ && w > lastWeight_) weightsDescend = false;
    if (e.code != lastCode_) lastCode_ = e.code;
    lastWeight_ = w;
    stems = stems || e.stem.has_value();
    std::size_t chars = 0;
    for (std::size_t i = 0; i < e.code.size(); ++chars) {
        std::size_t w = CharWidth(e.code, i);
        auto c = static_cast<unsigned char>(e.code[i]);
        if (w == 1 && c < 128)
            ascii[c] = true;
        else
            others.insert(e.code.substr(i, w));
        i += w;
    }
    maxLength = std::max(maxLength, chars);
}

std::string HeaderFacts::keys() const {
    std::string keys;
    for (int c = 33; c < 127; ++c)
        if (ascii[c]) keys += static_cast<char>(c);
    for (const auto& s : others) keys += s;
    return keys;
}

std::string FreshHeader(const HeaderFacts& facts, const WriteOptions& o, TableLayout& layout) {
    const std::string name = Gb(o.name);
    const std::size_t maxLength = facts.maxLength;
    const std::string length = std::to_string(maxLength);
    const std::vector<PhraseRule>& rules = o.engine.rules.empty() ? WubiPhraseRules() : o.engine.rules;
    // Keys of pinyin, prompt and phrase lines, as the source set them.
    auto keys = [&](std::string_view pinyin, std::string_view prompt, std::string_view phrase) {
        std::string out;
        if (!o.engine.pinyinKey.empty()) out += std::string(pinyin) + o.engine.pinyinKey + "\n";
        if (!o.engine.promptKey.empty()) out += std::string(prompt) + o.engine.promptKey + "\n";
        if (!o.engine.phraseKey.empty()) out += std::string(phrase) + o.engine.phraseKey + "\n";
        return out;
    };
    switch (o.format) {
        case Format::Rime: {
            const bool weights = facts.weights, stems = facts.stems;
            layout.weightColumn = weights ? 2 : -1;
            layout.stemColumn = stems ? (weights ? 3 : 2) : -1;
            layout.columnCount = 2 + weights + stems;
            // Written in candidate order: Rime keeps it as it is, or sorts by
            // weights that give the same order.
            const bool byWeight = weights && facts.weightsDescend;
            return "# Rime dictionary\n# encoding: utf-8\n\n---\nname: " + YamlQuoted(name) +
                   "\nversion: \"1.0\"\nsort: " + (byWeight ? "by_weight" : "original") +
                   "\ncolumns:\n  - text\n  - code\n" + (weights ? "  - weight\n" : "") + (stems ? "  - stem\n" : "") +
                   RimeRules(rules) + "...\n\n";
        }
        case Format::Libime:
            return "KeyCode=" + facts.keys() + "\nLength=" + length + "\n" +
                   keys("Pinyin=", "Prompt=", "ConstructPhrase=") + "[Rule]\n" + LibimeRules(rules) + "[Data]\n";
        case Format::Fcitx4: {
            // A fresh header sets no prompt or phrase key: fcitx4's defaults
            // hold, and a code beginning with one of them can't be written.
            layout.specialPrefixes = "&^";
            // txt2mb wants at least Length - 1 rules: longer codes repeat the
            // rule of the longest phrases.
            std::vector<PhraseRule> all = rules;
            while (!all.empty() && static_cast<std::size_t>(all.size()) + 1 < maxLength) {
                PhraseRule last = all.back();
                all.back().atLeast = false;
                last.length = all.back().length + 1;
                all.push_back(last);
            }
            return ";fcitx Version 0x03 Table file\nKeyCode=" + facts.keys() + "\nLength=" + length + "\n" +
                   keys("Pinyin=", "Prompt=", "ConstructPhrase=") + "[Rule]\n" + LibimeRules(all) + "[Data]\n";
        }
        case Format::Ibus:
            return "SCIM_Generic_Table_Phrase_Library_TEXT\nVERSION_1_0\n### written by zelmora-cli\nBEGIN_DEFINITION\n"
                   "UUID = " +
                   NameUuid(o.name) + "\nSERIAL_NUMBER = 1\nNAME = " + name + "\nNAME.zh_CN = " + name +
                   "\nLANGUAGES = zh_CN\nAUTHOR = zelmora-cli\nSYMBOL = " + Gb("五") + "\nSTATUS_PROMPT = " + Gb("五") +
                   "\nVALID_INPUT_CHARS = " + facts.keys() + "\nMAX_KEY_LENGTH = " + length +
                   "\nUSER_CAN_DEFINE_PHRASE = TRUE\nRULES = " + IbusRules(rules) + "\nEND_DEFINITION\nBEGIN_TABLE\n";
        case Format::Yong:
            return std::string(o.encoding == Encoding::Utf8 ? "encode=UTF-8\n" : "") + "name=" + name +
                   "\nkey=" + facts.keys() + "\nlen=" + length + "\n[DATA]\n";
        default:
            return {};
    }
}

namespace {

double WeightOf(const TableEntry& e) { return e.weight ? std::strtod(e.weight->c_str(), nullptr) : 0.0; }

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

}  // namespace

void AppendFreshRun(std::string& out, const TableEntry* run, std::size_t count, const WriteOptions& o,
                    const TableLayout& layout, std::size_t& line, std::size_t unweightedLeft) {
    const bool grouped = o.format == Format::Plain || o.format == Format::Yong;
    const std::string_view nl = FreshLineBreak(o.format);
    thread_local std::vector<std::string> frequencies;
    if (o.format == Format::Ibus) IbusFrequencies(run, count, unweightedLeft, frequencies);
    for (std::size_t i = 0; i < count;) {
        std::size_t j = grouped ? count : i + 1;
        ++line;
        try {
            if (o.format == Format::Ibus && run[i].weight != frequencies[i]) {
                TableEntry one = run[i];
                one.weight = frequencies[i];
                out += CanonicalLine(o.format, layout, &one, 1);
            } else {
                out += CanonicalLine(o.format, layout, run + i, j - i);
            }
        } catch (const Failure& f) {
            throw Failure("Line " + std::to_string(line) + ": " + f.what());
        }
        out += nl;
        i = j;
    }
}

std::string_view FreshLineBreak(Format format) { return format == Format::Plain ? "\r\n" : "\n"; }

std::string_view FreshFooter(Format format) { return format == Format::Ibus ? "END_TABLE\n" : ""; }

bool ReadsAsPlainGbk(std::string_view bytes) {
    if (EncodingByBom(bytes)) return false;
    // Only the head decides the format; the encoding needs every byte.
    std::size_t i = 0;
    for (std::size_t line = 0; line < kDetectionLines && i < bytes.size(); ++line) {
        std::size_t end = bytes.find_first_of("\r\n", i);
        if (end == std::string_view::npos) end = bytes.size();
        if (std::optional<Format> f = FormatShownBy(bytes.substr(i, end - i))) {
            if (*f != Format::Plain) return false;
            break;
        }
        i = end + 1;
        if (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n') ++i;
    }
    // ASCII reads the same either way.
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii || DetectedEncoding(bytes) != Encoding::Utf8;
}

bool IsEngineFormat(Format format) {
    return format == Format::Rime || format == Format::Libime || format == Format::Fcitx4 || format == Format::Ibus;
}

void ChooseOutputEncoding(WriteOptions& w, Encoding asked, bool bomAsked, Encoding inputEncoding, bool inputHadBom) {
    const bool engine = IsEngineFormat(w.format);
    const bool noBom = w.format == Format::Libime || w.format == Format::Fcitx4;
    if (engine && asked != Encoding::Auto && asked != Encoding::Utf8)
        throw Failure(std::string("The ") + FormatName(w.format) + " engine reads UTF-8 only; " + EncodingName(asked) +
                      " output would not be read (leave out --output-encoding or give utf-8)");
    if (noBom && bomAsked)
        throw Failure(std::string("The ") + FormatName(w.format) +
                      " compiler refuses a byte-order mark; leave out --bom");
    w.encoding = asked != Encoding::Auto ? asked : engine ? Encoding::Utf8 : inputEncoding;
    const bool unicode =
        w.encoding == Encoding::Utf8 || w.encoding == Encoding::Utf16le || w.encoding == Encoding::Utf16be;
    w.bom = bomAsked || (inputHadBom && (unicode || w.encoding == inputEncoding));
    if (w.encoding == Encoding::Gbk || noBom) w.bom = false;
}

Format ParseFormat(std::string_view name) {
    if (name == "auto") return Format::Auto;
    if (name == "plain") return Format::Plain;
    if (name == "rime") return Format::Rime;
    if (name == "libime" || name == "fcitx5") return Format::Libime;
    if (name == "fcitx4") return Format::Fcitx4;
    if (name == "ibus") return Format::Ibus;
    if (name == "yong") return Format::Yong;
    throw Failure("Unknown format \"" + std::string(name) +
                  "\" (known: auto, plain, rime, libime, fcitx4, ibus, yong)");
}

const char* FormatName(Format format) {
    switch (format) {
        case Format::Auto:
            return "auto";
        case Format::Plain:
            return "plain";
        case Format::Rime:
            return "Rime";
        case Format::Libime:
            return "libime";
        case Format::Fcitx4:
            return "fcitx4";
        case Format::Ibus:
            return "ibus-table";
        case Format::Yong:
            return "yong";
    }
    return "?";
}

namespace {

// Decoded, cut into lines, format recognised (or the given one checked): what
// reading a table and reading a merge target share.
TableDocument OpenDocument(std::string_view bytes, Encoding encoding, Format format) {
    TableDocument doc;
    DecodedText d = DecodeText(bytes, encoding);
    doc.text = std::move(d.text);
    doc.encoding = d.encoding;
    doc.hadBom = d.hadBom;
    doc.encodingCloseCall = d.closeCall;
    doc.lines = CutLines(doc.text);
    Detection found = Detect(doc);
    if (format == Format::Auto)
        format = found.format;
    else if (found.format != Format::Plain)
        CheckGivenFormat(format, found.format, found.line + 1, doc.lineText(found.line));
    doc.format = format;
    return doc;
}

}  // namespace

TableDocument ReadTable(std::string_view bytes, Encoding encoding, Format format) {
    TableDocument doc = OpenDocument(bytes, encoding, format);
    Reader(doc).read();
    return doc;
}

TableDocument ReadTableToMerge(std::string_view bytes, Encoding encoding, Format format) {
    TableDocument doc = OpenDocument(bytes, encoding, format);
    if (doc.format == Format::Plain) {
        std::vector<TableLine>().swap(doc.lines);
        return doc;
    }
    Reader(doc).read();
    return doc;
}

std::string ToGroupLines(const TableDocument& doc) {
    if (doc.format == Format::Plain) return NormalizeLineBreaks(doc.text);
    std::string out;
    out.reserve(doc.text.size() + doc.text.size() / 8);
    const auto& entries = doc.entries;
    for (std::size_t i = 0; i < entries.size();) {
        if (i) out += "\r\n";
        AppendToken(out, entries[i].code);
        std::size_t j = i;
        for (; j < entries.size() && entries[j].code == entries[i].code; ++j) {
            out += ' ';
            AppendToken(out, entries[j].word);
        }
        i = j;
    }
    return out;
}

std::string WriteEntries(const std::vector<TableEntry>& entries, const WriteOptions& options) {
    if (options.format == Format::Auto) throw Failure("No output format given");
    return EncodeText(FreshText(entries, options), options.encoding, options.bom, options.textEncoding);
}

std::string WriteEntries(const std::vector<TableEntry>& entries, Format format, Encoding encoding, bool bom) {
    WriteOptions o;
    o.format = format;
    o.encoding = encoding;
    o.bom = bom;
    return WriteEntries(entries, o);
}

std::string WriteTable(const TableDocument& doc, const WriteOptions& options, std::size_t* droppedLines) {
    if (droppedLines) *droppedLines = 0;
    WriteOptions o = options;
    o.textEncoding = doc.textEncoding();
    // Words the encoding can't hold, in line order: the first fails, or all are left out.
    std::vector<bool> removed;
    if (CanLack(o.encoding, o.textEncoding)) {
        SkippedWord w;
        for (std::size_t i = 0; i < doc.lines.size(); ++i) {
            const TableLine& l = doc.lines[i];
            if (l.kind != Kind::Entry) continue;
            for (std::size_t k = l.firstEntry; k < l.firstEntry + l.entryCount; ++k)
                if (CheckEncodable(doc.entries[k], i + 1, o, w)) {
                    if (removed.empty()) removed.assign(doc.entries.size(), false);
                    removed[k] = true;
                }
        }
    }
    if (o.format != doc.format) {
        if (o.engine == EngineSettings()) o.engine = doc.layout.engine;
        if (droppedLines)
            for (const auto& l : doc.lines) *droppedLines += l.kind == Kind::Extra;
        if (removed.empty()) return WriteEntries(doc.entries, o);
        std::vector<TableEntry> kept;
        kept.reserve(doc.entries.size());
        for (std::size_t k = 0; k < doc.entries.size(); ++k)
            if (!removed[k]) kept.push_back(doc.entries[k]);
        return WriteEntries(kept, o);
    }
    std::string out;
    out.reserve(doc.text.size() + 64);
    // yong reads GB18030 unless the header says "encode=UTF-8".
    const bool yongRecoded =
        doc.format == Format::Yong && (o.encoding == Encoding::Utf8) != (doc.encoding == Encoding::Utf8);
    if (yongRecoded && o.encoding == Encoding::Utf8) out += "encode=UTF-8\n";
    std::vector<TableEntry> parsed;
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const TableLine& l = doc.lines[i];
        std::string_view text = doc.lineText(i);
        if (yongRecoded && l.kind == Kind::Header && StartsWith(TrimWhiteSpace(text), "encode=")) continue;
        if (l.kind == Kind::Entry && !removed.empty() &&
            std::any_of(removed.begin() + l.firstEntry, removed.begin() + l.firstEntry + l.entryCount,
                        [](bool r) { return r; })) {
            std::vector<TableEntry> kept;
            for (std::size_t k = l.firstEntry; k < l.firstEntry + l.entryCount; ++k)
                if (!removed[k]) kept.push_back(doc.entries[k]);
            if (kept.empty()) continue;  // the whole line goes
            out += CanonicalLine(doc.format, doc.layout, kept.data(), kept.size());
            out.append(doc.text, l.offset + l.length, l.breakLength);
            continue;
        }
        if (l.kind == Kind::Entry) {
            ParseEntryLine(doc.format, doc.layout, text, parsed);
            const TableEntry* now = doc.entries.data() + l.firstEntry;
            if (!std::equal(parsed.begin(), parsed.end(), now, now + l.entryCount)) {
                try {
                    out += CanonicalLine(doc.format, doc.layout, now, l.entryCount);
                } catch (const Failure& f) {
                    throw Failure("Line " + std::to_string(i + 1) + ": " + f.what());
                }
                out.append(doc.text, l.offset + l.length, l.breakLength);
                continue;
            }
        }
        out.append(doc.text, l.offset, l.length + l.breakLength);
    }
    return EncodeText(out, o.encoding, o.bom, o.textEncoding);
}

std::string DropUnencodableWords(std::string_view text, const WriteOptions& o,
                                 const std::function<std::size_t(std::string_view, std::string_view)>& lineOf) {
    if (!CanLack(o.encoding, o.textEncoding)) return std::string(text);
    std::string out;
    out.reserve(text.size());
    TableLayout layout;
    std::vector<TableEntry> parsed, kept;
    SkippedWord w;
    for (const TableLine& l : CutLines(text)) {
        std::string_view line = text.substr(l.offset, l.length);
        std::string_view lineBreak = text.substr(l.offset + l.length, l.breakLength);
        parsed.clear();
        const bool pairs =
            line.find(' ') != std::string_view::npos && ParseEntryLine(Format::Plain, layout, line, parsed);
        if (!pairs) {
            TableEntry word{{}, std::string(TrimWhiteSpace(line)), {}, {}};
            if (!word.word.empty() && CheckEncodable(word, lineOf({}, word.word), o, w)) continue;
            out.append(line).append(lineBreak);
            continue;
        }
        kept.clear();
        for (auto& e : parsed)
            if (!FindUnencodable(e, w) || !CheckEncodable(e, lineOf(e.code, e.word), o, w))
                kept.push_back(std::move(e));
        if (kept.size() == parsed.size()) {
            out.append(line).append(lineBreak);
        } else if (!kept.empty()) {
            out += CanonicalLine(Format::Plain, layout, kept.data(), kept.size());
            out.append(lineBreak);
        }
    }
    return out;
}

std::vector<TableEntry> EntriesFromGroupLines(std::string_view text, std::size_t* skipped) {
    std::vector<TableEntry> entries;
    if (skipped) *skipped = 0;
    TableLayout layout;
    std::vector<TableEntry> parsed;
    for (const TableLine& l : CutLines(text)) {
        std::string_view line = text.substr(l.offset, l.length);
        if (ParseEntryLine(Format::Plain, layout, line, parsed)) {
            for (auto& e : parsed) entries.push_back(std::move(e));
        } else if (skipped && !TrimText(line).empty()) {
            ++*skipped;
        }
    }
    return entries;
}

}  // namespace zelmora::formats

// Phrase rules in the syntaxes of libime and fcitx4, ibus-table and Rime.
#include <yaml-cpp/yaml.h>

#include "core/text.h"
#include "formats/lines.h"
#include "formats/phrase_rules.h"
#include "formats/phrase_rules_internal.h"

namespace zelmora::formats {

namespace {

// A number of at most three digits at s[i], or -1 when there is none.
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

// "e2=p11+p12+p21+p22"
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

// "ce2:p11+p12+p21+p22;ca4:p11+p21+p31+p-11": all or none.
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

// "AaAbBaBb": the keys of a rule whose length is given apart.
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

// A rule's length as a Rime header writes it: a whole number of at most
// three digits, or -1.
int RimeLength(const YAML::Node& node) {
    if (!node.IsScalar()) return -1;
    const std::string& v = node.Scalar();
    std::size_t i = 0;
    const int n = ParseSmall(v, i);
    return i == v.size() ? n : -1;
}

// Calls `each` with every line of `text` (a break is LF, CR or CR LF).
template <class F>
void ForEachLine(std::string_view text, F&& each) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        each(text.substr(pos, end - pos));
        pos = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++pos;
    }
}

}  // namespace

const std::vector<PhraseRule>& WubiPhraseRules() {
    using K = PhraseRule::Key;
    static const std::vector<PhraseRule> rules = {
        {false, 2, {K{1, 1}, K{1, 2}, K{2, 1}, K{2, 2}}},
        {false, 3, {K{1, 1}, K{2, 1}, K{3, 1}, K{3, 2}}},
        {true, 4, {K{1, 1}, K{2, 1}, K{3, 1}, K{-1, 1}}},
    };
    return rules;
}

void AppendRimeRules(const YAML::Node& list, std::vector<PhraseRule>& rules) {
    // A key that is not there is a node yaml-cpp throws on when asked its type.
    if (!list || !list.IsSequence()) return;
    for (const YAML::Node& item : list) {
        if (!item.IsMap()) continue;
        const YAML::Node equal = item["length_equal"], range = item["length_in_range"], formula = item["formula"];
        PhraseRule rule;
        if (equal) {
            rule.length = RimeLength(equal);
        } else if (range) {
            // [4, 10]: four characters and more (no engine but Rime has an upper bound).
            rule.atLeast = true;
            rule.length = RimeLength(range.IsSequence() && range.size() > 0 ? range[0] : range);
        }
        if (rule.length < 1 || !formula || !formula.IsScalar()) continue;
        if (ParseRimeFormula(formula.Scalar(), rule)) rules.push_back(std::move(rule));
    }
}

bool ParseRules(RuleSyntax syntax, std::string_view text, std::vector<PhraseRule>& rules) {
    const std::size_t before = rules.size();
    switch (syntax) {
        case RuleSyntax::Libime:
            ForEachLine(text, [&](std::string_view line) {
                PhraseRule rule;
                if (ParseLibimeRule(line, rule)) rules.push_back(std::move(rule));
            });
            break;
        case RuleSyntax::Ibus:
            ParseIbusRules(text, rules);
            break;
        case RuleSyntax::Rime:
            try {
                AppendRimeRules(YAML::Load(std::string(text)), rules);
            } catch (const YAML::Exception&) {
                // no YAML, no rules
            }
            break;
    }
    return rules.size() > before;
}

std::string WriteRules(RuleSyntax syntax, const std::vector<PhraseRule>& rules) {
    std::string out;
    for (const auto& r : rules) {
        const std::string length = std::to_string(r.length);
        switch (syntax) {
            case RuleSyntax::Libime:
                out += (r.atLeast ? "a" : "e") + length + "=" + RuleKeysText(r, false) + "\n";
                break;
            case RuleSyntax::Ibus:
                if (!out.empty()) out += ';';
                out += (r.atLeast ? "ca" : "ce") + length + ":" + RuleKeysText(r, true);
                break;
            case RuleSyntax::Rime: {
                if (r.atLeast)
                    out += "    - length_in_range: [" + length + ", 10]\n";
                else
                    out += "    - length_equal: " + length + "\n";
                std::string formula;
                for (const auto& k : r.keys) {
                    formula += static_cast<char>(k.character > 0 ? 'A' + k.character - 1 : 'Z' + k.character + 1);
                    formula += static_cast<char>('a' + k.key - 1);
                }
                out += "      formula: \"" + formula + "\"\n";
                break;
            }
        }
    }
    return out;
}

}  // namespace zelmora::formats

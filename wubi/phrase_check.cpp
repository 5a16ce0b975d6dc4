#include "wubi/phrase_check.h"

#include <algorithm>

#include "core/text.h"
#include "resources/resources.h"

namespace zelmora {

namespace {

// Whether `word` holds at least two characters.
bool IsPhrase(std::string_view word) { return !word.empty() && CharWidth(word, 0) < word.size(); }

// How messages name the rules.
const char* RulesName(const std::vector<formats::PhraseRule>& rules) {
    return rules == formats::WubiPhraseRules() ? "the Wubi-86 rules" : "the table's phrase rules";
}

}  // namespace

PhraseCodeCheck::PhraseCodeCheck(std::optional<CharacterTable> characters, const CharacterTable* fallback)
    : given_(characters.has_value()),
      own_(characters ? std::move(*characters) : CharacterTable()),
      fallback_(fallback),
      rules_(formats::WubiPhraseRules()) {
    begin();
}

void PhraseCodeCheck::survey(const formats::TableEntry& entry) { own_.add(entry.code, entry.word); }

void PhraseCodeCheck::begin() {
    merged_ = own_;
    if (fallback_) merged_.addMissing(*fallback_);
    phrases_ = wrong_ = uncodable_ = 0;
}

void PhraseCodeCheck::header(const formats::TableLayout& layout) {
    const auto& given = layout.engine.rules;
    rules_ = given.empty() ? formats::WubiPhraseRules() : given;
}

PhraseCodeCheck::Verdict PhraseCodeCheck::judge(std::string_view code, std::string_view word) const {
    Verdict v;
    if (!IsPhrase(word)) return v;
    WordCodes codes = EncodeWord(merged_, word, rules_);
    if (!codes.coded) {
        v.kind = Verdict::Uncodable;
        v.why = codes.why;
        v.missing = std::move(codes.missing);
        return v;
    }
    const bool fits = std::any_of(codes.codes.begin(), codes.codes.end(), [&](const std::string& c) {
        return !code.empty() && c.size() >= code.size() && std::string_view(c).substr(0, code.size()) == code;
    });
    v.kind = fits ? Verdict::Fits : Verdict::Wrong;
    if (!fits) v.expected = std::move(codes.codes);
    return v;
}

void PhraseCodeCheck::check(const formats::TableEntry* entries, std::size_t count, std::vector<std::string>& findings) {
    for (std::size_t k = 0; k < count; ++k) {
        const formats::TableEntry& e = entries[k];
        Verdict v = judge(e.code, e.word);
        if (v.kind == Verdict::NotPhrase) continue;
        ++phrases_;
        if (v.kind == Verdict::Uncodable) {
            ++uncodable_;
        } else if (v.kind == Verdict::Wrong) {
            ++wrong_;
            findings.push_back(PhraseFindingMessage(e.word, e.code, v.expected, rules_));
        }
    }
}

std::string PhraseCodeCheck::summary() const {
    // The Wubi-86 rules code every phrase whose characters all have a full code.
    const bool wubi = rules_ == formats::WubiPhraseRules();
    return "phrases: " + std::to_string(phrases_) + " checked by " + RulesName(rules_) + ", " + std::to_string(wrong_) +
           " with a wrong code, " + std::to_string(uncodable_) +
           (wubi ? " not codable (a character without a full code)"
                 : " not codable (a character without a full code or without the keys a rule asks, or no rule for "
                   "the phrase's length)");
}

std::string PhraseFindingMessage(std::string_view word, std::string_view code, const std::vector<std::string>& expected,
                                 const std::vector<formats::PhraseRule>& rules) {
    std::string m = "phrase \"" + formats::MessageText(word) + "\" has code \"" + formats::MessageText(code) + "\"; " +
                    RulesName(rules) + " give ";
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (i) m += " or ";
        m += "\"" + expected[i] + "\"";
    }
    return m;
}

const CharacterTable& BuiltinCharacters() {
    static const CharacterTable table = BuildCharacterTable(OpenBuiltinTable().bytes());
    return table;
}

PhraseCodeCheck MakePhraseCodeCheck(const std::vector<formats::TableEntry>* characters) {
    if (characters) return PhraseCodeCheck(CharacterTableOf(*characters), &BuiltinCharacters());
    return PhraseCodeCheck(std::nullopt, &BuiltinCharacters());
}

CharacterTable CharacterTableOf(const std::vector<formats::TableEntry>& entries) {
    CharacterTable t;
    for (const auto& e : entries) t.add(e.code, e.word);
    return t;
}

}  // namespace zelmora

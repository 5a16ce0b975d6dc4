#pragma once
// Phrase rules: which keys of its characters make the code of a word of
// several characters. Engines write them in three syntaxes, parsed here and
// written back here, so that a table's rules go from one engine's file into
// another's unchanged.
#include <string>
#include <string_view>
#include <vector>

namespace zelmora::formats {

// A phrase rule: which keys make the code of a phrase of `length` characters
// (or more, with `atLeast`).
struct PhraseRule {
    bool atLeast = false;
    int length = 0;
    struct Key {
        int character = 1;  // 1-based from the first character; -1 is the last
        int key = 1;        // 1-based from the first key of that character
        bool operator==(const Key&) const = default;
    };
    std::vector<Key> keys;
    bool operator==(const PhraseRule&) const = default;
};

// The Wubi-86 phrase rules: two characters, the first two keys of each;
// three, the first key of the first two and the first two of the third; four
// and more, the first key of the first three and of the last.
const std::vector<PhraseRule>& WubiPhraseRules();

enum class RuleSyntax {
    // libime and fcitx4, a rule a line: "e2=p11+p12+p21+p22", "a4=p11+p21+p31+n11"
    // (e: exactly, a: at least that many characters; n counts characters from the last).
    Libime,
    // ibus-table, rules joined by ';' on one line: "ce2:p11+p12+p21+p22;ca4:p11+p21+p31+p-11".
    Ibus,
    // Rime, the items of the "rules:" list in a header's "encoder:" block, each
    // "- length_equal: 2" or "- length_in_range: [4, 10]" followed by its
    // formula, a character (A from the first, Z from the last) and a key (a
    // from the first) per key: "formula: "AaAbBaBb"".
    Rime,
};

// Appends to `rules` the rules `text` gives in that syntax and tells whether
// it gave any. libime lines and Rime list items that are no rule are passed
// over (Rime's text is read as YAML: text that is none gives none); an ibus
// line with anything that is no rule gives none. Both engines' ways of
// counting characters from the last ("n1", "p-1") are read in either syntax.
// Rime keys counted from the last (z, y, …), which no other engine can say,
// make that rule none.
bool ParseRules(RuleSyntax syntax, std::string_view text, std::vector<PhraseRule>& rules);

// The rules in that syntax, as ParseRules reads them back: libime a line
// each ("\n" after every one), ibus one line without its break, Rime the
// items of the "rules:" list indented as a header's "encoder:" block holds them.
std::string WriteRules(RuleSyntax syntax, const std::vector<PhraseRule>& rules);

}  // namespace zelmora::formats

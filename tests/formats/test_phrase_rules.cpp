// Phrase rules in the three syntaxes engines write them in: what each reads
// as, what is no rule, and that what is written reads back the same.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "formats/phrase_rules.h"

using namespace zelmora::formats;

namespace zelmora::formats {
// "e2=p11+p-11" in failure messages.
void PrintTo(const PhraseRule& r, std::ostream* os) { *os << WriteRules(RuleSyntax::Libime, {r}); }
}  // namespace zelmora::formats

namespace {

using K = PhraseRule::Key;

const char* SyntaxName(RuleSyntax s) {
    switch (s) {
        case RuleSyntax::Libime:
            return "libime";
        case RuleSyntax::Ibus:
            return "ibus";
        case RuleSyntax::Rime:
            return "rime";
    }
    return "?";
}

}  // namespace

TEST(PhraseRules, EachSyntaxReadsAsItsEngineMeansIt) {
    const PhraseRule two{false, 2, {K{1, 1}, K{1, 2}, K{2, 1}, K{2, 2}}};
    const PhraseRule fourOrMore{true, 4, {K{1, 1}, K{2, 1}, K{3, 1}, K{-1, 1}}};
    const PhraseRule three{false, 3, {K{1, 1}, K{2, 1}, K{3, 1}, K{3, 2}}};
    struct Case {
        RuleSyntax syntax;
        std::string text;
        std::vector<PhraseRule> rules;  // empty: no rule
    };
    const std::vector<Case> cases = {
        {RuleSyntax::Libime, "e2=p11+p12+p21+p22", {two}},
        // Upper case as fcitx4 writes it; n counts characters from the last.
        {RuleSyntax::Libime, " A4=p11+p21+p31+n11 ", {fourOrMore}},
        // Lines that are no rule (a section line) are passed over; ibus's way
        // of counting from the last is read too.
        {RuleSyntax::Libime, "e2=p11+p12+p21+p22\r\n[Data]\na4=p11+p21+p31+p-11\n", {two, fourOrMore}},
        {RuleSyntax::Libime, "e2=p11+x12", {}},
        {RuleSyntax::Libime, "e0=p11+p12", {}},
        {RuleSyntax::Libime, "e2=p10+p12", {}},  // keys count from 1
        {RuleSyntax::Libime, "e2=p11++p12", {}},
        {RuleSyntax::Ibus, "ce2:p11+p12+p21+p22;ca4:p11+p21+p31+p-11", {two, fourOrMore}},
        {RuleSyntax::Ibus, " ; ca4:p11+p21+p31+n11 ;", {fourOrMore}},
        // One piece that is no rule spoils the line.
        {RuleSyntax::Ibus, "ce2:p11+p12+p21+p22;ce3", {}},
        {RuleSyntax::Ibus, "e2:p11+p12", {}},
        {RuleSyntax::Ibus, "", {}},
        {RuleSyntax::Rime,
         "    - length_equal: 2\n      formula: \"AaAbBaBb\"\n    - length_in_range: [4, 10]\n"
         "      formula: 'AaBaCaZa'\n",
         {two, fourOrMore}},
        // A key counted from the last (z) drops that rule, not the next.
        {RuleSyntax::Rime,
         "- length_equal: 2\n  formula: \"AaAz\"\n- length_equal: 3\n  formula: \"AaBaCaCb\"\n",
         {three}},
        // A formula belongs to the length before it.
        {RuleSyntax::Rime, "formula: \"AaAbBaBb\"\n", {}},
        {RuleSyntax::Rime, "- length_equal: 2\n  formula: \"AaA\"\n", {}},
        {RuleSyntax::Rime, "- length_equal: x\n  formula: \"AaAb\"\n", {}},
    };
    for (const auto& c : cases) {
        std::vector<PhraseRule> rules = {three};  // appended to, never replaced
        EXPECT_EQ(ParseRules(c.syntax, c.text, rules), !c.rules.empty()) << SyntaxName(c.syntax) << ": " << c.text;
        std::vector<PhraseRule> expected = {three};
        expected.insert(expected.end(), c.rules.begin(), c.rules.end());
        EXPECT_EQ(rules, expected) << SyntaxName(c.syntax) << ": " << c.text;
    }
}

TEST(PhraseRules, WrittenRulesReadBackTheSame) {
    const std::vector<std::vector<PhraseRule>> sets = {
        WubiPhraseRules(),
        // Not Wubi's: three characters take the first two keys of the first,
        // and a rule counting two characters from the last.
        {{false, 3, {K{1, 1}, K{1, 2}}}, {true, 5, {K{1, 3}, K{-2, 1}, K{-1, 2}}}},
        {},
    };
    for (RuleSyntax syntax : {RuleSyntax::Libime, RuleSyntax::Ibus, RuleSyntax::Rime}) {
        for (const auto& set : sets) {
            const std::string text = WriteRules(syntax, set);
            std::vector<PhraseRule> back;
            EXPECT_EQ(ParseRules(syntax, text, back), !set.empty()) << SyntaxName(syntax) << ": " << text;
            EXPECT_EQ(back, set) << SyntaxName(syntax) << ": " << text;
        }
    }
}

TEST(PhraseRules, EachSyntaxIsWrittenAsItsEngineReadsIt) {
    const std::vector<PhraseRule> rules = {{false, 2, {K{1, 1}, K{2, 2}}}, {true, 3, {K{1, 1}, K{-1, 2}}}};
    EXPECT_EQ(WriteRules(RuleSyntax::Libime, rules), "e2=p11+p22\na3=p11+n12\n");
    EXPECT_EQ(WriteRules(RuleSyntax::Ibus, rules), "ce2:p11+p22;ca3:p11+p-12");
    EXPECT_EQ(WriteRules(RuleSyntax::Rime, rules),
              "    - length_equal: 2\n      formula: \"AaBb\"\n    - length_in_range: [3, 10]\n"
              "      formula: \"AaZb\"\n");
}

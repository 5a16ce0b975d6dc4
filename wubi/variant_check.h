#pragma once
// Checks of which characters a Han table codes and how: traditional
// characters standing before simplified ones under a code, or holding a short
// code a simplified character could take; codes of nothing but symbols (words
// without Han characters or ASCII letters and digits) in a table of Han words; words mixing Han characters with
// ASCII letters or digits; a character at a code that is neither its full code
// nor the start of it. Runs inside the table check, beside the phrase-code
// check, which judges the codes of phrases: this one judges single characters.
// A simplified character here is one of GB 2312's that is not traditional.
#include <array>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/checking.h"
#include "formats/document.h"

namespace zelmora {

// Whether OpenCC counts a character traditional: its traditional-to-simplified
// table turns the character into another one, and the character is no
// simplified one itself (see scripts/han-variants). 後 and 顔 are; 后, 么 and
// 乾 (both 干's traditional form and a simplified character) are not.
bool IsTraditional(char32_t c);
// The simplified forms OpenCC gives a traditional character, its preferred one
// first; none for any other character.
std::vector<char32_t> SimplifiedForms(char32_t c);
// Whether the character is of the Han script (ideographs, 〇, radicals).
bool IsHan(char32_t c);

// Which kinds of finding the check reports.
struct VariantKinds {
    bool traditionalFirst = true;      // a traditional character before a simplified one under a code
    bool traditionalShortCode = true;  // a traditional character holding a short code a simplified one could take
    bool symbolCodes = true;           // codes of symbols only (no Han, no ASCII letter or digit), in a Han table
    bool mixedWords = true;            // words mixing Han characters with ASCII letters or digits
    bool strayCodes = true;            // a character at a code neither its full code nor the start of it
    bool any() const { return traditionalFirst || traditionalShortCode || symbolCodes || mixedWords || strayCodes; }
};

struct VariantFinding {
    enum class Kind { TraditionalFirst, TraditionalShortCode, SymbolCode, MixedWord, StrayCode };
    static constexpr std::size_t kKinds = 5;
    Kind kind = Kind::MixedWord;
    std::string code, word;  // the entry the finding is on (GB18030)
    // TraditionalFirst: the first simplified character after the word under
    // its code, its own simplified form when one comes after it.
    std::string other;
    bool ownForm = false;  // TraditionalFirst: `other` is a simplified form of the word
    // TraditionalShortCode: simplified characters whose full code starts with
    // the code and that hold no code of its length (the first few, in table
    // order); StrayCode: the word's full codes; SymbolCode: the code's words
    // (the first few).
    std::vector<std::string> others;
    std::size_t count = 0;  // TraditionalShortCode: such characters in all; SymbolCode: the code's words
};

// The finding as the command line reports it (UTF-8), e.g.
// traditional "顔" stands before its simplified form "颜" under code "utem"
std::string VariantFindingMessage(const VariantFinding& finding);

class VariantCheck final : public formats::EntryCheck {
public:
    explicit VariantCheck(VariantKinds kinds = {});

    // Every kind but mixed words needs the whole table first.
    bool surveys() const override;
    void survey(const formats::TableEntry& entry) override;
    void begin() override;
    // Orders each code's characters as the engine does (by weight when the
    // header says so) and judges the surveyed table, once.
    void header(const formats::TableLayout& layout) override;
    void check(const formats::TableEntry* entries, std::size_t count, std::vector<std::string>& findings) override;

    // The findings on the entries of one line, in entry order: what check()
    // words. Each finding is given once a pass, on its entry's first line.
    void judge(const formats::TableEntry* entries, std::size_t count, std::vector<VariantFinding>& out);

    // Findings of the last pass, by kind.
    const std::array<std::size_t, VariantFinding::kKinds>& counts() const { return counts_; }

private:
    struct Candidate {
        std::string word;
        double weight;
    };
    struct CodeSurvey {
        std::vector<Candidate> characters;  // single Han characters, file order
        std::string firstWord;
        std::vector<std::string> words;  // the first few, for a code of symbols only
        std::size_t wordCount = 0;
        bool symbolsOnly = true;
    };
    struct CharacterSurvey {
        std::vector<std::string> codes;  // in file order, each once
        std::size_t order = 0;
    };
    static std::string Key(const std::string& code, const std::string& word);
    void plan(bool byWeight);
    void planTraditionalFirst(const std::string& code, CodeSurvey& survey, bool byWeight);
    void planShortCodes();
    void planStrayCodes();

    VariantKinds kinds_;
    std::unordered_map<std::string, CodeSurvey> codes_;
    std::unordered_map<std::string, CharacterSurvey> characters_;
    std::size_t entries_ = 0, hanWords_ = 0;
    bool planned_ = false;
    // Findings by code, 0x01, word, for the entry's first line in a pass.
    std::unordered_map<std::string, std::vector<VariantFinding>> plan_;
    std::unordered_map<std::string, std::vector<VariantFinding>> pending_;  // plan_'s not yet given this pass
    std::array<std::size_t, VariantFinding::kKinds> counts_{};
};

}  // namespace zelmora

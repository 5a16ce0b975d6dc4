#pragma once
// Phrase codes held against the checked table's own phrase rules (an engine
// header's), or the Wubi-86 rules when it has none: a word of two or more
// characters must be coded with a code the rules give for it (EncodeWord), or
// with the start of one (a short code). Runs inside the table check.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/checking.h"
#include "formats/document.h"
#include "wubi/encode.h"

namespace zelmora {

class PhraseCodeCheck final : public formats::EntryCheck {
public:
    // `characters`: the full codes to check with; nullopt to learn them from
    // the checked table itself (its single-character entries, a survey).
    // `fallback`: for characters those lack (the built-in table); may be null.
    PhraseCodeCheck(std::optional<CharacterTable> characters, const CharacterTable* fallback);

    struct Verdict {
        enum Kind { NotPhrase, Fits, Wrong, Uncodable } kind = NotPhrase;
        std::vector<std::string> expected;       // the codes the rules give (Wrong)
        Uncoded why = Uncoded::NoCharacterCode;  // Uncodable: as WordCodes says
        std::string missing;
    };
    // One entry judged with the characters known so far.
    Verdict judge(std::string_view code, std::string_view word) const;

    bool surveys() const override { return !given_; }
    void survey(const formats::TableEntry& entry) override;
    void begin() override;
    // Takes the table's phrase rules, or the Wubi-86 rules when it has none.
    void header(const formats::TableLayout& layout) override;
    void check(const formats::TableEntry* entries, std::size_t count, std::vector<std::string>& findings) override;

    // Counts of the last checking pass.
    std::size_t phrases() const { return phrases_; }  // words of two or more characters
    std::size_t wrong() const { return wrong_; }
    std::size_t uncodable() const { return uncodable_; }  // a character without a full code anywhere, or no rule for it
    // "phrases: N checked by the Wubi-86 rules, W with a wrong code, U not codable (a character without a full code)";
    // "by the table's phrase rules" when those differ.
    std::string summary() const;

private:
    bool given_;
    CharacterTable own_;  // given or surveyed
    const CharacterTable* fallback_;
    CharacterTable merged_;  // own_, then the fallback's characters own_ lacks
    std::vector<formats::PhraseRule> rules_;
    std::size_t phrases_ = 0, wrong_ = 0, uncodable_ = 0;
};

// The finding's message for a wrong phrase code (UTF-8):
// phrase "中国" has code "khlx"; the Wubi-86 rules give "khlg"
// ("the table's phrase rules give" for other rules).
std::string PhraseFindingMessage(std::string_view word, std::string_view code, const std::vector<std::string>& expected,
                                 const std::vector<formats::PhraseRule>& rules);

// The full codes of the built-in table's characters, made on first use: the
// fallback of a check for characters the table lacks.
const CharacterTable& BuiltinCharacters();

// The check as the command line and the window run it: with the characters
// of `characters` (a table's entries) when given, otherwise of the checked
// table itself; the built-in table's for characters those lack.
PhraseCodeCheck MakePhraseCodeCheck(const std::vector<formats::TableEntry>* characters);

// The full codes of the single-character entries of a table.
CharacterTable CharacterTableOf(const std::vector<formats::TableEntry>& entries);

}  // namespace zelmora

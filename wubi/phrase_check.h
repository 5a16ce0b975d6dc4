#pragma once
// Phrase codes held against the Wubi-86 rules: a word of two or more
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
        std::vector<std::string> expected;  // the codes the rules give (Wrong)
        std::string missing;                // the first character without a full code (Uncodable)
    };
    // One entry judged with the characters known so far.
    Verdict judge(std::string_view code, std::string_view word) const;

    bool surveys() const override { return !given_; }
    void survey(const formats::TableEntry& entry) override;
    void begin() override;
    void check(const formats::TableEntry* entries, std::size_t count, std::vector<std::string>& findings) override;

    // Counts of the last checking pass.
    std::size_t phrases() const { return phrases_; }  // words of two or more characters
    std::size_t wrong() const { return wrong_; }
    std::size_t uncodable() const { return uncodable_; }  // a character without a full code anywhere
    // "phrases: N checked by the Wubi-86 rules, W with a wrong code, U not codable (a character without a full code)"
    std::string summary() const;

private:
    bool given_;
    CharacterTable own_;  // given or surveyed
    const CharacterTable* fallback_;
    CharacterTable merged_;  // own_, then the fallback's characters own_ lacks
    std::size_t phrases_ = 0, wrong_ = 0, uncodable_ = 0;
};

// The finding's message for a wrong phrase code (UTF-8):
// phrase "中国" has code "khlx"; the Wubi-86 rules give "khlg"
std::string PhraseFindingMessage(std::string_view word, std::string_view code,
                                 const std::vector<std::string>& expected);

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

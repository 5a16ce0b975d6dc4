#include "wubi/variant_check.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string_view>
#include <unordered_set>

#include <unicode/uchar.h>
#include <unicode/uscript.h>

#include "core/text.h"
#include "formats/encoding.h"

namespace zelmora {

namespace {

struct HanVariant {
    char32_t traditional;
    char32_t simplified[3];  // 0 where there are fewer
};

#include "zelmora/han_variants.inc"

const HanVariant* Find(char32_t c) {
    const auto* end = std::end(kTraditional);
    const auto* it = std::lower_bound(std::begin(kTraditional), end, c,
                                      [](const HanVariant& v, char32_t x) { return v.traditional < x; });
    return it != end && it->traditional == c ? it : nullptr;
}

// The code points of GB18030 text; bytes that are no character become U+FFFD.
std::u32string CodePoints(std::string_view gb18030) {
    const std::string utf8 = formats::MessageText(gb18030);
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        if (n == 0 || i + n > utf8.size()) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        char32_t c = n == 1 ? b : b & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        out += c;
        i += n;
    }
    return out;
}

bool HasHan(const std::u32string& word) { return std::any_of(word.begin(), word.end(), IsHan); }

bool AsciiLetterOrDigit(char32_t c);

// Characters the table check reports as damage: replacement characters,
// private-use and unassigned ones. A code of such words is that finding's.
bool Damaged(const std::u32string& word) {
    return std::any_of(word.begin(), word.end(), [](char32_t c) {
        const auto type = u_charType(static_cast<UChar32>(c));
        return c == 0xFFFD || type == U_PRIVATE_USE_CHAR || type == U_UNASSIGNED;
    });
}

bool AsciiLetterOrDigit(char32_t c) {
    return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

// The single Han character the word is, or 0.
char32_t SingleHan(const std::u32string& word) { return word.size() == 1 && IsHan(word[0]) ? word[0] : 0; }

// Whether a single character is one of GB 2312's Han characters (its two
// levels, rows 16 to 87): the simplified characters of everyday text, and
// the ones a typist looks for among the candidates. A traditional character
// before a rare character of the extensions is no fault of the order.
bool Gb2312Han(std::string_view gb18030) {
    if (gb18030.size() != 2) return false;
    const auto lead = static_cast<unsigned char>(gb18030[0]), trail = static_cast<unsigned char>(gb18030[1]);
    return lead >= 0xB0 && lead <= 0xF7 && trail >= 0xA1 && trail <= 0xFE;
}

double WeightOf(const formats::TableEntry& e) {
    if (!e.weight) return 0;
    char* end = nullptr;
    const double w = std::strtod(e.weight->c_str(), &end);
    return end == e.weight->c_str() ? 0 : w;
}

// A character's full codes: its longest.
std::vector<std::string> FullCodes(const std::vector<std::string>& codes) {
    std::size_t longest = 0;
    for (const auto& c : codes) longest = std::max(longest, c.size());
    std::vector<std::string> full;
    for (const auto& c : codes)
        if (c.size() == longest) full.push_back(c);
    return full;
}

bool StartsOne(const std::string& code, const std::vector<std::string>& full) {
    return std::any_of(full.begin(), full.end(),
                       [&](const std::string& f) { return f.compare(0, code.size(), code) == 0; });
}

std::string Quoted(std::string_view gb18030) { return "\"" + formats::MessageText(gb18030) + "\""; }

std::string QuotedList(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? separator : "") + Quoted(items[i]);
    return out;
}

constexpr std::size_t kShown = 5;  // items a finding names

// Wubi-86's first-level short codes, a to y: the 25 most common characters
// take their key alone, though most of them start their full code with
// another (有 is "e", its full code "def").
constexpr char32_t kFirstLevel[25] = {U'工', U'了', U'以', U'在', U'有', U'地', U'一', U'上', U'不',
                                      U'是', U'中', U'国', U'同', U'民', U'为', U'这', U'我', U'的',
                                      U'要', U'和', U'产', U'发', U'人', U'经', U'主'};

bool FirstLevel(const std::string& code, const std::string& character) {
    return code.size() == 1 && code[0] >= 'a' && code[0] <= 'y' &&
           CodePoints(character) == std::u32string(1, kFirstLevel[code[0] - 'a']);
}

// Whether a code counts as one of a character's codes: Wubi-86 types with the
// keys a to y, z standing for any key (and starting lookups by pinyin), so a
// code beginning with it is no character's own; codes of other characters or
// longer than four letters are the table check's findings.
bool CharacterCode(const std::string& code) {
    return !code.empty() && code.size() <= 4 && code[0] != 'z' &&
           std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

}  // namespace

bool IsTraditional(char32_t c) { return Find(c) != nullptr; }

std::vector<char32_t> SimplifiedForms(char32_t c) {
    std::vector<char32_t> forms;
    if (const HanVariant* v = Find(c))
        for (char32_t s : v->simplified)
            if (s) forms.push_back(s);
    return forms;
}

bool IsHan(char32_t c) {
    UErrorCode status = U_ZERO_ERROR;
    return uscript_getScript(static_cast<UChar32>(c), &status) == USCRIPT_HAN && U_SUCCESS(status);
}

std::string VariantFindingMessage(const VariantFinding& f) {
    using K = VariantFinding::Kind;
    const std::string code = Quoted(f.code), word = Quoted(f.word);
    switch (f.kind) {
        case K::TraditionalFirst:
            return "traditional " + word + " stands before " +
                   (f.ownForm ? "its simplified form " : "the simplified character ") + Quoted(f.other) +
                   " under code " + code;
        case K::TraditionalShortCode:
            return "traditional " + word + " holds short code " + code +
                   ", which a simplified character whose full code starts with it could take: " +
                   QuotedList(f.others, ", ") +
                   (f.count > f.others.size() ? " (" + std::to_string(f.count) + " in all)" : "");
        case K::SymbolCode:
            return "code " + code + " holds only symbols in a table of Han words: " + QuotedList(f.others, ", ") +
                   (f.count > f.others.size() ? " (" + std::to_string(f.count) + " in all)" : "");
        case K::MixedWord:
            return "word " + word + " under code " + code + " mixes Han characters with ASCII letters or digits";
        case K::StrayCode:
            return "character " + word + " has code " + code + ", neither its full code " +
                   QuotedList(f.others, " or ") + " nor the start of it";
    }
    return {};
}

VariantCheck::VariantCheck(VariantKinds kinds) : kinds_(kinds) {}

bool VariantCheck::surveys() const {
    return kinds_.traditionalFirst || kinds_.traditionalShortCode || kinds_.symbolCodes || kinds_.strayCodes;
}

std::string VariantCheck::Key(const std::string& code, const std::string& word) {
    std::string key;
    key.reserve(code.size() + 1 + word.size());
    return key.append(code).append(1, '\x01').append(word);
}

void VariantCheck::survey(const formats::TableEntry& e) {
    const std::u32string word = CodePoints(e.word);
    const bool han = HasHan(word);
    ++entries_;
    if (han) ++hanWords_;
    CodeSurvey& code = codes_[e.code];
    if (code.wordCount++ == 0) code.firstWord = e.word;
    // Words of ASCII letters or digits (an English word, a name) are words, not symbols.
    const bool symbols = !han && !Damaged(word) && std::none_of(word.begin(), word.end(), AsciiLetterOrDigit);
    if (!symbols && code.symbolsOnly) {
        code.symbolsOnly = false;
        std::vector<std::string>().swap(code.words);
    }
    if (code.symbolsOnly && code.words.size() < kShown) code.words.push_back(e.word);
    if (!SingleHan(word)) return;
    code.characters.push_back({e.word, WeightOf(e)});
    if (!CharacterCode(e.code)) return;
    auto [it, added] = characters_.try_emplace(e.word);
    if (added) it->second.order = characters_.size();
    it->second.codes.push_back(e.code);  // each kept once when planning
}

void VariantCheck::begin() {
    pending_.clear();
    counts_.fill(0);
}

void VariantCheck::header(const formats::TableLayout& layout) {
    if (!planned_) plan(layout.byWeight);
    pending_ = plan_;
}

void VariantCheck::plan(bool byWeight) {
    planned_ = true;
    // Each character's codes once, in file order.
    std::unordered_set<std::string_view> met;
    for (auto& [character, survey] : characters_) {
        met.clear();
        auto& codes = survey.codes;
        codes.erase(
            std::remove_if(codes.begin(), codes.end(), [&](const std::string& c) { return !met.insert(c).second; }),
            codes.end());
    }
    if (kinds_.traditionalFirst)
        for (auto& [code, survey] : codes_) planTraditionalFirst(code, survey, byWeight);
    if (kinds_.traditionalShortCode) planShortCodes();
    // A table of Han words: most of its words hold a Han character.
    if (kinds_.symbolCodes && hanWords_ * 2 > entries_)
        for (auto& [code, survey] : codes_) {
            if (!survey.symbolsOnly) continue;
            VariantFinding f;
            f.kind = VariantFinding::Kind::SymbolCode;
            f.code = code;
            f.word = survey.firstWord;
            f.others = survey.words;
            f.count = survey.wordCount;
            plan_[Key(code, survey.firstWord)].push_back(std::move(f));
        }
    if (kinds_.strayCodes) planStrayCodes();
    // What only planning needed.
    for (auto& [code, survey] : codes_) std::vector<Candidate>().swap(survey.characters);
}

void VariantCheck::planTraditionalFirst(const std::string& code, CodeSurvey& survey, bool byWeight) {
    auto& list = survey.characters;
    // The engine's candidate order: by weight, highest first, ties in file order.
    if (byWeight)
        std::stable_sort(list.begin(), list.end(),
                         [](const Candidate& a, const Candidate& b) { return a.weight > b.weight; });
    const std::size_t n = list.size();
    std::vector<char32_t> chars;
    chars.reserve(n);
    for (const Candidate& c : list) chars.push_back(CodePoints(c.word)[0]);
    // Where each character stands, and the first simplified one after each place.
    std::unordered_map<char32_t, std::vector<std::size_t>> places;
    for (std::size_t i = 0; i < n; ++i) places[chars[i]].push_back(i);
    std::vector<std::size_t> nextSimplified(n + 1, n);
    for (std::size_t i = n; i-- > 0;)
        nextSimplified[i] = !IsTraditional(chars[i]) && Gb2312Han(list[i].word) ? i : nextSimplified[i + 1];
    for (std::size_t i = 0; i < n; ++i) {
        if (!IsTraditional(chars[i])) continue;
        if (places[chars[i]].front() != i) continue;  // a word twice under a code is the table check's
        std::size_t own = n;
        for (char32_t form : SimplifiedForms(chars[i])) {
            auto it = places.find(form);
            if (it == places.end()) continue;
            auto after = std::upper_bound(it->second.begin(), it->second.end(), i);
            if (after != it->second.end()) own = std::min(own, *after);
        }
        const std::size_t any = nextSimplified[i + 1];
        if (own == n && any == n) continue;
        VariantFinding f;
        f.kind = VariantFinding::Kind::TraditionalFirst;
        f.code = code;
        f.word = list[i].word;
        f.ownForm = own < n;
        f.other = list[f.ownForm ? own : any].word;
        plan_[Key(code, f.word)].push_back(std::move(f));
    }
}

void VariantCheck::planShortCodes() {
    struct Short {
        const std::string* character;
        std::string code;
    };
    std::vector<const std::pair<const std::string, CharacterSurvey>*> inOrder;
    inOrder.reserve(characters_.size());
    for (const auto& c : characters_) inOrder.push_back(&c);
    std::sort(inOrder.begin(), inOrder.end(),
              [](const auto* a, const auto* b) { return a->second.order < b->second.order; });

    // The short codes traditional characters hold: shorter than their full
    // codes and the start of one (any other code is a stray code).
    struct Takers {
        VariantFinding finding;  // the characters named, and how many in all
        const std::string* last = nullptr;
    };
    std::vector<Short> held;
    std::unordered_map<std::string, Takers> takers;  // by short code
    for (const auto* c : inOrder) {
        if (!IsTraditional(CodePoints(c->first)[0])) continue;
        const std::vector<std::string> full = FullCodes(c->second.codes);
        for (const std::string& code : c->second.codes)
            if (code.size() >= 1 && code.size() <= 3 && code.size() < full[0].size() && StartsOne(code, full)) {
                held.push_back({&c->first, code});
                takers.try_emplace(code);
            }
    }
    if (held.empty()) return;
    // Simplified characters that could take them: the code starts one of
    // their full codes, and they hold no code of its length.
    for (const auto* c : inOrder) {
        if (!Gb2312Han(c->first) || IsTraditional(CodePoints(c->first)[0])) continue;
        const auto& codes = c->second.codes;
        for (const std::string& full : FullCodes(codes))
            for (std::size_t length = 1; length <= 3 && length < full.size(); ++length) {
                auto it = takers.find(full.substr(0, length));
                if (it == takers.end()) continue;
                if (std::any_of(codes.begin(), codes.end(), [&](const std::string& k) { return k.size() == length; }))
                    continue;
                if (it->second.last == &c->first) continue;  // another full code with the same start
                it->second.last = &c->first;
                VariantFinding& f = it->second.finding;
                ++f.count;
                if (f.others.size() < kShown) f.others.push_back(c->first);
            }
    }
    for (const Short& s : held) {
        VariantFinding f = takers.at(s.code).finding;
        if (f.count == 0) continue;
        f.kind = VariantFinding::Kind::TraditionalShortCode;
        f.code = s.code;
        f.word = *s.character;
        plan_[Key(s.code, f.word)].push_back(std::move(f));
    }
}

void VariantCheck::planStrayCodes() {
    for (const auto& [character, survey] : characters_) {
        if (survey.codes.size() < 2) continue;
        const std::vector<std::string> full = FullCodes(survey.codes);
        for (const std::string& code : survey.codes) {
            if (code.size() == full[0].size() || StartsOne(code, full) || FirstLevel(code, character)) continue;
            VariantFinding f;
            f.kind = VariantFinding::Kind::StrayCode;
            f.code = code;
            f.word = character;
            f.others = full;
            plan_[Key(code, character)].push_back(std::move(f));
        }
    }
}

void VariantCheck::judge(const formats::TableEntry* entries, std::size_t count, std::vector<VariantFinding>& out) {
    for (std::size_t k = 0; k < count; ++k) {
        const formats::TableEntry& e = entries[k];
        if (!pending_.empty()) {
            auto it = pending_.find(Key(e.code, e.word));
            if (it != pending_.end()) {
                for (VariantFinding& f : it->second) {
                    ++counts_[static_cast<std::size_t>(f.kind)];
                    out.push_back(std::move(f));
                }
                pending_.erase(it);
            }
        }
        if (!kinds_.mixedWords) continue;
        // Only a word with an ASCII character of its own (not a byte of a
        // double-byte one) and a character of more bytes can mix.
        bool ascii = false, wide = false;
        for (std::size_t i = 0; i < e.word.size();) {
            const std::size_t width = CharWidth(e.word, i);
            if (width == 1)
                ascii = ascii || AsciiLetterOrDigit(static_cast<unsigned char>(e.word[i]));
            else
                wide = true;
            i += width;
        }
        if (!ascii || !wide) continue;
        const std::u32string word = CodePoints(e.word);
        if (HasHan(word) && std::any_of(word.begin(), word.end(), AsciiLetterOrDigit)) {
            VariantFinding f;
            f.kind = VariantFinding::Kind::MixedWord;
            f.code = e.code;
            f.word = e.word;
            ++counts_[static_cast<std::size_t>(f.kind)];
            out.push_back(std::move(f));
        }
    }
}

void VariantCheck::check(const formats::TableEntry* entries, std::size_t count, std::vector<std::string>& findings) {
    thread_local std::vector<VariantFinding> found;
    found.clear();
    judge(entries, count, found);
    for (const VariantFinding& f : found) findings.push_back(VariantFindingMessage(f));
}

}  // namespace zelmora

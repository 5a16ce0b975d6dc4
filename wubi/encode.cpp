#include "wubi/encode.h"

#include "core/failure.h"

#include <algorithm>
#include <unordered_set>

#include "core/collation.h"
#include "core/limits.h"
#include "core/text.h"
#include "transform/group.h"

namespace zelmora {

namespace {

inline bool IsGbLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
inline bool IsGbDigit(unsigned char c) { return c >= 0x30 && c <= 0x39; }

inline unsigned char ByteAt(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// Key of a one- or two-byte character in the flat array: a single byte is its
// own value (0..255), a two-byte character lead * 256 + trail (always above 255).
inline uint32_t NarrowKey(std::string_view c) {
    return c.size() == 1 ? ByteAt(c, 0) : (uint32_t{ByteAt(c, 0)} << 8) | ByteAt(c, 1);
}
inline uint32_t WideKey(std::string_view c) {
    return (uint32_t{ByteAt(c, 0)} << 24) | (uint32_t{ByteAt(c, 1)} << 16) | (uint32_t{ByteAt(c, 2)} << 8) |
           ByteAt(c, 3);
}

constexpr std::size_t kSaturated = static_cast<std::size_t>(-1);

std::string_view TrimBlanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(ByteAt(s, b))) ++b;
    while (e > b && IsBlank(ByteAt(s, e - 1))) --e;
    return s.substr(b, e - b);
}

}  // namespace

std::size_t CharWidthAt(std::string_view text, std::size_t i) {
    const std::size_t n = text.size();
    const unsigned char c = ByteAt(text, i);
    if (!IsGbLead(c) || i + 1 >= n) return 1;
    if (IsGbDigit(ByteAt(text, i + 1)) && i + 3 < n && IsGbLead(ByteAt(text, i + 2)) && IsGbDigit(ByteAt(text, i + 3)))
        return 4;
    return 2;
}

namespace {

using formats::PhraseRule;

// Key `k` (1-based) of a code: one character of it, a letter in Wubi tables
// and never half of a two-byte character, which no table line could hold.
// Empty when the code has fewer keys.
std::string_view KeyOf(std::string_view code, int k) {
    if (k < 1) return {};
    std::size_t at = 0;
    for (int i = 1; i < k && at < code.size(); ++i) at += CharWidthAt(code, at);
    return at < code.size() ? code.substr(at, CharWidthAt(code, at)) : std::string_view();
}

// The rule for a phrase of `n` characters, as EncodeWord chooses it; nullptr
// when none is for it. A rule without keys gives no code and is passed over.
const PhraseRule* RuleFor(const std::vector<PhraseRule>& rules, std::size_t n) {
    const PhraseRule* nearest = nullptr;
    for (const PhraseRule& r : rules) {
        if (r.length < 1 || r.keys.empty()) continue;
        const auto length = static_cast<std::size_t>(r.length);
        if (!r.atLeast) {
            if (length == n) return &r;
        } else if (length <= n && (!nearest || r.length > nearest->length)) {
            nearest = &r;
        }
    }
    return nearest;
}

}  // namespace

CharacterTable::CharacterTable() : narrow_(65536, kNone) {}

uint32_t* CharacterTable::slotFor(std::string_view c, bool create) {
    if (c.size() <= 2) return &narrow_[NarrowKey(c)];
    const uint32_t key = WideKey(c);
    if (create) return &wide_.try_emplace(key, kNone).first->second;
    auto it = wide_.find(key);
    return it == wide_.end() ? nullptr : &it->second;
}

bool CharacterTable::add(std::string_view code, std::string_view word) {
    if (code.empty() || word.empty() || CharWidthAt(word, 0) != word.size()) return false;
    uint32_t* slot = slotFor(word, true);
    if (*slot == kNone) {
        *slot = static_cast<uint32_t>(codes_.size());
        codes_.push_back({std::string(code)});
        manyCodes_.emplace_back();
        return true;
    }
    auto& codes = codes_[*slot];
    auto& many = manyCodes_[*slot];
    if (code.size() > codes.front().size()) {
        codes.assign(1, std::string(code));
        many.clear();
    } else if (code.size() == codes.front().size()) {
        constexpr std::size_t kFew = 8;
        if (codes.size() < kFew) {
            if (std::find(codes.begin(), codes.end(), code) != codes.end()) return true;
        } else {
            if (many.empty()) many.insert(codes.begin(), codes.end());
            if (!many.emplace(code).second) return true;
        }
        codes.emplace_back(code);
    }
    return true;
}

void CharacterTable::addMissing(const CharacterTable& other) {
    for (std::size_t key = 0; key < other.narrow_.size(); ++key) {
        if (other.narrow_[key] == kNone || narrow_[key] != kNone) continue;
        narrow_[key] = static_cast<uint32_t>(codes_.size());
        codes_.push_back(other.codes_[other.narrow_[key]]);
        manyCodes_.push_back(other.manyCodes_[other.narrow_[key]]);
    }
    for (const auto& [key, slot] : other.wide_) {
        auto [it, added] = wide_.try_emplace(key, kNone);
        if (it->second != kNone) continue;
        it->second = static_cast<uint32_t>(codes_.size());
        codes_.push_back(other.codes_[slot]);
        manyCodes_.push_back(other.manyCodes_[slot]);
    }
}

const std::vector<std::string>* CharacterTable::fullCodes(std::string_view c) const {
    if (c.empty()) return nullptr;
    uint32_t slot;
    if (c.size() <= 2) {
        slot = narrow_[NarrowKey(c)];
    } else {
        auto it = wide_.find(WideKey(c));
        if (it == wide_.end()) return nullptr;
        slot = it->second;
    }
    return slot == kNone ? nullptr : &codes_[slot];
}

void RefuseNulBytes(std::string_view text, const char* what) {
    const std::size_t nul = text.find('\0');
    if (nul == std::string_view::npos) return;
    // Lines as CR LF, CR or LF end them.
    std::size_t line = 1;
    for (std::size_t i = 0; i < nul; ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
    throw Failure("Line " + std::to_string(line) + " of the " + what +
                  " holds a NUL byte (U+0000), which would cut the line short; remove it and try again");
}

CharacterTable BuildCharacterTable(std::string_view tableText) {
    RefuseNulBytes(tableText, "table");
    CharacterTable table;
    LineList lines = SplitLines(tableText);
    for (const auto& line : lines) {
        LineList tokens = SplitTokens(line);
        for (std::size_t j = 1; j < tokens.count(); ++j) table.add(tokens.lines()[0], tokens.lines()[j]);
    }
    return table;
}

namespace {

// Why EncodeInto gave no code (see WordCodes).
struct Failed {
    Uncoded why = Uncoded::NoCharacterCode;
    std::string_view character;
    std::size_t characters = 0;
    int asked = 0;
};

// Appends to `code` the keys the rule takes, each from the full code chosen
// for its part (`chosen[keyPart[j]]` for key j); marks in `gave` the parts
// that gave at least one.
void Spell(const PhraseRule& rule, const std::vector<std::size_t>& keyPart,
           const std::vector<const std::string*>& chosen, std::string& code, std::vector<char>& gave) {
    for (std::size_t j = 0; j < rule.keys.size(); ++j) {
        std::string_view key = KeyOf(*chosen[keyPart[j]], rule.keys[j].key);
        if (key.empty()) continue;
        gave[keyPart[j]] = 1;
        code.append(key);
    }
}

// Codes a word into `out` (cleared first) as EncodeWord does. Returns false,
// saying why in `failed`, when it gets no code.
bool EncodeInto(const CharacterTable& table, std::string_view word, const std::vector<PhraseRule>& rules,
                std::vector<std::string>& out, Failed& failed, std::size_t& combinations) {
    out.clear();
    combinations = 0;
    // Every character must be coded, whichever the rule takes keys from.
    thread_local std::vector<std::string_view> characters;
    thread_local std::vector<const std::vector<std::string>*> full;
    characters.clear();
    full.clear();
    for (std::size_t i = 0; i < word.size();) {
        const std::size_t w = CharWidthAt(word, i);
        std::string_view c = word.substr(i, w);
        const std::vector<std::string>* codes = table.fullCodes(c);
        if (!codes) {
            failed = {Uncoded::NoCharacterCode, c, 0, 0};
            return false;
        }
        characters.push_back(c);
        full.push_back(codes);
        i += w;
    }
    const std::size_t n = characters.size();
    if (n == 0) {
        failed = {};
        return false;
    }
    if (n == 1) {
        // A character's full codes are distinct.
        const std::vector<std::string>& codes = *full[0];
        combinations = codes.size();
        out.assign(codes.begin(),
                   codes.begin() + static_cast<std::ptrdiff_t>(std::min(codes.size(), kMaxCodesPerWord)));
        return true;
    }
    const PhraseRule* rule = RuleFor(rules, n);
    if (!rule) {
        failed = {Uncoded::NoRule, {}, n, 0};
        return false;
    }

    // The characters the rule takes keys from, as parts in the order it first
    // names them (two names of one character are one part), and each key's part.
    thread_local std::vector<std::size_t> partCharacter, keyPart;
    partCharacter.clear();
    keyPart.clear();
    for (const PhraseRule::Key& k : rule->keys) {
        const long long at = k.character > 0 ? k.character - 1LL : static_cast<long long>(n) + k.character;
        if (k.character == 0 || at < 0 || at >= static_cast<long long>(n)) {
            failed = {Uncoded::NoSuchCharacter, {}, n, k.character};
            return false;
        }
        const auto c = static_cast<std::size_t>(at);
        const auto it = std::find(partCharacter.begin(), partCharacter.end(), c);
        keyPart.push_back(static_cast<std::size_t>(it - partCharacter.begin()));
        if (it == partCharacter.end()) partCharacter.push_back(c);
    }
    const std::size_t parts = partCharacter.size();
    thread_local std::vector<const std::string*> chosen;
    thread_local std::vector<char> gave;
    chosen.clear();
    bool single = true;
    for (std::size_t c : partCharacter) {
        chosen.push_back(&full[c]->front());
        single = single && full[c]->size() == 1;
    }
    // A character's full codes all have one length: the first stands for
    // them in telling whether the character gives a key at all.
    std::string code;
    code.reserve(8);
    gave.assign(parts, 0);
    Spell(*rule, keyPart, chosen, code, gave);
    for (std::size_t p = 0; p < parts; ++p) {
        if (gave[p]) continue;
        std::size_t j = 0;
        while (keyPart[j] != p) ++j;
        failed = {Uncoded::NoSuchKey, characters[partCharacter[p]], n, rule->keys[j].key};
        return false;
    }
    // The usual case: one full code per character.
    if (single) {
        out.push_back(std::move(code));
        combinations = 1;
        return true;
    }

    // Several full codes: for each part, a full code for each distinct set of
    // keys the rule takes from it, in table order; then every combination,
    // the first part varying slowest.
    thread_local std::vector<std::vector<const std::string*>> choices;
    thread_local std::vector<std::string> taken;
    thread_local std::unordered_set<std::string> takenMany;
    if (choices.size() < parts) choices.resize(parts);
    std::string keys;
    for (std::size_t p = 0; p < parts; ++p) {
        choices[p].clear();
        taken.clear();
        // A character may have thousands of full codes: past a few, the keys
        // already taken are looked up in a hash.
        constexpr std::size_t kFew = 16;
        const std::vector<std::string>& codes = *full[partCharacter[p]];
        const bool many = codes.size() > kFew;
        if (many) takenMany.clear();
        for (const std::string& c : codes) {
            keys.clear();
            for (std::size_t j = 0; j < rule->keys.size(); ++j)
                if (keyPart[j] == p) keys.append(KeyOf(c, rule->keys[j].key));
            const bool fresh =
                many ? takenMany.insert(keys).second : std::find(taken.begin(), taken.end(), keys) == taken.end();
            if (!fresh) continue;
            if (!many) taken.push_back(keys);
            choices[p].push_back(&c);
        }
    }
    std::size_t total = 1;
    for (std::size_t p = 0; p < parts; ++p) {
        const std::size_t m = choices[p].size();
        total = (total != kSaturated && total <= kSaturated / m) ? total * m : kSaturated;
    }
    combinations = total;
    thread_local std::vector<std::size_t> pick;
    pick.assign(parts, 0);
    for (;;) {
        // A character's full codes all have one length, so distinct choices
        // spell distinct codes.
        for (std::size_t p = 0; p < parts; ++p) chosen[p] = choices[p][pick[p]];
        code.clear();
        Spell(*rule, keyPart, chosen, code, gave);
        out.push_back(code);
        if (out.size() == kMaxCodesPerWord) break;
        std::size_t p = parts;
        while (p > 0) {
            --p;
            if (++pick[p] < choices[p].size()) break;
            pick[p] = 0;
            if (p == 0) return true;
        }
    }
    return true;
}

// The code-word pairs already given, as indices into the entries, in an open
// addressing table: a million pairs without a string allocation each.
class PairIndex {
public:
    explicit PairIndex(const std::vector<EncodedEntry>& entries) : entries_(entries) { grow(1024); }

    // True when the pair is new; it is then expected to be appended as entry
    // number entries.size() by the caller.
    bool insert(std::string_view code, std::string_view word) {
        if ((used_ + 1) * 2 > slots_.size()) grow(slots_.size() * 2);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = Hash(code, word) & mask;; i = (i + 1) & mask) {
            const uint32_t s = slots_[i];
            if (s == kEmpty) {
                // Indexes are 32 bits, kEmpty excluded.
                CheckLimit(entries_.size() + 1, "coded words", kEmpty);
                slots_[i] = static_cast<uint32_t>(entries_.size());
                ++used_;
                return true;
            }
            if (entries_[s].code == code && entries_[s].word == word) return false;
        }
    }

private:
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
    static std::size_t Hash(std::string_view code, std::string_view word) {
        uint64_t h = 1469598103934665603ull;  // FNV-1a
        for (unsigned char c : code) h = (h ^ c) * 1099511628211ull;
        h = (h ^ 0xFF) * 1099511628211ull;
        for (unsigned char c : word) h = (h ^ c) * 1099511628211ull;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
    void grow(std::size_t size) {
        slots_.assign(size, kEmpty);
        const std::size_t mask = size - 1;
        for (std::size_t e = 0; e < entries_.size(); ++e) {
            std::size_t i = Hash(entries_[e].code, entries_[e].word) & mask;
            while (slots_[i] != kEmpty) i = (i + 1) & mask;
            slots_[i] = static_cast<uint32_t>(e);
        }
    }
    const std::vector<EncodedEntry>& entries_;
    std::vector<uint32_t> slots_;
    std::size_t used_ = 0;
};

}  // namespace

WordCodes EncodeWord(const CharacterTable& table, std::string_view word, const std::vector<PhraseRule>& rules) {
    WordCodes r;
    Failed failed;
    r.coded = EncodeInto(table, word, rules, r.codes, failed, r.combinations);
    if (!r.coded) {
        r.why = failed.why;
        r.missing = std::string(failed.character);
        r.characters = failed.characters;
        r.asked = failed.asked;
    }
    return r;
}

EncodeResult EncodeWordList(const CharacterTable& table, std::string_view text, const std::vector<PhraseRule>& rules) {
    EncodeResult result;
    RefuseNulBytes(text, "word list");
    {
        // One entry per line is the usual case.
        std::size_t lines = 1;
        for (char c : text) lines += (c == '\n');
        result.entries.reserve(lines);
    }
    PairIndex seen(result.entries);
    std::vector<std::string> codes;
    std::size_t lineNo = 0;
    const std::size_t n = text.size();
    std::size_t pos = 0;
    while (pos < n) {
        // One line, ended by CR LF, CR or LF.
        std::size_t end = pos;
        while (end < n && text[end] != '\r' && text[end] != '\n') ++end;
        std::string_view line = text.substr(pos, end - pos);
        pos = end;
        if (pos < n && text[pos] == '\r') ++pos;
        if (pos < n && text[pos] == '\n') ++pos;
        ++lineNo;

        std::optional<std::string> weight;
        const std::size_t tab = line.find('\t');
        std::string_view word = line;
        if (tab != std::string_view::npos) {
            word = line.substr(0, tab);
            std::string_view w = TrimBlanks(line.substr(tab + 1));
            if (!w.empty()) weight = std::string(w);
        }
        word = TrimBlanks(word);
        if (word.empty()) continue;

        Failed failed;
        std::size_t combinations = 0;
        if (!EncodeInto(table, word, rules, codes, failed, combinations)) {
            result.leftOut.push_back({lineNo, std::string(word), std::string(failed.character), 0, failed.why,
                                      failed.characters, failed.asked});
            continue;
        }
        if (combinations > codes.size()) result.capped.push_back({lineNo, std::string(word), {}, combinations});
        for (auto& code : codes) {
            if (!seen.insert(code, word)) continue;
            result.entries.push_back({std::move(code), std::string(word), weight, lineNo});
        }
    }
    return result;
}

namespace {

TextArena EntryLines(const std::vector<EncodedEntry>& entries) {
    TextArena arena;
    std::size_t bytes = 0;
    for (const auto& e : entries) bytes += e.code.size() + 1 + e.word.size();
    arena.bytes.reserve(bytes);
    arena.begin.reserve(entries.size() + 1);
    for (const auto& e : entries) {
        arena.bytes += e.code;
        arena.bytes += ' ';
        arena.bytes += e.word;
        arena.endText();
    }
    return arena;
}

}  // namespace

std::vector<std::uint32_t> ExpansionOrder(const std::vector<EncodedEntry>& entries, TextEncoding encoding) {
    return SortedOrder(EntryLines(entries), encoding);
}

std::string FormatEncodedEntries(const std::vector<EncodedEntry>& entries, bool group, TextEncoding encoding) {
    const TextArena lines = EntryLines(entries);
    std::string joined;
    joined.reserve(lines.bytes.size() + 2 * lines.size());
    for (std::uint32_t i : SortedOrder(lines, encoding)) {
        if (!joined.empty()) joined += "\r\n";
        // Sorted as the expansion sorts; written so that each word reads back
        // as one word (a comma or blank inside it would split it).
        joined.append(entries[i].code).append(1, ' ').append(QuotedToken(entries[i].word));
    }
    // Entry lines start with their (non-empty) code, so only the trimming at
    // the very end can matter, for a word that ends in a blank.
    std::string text = TrimText(joined);
    return group ? GroupEqualCodes(text) : text;
}

}  // namespace zelmora

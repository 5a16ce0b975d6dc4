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

using formats::PhraseRule;

// Keys `first` to `first + count - 1` (1-based) of a code, as many of them
// as it has: whole characters of it, letters in Wubi tables and never half of
// a two-byte character, which no table line could hold.
std::string_view KeysOf(std::string_view code, int first, int count) {
    if (first < 1) return {};
    std::size_t at = 0;
    for (int i = 1; i < first && at < code.size(); ++i) at += CharWidth(code, at);
    std::size_t end = at;
    for (int i = 0; i < count && end < code.size(); ++i) end += CharWidth(code, end);
    return code.substr(at, end - at);
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
    if (code.empty() || word.empty() || CharWidth(word, 0) != word.size()) return false;
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

// Keys a rule takes one after another from one character: keys `first` to
// `first + count - 1` of the full code chosen for part `part` (a character
// the rule names).
struct Run {
    std::size_t part;
    int first, count;
};

// How a rule takes keys from a word of `length` characters: the characters
// it names, as parts in the order it first names them (two names of one
// character are one part), and its keys as runs; or a character it names that
// such a word lacks.
struct Plan {
    std::size_t length = 0;  // 0 before the first
    std::vector<PhraseRule::Key> keys;
    int beyond = 0;  // the character the word lacks, or 0
    std::vector<std::size_t> partCharacter;
    std::vector<Run> runs;
    std::vector<std::size_t> partRuns, runInPart;  // each part's runs; each run's place among them
    bool inOrder = false;                          // run r is part r's only run (as in the Wubi-86 rules)
};

// Buffers kept from word to word.
struct Scratch {
    std::vector<const std::vector<std::string>*> full;  // each character's full codes
    std::vector<Plan> plans;                            // by word length (see PlanFor)
    std::vector<const std::string*> chosen;             // each part's full code
    std::vector<char> gave;                             // whether each part gave a key
    // Several full codes: the keys each part can take, those already taken,
    // the combination.
    std::vector<std::size_t> choiceCount;
    std::vector<std::vector<std::string_view>> choices;
    std::vector<const std::string_view*> runKeys;
    std::unordered_set<std::string_view> takenKeys;
    std::unordered_set<std::string> takenJoined;
    std::vector<std::size_t> pick;
};

Scratch& ThreadScratch() {
    thread_local Scratch scratch;
    return scratch;
}

// The plan of a rule for a word of `n` characters. Plans are kept, one for
// each word length up to a few (one for all longer words): the next word of
// that length and rule, as most are, finds its plan made.
const Plan& PlanFor(Scratch& s, const PhraseRule& rule, std::size_t n) {
    constexpr std::size_t kKept = 16;
    if (s.plans.empty()) s.plans.resize(kKept + 1);
    Plan& p = s.plans[std::min(n, kKept)];
    if (p.length == n && p.keys == rule.keys) return p;
    p.length = n;
    p.keys = rule.keys;
    p.beyond = 0;
    p.partCharacter.clear();
    p.runs.clear();
    for (const PhraseRule::Key& k : rule.keys) {
        const long long at = k.character > 0 ? k.character - 1LL : static_cast<long long>(n) + k.character;
        if (k.character == 0 || at < 0 || at >= static_cast<long long>(n)) {
            p.beyond = k.character;
            return p;
        }
        const auto c = static_cast<std::size_t>(at);
        const auto it = std::find(p.partCharacter.begin(), p.partCharacter.end(), c);
        const auto part = static_cast<std::size_t>(it - p.partCharacter.begin());
        if (it == p.partCharacter.end()) p.partCharacter.push_back(c);
        Run* last = p.runs.empty() ? nullptr : &p.runs.back();
        if (last && last->part == part && last->first >= 1 && last->first + last->count == k.key)
            ++last->count;
        else
            p.runs.push_back({part, k.key, 1});
    }
    p.partRuns.assign(p.partCharacter.size(), 0);
    p.runInPart.clear();
    for (const Run& r : p.runs) p.runInPart.push_back(p.partRuns[r.part]++);
    p.inOrder = p.runs.size() == p.partCharacter.size();
    for (std::size_t r = 0; r < p.runs.size() && p.inOrder; ++r) p.inOrder = p.runs[r].part == r;
    return p;
}

// Appends to `code` the keys of the runs, each from the full code chosen for
// its part; marks in `gave` the parts that gave at least one.
void Spell(const std::vector<Run>& runs, const std::vector<const std::string*>& chosen, std::string& code,
           std::vector<char>& gave) {
    for (const Run& r : runs) {
        std::string_view keys = KeysOf(*chosen[r.part], r.first, r.count);
        if (keys.empty()) continue;
        gave[r.part] = 1;
        code.append(keys);
    }
}

// The character at index `at` of a word.
std::string_view CharacterAt(std::string_view word, std::size_t at) {
    std::size_t i = 0;
    for (; at > 0 && i < word.size(); --at) i += CharWidth(word, i);
    return word.substr(i, i < word.size() ? CharWidth(word, i) : 0);
}

// Codes a word into `out` (cleared first) as EncodeWord does. Returns false,
// saying why in `failed`, when it gets no code.
bool EncodeInto(const CharacterTable& table, std::string_view word, const std::vector<PhraseRule>& rules,
                std::vector<std::string>& out, Failed& failed, std::size_t& combinations) {
    out.clear();
    combinations = 0;
    Scratch& s = ThreadScratch();
    // Every character must be coded, whichever the rule takes keys from.
    s.full.clear();
    for (std::size_t i = 0; i < word.size();) {
        const std::size_t w = CharWidth(word, i);
        std::string_view c = word.substr(i, w);
        const std::vector<std::string>* codes = table.fullCodes(c);
        if (!codes) {
            failed = {Uncoded::NoCharacterCode, c, 0, 0};
            return false;
        }
        s.full.push_back(codes);
        i += w;
    }
    const std::size_t n = s.full.size();
    if (n == 0) {
        failed = {};
        return false;
    }
    if (n == 1) {
        // A character's full codes are distinct.
        const std::vector<std::string>& codes = *s.full[0];
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

    const Plan& plan = PlanFor(s, *rule, n);
    if (plan.beyond != 0) {
        failed = {Uncoded::NoSuchCharacter, {}, n, plan.beyond};
        return false;
    }
    const std::size_t parts = plan.partCharacter.size();
    s.chosen.clear();
    bool single = true;
    for (std::size_t c : plan.partCharacter) {
        s.chosen.push_back(&s.full[c]->front());
        single = single && s.full[c]->size() == 1;
    }
    // A character's full codes all have one length: the first stands for
    // them in telling whether the character gives a key at all.
    std::string code;
    code.reserve(8);
    s.gave.assign(parts, 0);
    Spell(plan.runs, s.chosen, code, s.gave);
    for (std::size_t p = 0; p < parts; ++p) {
        if (s.gave[p]) continue;
        std::size_t r = 0;
        while (plan.runs[r].part != p) ++r;
        failed = {Uncoded::NoSuchKey, CharacterAt(word, plan.partCharacter[p]), n, plan.runs[r].first};
        return false;
    }
    // The usual case: one full code per character.
    if (single) {
        out.push_back(std::move(code));
        combinations = 1;
        return true;
    }

    // Several full codes: for each part, the keys each of its runs takes from
    // each full code whose keys differ from those of the codes before it, in
    // table order; then every combination, the first part varying slowest.
    if (s.choices.size() < parts) s.choices.resize(parts);
    for (std::size_t p = 0; p < parts; ++p) {
        // Choice i is the keys choices[p][i * k] .. choices[p][i * k + k - 1].
        std::vector<std::string_view>& choices = s.choices[p];
        const std::size_t k = plan.partRuns[p];
        choices.clear();
        // A character may have thousands of full codes: past a few, the keys
        // already taken are looked up in a hash.
        constexpr std::size_t kFew = 16;
        const std::vector<std::string>& codes = *s.full[plan.partCharacter[p]];
        const bool many = codes.size() > kFew;
        if (many) {
            s.takenKeys.clear();
            s.takenJoined.clear();
        }
        for (const std::string& c : codes) {
            const std::size_t at = choices.size();
            if (plan.inOrder) {
                choices.push_back(KeysOf(c, plan.runs[p].first, plan.runs[p].count));
            } else {
                for (const Run& r : plan.runs)
                    if (r.part == p) choices.push_back(KeysOf(c, r.first, r.count));
            }
            bool fresh = true;
            if (!many && k == 1) {
                fresh = std::find(choices.begin(), choices.end() - 1, choices.back()) == choices.end() - 1;
            } else if (!many) {
                for (std::size_t i = 0; i < at && fresh; i += k)
                    fresh = !std::equal(choices.begin() + static_cast<std::ptrdiff_t>(i),
                                        choices.begin() + static_cast<std::ptrdiff_t>(i + k),
                                        choices.begin() + static_cast<std::ptrdiff_t>(at));
            } else if (k == 1) {
                fresh = s.takenKeys.insert(choices[at]).second;
            } else {
                // No code holds a NUL byte: it keeps the runs apart.
                std::string joined;
                for (std::size_t i = at; i < at + k; ++i) joined.append(choices[i]).push_back('\0');
                fresh = s.takenJoined.insert(std::move(joined)).second;
            }
            if (!fresh) choices.resize(at);
        }
    }
    std::size_t total = 1;
    s.choiceCount.clear();
    for (std::size_t p = 0; p < parts; ++p) {
        const std::size_t m = s.choices[p].size() / plan.partRuns[p];
        s.choiceCount.push_back(m);
        total = (total != kSaturated && total <= kSaturated / m) ? total * m : kSaturated;
    }
    combinations = total;
    // Where each run's keys of the chosen full code stand: at runKeys[r] + pick * partRuns.
    s.runKeys.clear();
    if (!plan.inOrder)
        for (std::size_t r = 0; r < plan.runs.size(); ++r)
            s.runKeys.push_back(s.choices[plan.runs[r].part].data() + plan.runInPart[r]);
    s.pick.assign(parts, 0);
    for (;;) {
        // A character's full codes all have one length, so distinct choices
        // spell distinct codes.
        std::string spelled;
        if (plan.inOrder) {
            for (std::size_t p = 0; p < parts; ++p) spelled.append(s.choices[p][s.pick[p]]);
        } else {
            for (std::size_t r = 0; r < plan.runs.size(); ++r) {
                const std::size_t p = plan.runs[r].part;
                spelled.append(s.runKeys[r][s.pick[p] * plan.partRuns[p]]);
            }
        }
        out.push_back(std::move(spelled));
        if (out.size() == kMaxCodesPerWord) break;
        std::size_t p = parts;
        while (p > 0) {
            --p;
            if (++s.pick[p] < s.choiceCount[p]) break;
            s.pick[p] = 0;
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
            std::string_view w = TrimControlAndSpace(line.substr(tab + 1));
            if (!w.empty()) weight = std::string(w);
        }
        word = TrimControlAndSpace(word);
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

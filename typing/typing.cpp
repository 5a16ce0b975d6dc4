// Typing a text through a table, key by key.
#include "typing/typing.h"

#include <algorithm>
#include <limits>

#include "core/failure.h"
#include "formats/encoding.h"

namespace zelmora::typing {

namespace {

// UTF-8 (valid, as EncodeText writes it) to UTF-32.
std::u32string FromUtf8(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (std::size_t k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
        out += cp;
        i += n;
    }
    return out;
}

bool IsBlank(char32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0x3000 || c == 0xFEFF; }

// Shifted on a US keyboard.
bool Shifted(char32_t c) {
    return (c >= 'A' && c <= 'Z') ||
           std::u32string_view(U"~!@#$%^&*()_+{}|:\"<>?").find(c) != std::u32string_view::npos;
}

double Share(std::uint64_t part, std::uint64_t whole) { return whole ? static_cast<double>(part) / whole : 0; }

}  // namespace

bool IsHan(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

Stroke StrokeOf(std::size_t codeLength, std::size_t position, const TypingOptions& o) {
    Stroke s;
    s.letters = static_cast<std::uint32_t>(codeLength);
    s.position = static_cast<std::uint32_t>(position);
    const std::size_t page = std::max<std::size_t>(o.pageSize, 1);
    const std::size_t place = (position - 1) % page;  // 0: first on its page
    s.pageDowns = static_cast<std::uint32_t>((position - 1) / page);
    if (position == 1) {
        s.spaces = o.autoCommit != 0 && codeLength >= o.autoCommit ? 0 : 1;
    } else if (place == 0) {
        s.spaces = 1;  // first on a later page: the space takes it
    } else {
        s.selections = 1;
    }
    return s;
}

TypingTable::TypingTable(const std::vector<formats::TableEntry>& entries, TextEncoding textEncoding,
                         const TypingOptions& options)
    : entries_(entries) {
    std::unordered_map<std::string, std::uint32_t> candidates;  // per code, so far
    auto better = [&](const Stroke& a, const Stroke& b) {
        if (a.keys() != b.keys()) return a.keys() < b.keys();
        if ((a.position == 1) != (b.position == 1)) return a.position == 1;
        if (a.letters != b.letters) return a.letters < b.letters;
        return a.entry < b.entry;
    };
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const formats::TableEntry& e = entries_[i];
        const std::uint32_t position = ++candidates[e.code];
        std::u32string word;
        try {
            word = Utf32Of(e.word, textEncoding);
        } catch (const Failure&) {
            continue;  // bytes that are no character: nothing a text can hold
        }
        if (word.empty()) continue;
        Stroke s = StrokeOf(e.code.size(), position, options);
        s.entry = static_cast<std::uint32_t>(i);
        auto [it, added] = words_.try_emplace(word, s);
        if (!added && better(s, it->second)) it->second = s;
        longest_ = std::max(longest_, word.size());
    }
}

const Stroke* TypingTable::find(std::u32string_view word) const {
    auto it = words_.find(word);
    return it == words_.end() ? nullptr : &it->second;
}

Keyed KeyedAt(std::u32string_view text, std::size_t i) {
    const char32_t c = text[i];
    Keyed k;
    if (c >= 0x21 && c < 0x7F) {
        k.keys = Shifted(c) ? 2 : 1;
        k.punctuation = !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
        return k;
    }
    if (c >= 0xFF01 && c <= 0xFF5E) return KeyedAt(std::u32string(1, c - 0xFEE0), 0);  // full-width forms
    static const std::u32string_view kPlain = U"，。、；‘’【】·", kShifted = U"：？！“”《》（）";
    if (kPlain.find(c) != std::u32string_view::npos) return {1, true, 1};
    if (kShifted.find(c) != std::u32string_view::npos) return {2, true, 1};
    if (c == 0x2026 || c == 0x2014) {  // …… and ——: one shifted key for the pair
        k.keys = 2;
        k.punctuation = true;
        k.length = i + 1 < text.size() && text[i + 1] == c ? 2 : 1;
        return k;
    }
    return k;
}

double Figures::keysPerCharacter() const { return Share(tableKeys(), tableCharacters); }
double Figures::keysPerTypedCharacter() const {
    return Share(tableKeys() + keyedKeys, tableCharacters + keyedPunctuation + keyedOther);
}
double Figures::selectionRate() const { return Share(selectionCommits, tableCharacters); }
double Figures::wordRate() const { return Share(hanInWords, han); }

Figures& Figures::operator+=(const Figures& o) {
    for (auto [mine, theirs] : {std::pair{&tableCharacters, o.tableCharacters},
                                {&han, o.han},
                                {&missing, o.missing},
                                {&unkeyed, o.unkeyed},
                                {&keyedPunctuation, o.keyedPunctuation},
                                {&keyedOther, o.keyedOther},
                                {&commits, o.commits},
                                {&letters, o.letters},
                                {&spaces, o.spaces},
                                {&selections, o.selections},
                                {&pageDowns, o.pageDowns},
                                {&keyedKeys, o.keyedKeys},
                                {&spacesSaved, o.spacesSaved},
                                {&selectionCommits, o.selectionCommits},
                                {&selectionCharacters, o.selectionCharacters},
                                {&wordCommits, o.wordCommits},
                                {&hanInWords, o.hanInWords},
                                {&firstCandidateWords, o.firstCandidateWords}})
        *mine += theirs;
    for (auto [mine, theirs] :
         {std::pair{&byCodeLength, &o.byCodeLength}, {&byWordLength, &o.byWordLength}, {&byPosition, &o.byPosition}})
        for (const auto& [key, n] : *theirs) (*mine)[key] += n;
    for (auto [mine, theirs] :
         {std::pair{&missingCharacters, &o.missingCharacters}, {&unkeyedCharacters, &o.unkeyedCharacters}})
        for (const auto& [key, n] : *theirs) (*mine)[key] += n;
    return *this;
}

Typist::Typist(const TypingTable& table, Segmentation segmentation) : table_(table), segmentation_(segmentation) {}

void Typist::payOwedSpace() {
    if (owed_) ++figures_.spaces;
    owed_ = false;
}

void Typist::commit(const Stroke& s, std::size_t length, std::u32string_view word) {
    payOwedSpace();  // the next commit comes after the space
    Figures& f = figures_;
    ++f.commits;
    f.letters += s.letters;
    f.selections += s.selections;
    f.pageDowns += s.pageDowns;
    if (s.owesSpace())
        owed_ = true;
    else
        f.spaces += s.spaces;
    f.tableCharacters += length;
    const auto han = static_cast<std::uint64_t>(std::count_if(word.begin(), word.end(), IsHan));
    f.han += han;
    if (s.position >= 2) {
        ++f.selectionCommits;
        f.selectionCharacters += length;
    }
    if (length >= 2) {
        ++f.wordCommits;
        f.hanInWords += han;
        if (s.position == 1) ++f.firstCandidateWords;
    }
    ++f.byCodeLength[s.letters];
    ++f.byWordLength[length];
    ++f.byPosition[s.position];
    if (commits) commits->emplace_back(s.entry, static_cast<std::uint32_t>(length));
}

void Typist::run(std::u32string_view text) {
    const std::size_t n = text.size();
    const std::size_t longest = std::min(table_.longestWord(), n);
    if (segmentation_ == Segmentation::Greedy) {
        for (std::size_t i = 0; i < n;) {
            for (std::size_t len = std::min(longest, n - i); len >= 1; --len) {
                if (const Stroke* s = table_.find(text.substr(i, len))) {
                    commit(*s, len, text.substr(i, len));
                    i += len;
                    break;
                }
            }
        }
        return;
    }
    // Fewest keys from each position to the end; ties to fewer commits,
    // then to the longer first word.
    struct Best {
        std::uint64_t keys = std::numeric_limits<std::uint64_t>::max(), commits = 0;
        std::size_t length = 0;
    };
    std::vector<Best> best(n + 1);
    best[n].keys = 0;
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t len = std::min(longest, n - i); len >= 1; --len) {
            const Stroke* s = table_.find(text.substr(i, len));
            if (!s || best[i + len].keys == std::numeric_limits<std::uint64_t>::max()) continue;
            const std::uint64_t keys = s->keys() + best[i + len].keys, commitCount = 1 + best[i + len].commits;
            if (keys < best[i].keys || (keys == best[i].keys && commitCount < best[i].commits))
                best[i] = {keys, commitCount, len};
        }
    }
    for (std::size_t i = 0; i < n; i += best[i].length)
        commit(*table_.find(text.substr(i, best[i].length)), best[i].length, text.substr(i, best[i].length));
}

void Typist::type(std::u32string_view text) {
    std::size_t start = 0, i = 0;
    auto flush = [&] {
        if (i > start) run(text.substr(start, i - start));
    };
    while (i < text.size()) {
        const char32_t c = text[i];
        if (IsBlank(c)) {
            flush();
            start = ++i;
            continue;
        }
        const Keyed k = KeyedAt(text, i);
        if (k.keys > 0) {
            flush();
            if (k.punctuation) {
                if (owed_) ++figures_.spacesSaved;
                owed_ = false;
                ++figures_.keyedPunctuation;
            } else {
                payOwedSpace();
                ++figures_.keyedOther;
            }
            figures_.keyedKeys += k.keys;
            start = i += k.length;
            continue;
        }
        if (!table_.find(text.substr(i, 1))) {
            flush();
            if (IsHan(c)) {
                ++figures_.missing;
                ++figures_.missingCharacters[c];
            } else {
                ++figures_.unkeyed;
                ++figures_.unkeyedCharacters[c];
            }
            start = ++i;
            continue;
        }
        ++i;
    }
    flush();
}

void Typist::finish() { payOwedSpace(); }

std::u32string Utf32Of(std::string_view text, TextEncoding textEncoding) {
    return FromUtf8(formats::EncodeText(text, formats::Encoding::Utf8, false, textEncoding));
}

}  // namespace zelmora::typing

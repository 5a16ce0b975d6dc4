// Typing a text through a table, key by key.
#include "typing/typing.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

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

// Blanks split words and are typed by nothing: white space and controls,
// including the no-break and zero-width spaces that pasted text carries.
bool IsBlank(char32_t c) {
    return c <= 0x20 || c == 0x7F || c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

double Share(std::uint64_t part, std::uint64_t whole) {
    return whole ? static_cast<double>(part) / static_cast<double>(whole) : 0;
}

constexpr char32_t kRootSpan = 0x40000;  // the BMP and the planes of the Han extensions

std::size_t EdgeSlot(std::uint64_t key, std::size_t mask) {
    key ^= key >> 29;
    key *= 0xbf58476d1ce4e5b9ULL;
    key ^= key >> 32;
    return static_cast<std::size_t>(key) & mask;
}

void Bump(std::vector<std::uint64_t>& counts, std::size_t at, std::uint64_t by) {
    if (counts.size() <= at) counts.resize(at + 1);
    counts[at] += by;
}

}  // namespace

bool IsHan(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

void CheckOptions(const TypingOptions& o) {
    if (o.pageSize == 0) throw Failure("The page size must be at least 1");
    if (o.selectKeys.size() + 1 < o.pageSize)
        throw Failure("A page of " + std::to_string(o.pageSize) + " candidates needs " +
                      std::to_string(o.pageSize - 1) + " selection keys; " + std::to_string(o.selectKeys.size()) +
                      " were given");
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
        s.selectKey = place - 1 < o.selectKeys.size() ? o.selectKeys[place - 1] : 0;
    }
    return s;
}

TypingTable::TypingTable(const std::vector<formats::TableEntry>& entries, TextEncoding textEncoding,
                         const TypingOptions& options)
    : entries_(entries), options_(options) {
    CheckOptions(options);
    rootChildren_.assign(kRootSpan, -1);
    nodes_.push_back(-1);
    edgeKeys_.assign(1024, 0);
    edgeChildren_.assign(1024, -1);
    words_.resize(entries_.size());
    strokes_.resize(entries_.size());
    std::unordered_map<std::string, std::uint32_t> candidates;  // per code, so far
    auto better = [&](const Stroke& a, const Stroke& b) {
        if (a.keys() != b.keys()) return a.keys() < b.keys();
        if ((a.position == 1) != (b.position == 1)) return a.position == 1;
        if (a.letters != b.letters) return a.letters < b.letters;
        return a.entry < b.entry;
    };
    // Every word as code points: one conversion for the lot, word by word
    // only when some word holds bytes that are no character.
    std::string joined;
    for (const formats::TableEntry& e : entries_) (joined += e.word) += '\n';
    try {
        const std::u32string all = Utf32Of(joined, textEncoding);
        std::size_t at = 0;
        for (std::u32string& word : words_) {
            const std::size_t end = all.find(U'\n', at);
            word.assign(all, at, end - at);
            at = end + 1;
        }
    } catch (const Failure&) {
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            try {
                words_[i] = Utf32Of(entries_[i].word, textEncoding);
            } catch (const Failure&) {
                words_[i].clear();  // nothing a text can hold
            }
        }
    }
    candidates.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const formats::TableEntry& e = entries_[i];
        const std::uint32_t position = ++candidates[e.code];
        Stroke s = StrokeOf(e.code.size(), position, options);
        s.entry = static_cast<std::uint32_t>(i);
        if (e.code.size() <= s.code.size()) std::copy(e.code.begin(), e.code.end(), s.code.begin());
        strokes_[i] = s;
        if (words_[i].empty()) continue;
        Node node = 0;
        for (char32_t c : words_[i]) node = addChild(node, c);
        std::int32_t& cheapest = nodes_[static_cast<std::size_t>(node)];
        if (cheapest < 0 || better(s, strokes_[static_cast<std::size_t>(cheapest)]))
            cheapest = static_cast<std::int32_t>(i);
    }
}

TypingTable::Node TypingTable::child(Node node, char32_t c) const {
    if (node == 0) return c < kRootSpan ? rootChildren_[c] : -1;
    const std::uint64_t key = static_cast<std::uint64_t>(node) << 21 | c;
    const std::size_t mask = edgeKeys_.size() - 1;
    for (std::size_t slot = EdgeSlot(key, mask);; slot = (slot + 1) & mask) {
        if (edgeKeys_[slot] == key) return edgeChildren_[slot];
        if (edgeKeys_[slot] == 0) return -1;
    }
}

TypingTable::Node TypingTable::addChild(Node node, char32_t c) {
    if (const Node found = child(node, c); found >= 0) return found;
    if (nodes_.size() >= static_cast<std::size_t>(std::numeric_limits<Node>::max()))
        throw Failure("Table too large: more words than the typing evaluation can hold");
    const Node made = static_cast<Node>(nodes_.size());
    nodes_.push_back(-1);
    if (node == 0 && c < kRootSpan) {
        rootChildren_[c] = made;
        return made;
    }
    if ((edgeCount_ + 1) * 2 > edgeKeys_.size()) {  // keep the table at most half full
        std::vector<std::uint64_t> keys(edgeKeys_.size() * 2, 0);
        std::vector<Node> children(keys.size(), -1);
        const std::size_t mask = keys.size() - 1;
        for (std::size_t i = 0; i < edgeKeys_.size(); ++i) {
            if (edgeKeys_[i] == 0) continue;
            std::size_t slot = EdgeSlot(edgeKeys_[i], mask);
            while (keys[slot] != 0) slot = (slot + 1) & mask;
            keys[slot] = edgeKeys_[i];
            children[slot] = edgeChildren_[i];
        }
        edgeKeys_.swap(keys);
        edgeChildren_.swap(children);
    }
    // A root edge beyond kRootSpan keeps node 0 in its key: never the empty key 0, as c > 0.
    const std::uint64_t key = static_cast<std::uint64_t>(node) << 21 | c;
    const std::size_t mask = edgeKeys_.size() - 1;
    std::size_t slot = EdgeSlot(key, mask);
    while (edgeKeys_[slot] != 0) slot = (slot + 1) & mask;
    edgeKeys_[slot] = key;
    edgeChildren_[slot] = made;
    ++edgeCount_;
    return made;
}

const Stroke* TypingTable::find(std::u32string_view word) const {
    Node node = 0;
    for (char32_t c : word)
        if ((node = child(node, c)) < 0) return nullptr;
    return word.empty() ? nullptr : strokeAt(node);
}

Keyed KeyedAt(std::u32string_view text, std::size_t i) {
    char32_t c = text[i];
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;  // full-width forms: their ASCII key
    Keyed k;
    if (c >= 0x21 && c < 0x7F) {
        const KeyStroke ks = KeyOf(c);
        k.key = ks.key;
        k.keys = ks.shift ? 2 : 1;
        k.punctuation = !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
        return k;
    }
    if (c < 0xB7 || (c >= 0x3012 && c < 0xFF01)) return k;  // Han and most else: none of the marks below
    // Chinese punctuation by the key that types it.
    struct Mark {
        char32_t c;
        char key;
        bool shift;
    };
    static constexpr Mark kMarks[] = {
        {U'，', ',', false}, {U'。', '.', false}, {U'、', '/', false}, {U'；', ';', false}, {U'：', ';', true},
        {U'？', '/', true},  {U'！', '1', true},  {U'“', '\'', true},  {U'”', '\'', true},  {U'‘', '\'', false},
        {U'’', '\'', false}, {U'《', ',', true},  {U'》', '.', true},  {U'（', '9', true},  {U'）', '0', true},
        {U'【', '[', false}, {U'】', ']', false}, {U'·', '`', false},  {U'…', '6', true},   {U'—', '-', true},
    };
    for (const Mark& m : kMarks) {
        if (m.c != c) continue;
        k.key = m.key;
        k.keys = m.shift ? 2 : 1;
        k.punctuation = true;
        // …… and —— are typed by one key for the pair.
        if ((c == U'…' || c == U'—') && i + 1 < text.size() && text[i + 1] == c) k.length = 2;
        return k;
    }
    return k;
}

double Figures::keysPerCharacter() const { return Share(tableKeys(), tableCharacters); }
double Figures::keysPerTypedCharacter() const { return Share(allKeys(), typedCharacters()); }
double Figures::selectionRate() const { return Share(selectionCommits, tableCharacters); }
double Figures::wordRate() const { return Share(hanInWords, han); }
double Figures::firstCandidateWordRate() const { return Share(hanInFirstCandidateWords, han); }
double Figures::handAlternationRate() const { return Share(alternatingPairs, pairs); }
double Figures::sameFingerRate() const { return Share(sameFingerPairs, pairs); }
double Figures::sameKeyRate() const { return Share(sameKeyPairs, pairs); }

std::array<std::uint64_t, kFingers> Figures::fingerUse() const {
    std::array<std::uint64_t, kFingers> use{};
    for (std::size_t key = 0; key < keyUse.size(); ++key) {
        const std::size_t f = FingerIndexOf(static_cast<char>(key));
        if (f < kFingers) use[f] += keyUse[key];
    }
    use[static_cast<std::size_t>(Finger::LeftPinky)] += leftShifts;
    use[static_cast<std::size_t>(Finger::RightPinky)] += rightShifts;
    return use;
}

std::array<std::uint64_t, 3> Figures::handUse() const {
    std::array<std::uint64_t, 3> use{};
    const auto fingers = fingerUse();
    for (std::size_t f = 0; f < kFingers; ++f)
        use[static_cast<std::size_t>(HandOf(static_cast<Finger>(f)))] += fingers[f];
    return use;
}

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
                                {&firstCandidateWords, o.firstCandidateWords},
                                {&hanInFirstCandidateWords, o.hanInFirstCandidateWords},
                                {&leftShifts, o.leftShifts},
                                {&rightShifts, o.rightShifts},
                                {&pairs, o.pairs},
                                {&alternatingPairs, o.alternatingPairs},
                                {&sameFingerPairs, o.sameFingerPairs},
                                {&sameKeyPairs, o.sameKeyPairs}})
        *mine += theirs;
    for (auto [mine, theirs] :
         {std::pair{&byCodeLength, &o.byCodeLength}, {&byWordLength, &o.byWordLength}, {&byPosition, &o.byPosition}})
        for (std::size_t i = 0; i < theirs->size(); ++i) Bump(*mine, i, (*theirs)[i]);
    for (auto [mine, theirs] :
         {std::pair{&missingCharacters, &o.missingCharacters}, {&unkeyedCharacters, &o.unkeyedCharacters}})
        for (const auto& [key, n] : *theirs) (*mine)[key] += n;
    for (std::size_t k = 0; k < keyUse.size(); ++k) keyUse[k] += o.keyUse[k];
    // Distributions compare equal whatever zeros trail them.
    for (auto* v : {&byCodeLength, &byWordLength, &byPosition})
        while (!v->empty() && v->back() == 0) v->pop_back();
    return *this;
}

namespace {

void CountPair(Figures& f, char a, char b, std::uint64_t w) {
    const std::size_t fa = FingerIndexOf(a), fb = FingerIndexOf(b);
    f.pairs += w;
    if (a == b) {
        f.sameKeyPairs += w;
        return;
    }
    if (fa >= kFingers || fb >= kFingers) return;
    if (fa == fb) f.sameFingerPairs += w;
    if (HandOf(static_cast<Finger>(fa)) != HandOf(static_cast<Finger>(fb))) f.alternatingPairs += w;
}

}  // namespace

void Join(Part& a, const Part& b) {
    Figures& f = a.figures;
    f += b.figures;
    if (b.lead == Part::Lead::Nothing) return;  // nothing typed: a's ends stay
    bool adjacent = true;                       // a's last key and b's first with nothing between
    if (a.owed) {
        if (b.lead == Part::Lead::Punctuation) {
            ++f.spacesSaved;
        } else {
            ++f.spaces;
            ++f.keyUse[' '];
            adjacent = false;
        }
    }
    if (adjacent && a.lastKey != 0 && b.firstKey != 0) CountPair(f, a.lastKey, b.firstKey, 1);
    if (a.lead == Part::Lead::Nothing) {
        a.lead = b.lead;
        a.firstKey = b.firstKey;
    }
    a.lastKey = b.lastKey;
    a.owed = b.owed;
}

Typist::Typist(const TypingTable& table, Segmentation segmentation) : table_(table), segmentation_(segmentation) {}

void Typist::press(char key) {
    Figures& f = part_.figures;
    f.keyUse[static_cast<unsigned char>(key) & 0x7F] += w_;
    if (key == ' ') {
        previous_ = 0;
    } else {
        if (previous_ != 0)
            CountPair(f, previous_, key, w_);
        else if (!pressed_)
            part_.firstKey = key;
        previous_ = key;
    }
    pressed_ = true;
    part_.lastKey = previous_;
}

void Typist::lead(Part::Lead kind) {
    if (part_.lead == Part::Lead::Nothing) part_.lead = kind;
}

void Typist::payOwedSpace() {
    if (part_.owed) {
        part_.figures.spaces += w_;
        press(' ');
    }
    part_.owed = false;
}

void Typist::commit(const Stroke& s, std::size_t length, std::u32string_view word) {
    lead(Part::Lead::Other);
    payOwedSpace();  // the next commit comes after the space
    Figures& f = part_.figures;
    f.commits += w_;
    f.letters += s.letters * w_;
    f.selections += s.selections * w_;
    f.pageDowns += s.pageDowns * w_;
    if (s.letters <= s.code.size())
        for (std::uint32_t k = 0; k < s.letters; ++k) press(s.code[k]);
    else
        for (char key : table_.codeOf(s.entry)) press(key);
    for (std::uint32_t k = 0; k < s.pageDowns; ++k) press('=');
    if (s.selections) press(s.selectKey);
    if (s.owesSpace()) {
        part_.owed = true;
    } else if (s.spaces) {
        f.spaces += s.spaces * w_;
        press(' ');
    }
    f.tableCharacters += length * w_;
    const auto han = static_cast<std::uint64_t>(std::count_if(word.begin(), word.end(), IsHan));
    f.han += han * w_;
    if (s.position >= 2) {
        f.selectionCommits += w_;
        f.selectionCharacters += length * w_;
    }
    if (length >= 2) {
        f.wordCommits += w_;
        f.hanInWords += han * w_;
        if (s.position == 1) {
            f.firstCandidateWords += w_;
            f.hanInFirstCandidateWords += han * w_;
        }
    }
    Bump(f.byCodeLength, s.letters, w_);
    Bump(f.byWordLength, length, w_);
    Bump(f.byPosition, s.position, w_);
    if (commits) commits->push_back({s.entry, static_cast<std::uint32_t>(length)});
    if (entryUse) (*entryUse)[s.entry] += w_;
}

void Typist::keyed(const Keyed& k) {
    Figures& f = part_.figures;
    if (k.punctuation) {
        lead(Part::Lead::Punctuation);
        if (part_.owed) f.spacesSaved += w_;
        part_.owed = false;
        f.keyedPunctuation += w_;
    } else {
        lead(Part::Lead::Other);
        payOwedSpace();
        f.keyedOther += w_;
    }
    f.keyedKeys += k.keys * w_;
    if (k.keys == 2) {  // shift, held by the other hand's pinky
        const std::size_t finger = FingerIndexOf(k.key);
        if (finger < kFingers && HandOf(static_cast<Finger>(finger)) == Hand::Left)
            f.rightShifts += w_;
        else
            f.leftShifts += w_;
    }
    press(k.key);
}

void Typist::run(std::u32string_view text, bool punctuationNext) {
    const std::size_t n = text.size();
    if (segmentation_ == Segmentation::Greedy) {
        for (std::size_t i = 0; i < n;) {
            // The longest word from i: walk the trie as far as the text goes on.
            TypingTable::Node node = table_.child(0, text[i]);
            const Stroke* stroke = table_.strokeAt(node);  // every run's character has one
            std::size_t length = 1;
            for (std::size_t j = i + 1; j < n; ++j) {
                if ((node = table_.child(node, text[j])) < 0) break;
                if (const Stroke* s = table_.strokeAt(node)) {
                    stroke = s;
                    length = j + 1 - i;
                }
            }
            commit(*stroke, length, text.substr(i, length));
            i += length;
        }
        return;
    }
    // Fewest keys from each position to the end; ties to fewer commits,
    // then to the longer first word.
    best_.assign(n + 1, Best{});
    for (std::size_t i = n; i-- > 0;) {
        Best& b = best_[i];
        b.keys = std::numeric_limits<std::uint64_t>::max();
        TypingTable::Node node = 0;
        for (std::size_t j = i; j < n; ++j) {
            if ((node = table_.child(node, text[j])) < 0) break;
            const Stroke* s = table_.strokeAt(node);
            if (!s) continue;
            const Best& rest = best_[j + 1];
            // The last word's space is saved when punctuation is typed next.
            const std::uint64_t saved = j + 1 == n && punctuationNext && s->owesSpace() ? 1 : 0;
            const std::uint64_t keys = s->keys() - saved + rest.keys, count = 1 + rest.commits;
            if (keys < b.keys || (keys == b.keys && count <= b.commits)) b = {keys, count, j + 1 - i, s};
        }
    }
    for (std::size_t i = 0; i < n; i += best_[i].length)
        commit(*best_[i].stroke, best_[i].length, text.substr(i, best_[i].length));
}

bool Typist::punctuationNext(std::u32string_view text, std::size_t i, char32_t next) const {
    for (; i < text.size(); ++i) {
        if (IsBlank(text[i])) continue;
        const Keyed k = KeyedAt(text, i);
        if (k.keys > 0) return k.punctuation;
        if (const TypingTable::Node node = table_.child(0, text[i]); node >= 0 && table_.strokeAt(node)) return false;
    }
    return next != 0 && KeyedAt(std::u32string_view(&next, 1), 0).punctuation;
}

void Typist::type(std::u32string_view text, char32_t next) {
    std::size_t start = 0, i = 0;
    auto flush = [&] {
        if (i > start)
            run(text.substr(start, i - start),
                segmentation_ == Segmentation::Optimal && punctuationNext(text, i, next));
    };
    Figures& f = part_.figures;
    while (i < text.size()) {
        const char32_t c = text[i];
        if (c >= 0x3400 && c <= 0x9FFF) {  // Han, the bulk of a text: neither blank nor keyed
            if (const TypingTable::Node node = table_.child(0, c); node >= 0 && table_.strokeAt(node)) {
                ++i;
                continue;
            }
        }
        if (IsBlank(c)) {
            flush();
            start = ++i;
            continue;
        }
        const Keyed k = KeyedAt(text, i);
        if (k.keys > 0) {
            flush();
            keyed(k);
            start = i += k.length;
            continue;
        }
        if (const TypingTable::Node node = table_.child(0, c); node < 0 || !table_.strokeAt(node)) {
            flush();
            if (IsHan(c)) {
                f.missing += w_;
                f.missingCharacters[c] += w_;
            } else {
                f.unkeyed += w_;
                f.unkeyedCharacters[c] += w_;
            }
            start = ++i;
            continue;
        }
        ++i;
    }
    flush();
}

void Typist::typeAlone(std::u32string_view text, std::uint64_t weight) {
    w_ = weight;
    type(text);
    payOwedSpace();
    previous_ = 0;
    w_ = 1;
}

void Typist::finish() { payOwedSpace(); }

std::string Utf8Of(std::u32string_view text) {
    std::string s;
    s.reserve(text.size() * 3);
    for (const char32_t c : text) {
        if (c < 0x80) {
            s += static_cast<char>(c);
        } else if (c < 0x800) {
            s += static_cast<char>(0xC0 | (c >> 6));
            s += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            s += static_cast<char>(0xE0 | (c >> 12));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (c >> 18));
            s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return s;
}

std::u32string Utf32Of(std::string_view text, TextEncoding textEncoding) {
    return FromUtf8(formats::EncodeText(text, formats::Encoding::Utf8, false, textEncoding));
}

}  // namespace zelmora::typing

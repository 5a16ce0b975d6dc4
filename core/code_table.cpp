#include "core/code_table.h"

#include <divsufsort.h>

#include <array>

#include "core/failure.h"
#include "core/limits.h"
#include "core/text.h"

namespace zelmora {

int CodeLength(std::string_view line) {
    std::size_t p = PositionOf(" ", line);
    if (p == 0) return -1;
    // A space beyond 2 GiB is still far beyond any code length: it must not
    // wrap around into one.
    return p - 1 > kMaxInt32 ? static_cast<int>(kMaxInt32) : static_cast<int>(p - 1);
}

std::string_view WordTail(std::string_view line) {
    line = UpToNul(line);
    std::size_t s = line.find(' ');
    return s == std::string_view::npos ? std::string_view() : line.substr(s);
}

namespace {

constexpr std::uint64_t kFnvOffset = 1469598103934665603ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

// Words and characters here are a few bytes: a loop beats a call to memcmp.
inline bool SameBytes(const char* a, const char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

inline std::uint64_t Mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

// Character boundaries are where PositionOf tries a match (PairWidth).
// Each word of a pool starts after a space on a character boundary and runs
// to the next space byte. Every prefix of it that ends on a character
// boundary is given to `fn`: its hash, start, length, the width of its last
// character, and whether it is the first prefix of its word; `fn` returns
// false to stop the walk. Returns whether the pool has a space on a
// character boundary (before the walk stopped).
template <typename Fn>
bool ForEachPrefix(std::string_view upper, Fn&& fn) {
    const std::size_t n = upper.size();
    bool inWord = false, first = false, boundarySpace = false;
    std::size_t start = 0;
    std::uint64_t h = kFnvOffset;
    for (std::size_t q = 0; q < n;) {
        const std::size_t w = PairWidth(upper, q);
        if (upper[q] == ' ') {
            boundarySpace = true;
            inWord = first = true;
            start = q + 1;
            h = kFnvOffset;
        } else if (inWord) {
            if (w == 2 && upper[q + 1] == ' ') {
                inWord = false;  // the word ends inside this character
            } else {
                for (std::size_t k = q; k < q + w; ++k) h = (h ^ static_cast<unsigned char>(upper[k])) * kFnvPrime;
                if (!fn(h, start, q + w - start, w, first)) return boundarySpace;
                first = false;
            }
        }
        q += w;
    }
    return boundarySpace;
}

std::uint64_t WordHash(std::string_view word) {
    std::uint64_t h = kFnvOffset;
    for (unsigned char c : word) h = (h ^ c) * kFnvPrime;
    return Mix(h);
}

// A needle (an upper-cased tail) of one space and one word, the word not
// ending in a lead byte that could pair with the pool's next byte: what the
// prefix hash answers.
bool IsSimpleNeedle(std::string_view needle) {
    if (needle.empty() || needle[0] != ' ') return false;
    const std::string_view word = needle.substr(1);
    if (word.find(' ') != std::string_view::npos) return false;
    if (word.empty()) return true;
    std::size_t last = 0;
    for (std::size_t k = 0; k < word.size();) {
        last = k;
        k += PairWidth(word, k);
    }
    return !(IsLeadByte(static_cast<unsigned char>(word[last])) && last + 1 == word.size());
}

}  // namespace

PoolIndex::PoolIndex(std::string_view pool) {
    upper_ = UpperText(UpToNul(pool));
    const std::size_t n = upper_.size();
    if (n == 0) return;
    // Positions are 32 bits here and in the suffix array (divsufsort's int32).
    CheckLimit(n, "bytes of word tails in one pool", kMaxPoolBytes);

    std::size_t prefixes = 0;
    hasBoundarySpace_ = ForEachPrefix(upper_, [&](std::uint64_t, std::size_t, std::size_t, std::size_t, bool) {
        ++prefixes;
        return true;
    });
    // At most two thirds full (fewer where prefixes repeat): half the memory
    // of a half-full table, and probes still short.
    std::size_t size = 16;
    while (2 * size < 3 * prefixes) size <<= 1;
    slots_.assign(size, Slot{});
    mask_ = size - 1;
    // A prefix is its one-character-shorter prefix plus its last character,
    // and each distinct prefix has one slot: two prefixes are the same when
    // their shorter prefixes share a slot and their last characters agree.
    // That compares a character, not the whole prefix, however often a long
    // word repeats.
    constexpr std::uint32_t kNone = UINT32_MAX;
    std::vector<std::uint32_t> shorter(size, kNone);
    std::uint32_t previous = kNone;
    ForEachPrefix(upper_, [&](std::uint64_t h, std::size_t pos, std::size_t len, std::size_t w, bool first) {
        if (first) previous = kNone;
        const std::uint64_t m = Mix(h);
        const std::uint32_t tag = static_cast<std::uint32_t>(m >> 32);
        const std::size_t last = len - w;
        for (std::uint64_t i = m & mask_;; i = (i + 1) & mask_) {
            Slot& s = slots_[i];
            if (s.len == 0) {
                s = {tag, static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(len)};
                shorter[i] = previous;
                previous = static_cast<std::uint32_t>(i);
                return true;
            }
            if (s.tag == tag && s.len == len && shorter[i] == previous &&
                (bytesCompared_ += w, SameBytes(upper_.data() + s.pos + last, upper_.data() + pos + last, w))) {
                previous = static_cast<std::uint32_t>(i);
                return true;
            }
        }
    });
}

bool PoolIndex::containsWord(std::string_view word) const {
    const std::uint64_t m = WordHash(word);
    const std::uint32_t tag = static_cast<std::uint32_t>(m >> 32);
    for (std::uint64_t i = m & mask_;; i = (i + 1) & mask_) {
        const Slot& s = slots_[i];
        if (s.len == 0) return false;
        if (s.tag == tag && s.len == word.size() && SameBytes(upper_.data() + s.pos, word.data(), word.size()))
            return true;
    }
}

bool PoolIndex::contains(std::string_view tail) const {
    thread_local std::string needle;
    needle.assign(UpToNul(tail));
    UpperTextInPlace(needle);
    if (needle.empty() || upper_.empty()) return false;
    if (IsSimpleNeedle(needle)) {
        // One space and one word: the word must begin some word of the pool.
        const std::string_view word = std::string_view(needle).substr(1);
        return word.empty() ? hasBoundarySpace_ : containsWord(word);
    }
    return searchSuffixes(needle);
}

std::vector<char> PoolMembership(std::string_view pool, std::size_t count,
                                 const std::function<std::string_view(std::size_t)>& tailAt,
                                 std::size_t* bytesCompared) {
    std::vector<char> in(count, 0);
    const std::string upper = UpperText(UpToNul(pool));
    if (upper.empty() || count == 0) return in;
    CheckLimit(upper.size(), "bytes of word tails in one pool", PoolIndex::kMaxPoolBytes);
    CheckLimit(count, "word tails looked up in one pool", kMaxUint32 - 2);
    // The tails' words, upper-cased, each distinct word once, in a hash by
    // the same hash as the pool's prefixes.
    constexpr std::uint32_t kNoWord = UINT32_MAX, kEmptyWord = UINT32_MAX - 1;
    std::vector<std::uint32_t> wordOf(count, kNoWord);
    std::string words;
    std::vector<std::uint32_t> wordStart{0};
    struct Slot {
        std::uint32_t tag = 0;
        std::uint32_t word = kNoWord;  // kNoWord: empty slot
    };
    std::size_t size = 16;
    while (2 * size < 3 * count) size <<= 1;
    std::vector<Slot> slots(size);
    const std::uint64_t mask = size - 1;
    // Tails are taken in batches, and the slots of a batch fetched from
    // memory before any is looked at: random probes into a table of
    // megabytes wait on memory, and this waits for a batch at once.
    constexpr std::size_t kBatch = 32;
    struct Pending {
        std::uint64_t hash;
        std::uint32_t at, length;  // of the word: in `batch` or in `upper`
        std::size_t index;         // the tail's
    };
    std::array<Pending, kBatch> pending{};
    std::size_t pendingCount = 0;
    std::string batch, needle;
    auto insertPending = [&] {
        for (std::size_t b = 0; b < pendingCount; ++b) __builtin_prefetch(&slots[pending[b].hash & mask]);
        for (std::size_t b = 0; b < pendingCount; ++b) {
            const Pending& p = pending[b];
            const std::string_view word(batch.data() + p.at, p.length);
            const auto tag = static_cast<std::uint32_t>(p.hash >> 32);
            for (std::uint64_t k = p.hash & mask;; k = (k + 1) & mask) {
                Slot& slot = slots[k];
                if (slot.word == kNoWord) {
                    CheckLimit(words.size() + word.size(), "bytes of words looked up in one pool", kMaxUint32);
                    slot = {tag, static_cast<std::uint32_t>(wordStart.size() - 1)};
                    words.append(word);
                    wordStart.push_back(static_cast<std::uint32_t>(words.size()));
                    wordOf[p.index] = slot.word;
                    break;
                }
                if (slot.tag == tag && std::string_view(words.data() + wordStart[slot.word],
                                                        wordStart[slot.word + 1] - wordStart[slot.word]) == word) {
                    wordOf[p.index] = slot.word;
                    break;
                }
            }
        }
        pendingCount = 0;
        batch.clear();
    };
    for (std::size_t i = 0; i < count; ++i) {
        needle.assign(UpToNul(tailAt(i)));
        UpperTextInPlace(needle);
        if (needle.empty()) continue;
        if (!IsSimpleNeedle(needle)) {
            // Another shape (rare): the full index answers every tail.
            const PoolIndex index(pool);
            for (std::size_t k = 0; k < count; ++k) in[k] = index.contains(tailAt(k)) ? 1 : 0;
            if (bytesCompared) *bytesCompared = index.bytesCompared();
            return in;
        }
        const std::string_view word = std::string_view(needle).substr(1);
        if (word.empty()) {
            wordOf[i] = kEmptyWord;
            continue;
        }
        pending[pendingCount++] = {WordHash(word), static_cast<std::uint32_t>(batch.size()),
                                   static_cast<std::uint32_t>(word.size()), i};
        batch.append(word);
        if (pendingCount == kBatch) insertPending();
    }
    insertPending();

    // One walk over the pool's prefixes, each looked up among the words (in
    // batches, as above): a word found is not compared again, so the bytes
    // compared stay within the words' own, however often the pool repeats
    // them.
    const std::size_t distinct = wordStart.size() - 1;
    std::vector<char> found(distinct, 0);
    std::size_t left = distinct, compared = 0;
    auto probePending = [&] {
        for (std::size_t b = 0; b < pendingCount; ++b) __builtin_prefetch(&slots[pending[b].hash & mask]);
        for (std::size_t b = 0; b < pendingCount && left > 0; ++b) {
            const Pending& p = pending[b];
            const auto tag = static_cast<std::uint32_t>(p.hash >> 32);
            for (std::uint64_t k = p.hash & mask;; k = (k + 1) & mask) {
                const Slot& slot = slots[k];
                if (slot.word == kNoWord) break;
                if (slot.tag != tag || found[slot.word]) continue;
                const std::size_t begin = wordStart[slot.word];
                if (wordStart[slot.word + 1] - begin != p.length) continue;
                compared += p.length;
                if (SameBytes(words.data() + begin, upper.data() + p.at, p.length)) {
                    found[slot.word] = 1;
                    --left;
                    break;
                }
            }
        }
        pendingCount = 0;
        return left > 0;
    };
    bool boundarySpace =
        ForEachPrefix(upper, [&](std::uint64_t h, std::size_t pos, std::size_t len, std::size_t, bool) {
            if (left == 0) return false;
            pending[pendingCount++] = {Mix(h), static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(len), 0};
            return pendingCount < kBatch || probePending();
        });
    probePending();
    // The walk stops only at a prefix, which follows a space: whether there
    // is one is known either way.
    for (std::size_t i = 0; i < count; ++i) {
        if (wordOf[i] == kNoWord) continue;
        in[i] = wordOf[i] == kEmptyWord ? (boundarySpace ? 1 : 0) : found[wordOf[i]];
    }
    if (bytesCompared) *bytesCompared = compared;
    return in;
}

void PoolIndex::buildSuffixArray() const {
    const std::size_t n = upper_.size();
    sa_.resize(n);
    if (divsufsort(reinterpret_cast<const sauchar_t*>(upper_.data()), sa_.data(), static_cast<saidx_t>(n)) != 0)
        throw Failure("Suffix sorting failed");
    std::vector<bool> boundary(n, false);
    for (std::size_t i = 0; i < n; i += PairWidth(upper_, i)) boundary[i] = true;
    boundaryBefore_.resize(n + 1);
    boundaryBefore_[0] = 0;
    for (std::size_t k = 0; k < n; ++k)
        boundaryBefore_[k + 1] = boundaryBefore_[k] + (boundary[static_cast<std::size_t>(sa_[k])] ? 1 : 0);
    suffixesBuilt_ = true;
}

bool PoolIndex::searchSuffixes(std::string_view needle) const {
    if (!suffixesBuilt_) buildSuffixArray();
    saidx_t left = 0;
    saidx_t count = sa_search(reinterpret_cast<const sauchar_t*>(upper_.data()), static_cast<saidx_t>(upper_.size()),
                              reinterpret_cast<const sauchar_t*>(needle.data()), static_cast<saidx_t>(needle.size()),
                              sa_.data(), static_cast<saidx_t>(sa_.size()), &left);
    if (count <= 0) return false;
    return boundaryBefore_[static_cast<std::size_t>(left) + static_cast<std::size_t>(count)] -
               boundaryBefore_[static_cast<std::size_t>(left)] >
           0;
}

}  // namespace zelmora

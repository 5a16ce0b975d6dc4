#include "core/code_table.h"

#include <divsufsort.h>

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

}  // namespace

PoolIndex::PoolIndex(std::string_view pool) {
    upper_ = UpperText(UpToNul(pool));
    const std::size_t n = upper_.size();
    if (n == 0) return;
    // Positions are 32 bits here and in the suffix array (divsufsort's int32).
    CheckLimit(n, "bytes of word tails in one pool", kMaxPoolBytes);

    // Character boundaries are where PositionOf tries a match (PairWidth).
    // Each word of the pool starts after a space on a character boundary and
    // runs to the next space byte. Every prefix of it that ends on a character
    // boundary goes into the hash, once. `fn` gets the prefix's hash, start,
    // length and the width of its last character, and whether it is the
    // first prefix of its word.
    auto forEachPrefix = [&](auto&& fn) {
        bool inWord = false, first = false;
        std::size_t start = 0;
        std::uint64_t h = kFnvOffset;
        for (std::size_t q = 0; q < n;) {
            const std::size_t w = PairWidth(upper_, q);
            if (upper_[q] == ' ') {
                hasBoundarySpace_ = true;
                inWord = first = true;
                start = q + 1;
                h = kFnvOffset;
            } else if (inWord) {
                if (w == 2 && upper_[q + 1] == ' ') {
                    inWord = false;  // the word ends inside this character
                } else {
                    for (std::size_t k = q; k < q + w; ++k) h = (h ^ static_cast<unsigned char>(upper_[k])) * kFnvPrime;
                    fn(h, start, q + w - start, w, first);
                    first = false;
                }
            }
            q += w;
        }
    };
    std::size_t prefixes = 0;
    forEachPrefix([&](std::uint64_t, std::size_t, std::size_t, std::size_t, bool) { ++prefixes; });
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
    forEachPrefix([&](std::uint64_t h, std::size_t pos, std::size_t len, std::size_t w, bool first) {
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
                return;
            }
            if (s.tag == tag && s.len == len && shorter[i] == previous &&
                (bytesCompared_ += w, SameBytes(upper_.data() + s.pos + last, upper_.data() + pos + last, w))) {
                previous = static_cast<std::uint32_t>(i);
                return;
            }
        }
    });
}

bool PoolIndex::containsWord(std::string_view word) const {
    std::uint64_t h = kFnvOffset;
    for (unsigned char c : word) h = (h ^ c) * kFnvPrime;
    const std::uint64_t m = Mix(h);
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
    if (needle[0] == ' ') {
        // One space and one word: the word must begin some word of the pool.
        std::string_view word = std::string_view(needle).substr(1);
        bool simple = word.find(' ') == std::string_view::npos;
        if (simple && !word.empty()) {
            // A lead byte at the end of the word may pair with the pool's next
            // byte; leave that to the full search.
            std::size_t last = 0;
            for (std::size_t k = 0; k < word.size();) {
                last = k;
                k += PairWidth(word, k);
            }
            simple = !(IsLeadByte(static_cast<unsigned char>(word[last])) && last + 1 == word.size());
        }
        if (simple) return word.empty() ? hasBoundarySpace_ : containsWord(word);
    }
    return searchSuffixes(needle);
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

#pragma once
// Code-table notions: code length, word tail, tail pool and pool membership.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zelmora {

// Code length: PositionOf(space) - 1, or -1 when the line has no space on a
// character boundary (at most INT32_MAX for a space beyond that).
int CodeLength(std::string_view line);

// From the first space byte (found by bytes) to the end; empty without a space.
std::string_view WordTail(std::string_view line);

// Exact, fast pool membership: the same answers as
// ContainsIgnoringCase(pool, tail). A tail of one space and one word (the
// usual entry line) is looked up in a hash of every character-boundary prefix
// of the pool's space-led words; any other tail is searched in a suffix array
// of the upper-cased pool, built on first need, in O(|tail| log |pool|).
// An index is used by one thread at a time.
// Pools beyond kMaxPoolBytes fail (Failure).
class PoolIndex {
public:
    static constexpr std::size_t kMaxPoolBytes = 0x7FFFFFF0u;
    PoolIndex() = default;
    explicit PoolIndex(std::string_view pool);
    bool contains(std::string_view tail) const;
    std::size_t size() const { return upper_.size(); }
    // Bytes compared while building: never more than the pool's size,
    // however often its words repeat.
    std::size_t bytesCompared() const { return bytesCompared_; }

private:
    struct Slot {
        std::uint32_t tag = 0;
        std::uint32_t pos = 0;
        std::uint32_t len = 0;  // 0: empty
    };
    bool containsWord(std::string_view word) const;
    bool searchSuffixes(std::string_view needle) const;
    void buildSuffixArray() const;

    std::string upper_;
    bool hasBoundarySpace_ = false;
    std::vector<Slot> slots_;
    std::uint64_t mask_ = 0;
    std::size_t bytesCompared_ = 0;
    mutable bool suffixesBuilt_ = false;
    mutable std::vector<int32_t> sa_;
    // boundaryBefore_[k]: how many of sa_[0..k) start on a character boundary.
    mutable std::vector<int32_t> boundaryBefore_;
};

// For each of `count` tails (tailAt(i)), what PoolIndex(pool).contains
// gives. When every tail is a space and one word (the usual shape), the
// tails' words are hashed and the pool's prefixes walked once against them:
// room by the tails rather than by every prefix of the pool. Otherwise a
// PoolIndex answers. `bytesCompared`, when given, gets the bytes compared.
std::vector<char> PoolMembership(std::string_view pool, std::size_t count,
                                 const std::function<std::string_view(std::size_t)>& tailAt,
                                 std::size_t* bytesCompared = nullptr);

}  // namespace zelmora

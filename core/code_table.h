#pragma once
// Code-table notions: code length, word tail, tail pool and pool membership.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelmora {

// Code length: PositionOf(space) - 1, or -1 when the line has no space on a
// character boundary.
int CodeLength(std::string_view line);

// From the first space byte (found by bytes) to the end; empty without a space.
std::string_view WordTail(std::string_view line);

// Literal pool membership: ContainsIgnoringCase(pool, word tail of line).
bool PoolContainsLine(std::string_view pool, std::string_view line);

// Exact, fast pool membership: a case-insensitive substring test at a
// character boundary of the pool, answered from a suffix array of the
// upper-cased pool in O(|tail| log |pool|).
class PoolIndex {
public:
    PoolIndex() = default;
    explicit PoolIndex(std::string_view pool);
    // Same answer as ContainsIgnoringCase(pool, tail).
    bool contains(std::string_view tail) const;
    std::size_t size() const { return upper_.size(); }

private:
    std::string upper_;
    std::vector<int32_t> sa_;
    // boundaryBefore_[k]: how many of sa_[0..k) start on a character boundary.
    std::vector<int32_t> boundaryBefore_;
};

}  // namespace zelmora

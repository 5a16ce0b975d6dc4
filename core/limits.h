#pragma once
// Sizes that some structures hold in 32 bits (offsets of a text arena, line
// indexes of a sort, ICU's string lengths). A table beyond them fails with a
// message that says so, instead of wrapping around.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "core/failure.h"

namespace zelmora {

inline constexpr std::size_t kMaxUint32 = std::numeric_limits<std::uint32_t>::max();
inline constexpr std::size_t kMaxInt32 = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

// "Table too large: <count> <what> (limit <limit>)"
[[noreturn]] inline void FailTooLarge(std::size_t count, const char* what, std::size_t limit) {
    throw Failure("Table too large: " + std::to_string(count) + " " + what + " (limit " + std::to_string(limit) + ")");
}

// Fails when `count` exceeds `limit`.
inline void CheckLimit(std::size_t count, const char* what, std::size_t limit) {
    if (count > limit) FailTooLarge(count, what, limit);
}

}  // namespace zelmora

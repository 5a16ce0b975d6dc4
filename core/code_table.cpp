#include "core/code_table.h"

#include <divsufsort.h>

#include <cstring>

#include "core/failure.h"
#include "core/text.h"

namespace zelmora {

int CodeLength(std::string_view line) {
    std::size_t p = PositionOf(" ", line);
    return p == 0 ? -1 : static_cast<int>(p) - 1;
}

std::string_view WordTail(std::string_view line) {
    line = UpToNul(line);
    std::size_t s = line.find(' ');
    return s == std::string_view::npos ? std::string_view() : line.substr(s);
}

bool PoolContainsLine(std::string_view pool, std::string_view line) {
    return ContainsIgnoringCase(pool, WordTail(line));
}

PoolIndex::PoolIndex(std::string_view pool) {
    upper_ = UpperText(UpToNul(pool));
    const std::size_t n = upper_.size();
    if (n == 0) return;
    if (n > 0x7FFFFFF0u) throw Failure("Pool too large");
    sa_.resize(n);
    if (divsufsort(reinterpret_cast<const sauchar_t*>(upper_.data()), sa_.data(), static_cast<saidx_t>(n)) != 0)
        throw Failure("Suffix sorting failed");
    std::vector<bool> boundary(n, false);
    for (std::size_t i = 0; i < n;) {
        boundary[i] = true;
        i += (IsLeadByte(static_cast<unsigned char>(upper_[i])) && i + 1 < n) ? 2 : 1;
    }
    boundaryBefore_.resize(n + 1);
    boundaryBefore_[0] = 0;
    for (std::size_t k = 0; k < n; ++k)
        boundaryBefore_[k + 1] = boundaryBefore_[k] + (boundary[static_cast<std::size_t>(sa_[k])] ? 1 : 0);
}

bool PoolIndex::contains(std::string_view tail) const {
    std::string needle = UpperText(UpToNul(tail));
    if (needle.empty() || upper_.empty()) return false;
    saidx_t left = 0;
    saidx_t count = sa_search(reinterpret_cast<const sauchar_t*>(upper_.data()), static_cast<saidx_t>(upper_.size()),
                              reinterpret_cast<const sauchar_t*>(needle.data()), static_cast<saidx_t>(needle.size()),
                              sa_.data(), static_cast<saidx_t>(sa_.size()), &left);
    if (count <= 0) return false;
    return boundaryBefore_[static_cast<std::size_t>(left + count)] - boundaryBefore_[static_cast<std::size_t>(left)] > 0;
}

}  // namespace zelmora

#pragma once
// Distinct strings numbered in the order they are first met, in an open
// addressing table of indices: a million codes or pairs without a node each.
// The strings are views into text that outlives the index.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zelmora::analysis {

inline std::uint64_t HashBytes(std::string_view s, std::uint64_t h = 1469598103934665603ull) {
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;  // FNV-1a
    return h;
}

class StringIndex {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    explicit StringIndex(std::size_t expected = 0) { grow(Capacity(expected)); }

    // The number of `key`, given it if new.
    std::uint32_t intern(std::string_view key) { return insert(key, HashBytes(key)); }
    std::uint32_t find(std::string_view key) const { return lookup(key, HashBytes(key)); }

    // The same for keys made of two parts (a code and a word): the views are
    // kept apart, so nothing is joined.
    std::uint32_t intern(std::string_view a, std::string_view b) { return insert2(a, b, Hash2(a, b)); }
    std::uint32_t find(std::string_view a, std::string_view b) const { return lookup2(a, b, Hash2(a, b)); }

    std::size_t size() const { return first_.size(); }
    std::string_view key(std::uint32_t id) const { return first_[id]; }

private:
    static std::size_t Capacity(std::size_t n) {
        std::size_t c = 1024;
        while (c < n * 2) c *= 2;
        return c;
    }
    static std::uint64_t Mix(std::uint64_t h) { return h ^ (h >> 29); }
    static std::uint64_t Hash2(std::string_view a, std::string_view b) {
        return HashBytes(b, HashBytes(a) * 31 + 0x9E3779B97F4A7C15ull);
    }

    std::uint32_t insert(std::string_view key, std::uint64_t h) {
        if ((first_.size() + 1) * 2 > slots_.size()) grow(slots_.size() * 2);
        for (std::size_t i = Mix(h) & mask_;; i = (i + 1) & mask_) {
            const std::uint32_t s = slots_[i];
            if (s == kNone) {
                slots_[i] = static_cast<std::uint32_t>(first_.size());
                first_.push_back(key);
                second_.emplace_back();
                hashes_.push_back(h);
                return slots_[i];
            }
            if (hashes_[s] == h && first_[s] == key) return s;
        }
    }
    std::uint32_t lookup(std::string_view key, std::uint64_t h) const {
        for (std::size_t i = Mix(h) & mask_;; i = (i + 1) & mask_) {
            const std::uint32_t s = slots_[i];
            if (s == kNone) return kNone;
            if (hashes_[s] == h && first_[s] == key) return s;
        }
    }
    std::uint32_t insert2(std::string_view a, std::string_view b, std::uint64_t h) {
        if ((first_.size() + 1) * 2 > slots_.size()) grow(slots_.size() * 2);
        for (std::size_t i = Mix(h) & mask_;; i = (i + 1) & mask_) {
            const std::uint32_t s = slots_[i];
            if (s == kNone) {
                slots_[i] = static_cast<std::uint32_t>(first_.size());
                first_.push_back(a);
                second_.push_back(b);
                hashes_.push_back(h);
                return slots_[i];
            }
            if (hashes_[s] == h && first_[s] == a && second_[s] == b) return s;
        }
    }
    std::uint32_t lookup2(std::string_view a, std::string_view b, std::uint64_t h) const {
        for (std::size_t i = Mix(h) & mask_;; i = (i + 1) & mask_) {
            const std::uint32_t s = slots_[i];
            if (s == kNone) return kNone;
            if (hashes_[s] == h && first_[s] == a && second_[s] == b) return s;
        }
    }
    void grow(std::size_t size) {
        slots_.assign(size, kNone);
        mask_ = size - 1;
        for (std::uint32_t s = 0; s < hashes_.size(); ++s) {
            std::size_t i = Mix(hashes_[s]) & mask_;
            while (slots_[i] != kNone) i = (i + 1) & mask_;
            slots_[i] = s;
        }
    }

    std::vector<std::uint32_t> slots_;
    std::size_t mask_ = 0;
    std::vector<std::string_view> first_, second_;
    std::vector<std::uint64_t> hashes_;
};

}  // namespace zelmora::analysis

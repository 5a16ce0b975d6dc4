#pragma once
// An ordered list of byte-string lines: duplicates allowed, never kept sorted.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/failure.h"

namespace zelmora {

class LineList {
public:
    LineList() = default;
    explicit LineList(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    std::size_t count() const { return lines_.size(); }
    bool empty() const { return lines_.empty(); }

    // Checked access: an index outside 0..count-1 raises the list error.
    const std::string& at(long long i) const {
        check(i);
        return lines_[static_cast<std::size_t>(i)];
    }
    std::size_t append(std::string line) {
        lines_.push_back(std::move(line));
        return lines_.size() - 1;
    }
    void clear() { lines_.clear(); }
    void removeAt(long long i) {
        check(i);
        lines_.erase(lines_.begin() + i);
    }
    void replaceAt(long long i, std::string text) {
        check(i);
        lines_[static_cast<std::size_t>(i)] = std::move(text);
    }
    // Takes the line at `from` out and inserts it so that it stands at `to`.
    void move(long long from, long long to);
    void reserve(std::size_t n) { lines_.reserve(n); }

    // Unchecked views for the fast paths of the derivations.
    const std::vector<std::string>& lines() const { return lines_; }
    std::vector<std::string>& lines() { return lines_; }
    auto begin() const { return lines_.begin(); }
    auto end() const { return lines_.end(); }

    bool operator==(const LineList& other) const { return lines_ == other.lines_; }

private:
    void check(long long i) const {
        if (i < 0 || static_cast<std::size_t>(i) >= lines_.size()) throw ListIndexError(i);
    }
    std::vector<std::string> lines_;
};

}  // namespace zelmora

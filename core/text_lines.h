#pragma once
// Lines of one text, each kept as its offset and length in 32 bits: half the
// room of a view, for lists that hold most of a big table's lines for as long
// as its derivations run. The text must outlive the list.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/limits.h"

namespace zelmora {

class TextLines {
public:
    TextLines() = default;
    explicit TextLines(std::string_view text) : text_(text) {
        CheckLimit(text.size(), "bytes of the one-word-per-line table", kMaxUint32);
    }

    std::size_t size() const { return spans_.size(); }
    bool empty() const { return spans_.empty(); }
    void reserve(std::size_t n) { spans_.reserve(n); }
    // Room for n lines, each set once with set(): so that parts of a list
    // can be filled at once.
    void resize(std::size_t n) { spans_.resize(n); }
    void set(std::size_t i, std::string_view line) {
        spans_[i] = {static_cast<std::uint32_t>(line.data() - text_.data()), static_cast<std::uint32_t>(line.size())};
    }

    // `line` is a view into the text.
    void push_back(std::string_view line) {
        spans_.push_back(
            {static_cast<std::uint32_t>(line.data() - text_.data()), static_cast<std::uint32_t>(line.size())});
    }
    std::string_view operator[](std::size_t i) const {
        return std::string_view(text_.data() + spans_[i].offset, spans_[i].length);
    }
    // Every line, in order, as views at the end of `out`.
    void appendTo(std::vector<std::string_view>& out) const {
        out.reserve(out.size() + spans_.size());
        for (std::size_t i = 0; i < spans_.size(); ++i) out.push_back((*this)[i]);
    }

private:
    struct Span {
        std::uint32_t offset;
        std::uint32_t length;
    };
    std::string_view text_;
    std::vector<Span> spans_;
};

}  // namespace zelmora

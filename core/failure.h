#pragma once
// The failures the system raises. A command ends at the first one; the window
// (or the command-line tool) shows its message.
#include <stdexcept>
#include <string>

namespace zelmora {

class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message) : std::runtime_error(message) {}
};

// "List index out of bounds (%d)"
class ListIndexError : public Failure {
public:
    explicit ListIndexError(long long index)
        : Failure("List index out of bounds (" + std::to_string(index) + ")"), index_(index) {}
    long long index() const { return index_; }

private:
    long long index_;
};

}  // namespace zelmora

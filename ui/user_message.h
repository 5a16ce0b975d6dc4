#pragma once
// A message for the user in the window's own words (UTF-8), shown as it is:
// no full stop appended as to the failures' messages.
#include <stdexcept>

namespace zelmora {

class UserMessage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace zelmora

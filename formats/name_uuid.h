#pragma once
// Internal to formats/ (and its tests): name-based UUIDs for fresh headers.
#include <string>
#include <string_view>

namespace zelmora::formats {

// A UUID (version 5) made from a table name: the same name, the same UUID.
std::string NameUuid(std::string_view name);

}  // namespace zelmora::formats

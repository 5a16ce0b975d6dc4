#pragma once
// Weights as written back to tables whose engine orders candidates by them
// (Rime "sort: by_weight", ibus-table): read as the reader reads them, and
// written as whole numbers.
#include <optional>
#include <string>

namespace zelmora::tune {

// A weight as the reader orders candidates by it: none reads as 0.
double WeightValue(const std::optional<std::string>& weight);

// A whole number's digits, without exponent or decimals.
std::string WholeNumber(double value);

}  // namespace zelmora::tune

#include "tune/weights.h"

#include <cstdio>
#include <cstdlib>

namespace zelmora::tune {

double WeightValue(const std::optional<std::string>& weight) {
    return weight ? std::strtod(weight->c_str(), nullptr) : 0.0;
}

std::string WholeNumber(double value) {
    char text[400];  // room for the largest double's digits
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

}  // namespace zelmora::tune

#include "document/format_value.h"

#include <charconv>
#include <cmath>

namespace zentra {

void AppendFormattedValue(std::string& out, double value) {
    if (std::isnan(value))
        value = 0.0;
    const double magnitude = std::fabs(value);
    const int decimals = magnitude < 10.0 ? 3 : magnitude < 100.0 ? 2 : magnitude < 1000.0 ? 1 : 0;
    // Fixed notation of the largest double has 309 digits before the point.
    char buffer[340];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    out.append(buffer, result.ptr);
}

std::string FormatValue(double value) {
    std::string text;
    AppendFormattedValue(text, value);
    return text;
}

} // namespace zentra

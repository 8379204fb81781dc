// The number-to-text rule shared by the data tables and the CSV rows: three decimals
// below 10, two below 100, one below 1000, none above; a value that is not a number
// shows as 0.000. The text never depends on the user's locale (always a point).
#pragma once

#include <string>

namespace zentra {

std::string FormatValue(double value);

// Appends the FormatValue text of a value (no temporary string).
void AppendFormattedValue(std::string& out, double value);

} // namespace zentra

// Units of the logged readings, as the report prints them beside each figure, and the
// number texts of the report.
#pragma once

#include "records/readings_catalogue.h"

#include <string>
#include <string_view>

namespace zentra::report {

// "V", "A", "kW", "kVA", "kVAr", "kWh", "kVArh", "kVAh", "Ah", "Hz", "hp"; empty for
// the power factors and for anything without a unit.
std::string_view ReadingUnit(ReadingIndex index);

// A figure with as many decimals as its size deserves (the program's own rule for
// readings, FormatValue); "-" for a value that is not a number.
std::string NumberText(double value);
// A percentage with two decimals: "3.25 %".
std::string PercentText(double percent);

} // namespace zentra::report

#include "tools/report/report_units.h"

#include "document/format_value.h"

#include <cmath>
#include <cstdio>

namespace zentra::report {

std::string_view ReadingUnit(ReadingIndex index) {
    switch (index) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return "V";
    case 7:
    case 8:
    case 9:
    case 25:
    case 26:
    case 41:
        return "A";
    case 10:
    case 17:
    case 18:
    case 19:
    case 23:
    case 37:
    case 38:
    case 39:
        return "kW";
    case 11:
    case 24:
    case 27:
    case 28:
    case 29:
    case 40:
        return "kVA";
    case 12:
    case 20:
    case 21:
    case 22:
        return "kVAr";
    case 14:
    case 33:
        return "kWh";
    case 15:
    case 34:
        return "kVArh";
    case 35:
        return "kVAh";
    case 36:
        return "Ah";
    case 16:
        return "Hz";
    case kHorsePowerReading:
        return "hp";
    default:
        return {};
    }
}

std::string NumberText(double value) {
    if (std::isnan(value))
        return "-";
    return FormatValue(value);
}

std::string PercentText(double percent) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %%", percent);
    return text;
}

} // namespace zentra::report

// The catalogue of readings: every electrical quantity is named by a small integer,
// the reading index, and its label is derived from it whenever text is needed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zentra {

// 0 = no reading ("OFF"); 1..48 = positions of the meter's readings block in its
// standard layout; 49 = horse power, derived from "kW Sum".
using ReadingIndex = std::int32_t;

inline constexpr ReadingIndex kReadingOff = 0;
inline constexpr ReadingIndex kReadingKwSum = 10;
inline constexpr ReadingIndex kHorsePowerReading = 49;
inline constexpr int kBlockReadings = 48;     // floats in the meter's readings block
inline constexpr int kLoggedColumnCount = 23; // columns of the full list
inline constexpr int kShortColumnCount = 9;   // columns of the reduced list
inline constexpr std::size_t kLabelCapacity = 30;
inline constexpr double kKilowattsPerHorsePower = 0.7457;

// Readings logged and offered for meters with the full parameter set.
inline constexpr std::array<ReadingIndex, kLoggedColumnCount> LoggedColumns{
    1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 23, 24, 25, 26, 38, 40, 41};

// Readings logged and offered for meter variants 3 and 6 (reduced parameter set).
inline constexpr std::array<ReadingIndex, kShortColumnCount> ShortLoggedColumns{4,  7,  10, 14, 23,
                                                                                25, 38, 41, 49};

// Meter variants 3 and 6 deliver the reduced parameter set.
constexpr bool UsesShortList(std::int32_t systemType) {
    return systemType == 3 || systemType == 6;
}

// The logged column list for a meter variant.
constexpr std::span<const ReadingIndex> ColumnsFor(std::int32_t systemType) {
    if (UsesShortList(systemType))
        return ShortLoggedColumns;
    return LoggedColumns;
}

// Label of a reading index: "OFF" for 0, "h.p." for 49, empty for 42..48 and for
// anything outside 0..49.
std::string_view ReadingLabel(ReadingIndex index);

// Writes the label into a caller's fixed text buffer (always NUL-terminated).
void ReadingLabel(ReadingIndex index, char* buffer, std::size_t capacity);

// Exact, case-sensitive lookup among the labels of 1..41 and "h.p."; 0 when none
// matches (callers treat "OFF" themselves).
ReadingIndex ReadingFromLabel(std::string_view label);

// Horse power of a "kW Sum" value in kW.
inline double HorsePowerOf(double kwSum) {
    return kwSum / kKilowattsPerHorsePower;
}

// Horse power of a logged record of the reduced list, whose element 3 holds "kW Sum"
// (element k + 1 holds column k of the list). A live ring slot is in the meter's
// block order: see LiveReading.
static_assert(ShortLoggedColumns[2] == kReadingKwSum);
inline double HorsePower(const double* record) {
    return HorsePowerOf(record[3]);
}

} // namespace zentra

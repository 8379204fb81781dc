// Plain fields of the "Logging Setup" page and the arithmetic behind its sample-count
// line, kept apart from the widgets so that the transfers and the counting can be
// checked on their own.
#pragma once

#include "document/zentra_doc.h"
#include "records/calendar.h"

#include <array>
#include <cstdint>
#include <string>

namespace zentra {

// Unit lists 1108 and 1110: index 0 "Sec", 1 "Min", 2 "Hrs".
inline constexpr int kUnitNone = -1;
inline constexpr std::array<const char*, 3> kTimeUnitNames{"Sec", "Min", "Hrs"};
inline constexpr std::array<std::int32_t, 3> kUnitSeconds{1, 60, 3600};

// Both the frequency and the duration are counted in units, 1..100000 of them.
inline constexpr std::int32_t kTimingValueMin = 1;
inline constexpr std::int32_t kTimingValueMax = 100000;

// The unit index for a stored multiplier (1, 60, 3600), or kUnitNone for another value.
int UnitIndexFor(std::int32_t multiplierSeconds);
// The multiplier for a unit index; kUnitNone (or any unknown index) counts as seconds.
std::int64_t SecondsPerUnit(int unitIndex);

struct SampleCount {
    std::int64_t periodSeconds = 0; // never 0: a zero period counts as 1
    std::int64_t durationSeconds = 0;
    std::int64_t samples = 0;   // duration / period, rounded down
    bool periodWasZero = false; // the frequency value gave 0 seconds
};

// Values are counts of units; a negative count is treated as 0.
SampleCount CountSamples(std::int64_t frequency, int frequencyUnit, std::int64_t duration,
                         int durationUnit);

// "Samples = %d", or "Samples = %d (Max %d exceded)" above kMaxSamples.
std::string SampleLine(std::int64_t samples);

struct LogSetupData {
    std::int32_t frequency = 0;      // edit 1104, in frequency units
    int frequencyUnit = kUnitNone;   // list 1108
    std::int32_t duration = 0;       // edit 1106, in duration units
    int durationUnit = kUnitNone;    // list 1110
    std::int32_t delayedStart = 0;   // check box 1125; the negation of m_StartImmediately
    std::uint32_t periodSeconds = 0; // computed when the page closes
    std::uint32_t durationSeconds = 0;
    std::uint32_t sampleCount = 0;
    DayNumber startDate = 0;
    std::int32_t startHour = 0;
    std::int32_t startMinute = 0;
    std::int32_t startSecond = 0;
    std::array<std::string, kSelectedParameters> offeredLabels{};   // availableList source
    std::array<std::string, kSelectedParameters> printableLabels{}; // "" = empty slot
    std::uint8_t locked = 0;
    std::uint8_t settingsValid = 1; // 0 when the sample count reaches kMaxSamples
};

// What the page does as it closes: the period and duration in seconds and the sample
// count from the stored values and unit selections, and settingsValid.
void FinishLogSetup(LogSetupData& data);

} // namespace zentra

#include "settings/log_setup_data.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace zentra {

int UnitIndexFor(std::int32_t multiplierSeconds) {
    for (int i = 0; i < static_cast<int>(kUnitSeconds.size()); ++i)
        if (kUnitSeconds[static_cast<std::size_t>(i)] == multiplierSeconds)
            return i;
    return kUnitNone;
}

std::int64_t SecondsPerUnit(int unitIndex) {
    if (unitIndex >= 0 && unitIndex < static_cast<int>(kUnitSeconds.size()))
        return kUnitSeconds[static_cast<std::size_t>(unitIndex)];
    return 1;
}

namespace {
// Units times seconds per unit; the cap keeps absurd stored values from overflowing
// and still compares as "far too long".
std::int64_t ToSeconds(std::int64_t count, int unitIndex) {
    constexpr std::int64_t kCap = std::numeric_limits<std::uint32_t>::max();
    if (count <= 0)
        return 0;
    return std::min(count, kCap) * SecondsPerUnit(unitIndex);
}
} // namespace

SampleCount CountSamples(std::int64_t frequency, int frequencyUnit, std::int64_t duration,
                         int durationUnit) {
    SampleCount count;
    count.periodSeconds = ToSeconds(frequency, frequencyUnit);
    count.durationSeconds = ToSeconds(duration, durationUnit);
    if (count.periodSeconds == 0) {
        count.periodSeconds = 1;
        count.periodWasZero = true;
    }
    count.samples = count.durationSeconds / count.periodSeconds;
    return count;
}

std::string SampleLine(std::int64_t samples) {
    char line[80] = {};
    if (samples <= kMaxSamples)
        std::snprintf(line, sizeof line, "Samples = %lld", static_cast<long long>(samples));
    else
        std::snprintf(line, sizeof line, "Samples = %lld (Max %d exceded)",
                      static_cast<long long>(samples), kMaxSamples);
    return line;
}

void FinishLogSetup(LogSetupData& data) {
    const SampleCount count =
        CountSamples(data.frequency, data.frequencyUnit, data.duration, data.durationUnit);
    constexpr std::int64_t kMax32 = std::numeric_limits<std::uint32_t>::max();
    data.periodSeconds = static_cast<std::uint32_t>(std::min(count.periodSeconds, kMax32));
    data.durationSeconds = static_cast<std::uint32_t>(std::min(count.durationSeconds, kMax32));
    data.sampleCount = static_cast<std::uint32_t>(std::min(count.samples, kMax32));
    if (count.samples >= kMaxSamples)
        data.settingsValid = 0;
}

} // namespace zentra

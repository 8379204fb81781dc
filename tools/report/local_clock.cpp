#include "tools/report/local_clock.h"

#include <cstdio>

namespace zentra::report {
namespace {

constexpr std::int64_t kSecondsPerMinute = 60;
constexpr std::int64_t kSecondsPerHour = 3600;
constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

std::int64_t UtcOffsetAt(std::int64_t time) {
    return static_cast<std::int64_t>(LocalTime(time).tm_gmtoff);
}

std::int64_t LocalClock::OffsetAt(std::int64_t time) {
    const std::int64_t slot = FloorDiv(time, kSlot);
    if (slot != slot_) {
        slot_ = slot;
        offset_ = UtcOffsetAt(slot * kSlot);
        steady_ = UtcOffsetAt(slot * kSlot + kSlot - 1) == offset_;
    }
    return steady_ ? offset_ : UtcOffsetAt(time);
}

std::int64_t DayStart(DayNumber day) {
    return LocalTimeOf(day / 10000, day / 100 % 100, day % 100, 0, 0, 0);
}

DayNumber NextDay(DayNumber day) {
    // Noon of the next day is never skipped or doubled by a summer-time change.
    const std::int64_t noon = LocalTimeOf(day / 10000, day / 100 % 100, day % 100 + 1, 12, 0, 0);
    return DayNumberOf(noon);
}

std::string IsoTime(std::int64_t time) {
    const std::tm tm = LocalTime(time);
    const long offset = tm.tm_gmtoff;
    const long magnitude = offset < 0 ? -offset : offset;
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                  tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  offset < 0 ? '-' : '+', magnitude / 3600, magnitude / 60 % 60);
    return text;
}

std::string ReportTime(std::int64_t time) {
    const std::tm tm = LocalTime(time);
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::string ReportDay(DayNumber day) {
    char text[kDayTextCapacity];
    return GetSystemDate::FromDayNumber(day, text);
}

std::string ReportClock(std::int64_t time) {
    const std::tm tm = LocalTime(time);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", tm.tm_hour, tm.tm_min);
    return text;
}

std::string DurationText(std::int64_t seconds) {
    char text[48];
    if (seconds < 0)
        seconds = 0;
    if (seconds < 2 * kSecondsPerMinute)
        std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(seconds));
    else if (seconds < kSecondsPerHour)
        std::snprintf(text, sizeof text, "%lld min %02lld s",
                      static_cast<long long>(seconds / kSecondsPerMinute),
                      static_cast<long long>(seconds % kSecondsPerMinute));
    else if (seconds < kSecondsPerDay)
        std::snprintf(text, sizeof text, "%lld h %02lld min",
                      static_cast<long long>(seconds / kSecondsPerHour),
                      static_cast<long long>(seconds / kSecondsPerMinute % 60));
    else
        std::snprintf(text, sizeof text, "%lld d %02lld h %02lld min",
                      static_cast<long long>(seconds / kSecondsPerDay),
                      static_cast<long long>(seconds / kSecondsPerHour % 24),
                      static_cast<long long>(seconds / kSecondsPerMinute % 60));
    return text;
}

} // namespace zentra::report

// Local time for the survey figures: the offset from UTC at a moment, cached so that
// a week of one-second samples does not ask the platform's time zone rules for every
// sample, and the texts the report and its JSON show times in.
#pragma once

#include "records/calendar.h"

#include <cstdint>
#include <string>

namespace zentra::report {

// Seconds east of UTC at a moment, in the platform's time zone (TZ).
std::int64_t UtcOffsetAt(std::int64_t time);

// The offset, remembered for a stretch of kSlot seconds: both ends of the stretch are
// looked up, and only a stretch whose ends differ (a summer-time change inside it) is
// looked up moment by moment.
class LocalClock {
  public:
    static constexpr std::int64_t kSlot = 900; // seconds; no zone changes twice in 15 min

    std::int64_t OffsetAt(std::int64_t time);
    // Seconds since 1970-01-01 00:00 of the local wall clock (time + offset).
    std::int64_t WallSeconds(std::int64_t time) { return time + OffsetAt(time); }

  private:
    std::int64_t slot_ = INT64_MIN;
    std::int64_t offset_ = 0;
    bool steady_ = false;
};

// Local midnight that begins the day of a DayNumber, and the one after it.
std::int64_t DayStart(DayNumber day);
DayNumber NextDay(DayNumber day);

// "2024-03-31T02:15:00+01:00": ISO 8601 with the local offset.
std::string IsoTime(std::int64_t time);
// "31/03/2024 02:15:00" as the report prints times (the program's day text and
// clock); "31/03/2024"; "02:15".
std::string ReportTime(std::int64_t time);
std::string ReportDay(DayNumber day);
std::string ReportClock(std::int64_t time);
// A length of time: "45 s", "12 min 30 s", "2 h 05 min", "3 d 04 h 00 min".
std::string DurationText(std::int64_t seconds);

} // namespace zentra::report

// Calendar and time helpers. GetSystemDate captures a moment in local time (the
// platform's TZ) and offers it as fixed-width text pieces; it also converts between
// the three date forms used throughout the program:
//   DayNumber  int32 YYYYMMDD             20130105
//   day text   DD/MM/YYYY                 05/01/2013
//   time text  Www Mmm DD HH:MM:SS YYYY   Sat Jan 05 14:03:09 2013 (24 characters)
// Every "current time" comes from platform::Now(), so tests can fix the clock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>

namespace zentra {

using DayNumber = std::int32_t; // YYYYMMDD

inline constexpr std::size_t kTimeTextCapacity = 100;  // m_TimeText
inline constexpr std::size_t kTimeTextLength = 24;     // Www Mmm DD HH:MM:SS YYYY
inline constexpr std::size_t kDayTextCapacity = 11;    // DD/MM/YYYY + NUL
inline constexpr std::size_t kNumberTextCapacity = 20; // bounded number texts
inline constexpr std::size_t kClockTextCapacity = 9;   // HH:MM:SS + NUL
inline constexpr std::size_t kNameCapacity = 4;        // "Jan", "Sun" + NUL

inline constexpr std::array<const char*, 12> kMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
inline constexpr std::array<const char*, 7> kWeekdayNames{"Sun", "Mon", "Tue", "Wed",
                                                          "Thu", "Fri", "Sat"};

class GetSystemDate {
  public:
    // Captures platform::Now().
    GetSystemDate();
    // Captures the given moment (seconds since 1970-01-01 UTC), e.g. a sample time.
    explicit GetSystemDate(std::int64_t time);
    virtual ~GetSystemDate();

    GetSystemDate(const GetSystemDate&) = default;
    GetSystemDate& operator=(const GetSystemDate&) = default;

    // Cuts the text pieces out of a time text by fixed character positions. A text
    // shorter than 24 characters gives empty/zero pieces for what is missing.
    // Returns 1.
    int ParseTimeText(const char* text);

    // Re-targets the instance to the date of a DD/MM/YYYY text, keeping the time of
    // day of m_Time; out-of-range days roll over (31/04 is 01/05, day 0 is the last
    // day of the previous month). m_Time is not changed. Returns 1.
    int SetDate(const char* dayText);

    // Moves the working time m_Tm by n seconds (may be negative); calls accumulate.
    // m_Time is not changed. Returns 1.
    int AddSeconds(std::int64_t n);

    // Writes the 24-character time text of a broken-down time (always
    // NUL-terminated, truncated to capacity - 1 characters).
    static void FormatTime(char* destination, std::size_t capacity, const std::tm& tm);

    // DD/MM/YYYY to YYYYMMDD. Non-digit fields count as 0.
    static DayNumber ToDayNumber(const char* dayText);

    // YYYYMMDD to DD/MM/YYYY; destination holds at least kDayTextCapacity characters.
    // Negative values and values above 99999999 give "00/00/0000"; shorter values
    // are read as YYYYMMDD with leading zeros (101 gives 01/01/0000). Returns
    // destination.
    static char* FromDayNumber(DayNumber dayNumber, char* destination);

    // "Jan".."Dec" to 1..12 (exact, case-sensitive); anything else gives 0.
    static int MonthFromName(const char* name);

    // Index 0..11 to "Jan".."Dec"; any other index leaves destination untouched.
    static void MonthName(int index, char* destination, std::size_t capacity);

    // Moment captured at construction; SetDate and AddSeconds leave it alone.
    std::int64_t m_Time = 0;
    std::tm m_Tm{};           // working copy, moved by SetDate / AddSeconds
    std::tm m_TmAtCreation{}; // local time at construction

    std::array<char, kTimeTextCapacity> m_TimeText{};
    std::array<char, 3> m_Day{};                     // "05"
    std::array<char, 3> m_Month{};                   // "01".."12"
    std::array<char, 3> m_Year2{};                   // "13"
    std::array<char, 3> m_Hour{};                    // "14", 24-hour clock
    std::array<char, 3> m_Minute{};                  // "03"
    std::array<char, 3> m_Second{};                  // "09"
    std::array<char, kDayTextCapacity> m_DateText{}; // "05/01/2013"
    std::array<char, kNameCapacity> m_WeekdayName{}; // "Sat"
    std::array<char, kNameCapacity> m_MonthName{};   // "Jan"
    std::array<char, 5> m_Year{};                    // "2013"
    std::array<char, kClockTextCapacity> m_Clock{};  // "14:03:09"

  private:
    void Capture(std::int64_t time);
    void Refresh(); // FormatTime(m_Tm) into m_TimeText, then ParseTimeText
};

// Bounded sprintf into a day-text buffer (at most kDayTextCapacity bytes including
// the NUL). Returns what snprintf returns.
int FormatDayText(char* destination, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Bounded sprintf into a number buffer (at most kNumberTextCapacity bytes).
int FormatNumberText(char* destination, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Local broken-down time of a moment (platform TZ).
std::tm LocalTime(std::int64_t time);
// Seconds since 1970 of a local date and time (month 1..12); fields out of range
// are normalised the way mktime does.
std::int64_t LocalTimeOf(int year, int month, int day, int hour, int minute, int second);
// DayNumber of a moment in local time, and of today (platform::Now()).
DayNumber DayNumberOf(std::int64_t time);
DayNumber TodayDayNumber();
// Writes the 24-character time text of a moment (capacity at least 25).
void FormatTimeOf(std::int64_t time, char* destination, std::size_t capacity);

} // namespace zentra

#include "records/calendar.h"

#include "platform/clock.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace zentra {
namespace {

constexpr int kSecondsPerDay = 86400;
constexpr int kFirstYear = 1900; // tm_year counts from here

// Value of the leading decimal digits among at most count characters of text
// (stopping at a NUL); no digits gives 0.
int LeadingNumber(const char* text, std::size_t count) {
    int value = 0;
    for (std::size_t i = 0; i < count && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

// Length of text, never looking past limit characters.
std::size_t BoundedLength(const char* text, std::size_t limit) {
    return text == nullptr ? 0 : strnlen(text, limit);
}

// Copies characters from..from+count-1 of a text of the given length into a piece,
// stopping where the text ends; the piece is always NUL-terminated.
template <std::size_t N>
void CutPiece(const char* text, std::size_t length, std::size_t from, std::size_t count,
              std::array<char, N>& piece) {
    static_assert(N > 0);
    std::size_t n = 0;
    while (n < count && n < N - 1 && from + n < length) {
        piece[n] = text[from + n];
        ++n;
    }
    piece[n] = '\0';
}

// Appends text to destination without exceeding capacity (always NUL-terminated).
void Append(char* destination, std::size_t capacity, const char* text) {
    const std::size_t used = strnlen(destination, capacity - 1);
    const std::size_t room = capacity - 1 - used;
    const std::size_t n = strnlen(text, room);
    std::memcpy(destination + used, text, n);
    destination[used + n] = '\0';
}

// "%d" with a leading "0" below 10.
void AppendTwoDigits(char* destination, std::size_t capacity, int value) {
    char number[kNumberTextCapacity];
    FormatNumberText(number, value >= 0 && value < 10 ? "0%d" : "%d", value);
    Append(destination, capacity, number);
}

const char* NameOr(const auto& names, int index) {
    if (index >= 0 && index < static_cast<int>(names.size()))
        return names[static_cast<std::size_t>(index)];
    return "???";
}

int VFormatBounded(char* destination, std::size_t capacity, const char* format, std::va_list args) {
    return std::vsnprintf(destination, capacity, format, args);
}

// Normalises a broken-down local time with mktime (which also fills the weekday and
// day of year); its result is not needed. A time the platform cannot represent is
// left as it was.
void Normalise(std::tm& tm) {
    std::tm work = tm;
    if (std::mktime(&work) != static_cast<std::time_t>(-1))
        tm = work;
}

} // namespace

int FormatDayText(char* destination, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int n = VFormatBounded(destination, kDayTextCapacity, format, args);
    va_end(args);
    return n;
}

int FormatNumberText(char* destination, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int n = VFormatBounded(destination, kNumberTextCapacity, format, args);
    va_end(args);
    return n;
}

std::tm LocalTime(std::int64_t time) {
    std::tm tm{};
    const std::time_t t = static_cast<std::time_t>(time);
    if (localtime_r(&t, &tm) == nullptr) {
        // Beyond what the platform can convert: a fixed, harmless moment.
        tm = std::tm{};
        tm.tm_mday = 1;
        tm.tm_year = 70;
        tm.tm_wday = 4;
    }
    return tm;
}

std::int64_t LocalTimeOf(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - kFirstYear;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

DayNumber DayNumberOf(std::int64_t time) {
    const std::tm tm = LocalTime(time);
    return (tm.tm_year + kFirstYear) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
}

DayNumber TodayDayNumber() {
    return DayNumberOf(platform::Now());
}

void FormatTimeOf(std::int64_t time, char* destination, std::size_t capacity) {
    GetSystemDate::FormatTime(destination, capacity, LocalTime(time));
}

GetSystemDate::GetSystemDate() {
    Capture(platform::Now());
}

GetSystemDate::GetSystemDate(std::int64_t time) {
    Capture(time);
}

GetSystemDate::~GetSystemDate() = default;

void GetSystemDate::Capture(std::int64_t time) {
    m_Time = time;
    m_Tm = LocalTime(time);
    m_TmAtCreation = m_Tm;
    Refresh();
}

void GetSystemDate::Refresh() {
    FormatTime(m_TimeText.data(), m_TimeText.size(), m_Tm);
    ParseTimeText(m_TimeText.data());
}

int GetSystemDate::ParseTimeText(const char* text) {
    const std::size_t length = BoundedLength(text, kTimeTextCapacity - 1);
    if (text != m_TimeText.data()) {
        if (length > 0)
            std::memmove(m_TimeText.data(), text, length);
        m_TimeText[length] = '\0';
    }
    const char* t = m_TimeText.data();

    CutPiece(t, length, 8, 2, m_Day);
    CutPiece(t, length, 0, 3, m_WeekdayName);
    CutPiece(t, length, 22, 2, m_Year2);
    CutPiece(t, length, 20, 4, m_Year);
    CutPiece(t, length, 4, 3, m_MonthName);
    CutPiece(t, length, 11, 8, m_Clock);
    CutPiece(t, length, 11, 2, m_Hour);
    CutPiece(t, length, 14, 2, m_Minute);
    CutPiece(t, length, 17, 2, m_Second);

    const int month = MonthFromName(m_MonthName.data());
    FormatNumberText(m_Month.data(), "%02d", month == 0 ? 1 : month);

    FormatDayText(m_DateText.data(), "%02d/%02d/%d", LeadingNumber(m_Day.data(), 2),
                  LeadingNumber(m_Month.data(), 2), LeadingNumber(m_Year.data(), 4));
    return 1;
}

int GetSystemDate::SetDate(const char* dayText) {
    const std::size_t length = BoundedLength(dayText, kDayTextCapacity);
    m_Tm = LocalTime(m_Time);
    const auto field = [&](std::size_t from, std::size_t count) {
        return from < length ? LeadingNumber(dayText + from, std::min(count, length - from)) : 0;
    };
    m_Tm.tm_mday = field(0, 2);
    m_Tm.tm_mon = field(3, 2) - 1;
    m_Tm.tm_year = field(6, 4) - kFirstYear;
    // Let the platform decide summer time for the new date, so that the clock time
    // of m_Time is kept even when the new date lies on the other side of a change.
    m_Tm.tm_isdst = -1;
    Normalise(m_Tm);
    Refresh();
    return 1;
}

int GetSystemDate::AddSeconds(std::int64_t n) {
    // Whole days go to the day of month when the seconds field would overflow.
    constexpr std::int64_t kDirectLimit = INT_MAX / 2;
    if (n > kDirectLimit || n < -kDirectLimit) {
        std::int64_t days = n / kSecondsPerDay;
        n %= kSecondsPerDay;
        days = std::clamp<std::int64_t>(days, -kDirectLimit / 2, kDirectLimit / 2);
        m_Tm.tm_mday += static_cast<int>(days);
    }
    m_Tm.tm_sec += static_cast<int>(n);
    Normalise(m_Tm);
    Refresh();
    return 1;
}

void GetSystemDate::FormatTime(char* destination, std::size_t capacity, const std::tm& tm) {
    if (destination == nullptr || capacity == 0)
        return;
    destination[0] = '\0';
    Append(destination, capacity, NameOr(kWeekdayNames, tm.tm_wday));
    Append(destination, capacity, " ");
    Append(destination, capacity, NameOr(kMonthNames, tm.tm_mon));
    Append(destination, capacity, " ");
    AppendTwoDigits(destination, capacity, tm.tm_mday);
    Append(destination, capacity, " ");
    AppendTwoDigits(destination, capacity, tm.tm_hour);
    Append(destination, capacity, ":");
    AppendTwoDigits(destination, capacity, tm.tm_min);
    Append(destination, capacity, ":");
    AppendTwoDigits(destination, capacity, tm.tm_sec);
    Append(destination, capacity, " ");
    char year[kNumberTextCapacity];
    FormatNumberText(year, "%d", tm.tm_year + kFirstYear);
    Append(destination, capacity, year);
}

DayNumber GetSystemDate::ToDayNumber(const char* dayText) {
    const std::size_t length = BoundedLength(dayText, kDayTextCapacity);
    char digits[9]{};
    std::size_t n = 0;
    for (const auto& [from, count] : {std::pair<std::size_t, std::size_t>{6, 4}, {3, 2}, {0, 2}})
        for (std::size_t i = 0; i < count && from + i < length; ++i)
            digits[n++] = dayText[from + i];
    digits[n] = '\0';
    return LeadingNumber(digits, n);
}

char* GetSystemDate::FromDayNumber(DayNumber dayNumber, char* destination) {
    if (dayNumber < 0 || dayNumber > 99'999'999) {
        FormatDayText(destination, "00/00/0000");
        return destination;
    }
    FormatDayText(destination, "%02d/%02d/%04d", dayNumber % 100, dayNumber / 100 % 100,
                  dayNumber / 10000);
    return destination;
}

int GetSystemDate::MonthFromName(const char* name) {
    if (name == nullptr)
        return 0;
    for (std::size_t i = 0; i < kMonthNames.size(); ++i)
        if (std::strncmp(name, kMonthNames[i], 3) == 0)
            return static_cast<int>(i) + 1;
    return 0;
}

void GetSystemDate::MonthName(int index, char* destination, std::size_t capacity) {
    if (index < 0 || index >= static_cast<int>(kMonthNames.size()) || destination == nullptr ||
        capacity == 0)
        return;
    destination[0] = '\0';
    Append(destination, capacity, kMonthNames[static_cast<std::size_t>(index)]);
}

} // namespace zentra

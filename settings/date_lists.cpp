#include "settings/date_lists.h"

#include <QComboBox>
#include <QSignalBlocker>

#include <cctype>
#include <climits>

namespace zentra {

int DaysInMonth(int month, int year) {
    switch (month) {
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    case 2:
        return year % 4 == 0 ? 29 : 28;
    default:
        return 31;
    }
}

int YearPosition(int year) {
    const int position = year - kFirstListYear;
    return position >= 0 && position < kListYears ? position : -1;
}

int MonthPosition(int month) {
    return month >= 1 && month <= 12 ? month - 1 : -1;
}

int DayPosition(int day, int daysInMonth) {
    if (day < 1)
        return -1;
    return day < daysInMonth ? day - 1 : daysInMonth - 1;
}

DateParts SplitDayNumber(DayNumber dayNumber) {
    char dayText[kDayTextCapacity] = {};
    GetSystemDate::FromDayNumber(dayNumber, dayText);
    GetSystemDate date;
    date.SetDate(dayText);
    return DateParts{static_cast<int>(LeadingNumber(date.m_Day.data())),
                     static_cast<int>(LeadingNumber(date.m_Month.data())),
                     static_cast<int>(LeadingNumber(date.m_Year.data()))};
}

DayNumber DayNumberFromParts(const DateParts& parts) {
    char dayText[kDayTextCapacity] = {};
    FormatDayText(dayText, "%02d/%02d/%d", parts.day, parts.month, parts.year);
    return GetSystemDate::ToDayNumber(dayText);
}

DateParts PartsFromPositions(int dayPosition, int monthPosition, int yearPosition) {
    return DateParts{dayPosition + 1, monthPosition + 1, yearPosition + kFirstListYear};
}

long long LeadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        const int digit = text[i] - '0';
        if (value > (LLONG_MAX - digit) / 10)
            return LLONG_MAX;
        value = value * 10 + digit;
    }
    return value;
}

void FillDateLists(QComboBox& day, QComboBox& month, QComboBox& year, const DateParts& parts) {
    const QSignalBlocker blockDay(day), blockMonth(month), blockYear(year);
    day.clear();
    month.clear();
    year.clear();
    for (int y = kFirstListYear; y < kFirstListYear + kListYears; ++y)
        year.addItem(QString::number(y));
    year.setCurrentIndex(YearPosition(parts.year));
    for (const char* name : kMonthNames)
        month.addItem(QString::fromLatin1(name));
    month.setCurrentIndex(MonthPosition(parts.month));
    const int days = DaysInMonth(parts.month, parts.year);
    for (int d = 1; d <= days; ++d)
        day.addItem(QStringLiteral("%1").arg(d, 2, 10, QLatin1Char('0')));
    day.setCurrentIndex(DayPosition(parts.day, days));
}

void FillTwoDigitList(QComboBox& list, int count, int value) {
    const QSignalBlocker block(list);
    list.clear();
    for (int v = 0; v < count; ++v)
        list.addItem(QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')));
    list.setCurrentIndex(value >= 0 && value < count ? value : -1);
}

} // namespace zentra

// The day / month / year drop-down lists shared by the project page and the logging
// page: years 2009..2108, month names, and a day list as long as the month.
#pragma once

#include "records/calendar.h"

#include <string>

class QComboBox;

namespace zentra {

inline constexpr int kFirstListYear = 2009;
inline constexpr int kListYears = 100; // 2009..2108

struct DateParts {
    int day = 0;
    int month = 0; // 1..12
    int year = 0;
};

// Days in a month: 30 for April, June, September and November; February has 29 in
// every year divisible by 4 (the lists know no other leap-year rule), else 28; all
// other months 31.
int DaysInMonth(int month, int year);

// Positions to select: -1 (no selection) when the value is not in the list. A day
// beyond the month's end selects the last day.
int YearPosition(int year);
int MonthPosition(int month);
int DayPosition(int day, int daysInMonth);

// Splits a DayNumber into its parts through the calendar helper: the date is taken as
// a day text and normalised, so 31 February 2012 comes back as 2 March 2012.
DateParts SplitDayNumber(DayNumber dayNumber);

// DayNumber of the text "DD/MM/YYYY" built from the parts. Not checked against the
// calendar: day 31 of month 2 gives ...0231.
DayNumber DayNumberFromParts(const DateParts& parts);

// Parts from list positions (position + 2009, + 1, + 1); no selection (-1) reads as
// 2008, month 0, day 0.
DateParts PartsFromPositions(int dayPosition, int monthPosition, int yearPosition);

// Numeric value of a text's leading decimal digits (after blanks); none gives 0.
// Saturates instead of overflowing.
long long LeadingNumber(const std::string& text);

// Refills the three lists for the given date and selects it.
void FillDateLists(QComboBox& day, QComboBox& month, QComboBox& year, const DateParts& parts);

// Refills a list with "00".."(count-1)" and selects value (none when out of range).
void FillTwoDigitList(QComboBox& list, int count, int value);

} // namespace zentra

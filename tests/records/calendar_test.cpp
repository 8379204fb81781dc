// Calendar helper: text pieces, date re-targeting and conversions, in the fixed test
// time zone (Europe/London) and on a hand-set clock.
#include "platform/clock.h"
#include "records/calendar.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace zentra {
namespace {

std::string Text(const auto& field) {
    return std::string(field.data());
}

// Every text piece of a captured date, space-separated, in declaration order.
std::string Pieces(const GetSystemDate& d) {
    std::string all;
    for (const char* piece :
         {d.m_WeekdayName.data(), d.m_MonthName.data(), d.m_Day.data(), d.m_Month.data(),
          d.m_Year.data(), d.m_Year2.data(), d.m_Hour.data(), d.m_Minute.data(), d.m_Second.data(),
          d.m_Clock.data(), d.m_DateText.data()})
        all += (all.empty() ? "" : " ") + std::string(piece);
    return all;
}

class CalendarTest : public ::testing::Test {
  protected:
    platform::ManualClock clock_{LocalTimeOf(2013, 1, 5, 14, 3, 9)};
};

TEST_F(CalendarTest, CapturesNowAsZeroPaddedPieces) {
    GetSystemDate date;
    EXPECT_EQ(date.m_Time, clock_.Get());
    EXPECT_EQ(Text(date.m_TimeText), "Sat Jan 05 14:03:09 2013");
    EXPECT_EQ(Pieces(date), "Sat Jan 05 01 2013 13 14 03 09 14:03:09 05/01/2013");
    EXPECT_EQ(date.m_TmAtCreation.tm_mday, 5);
    EXPECT_EQ(TodayDayNumber(), 20130105);
}

TEST_F(CalendarTest, ExplicitTimeShowsLocalSummerTime) {
    // 12:00 UTC on 1 July 2013 is 13:00 in London.
    GetSystemDate date(1372680000);
    EXPECT_EQ(Text(date.m_TimeText), "Mon Jul 01 13:00:00 2013");
    EXPECT_EQ(Text(date.m_Month), "07");
    EXPECT_EQ(DayNumberOf(1372680000), 20130701);
}

TEST_F(CalendarTest, SetDateKeepsTheClockAndTheCapturedMomentAndRollsOver) {
    GetSystemDate date;
    const std::int64_t captured = date.m_Time;
    EXPECT_EQ(date.SetDate("31/12/2012"), 1);
    EXPECT_EQ(Pieces(date), "Mon Dec 31 12 2012 12 14 03 09 14:03:09 31/12/2012");
    EXPECT_EQ(date.m_Time, captured);

    date.SetDate("31/04/2013"); // April has 30 days
    EXPECT_EQ(Text(date.m_DateText), "01/05/2013");
    date.SetDate("00/03/2013"); // day 0: last day of February
    EXPECT_EQ(Text(date.m_DateText), "28/02/2013");
    EXPECT_EQ(Text(date.m_Clock), "14:03:09");
}

TEST_F(CalendarTest, SetDateAcrossSummerTimeKeepsTheWallClock) {
    // Captured late on a winter evening; the summer date must not move to the next day.
    clock_.Set(LocalTimeOf(2013, 1, 15, 23, 30, 0));
    GetSystemDate date;
    date.SetDate("15/07/2013");
    EXPECT_EQ(Text(date.m_DateText), "15/07/2013");
    EXPECT_EQ(Text(date.m_Clock), "23:30:00");
}

TEST_F(CalendarTest, SetDateWithMalformedTextStaysInBounds) {
    GetSystemDate date;
    for (const char* text : {"", "5", "ab/cd/efgh", "99/99/99999999", "1/1/1"}) {
        date.SetDate(text);
        EXPECT_LE(std::strlen(date.m_TimeText.data()), kTimeTextCapacity - 1) << text;
        EXPECT_LE(std::strlen(date.m_DateText.data()), kDayTextCapacity - 1) << text;
    }
    date.SetDate(nullptr);
    EXPECT_EQ(Text(date.m_Clock), "14:03:09");
}

TEST_F(CalendarTest, AddSecondsCrossesTheEndOfFebruaryAndAccumulates) {
    clock_.Set(LocalTimeOf(2013, 3, 1, 0, 5, 0));
    GetSystemDate date;
    EXPECT_EQ(date.AddSeconds(-600), 1);
    EXPECT_EQ(Text(date.m_Clock), "23:55:00");
    EXPECT_EQ(Text(date.m_DateText), "28/02/2013");
    date.AddSeconds(-600);
    EXPECT_EQ(Text(date.m_Clock), "23:45:00");
    date.AddSeconds(1200 + 86400);
    EXPECT_EQ(Text(date.m_DateText), "02/03/2013");
    EXPECT_EQ(Text(date.m_Clock), "00:05:00");
    EXPECT_EQ(date.m_Time, clock_.Get()); // the captured moment is not moved
}

TEST_F(CalendarTest, AddSecondsBeyondTheIntRange) {
    GetSystemDate date;
    date.AddSeconds(std::int64_t{100} * 365 * 86400); // about a century
    EXPECT_EQ(Text(date.m_Year), "2112");
    date.AddSeconds(-std::int64_t{100} * 365 * 86400);
    EXPECT_EQ(Text(date.m_DateText), "05/01/2013");
    EXPECT_EQ(Text(date.m_Clock), "14:03:09");
}

TEST(CalendarConversions, DayNumbersBothWays) {
    EXPECT_EQ(GetSystemDate::ToDayNumber("05/01/2013"), 20130105);
    EXPECT_EQ(GetSystemDate::ToDayNumber("31/02/2013"), 20130231); // not validated
    char text[kDayTextCapacity];
    EXPECT_STREQ(GetSystemDate::FromDayNumber(20130105, text), "05/01/2013");
    EXPECT_EQ(GetSystemDate::ToDayNumber(GetSystemDate::FromDayNumber(19991231, text)), 19991231);
    // Malformed or short texts give a number from the digits that are there.
    EXPECT_EQ(GetSystemDate::ToDayNumber(""), 0);
    EXPECT_EQ(GetSystemDate::ToDayNumber(nullptr), 0);
    EXPECT_EQ(GetSystemDate::ToDayNumber("xx/01/2013"), 201301);
}

TEST(CalendarConversions, FromDayNumberNeverWritesPastElevenBytes) {
    for (const DayNumber value : {0, 5, 101, 1234567, -1, -20130105, 100000000, INT_MAX, INT_MIN}) {
        char buffer[kDayTextCapacity + 8];
        std::memset(buffer, '#', sizeof buffer);
        GetSystemDate::FromDayNumber(value, buffer);
        EXPECT_EQ(std::strlen(buffer), 10u) << value;
        for (std::size_t i = kDayTextCapacity; i < sizeof buffer; ++i)
            ASSERT_EQ(buffer[i], '#') << value;
    }
    char buffer[kDayTextCapacity];
    EXPECT_STREQ(GetSystemDate::FromDayNumber(101, buffer), "01/01/0000");
    EXPECT_STREQ(GetSystemDate::FromDayNumber(-1, buffer), "00/00/0000");
}

TEST(CalendarConversions, MonthNamesBothWays) {
    EXPECT_EQ(GetSystemDate::MonthFromName("Jan"), 1);
    EXPECT_EQ(GetSystemDate::MonthFromName("Dec"), 12);
    for (const char* name : {"jan", "Ja", "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(GetSystemDate::MonthFromName(name), 0) << (name ? name : "null");

    char name[kNameCapacity] = "xyz";
    for (const int outside : {12, -1}) {
        GetSystemDate::MonthName(outside, name, sizeof name);
        EXPECT_STREQ(name, "xyz") << outside;
    }
    GetSystemDate::MonthName(11, name, sizeof name);
    EXPECT_STREQ(name, "Dec");
    char small[2] = "q";
    GetSystemDate::MonthName(0, small, sizeof small);
    EXPECT_STREQ(small, "J");
}

TEST(CalendarConversions, FormatTimeIsBoundedAndZeroPadded) {
    std::tm tm{}; // Sat 5 Jan 2013 04:03:09
    tm.tm_year = 113;
    tm.tm_mday = 5;
    tm.tm_wday = 6;
    tm.tm_hour = 4;
    tm.tm_min = 3;
    tm.tm_sec = 9;
    char text[kTimeTextCapacity];
    GetSystemDate::FormatTime(text, sizeof text, tm);
    EXPECT_STREQ(text, "Sat Jan 05 04:03:09 2013");

    char shortText[11];
    std::memset(shortText, '#', sizeof shortText);
    GetSystemDate::FormatTime(shortText, sizeof shortText, tm);
    EXPECT_STREQ(shortText, "Sat Jan 05");

    tm.tm_wday = 9; // out of range: no table read past its end
    tm.tm_mon = -3;
    GetSystemDate::FormatTime(text, sizeof text, tm);
    EXPECT_STREQ(text, "??? ??? 05 04:03:09 2013");
}

TEST(CalendarConversions, ParseTimeTextOfShortOrForeignText) {
    platform::ManualClock clock(0);
    GetSystemDate date;
    date.ParseTimeText("Thu Feb 28 23:55:00 2013");
    EXPECT_EQ(Text(date.m_Month), "02");
    EXPECT_EQ(Text(date.m_DateText), "28/02/2013");
    EXPECT_EQ(Text(date.m_TimeText), "Thu Feb 28 23:55:00 2013");

    date.ParseTimeText("Thu Xyz 28");
    EXPECT_EQ(Text(date.m_Month), "01"); // unknown month name
    EXPECT_EQ(Text(date.m_Clock), "");
    EXPECT_EQ(Text(date.m_Year), "");
    EXPECT_EQ(Text(date.m_DateText), "28/01/0");

    date.ParseTimeText(nullptr);
    EXPECT_EQ(Text(date.m_Day), "");
}

TEST(CalendarConversions, BoundedPrintHelpers) {
    char day[kDayTextCapacity + 4];
    std::memset(day, '#', sizeof day);
    FormatDayText(day, "%d/%d/%d", 123456, 123456, 123456);
    EXPECT_EQ(std::strlen(day), kDayTextCapacity - 1);
    EXPECT_EQ(day[kDayTextCapacity], '#');

    char number[kNumberTextCapacity + 4];
    std::memset(number, '#', sizeof number);
    FormatNumberText(number, "%.6f", 1e30);
    EXPECT_EQ(std::strlen(number), kNumberTextCapacity - 1);
    EXPECT_EQ(number[kNumberTextCapacity], '#');
}

// AddSeconds moves by real seconds: the local clock shown is that of the moment n
// seconds later, across both summer-time changes.
TEST(CalendarSummer, AddSecondsKeepsLocalTimeInSummerAndAcrossBothChanges) {
    struct Case {
        std::int64_t captured; // UTC
        std::int64_t seconds;
        const char* clock;
        const char* date;
    };
    const Case cases[] = {
        // 12:00 UTC on 1 July 2013 is 13:00 BST; a minute later is 13:01 BST.
        {1372680000, 60, "13:01:00", "01/07/2013"},
        // 00:30 GMT on 31 March 2013; clocks go forward at 01:00 GMT, so an hour later
        // is 02:30 BST.
        {1364689800, 3600, "02:30:00", "31/03/2013"},
        // 00:30 BST on 27 October 2013 (23:30 UTC the day before); clocks go back at
        // 01:00 GMT, so two hours later is 01:30 GMT.
        {1382830200, 7200, "01:30:00", "27/10/2013"},
        // Back again from summer into winter: 13:00 BST on 1 July less 183 days is
        // 12:00 GMT on 30 December 2012.
        {1372680000, -183 * 86400, "12:00:00", "30/12/2012"},
    };
    for (const Case& c : cases) {
        platform::ManualClock clock(c.captured);
        GetSystemDate date;
        date.AddSeconds(c.seconds);
        EXPECT_EQ(Text(date.m_Clock), c.clock) << c.captured << " + " << c.seconds;
        EXPECT_EQ(Text(date.m_DateText), c.date) << c.captured << " + " << c.seconds;
        EXPECT_EQ(date.m_Time, c.captured);
    }
}

TEST(CalendarSummer, AddSecondsAccumulatesFromASummerCapture) {
    platform::ManualClock clock(1372680000); // 13:00 BST, 1 July 2013
    GetSystemDate date;
    for (int i = 0; i < 10; ++i)
        date.AddSeconds(-60);
    EXPECT_EQ(Text(date.m_Clock), "12:50:00");
    EXPECT_EQ(Text(date.m_Hour), "12");
}

} // namespace
} // namespace zentra

// AddSeconds moves the working time by real seconds across summer time: the local
// clock it shows is that of the moment n seconds later (Europe/London, as every test).
#include "acquisition/calendar.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <string>

namespace zentra {
namespace {

std::string Text(const auto& field) {
    return std::string(field.data());
}

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

// The date arithmetic behind the date lists and the end date that follows the start.
#include "platform/clock.h"
#include "project_test_support.h"
#include "settings/date_lists.h"
#include "settings/project_page_data.h"

#include <array>
#include <gtest/gtest.h>

namespace zentra {
namespace {

TEST(ProjectDates, MonthLengthsUseTheDivisibleByFourRule) {
    EXPECT_EQ(DaysInMonth(2, 2012), 29);
    EXPECT_EQ(DaysInMonth(2, 2100), 29); // no century rule in these lists
    EXPECT_EQ(DaysInMonth(2, 2013), 28);
    for (int month : {4, 6, 9, 11})
        EXPECT_EQ(DaysInMonth(month, 2013), 30);
    for (int month : {1, 3, 5, 7, 8, 10, 12})
        EXPECT_EQ(DaysInMonth(month, 2013), 31);
}

TEST(ProjectDates, SplittingNormalisesThroughTheCalendar) {
    platform::ManualClock clock(test::kFixedNow);
    const auto parts = [](DayNumber number) {
        const DateParts p = SplitDayNumber(number);
        return std::array{p.day, p.month, p.year};
    };
    EXPECT_EQ(parts(20130105), (std::array{5, 1, 2013}));
    EXPECT_EQ(parts(20120231), (std::array{2, 3, 2012})); // 31 February rolls into March
}

ProjectPageData PageEnding(int day, int month, int year) {
    ProjectPageData page;
    page.m_PageEndDay = day;
    page.m_PageEndMonth = month;
    page.m_PageEndYear = year;
    page.m_PageEnd = year * 10000 + month * 100 + day;
    return page;
}

TEST(ProjectDates, StartDateIsStoredUncheckedAndPushesTheEnd) {
    // 31 February 2012 is stored as it was picked; the end (1 March 2012) stays.
    ProjectPageData page = PageEnding(1, 3, 2012);
    ApplyStartDateChange(page, 30, 1, 3, "01", "Mar", "2012");
    EXPECT_EQ(page.m_PageStart, 20120231);
    EXPECT_EQ(page.m_PageEnd, 20120301);

    // A start after the end moves the end to the start.
    ApplyStartDateChange(page, 9, 5, 4, "01", "Mar", "2012"); // 10 Jun 2013
    EXPECT_EQ(page.m_PageStart, 20130610);
    EXPECT_EQ(page.m_PageEnd, 20130610);
    EXPECT_EQ((std::array{page.m_PageEndDay, page.m_PageEndMonth, page.m_PageEndYear}),
              (std::array{10, 6, 2013}));

    // An earlier start leaves the end where it is.
    ApplyStartDateChange(page, 0, 0, 0, "10", "Jun", "2013");
    EXPECT_EQ(page.m_PageStart, 20090101);
    EXPECT_EQ(page.m_PageEnd, 20130610);
}

TEST(ProjectDates, YearListWithoutSelectionReadsAs2008) {
    ProjectPageData page = PageEnding(1, 1, 2030);
    ApplyStartDateChange(page, 4, 6, -1, "01", "Jan", "2030");
    EXPECT_EQ(page.m_PageStartYear, 2008);
    EXPECT_EQ(page.m_PageStart, 20080705);
    EXPECT_EQ(page.m_PageEnd, 20300101);
}

} // namespace
} // namespace zentra

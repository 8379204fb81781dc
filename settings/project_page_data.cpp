#include "settings/project_page_data.h"

#include "settings/date_lists.h"

namespace zentra {

void ApplyStartDateChange(ProjectPageData& page, int dayPosition, int monthPosition,
                          int yearPosition, const std::string& endDayText,
                          const std::string& endMonthText, const std::string& endYearText) {
    const DateParts start = PartsFromPositions(dayPosition, monthPosition, yearPosition);
    page.m_PageStartYear = start.year;
    page.m_PageStartMonth = start.month;
    page.m_PageStartDay = start.day;
    page.m_PageStart = DayNumberFromParts(start);

    page.m_PageEndYear = static_cast<std::int32_t>(LeadingNumber(endYearText) % 100000);
    page.m_PageEndMonth = GetSystemDate::MonthFromName(endMonthText.c_str());
    page.m_PageEndDay = static_cast<std::int32_t>(LeadingNumber(endDayText) % 100);
    page.m_PageEnd = page.m_PageEndYear * 10000 + page.m_PageEndMonth * 100 + page.m_PageEndDay;

    if (page.m_PageEnd < page.m_PageStart) {
        page.m_PageEndYear = page.m_PageStartYear;
        page.m_PageEndMonth = page.m_PageStartMonth;
        page.m_PageEndDay = page.m_PageStartDay;
        page.m_PageEnd = page.m_PageStart;
    }
}

} // namespace zentra

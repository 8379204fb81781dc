// Plain fields of the "Project Description" page.
#pragma once

#include "records/calendar.h"

#include <cstdint>
#include <string>

namespace zentra {

// Longest texts the page accepts (the document's arrays hold one more byte).
inline constexpr int kNameMaxChars = 100;
inline constexpr int kBriefMaxChars = 100;
inline constexpr int kDescriptionMaxChars = 1000;

struct ProjectPageData {
    DayNumber m_PageStart = 0;
    DayNumber m_PageEnd = 0;
    std::uint8_t m_PageLocked = 0; // texts and start date read-only
    std::uint8_t m_PageShown = 0;  // 1 once the page has been displayed
    std::string m_DescriptionText; // edit 1002, 8-bit text
    std::string m_NameText;        // edit 1038
    std::string m_BriefText;       // edit 1069
    std::int32_t m_ShowCheck = 0;  // check box 1067
    std::int32_t m_PageStartDay = 0;
    std::int32_t m_PageStartMonth = 0; // 1..12
    std::int32_t m_PageStartYear = 0;
    std::int32_t m_PageEndDay = 0;
    std::int32_t m_PageEndMonth = 0;
    std::int32_t m_PageEndYear = 0;
};

// A start-date list closed: the start date becomes the listed date (day 31 of
// February included, unchecked), the end date is read back from its three statics,
// and an end before the start moves to the start.
void ApplyStartDateChange(ProjectPageData& page, int dayPosition, int monthPosition,
                          int yearPosition, const std::string& endDayText,
                          const std::string& endMonthText, const std::string& endYearText);

} // namespace zentra

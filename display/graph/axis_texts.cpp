#include "display/graph/axis_texts.h"

#include "display/graph/graph_model.h"
#include "document/zentra_doc.h"
#include "records/calendar.h"

#include <cstdint>
#include <cstdio>

namespace zentra {
namespace {

using AxisText = std::array<char, kAxisTextCapacity>;

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? INT64_MAX : INT64_MIN;
    return sum;
}

void CopyClock(const GetSystemDate& date, AxisText& text) {
    SetText(text, date.m_Clock.data());
}

void FormatDate(const GetSystemDate& date, AxisText& text) {
    std::snprintf(text.data(), text.size(), "%s %s %s", date.m_MonthName.data(), date.m_Day.data(),
                  date.m_Year.data());
}

// End text at now, start text `seconds` earlier; the date is that of the start.
void TextsBackFromNow(std::int64_t seconds, AxisText& start, AxisText& end, AxisText& date) {
    GetSystemDate now;
    CopyClock(now, end);
    now.AddSeconds(-seconds);
    CopyClock(now, start);
    FormatDate(now, date);
}

// Texts of two given moments, each through the calendar's time-text layout.
void TextsOfMoments(std::int64_t startTime, std::int64_t endTime, AxisText& start, AxisText& end,
                    AxisText& date) {
    GetSystemDate calendar;
    char text[kTimeTextCapacity] = {};
    FormatTimeOf(endTime, text, sizeof text);
    calendar.ParseTimeText(text);
    CopyClock(calendar, end);
    FormatTimeOf(startTime, text, sizeof text);
    calendar.ParseTimeText(text);
    CopyClock(calendar, start);
    FormatDate(calendar, date);
}

} // namespace

void UpdateLiveAxisTexts(CZentraDoc& doc, const Graph& graph) {
    if (doc.m_Comms.portSetUp != 1)
        return;
    TextsBackFromNow(TimeSteps(graph), doc.m_LiveAxisStart, doc.m_LiveAxisEnd, doc.m_LiveAxisDate);
}

void UpdateLogAxisTexts(CZentraDoc& doc, const Graph& graph) {
    if (doc.m_SampleCount <= 0)
        return;
    const bool moved = graph.m_LastIndex + static_cast<std::int64_t>(1) < doc.m_SampleCount;
    if (!moved && !doc.m_Finished && graph.m_ScrollOffset == 0)
        return;
    const std::int64_t secondsPerDiv = graph.m_SecondsPerDiv;
    const std::int64_t window = secondsPerDiv * TimeSteps(graph);
    if (graph.m_ScrollOffset == 0 && !doc.m_Finished) {
        TextsBackFromNow(window, doc.m_LogAxisStart, doc.m_LogAxisEnd, doc.m_LogAxisDate);
        return;
    }
    const std::int64_t base = doc.m_Finished ? doc.m_LoggingEndTime : graph.m_HistoryTime;
    const std::int64_t endTime = SaturatingAdd(base, secondsPerDiv * graph.m_ScrollOffset);
    const std::int64_t startTime = SaturatingAdd(endTime, -window);
    TextsOfMoments(startTime, endTime, doc.m_LogAxisStart, doc.m_LogAxisEnd, doc.m_LogAxisDate);
}

} // namespace zentra

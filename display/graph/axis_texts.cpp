#include "display/graph/axis_texts.h"

#include "display/graph/graph_model.h"
#include "document/zentra_doc.h"
#include "records/calendar.h"

#include <algorithm>
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

// The time of window position `index` of the log: a logged sample's own time, and
// beyond either end of the log one logging period a step from the nearest sample.
// Needs at least one sample.
std::int64_t SampleTimeAt(const CZentraDoc& doc, std::int64_t index, std::int64_t secondsPerDiv) {
    const std::int64_t nearest = std::clamp<std::int64_t>(index, 0, doc.m_SampleCount - 1);
    // Both factors are below 2^32 in size, so their product fits.
    return SaturatingAdd(doc.m_SampleTimes[static_cast<std::size_t>(nearest)],
                         secondsPerDiv * (index - nearest));
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
    // The window the traces draw next: at the live end it reaches the newest sample,
    // while browsing it stays where browsing began.
    const std::int64_t lastIndex =
        graph.m_ScrollOffset == 0 ? doc.m_SampleCount - 1 : graph.m_LastIndex;
    const std::int64_t newest = lastIndex + graph.m_ScrollOffset;
    const std::int64_t oldest = newest - TimeSteps(graph);
    TextsOfMoments(SampleTimeAt(doc, oldest, graph.m_SecondsPerDiv),
                   SampleTimeAt(doc, newest, graph.m_SecondsPerDiv), doc.m_LogAxisStart,
                   doc.m_LogAxisEnd, doc.m_LogAxisDate);
}

} // namespace zentra

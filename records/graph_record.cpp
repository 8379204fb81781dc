#include "records/graph_record.h"

#include "records/capacities.h"
#include "records/le_codec.h"
#include "records/readings_catalogue.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zentra {
namespace {

namespace off = graph_offset;

constexpr std::uint8_t AsFlag(std::uint8_t value) {
    return value != 0 ? 1 : 0;
}

// Latest moment the calendar shows with a four-digit year (9999-12-31 23:59:59 UTC).
constexpr std::int64_t kLatestTime = 253'402'300'799;

double FiniteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

} // namespace

void EncodeGraph(const Graph& g, std::uint8_t* out) {
    std::memset(out, 0, kGraphRecordSize);
    le::Put(out, off::kEnabled, g.m_Enabled);
    le::Put(out, off::kRealTime, g.m_RealTime);
    le::Put(out, off::kGraphMode, g.m_GraphMode);
    le::Put(out, off::kHistoryTime, g.m_HistoryTime);
    le::Put(out, off::kGraphNumber, g.m_GraphNumber);
    le::Put(out, off::kWord52, g.m_Word52);
    le::Put(out, off::kQuadrant, g.m_Quadrant);
    le::PutArray(out, off::kLineColour, g.m_LineColour);
    le::PutArray(out, off::kLineStyle, g.m_LineStyle);
    le::PutArray(out, off::kAssociations, g.m_Associations);
    for (std::size_t t = 0; t < kTracesPerGraph; ++t)
        le::PutText(out, off::kHeadings + t * kHeadingCapacity, g.m_Headings[t]);
    le::PutText(out, off::kLegendX, g.m_LegendX);
    le::PutText(out, off::kLegendY, g.m_LegendY);
    le::Put(out, off::kRelativeY, g.m_RelativeY);
    le::PutArray(out, off::kNominalY, g.m_NominalY);
    le::Put(out, off::kCentreZero, g.m_CentreZero);
    le::Put(out, off::kScaleX, g.m_ScaleX);
    le::Put(out, off::kScaleY, g.m_ScaleY);
    le::Put(out, off::kNominalScaleY, g.m_NominalScaleY);
    le::Put(out, off::kLeftArrowActive, g.m_LeftArrowActive);
    le::Put(out, off::kRightArrowActive, g.m_RightArrowActive);
    le::Put(out, off::kFirstIndex, g.m_FirstIndex);
    le::Put(out, off::kScrollOffset, g.m_ScrollOffset);
    le::Put(out, off::kLastIndex, g.m_LastIndex);
    le::Put(out, off::kSecondsPerDiv, g.m_SecondsPerDiv);
    le::Put(out, off::kTickLengthX, g.m_TickLengthX);
    le::Put(out, off::kTickLengthY, g.m_TickLengthY);
}

void DecodeGraph(const std::uint8_t* in, Graph& g) {
    g.m_Enabled = le::Get<std::uint8_t>(in, off::kEnabled);
    g.m_RealTime = le::Get<std::uint8_t>(in, off::kRealTime);
    g.m_GraphMode = le::Get<std::uint8_t>(in, off::kGraphMode);
    g.m_HistoryTime = le::Get<std::int64_t>(in, off::kHistoryTime);
    g.m_GraphNumber = le::Get<std::int32_t>(in, off::kGraphNumber);
    g.m_Word52 = le::Get<std::int32_t>(in, off::kWord52);
    g.m_Quadrant = le::Get<std::int32_t>(in, off::kQuadrant);
    le::GetArray(in, off::kLineColour, g.m_LineColour);
    le::GetArray(in, off::kLineStyle, g.m_LineStyle);
    le::GetArray(in, off::kAssociations, g.m_Associations);
    for (std::size_t t = 0; t < kTracesPerGraph; ++t)
        le::GetText(in, off::kHeadings + t * kHeadingCapacity, g.m_Headings[t]);
    le::GetText(in, off::kLegendX, g.m_LegendX);
    le::GetText(in, off::kLegendY, g.m_LegendY);
    g.m_RelativeY = le::Get<std::uint8_t>(in, off::kRelativeY);
    le::GetArray(in, off::kNominalY, g.m_NominalY);
    g.m_CentreZero = le::Get<std::uint8_t>(in, off::kCentreZero);
    g.m_ScaleX = le::Get<std::int32_t>(in, off::kScaleX);
    g.m_ScaleY = le::Get<std::int32_t>(in, off::kScaleY);
    g.m_NominalScaleY = le::Get<std::int32_t>(in, off::kNominalScaleY);
    g.m_LeftArrowActive = le::Get<std::uint8_t>(in, off::kLeftArrowActive);
    g.m_RightArrowActive = le::Get<std::uint8_t>(in, off::kRightArrowActive);
    g.m_FirstIndex = le::Get<std::int32_t>(in, off::kFirstIndex);
    g.m_ScrollOffset = le::Get<std::int32_t>(in, off::kScrollOffset);
    g.m_LastIndex = le::Get<std::int32_t>(in, off::kLastIndex);
    g.m_SecondsPerDiv = le::Get<std::int32_t>(in, off::kSecondsPerDiv);
    g.m_TickLengthX = le::Get<double>(in, off::kTickLengthX);
    g.m_TickLengthY = le::Get<double>(in, off::kTickLengthY);
}

void BoundGraph(Graph& g) {
    // Flags are tested as == 1 in places and as != 0 in others; make them agree.
    g.m_Enabled = AsFlag(g.m_Enabled);
    g.m_RealTime = AsFlag(g.m_RealTime);
    g.m_GraphMode = AsFlag(g.m_GraphMode);
    g.m_RelativeY = AsFlag(g.m_RelativeY);
    g.m_CentreZero = AsFlag(g.m_CentreZero);
    g.m_LeftArrowActive = AsFlag(g.m_LeftArrowActive);
    g.m_RightArrowActive = AsFlag(g.m_RightArrowActive);

    g.m_HistoryTime = std::clamp<std::int64_t>(g.m_HistoryTime, 0, kLatestTime);

    // Colour indices index TraceColours and the Graphs page's colour lists.
    for (auto& colour : g.m_LineColour)
        if (colour < 0 || colour >= kTraceColourCount)
            colour = 0;
    // Source values are taken as stored: what one means depends on the meter family
    // of the document that shows the graph, which need not be the family it was set
    // up with (defaults stored on a variant 3 meter hold reading indices such as 38,
    // 41 and 49). SourceColumn, the value fetches and the Graphs page guard the use.

    // Divisors of the scaling arithmetic: positive and drawable.
    g.m_ScaleX = std::clamp(g.m_ScaleX, 1, kMaxScaleX);
    g.m_ScaleY = std::clamp(g.m_ScaleY, 1, kMaxScaleY);
    g.m_NominalScaleY = std::clamp(g.m_NominalScaleY, 1, kMaxScaleY);
    for (auto& nominal : g.m_NominalY)
        nominal = FiniteOr(nominal, 0.0);
    g.m_TickLengthX = FiniteOr(g.m_TickLengthX, kDefaultTickLengthX);
    g.m_TickLengthY = FiniteOr(g.m_TickLengthY, kDefaultTickLengthY);

    // History browsing has no lower bound (every click goes back one window), so any
    // negative offset and the left-edge index that follows from it are kept; the
    // window arithmetic is done wide and saturating. Only a positive offset, which
    // browsing never leaves, and a live-end index outside the log are out of range.
    g.m_ScrollOffset = std::min(g.m_ScrollOffset, 0);
    g.m_LastIndex = std::clamp(g.m_LastIndex, 0, kMaxSamples - 1);
    g.m_SecondsPerDiv = std::clamp(g.m_SecondsPerDiv, 0, kMaxSecondsPerDiv);
}

bool IsTraceOff(const std::array<char, kHeadingCapacity>& heading) {
    return std::strncmp(heading.data(), "OFF", heading.size()) == 0;
}

} // namespace zentra

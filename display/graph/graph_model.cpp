#include "display/graph/graph_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace zentra {
namespace {

std::int32_t Saturate32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Steps of a log-mode window (also the amount one history arrow click moves).
int LogSteps(const Graph& graph) {
    return std::clamp(graph.m_ScaleX, 0, kMaxLogSteps);
}

bool Usable(double divisor) {
    return divisor != 0.0 && std::isfinite(divisor);
}

std::string Printf(const char* format, auto... args) {
    char buffer[64];
    int n = std::snprintf(buffer, sizeof buffer, format, args...);
    if (n < 0)
        return {};
    if (static_cast<std::size_t>(n) < sizeof buffer)
        return std::string(buffer, static_cast<std::size_t>(n));
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

} // namespace

int TruncToInt(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double kLow = std::numeric_limits<int>::min();
    constexpr double kHigh = std::numeric_limits<int>::max();
    if (value <= kLow)
        return std::numeric_limits<int>::min();
    if (value >= kHigh)
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

// --- Where a trace's value comes from ------------------------------------------------

int SourceColumn(const CZentraDoc& doc, const Graph& graph, std::int32_t source) {
    if (source <= 0)
        return kNoColumn;
    if (!graph.m_RealTime) {
        if (UsesShortList(doc.m_SystemType)) {
            for (int p = 0; p < kReducedLookupEntries; ++p) {
                if (ReducedTraceList[static_cast<std::size_t>(p)] == source)
                    return p + 1;
            }
        }
        return source;
    }
    int column = source;
    if (source <= kReadingMapSize)
        column = doc.m_ReadingMap[static_cast<std::size_t>(source - 1)];
    if (doc.m_SystemType == 1 || doc.m_SystemType == 5) {
        if (column < 0 || column >= static_cast<int>(LiveColumnTable.size()))
            return kNoColumn;
        column = LiveColumnTable[static_cast<std::size_t>(column)];
    }
    return column;
}

double LogValue(const CZentraDoc& doc, int column, std::int64_t index) {
    if (index < 0 || index >= kMaxSamples)
        return 0.0;
    const SampleRecord& record = doc.m_SampleValues[static_cast<std::size_t>(index)];
    if (column == kHorsePowerColumn)
        return HorsePower(record.data());
    if (column < 0 || column >= kSampleValues)
        return 0.0;
    return record[static_cast<std::size_t>(column)];
}

double LiveValue(const CZentraDoc& doc, int column, int entry) {
    if (entry < 0 || entry >= kRingSlots)
        return 0.0;
    const RingEntry& slot = doc.m_LiveValues[static_cast<std::size_t>(entry)];
    // The slot is in block order: horse power comes from the live "kW Sum".
    if (column == kHorsePowerColumn)
        return LiveReading(doc, slot, kHorsePowerReading);
    if (column < 0 || column > kBlockReadings)
        return 0.0;
    return slot[static_cast<std::size_t>(column)];
}

// --- Vertical scale ------------------------------------------------------------------

double RelativeSystemSpans::Span(std::int32_t source, const CZentraDoc& doc, double value) const {
    const double v = doc.m_SystemVoltage;
    const double i = doc.m_SystemCurrent;
    const double k = doc.m_SystemTypeNumber;
    switch (source) {
    case 1:
    case 2:
    case 3:
        return v * kRootThree;
    case 4:
    case 5:
    case 6:
        return v;
    case 7:
    case 8:
    case 9:
        return i;
    case 10:
    case 11:
    case 12: {
        // Phases that carry power for each system type number.
        double m = 0.0;
        if (k == 1.0)
            m = 1.0;
        else if (k == 2.0 || k == 3.0 || k == 5.0 || k == 6.0)
            m = 3.0;
        else if (k == 4.0)
            m = 2.0;
        return i * v * m / 1000.0;
    }
    case 13:
    case 30:
    case 31:
    case 32:
        return 1.0;
    case 16:
        // Nominal frequency nearest the reading; the first matching range wins.
        if (value > 45.0 && value < 56.0)
            return 50.0;
        if (value > 55.0 && value < 66.0)
            return 60.0;
        if (value > 95.0 && value < 106.0)
            return 100.0;
        if (value > 105.0 && value < 136.0)
            return 120.0;
        if (value > 395.0 && value < 406.0)
            return 400.0;
        return 1.0;
    default:
        return 0.0;
    }
}

int VerticalDivisions(const Graph& graph) {
    return graph.m_RelativeY ? graph.m_ScaleY : kAbsoluteDivisions;
}

std::optional<double> FullScaleHeight(const Graph& graph, double H) {
    double height = H;
    if (graph.m_RelativeY) {
        if (graph.m_ScaleY == 0)
            return std::nullopt;
        height = height / graph.m_ScaleY * graph.m_NominalScaleY;
    }
    if (graph.m_CentreZero)
        height = height / 2.0;
    if (!Usable(height))
        return std::nullopt;
    return height;
}

double ZeroLine(const Graph& graph, const PlotGeometry& plot) {
    return graph.m_CentreZero ? plot.y0 - plot.H / 2.0 : static_cast<double>(plot.y0);
}

std::optional<double> FractionOfFullScale(const CZentraDoc& doc, const Graph& graph,
                                          std::int32_t source, double value) {
    double fraction = 0.0;
    if (graph.m_RelativeY) {
        const double span = RelativeSystemSpans().Span(source, doc, value);
        if (!Usable(span) || !Usable(graph.m_NominalY[1]))
            return std::nullopt;
        fraction = (value / span) * 100.0 / graph.m_NominalY[1];
    } else {
        if (!Usable(graph.m_NominalY[0]))
            return std::nullopt;
        fraction = value / graph.m_NominalY[0];
    }
    if (std::isnan(fraction))
        return std::nullopt;
    return fraction;
}

bool TraceScalable(const CZentraDoc& doc, const Graph& graph, std::int32_t source) {
    if (!graph.m_RelativeY)
        return Usable(graph.m_NominalY[0]);
    constexpr double kProbe = 50.0; // any value: only the frequency span depends on it
    return Usable(graph.m_NominalY[1]) && RelativeSystemSpans().Span(source, doc, kProbe) != 0.0;
}

PlotRow ValueToY(bool centreZero, double fraction, double fullScale, const PlotGeometry& plot) {
    const double d = fraction * fullScale;
    const double y0 = plot.y0;
    const double H = plot.H;
    if (!centreZero) {
        if (d >= H)
            return {TruncToInt(y0 - H + 1.0), true};
        if (d < 0.0)
            return {plot.y0 - 1, true};
        return {TruncToInt(y0 - d), false};
    }
    const double half = H * 0.5;
    const double yc = y0 - half;
    if (std::fabs(d) < half)
        return {TruncToInt(yc - d), false};
    if (d >= 0.0)
        return {TruncToInt(yc - half + 1.0), true};
    return {TruncToInt(yc + half + 1.0), true};
}

// --- Ticks and labels ------------------------------------------------------------------

int XTickLength(const Graph& graph, double H) {
    return TruncToInt(graph.m_TickLengthX * H) / 100;
}

int XTickHalfLength(const Graph& graph, double H) {
    return TruncToInt(graph.m_TickLengthX * H) / 200;
}

int YTickLength(const Graph& graph, double W) {
    return TruncToInt(graph.m_TickLengthY * W) / 100;
}

std::optional<double> TopLabelValue(const Graph& graph) {
    if (!graph.m_RelativeY)
        return graph.m_NominalY[0];
    if (graph.m_NominalScaleY == 0)
        return std::nullopt;
    return graph.m_NominalY[1] * graph.m_ScaleY / graph.m_NominalScaleY;
}

std::string DivisionLabelText(bool relative, double value) {
    if (relative)
        return Printf("%d%%", TruncToInt(value));
    if (value < 10.0)
        return Printf("%.1f", value);
    return Printf("%d", TruncToInt(value));
}

std::vector<YLabel> YLabels(const Graph& graph, const PlotGeometry& plot, int fh) {
    std::vector<YLabel> labels;
    const double y0 = plot.y0;
    const double H = plot.H;
    const int zeroRow = graph.m_CentreZero ? TruncToInt(y0 - H * 0.5) : plot.y0;
    labels.push_back({zeroRow - fh, zeroRow, "0"});

    const int n = VerticalDivisions(graph);
    const std::optional<double> top = TopLabelValue(graph);
    if (!top || n < 1 || n > kMaxDivisions)
        return labels;
    const double v = *top;
    const bool relative = graph.m_RelativeY != 0;
    labels.reserve(1 + static_cast<std::size_t>(n)); // drawn on every paint: one allocation
    if (!graph.m_CentreZero) {
        for (int i = 1; i <= n; ++i) {
            const double yi = y0 - i * H / n;
            labels.push_back(
                {TruncToInt(yi - fh), TruncToInt(yi), DivisionLabelText(relative, v * i / n)});
        }
        return labels;
    }
    for (int m = 1; m <= n / 2; ++m) {
        const int k = 2 * m;
        const int yu = TruncToInt(y0 - H * 0.5 - k * (H / n) * 0.5);
        const int yl = yu + TruncToInt(k * H / n);
        const int w = TruncToInt(v * k / n);
        labels.push_back({yu - fh, yu, Printf(relative ? "%d%%" : "%d", w)});
        labels.push_back({yl - fh, yl, Printf(relative ? "-%d%%" : "-%d", w)});
    }
    return labels;
}

// --- Time base ----------------------------------------------------------------------------

int TimeSteps(const Graph& graph) {
    return std::clamp(graph.m_ScaleX, 0, graph.m_RealTime ? kMaxLiveSteps : kMaxLogSteps);
}

int LiveWindowStart(std::int32_t liveIndex, int steps) {
    std::int64_t s = static_cast<std::int64_t>(liveIndex) - steps + (kRingSlots - 1);
    if (s > kRingSlots - 1)
        s -= kRingSlots;
    if (s > kRingSlots - 1)
        s = 0;
    if (s < 0) // only with a ring index outside the ring
        s = ((s % kRingSlots) + kRingSlots) % kRingSlots;
    return static_cast<int>(s);
}

std::int32_t SecondsPerDivision(const CZentraDoc& doc) {
    return Saturate32(static_cast<std::int64_t>(doc.m_Period) * doc.m_PeriodMultiplier);
}

void UpdateLogWindow(Graph& graph, std::int32_t sampleCount) {
    if (sampleCount < 1)
        graph.m_LastIndex = 0;
    else if (graph.m_ScrollOffset == 0)
        graph.m_LastIndex = sampleCount - 1;
    graph.m_FirstIndex = Saturate32(static_cast<std::int64_t>(graph.m_LastIndex) +
                                    graph.m_ScrollOffset - LogSteps(graph));
}

// --- History browsing ------------------------------------------------------------------

bool ScrollBack(Graph& graph, platform::TimeSeconds now) {
    if (graph.m_LeftArrowActive != 1)
        return false;
    if (graph.m_ScrollOffset == 0)
        graph.m_HistoryTime = now;
    graph.m_ScrollOffset =
        Saturate32(static_cast<std::int64_t>(graph.m_ScrollOffset) - LogSteps(graph));
    return true;
}

bool ScrollForward(Graph& graph) {
    if (graph.m_RightArrowActive != 1)
        return false;
    const std::int64_t offset = static_cast<std::int64_t>(graph.m_ScrollOffset) + LogSteps(graph);
    graph.m_ScrollOffset = offset >= 0 ? 0 : Saturate32(offset);
    return true;
}

} // namespace zentra

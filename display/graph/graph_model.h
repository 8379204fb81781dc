// The arithmetic that turns a graph's settings and a reading into pixels: where a
// trace's value comes from, the vertical scale (absolute, relative to a nominal span,
// with or without the zero in the middle), the horizontal time base, tick and grid
// lengths, the Y label texts and the browsing of logged history. Plain functions of
// plain data; the renderer and the view's click handling call them.
#pragma once

#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "records/graph_record.h"
#include "records/readings_catalogue.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zentra {

// Reduced reading list of meter variants 3 and 6; a log-mode trace source is looked up
// in its first eight entries.
inline constexpr std::array<ReadingIndex, kShortColumnCount> ReducedTraceList = ShortLoggedColumns;
inline constexpr int kReducedLookupEntries = 8;

// Ring column of a live trace for meter variants 1 and 5, by position (0..23).
inline constexpr std::array<int, 24> LiveColumnTable{
    49, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 23, 24, 25, 26, 38, 40, 41};

// Column that stands for the derived horse-power value.
inline constexpr int kHorsePowerColumn = 49;
// A trace with no column to read: plots 0.0.
inline constexpr int kNoColumn = -1;

inline constexpr double kRootThree = 1.7320508075688772;
// Divisions of an absolute Y axis.
inline constexpr int kAbsoluteDivisions = 10;
// Steps a trace can have: a real-time window never needs more than the ring holds,
// a log window never more than the log holds. Larger stored time bases (from a file
// or the settings store) are drawn at these, so a paint stays bounded.
inline constexpr int kMaxLiveSteps = 600;
inline constexpr int kMaxLogSteps = 7200;
// More Y divisions than this draw no division ticks or labels (they would be
// closer than a pixel on any screen, and drawing them would take long).
inline constexpr int kMaxDivisions = 4000;

// Where the view puts the plot of one cell (pixels, y grows downward).
struct PlotGeometry {
    int x0 = 0;     // plot left: the Y axis
    int y0 = 0;     // plot baseline: the X axis
    double W = 0.0; // plot width
    double H = 0.0; // plot height
};

// Double to pixel: truncates toward zero; NaN gives 0 and values beyond the int range
// saturate, so that stray values cannot become undefined conversions.
int TruncToInt(double value);

// --- Where a trace's value comes from ------------------------------------------------

// Column of the logged record (log mode) or ring entry (real-time mode) that a trace's
// source value reads. kNoColumn for source values that name no reading (0 or below)
// and for ring columns outside LiveColumnTable.
int SourceColumn(const CZentraDoc& doc, const Graph& graph, std::int32_t source);

// Value of a column in logged sample `index`. 0.0 for a sample index outside the log
// and for a column outside the record (horse power, 49, is derived).
double LogValue(const CZentraDoc& doc, int column, std::int64_t index);
// Value of a column in ring entry `entry`; 0.0 outside the ring or the entry.
double LiveValue(const CZentraDoc& doc, int column, int entry);

// --- Vertical scale ------------------------------------------------------------------

// Nominal spans of the relative axis, by trace source value.
class RelativeSystemSpans {
  public:
    virtual ~RelativeSystemSpans() = default;
    // Span of source `source` for the meter set-up held by the document (system
    // voltage, current and type number); the frequency span depends on `value`.
    // 0 when the source has no span.
    double Span(std::int32_t source, const CZentraDoc& doc, double value) const;
};

// Number of Y divisions: m_ScaleY on a relative axis, else 10.
int VerticalDivisions(const Graph& graph);

// Height of full scale in pixels; nothing when the scale divides by zero (a zero
// m_ScaleY on a relative axis) or comes out zero or not finite.
std::optional<double> FullScaleHeight(const Graph& graph, double H);

// Row of the zero line: y0, or y0 - H/2 with centre zero.
double ZeroLine(const Graph& graph, const PlotGeometry& plot);

// Fraction of full scale of `value` read for trace source `source`; nothing when it
// divides by zero (zero m_NominalY entry or span) or the value is not a number.
std::optional<double> FractionOfFullScale(const CZentraDoc& doc, const Graph& graph,
                                          std::int32_t source, double value);

// True when a trace can be scaled at all: its nominal value (and, on a relative axis,
// its span) is non-zero. The frequency span is never zero, so one probe value decides.
bool TraceScalable(const CZentraDoc& doc, const Graph& graph, std::int32_t source);

struct PlotRow {
    int y = 0;
    bool clipped = false;
};

// Pixel row of a value at `fraction` of full scale `fullScale` (pixels). A value at or
// beyond the top is held one pixel below the top edge and marked clipped; one below
// the bottom is held one pixel above the baseline (one pixel below it with centre
// zero) and marked clipped. Callers skip NaN fractions.
PlotRow ValueToY(bool centreZero, double fraction, double fullScale, const PlotGeometry& plot);

// --- Ticks and labels ------------------------------------------------------------------

// Lengths in whole pixels: X ticks (and half of it with centre zero) and Y ticks.
int XTickLength(const Graph& graph, double H);
int XTickHalfLength(const Graph& graph, double H);
int YTickLength(const Graph& graph, double W);

// Value of the top of the Y axis: m_NominalY[1] * m_ScaleY / m_NominalScaleY on a
// relative axis, m_NominalY[0] on an absolute one; nothing on a relative axis with a
// zero m_NominalScaleY.
std::optional<double> TopLabelValue(const Graph& graph);

// Text of a division label without centre zero.
std::string DivisionLabelText(bool relative, double value);

// One Y label: its text and the rectangle rows it is bottom-aligned in.
struct YLabel {
    int top = 0;
    int bottom = 0;
    std::string text;
};

// The Y labels of a graph (the zero label first), for a label font of height fh.
std::vector<YLabel> YLabels(const Graph& graph, const PlotGeometry& plot, int fh);

// --- Time base ----------------------------------------------------------------------------

// Steps across the plot as drawn: m_ScaleX held to kMaxLiveSteps or kMaxLogSteps for
// the graph's mode; 0 for a zero or negative time base (nothing is plotted).
int TimeSteps(const Graph& graph);

// First ring entry of the real-time window for `steps` steps (always 0..600).
int LiveWindowStart(std::int32_t liveIndex, int steps);

// Next ring entry after `entry`, wrapping 600 to 0.
inline int NextRingEntry(int entry) {
    return entry + 1 >= kRingSlots ? 0 : entry + 1;
}

// Seconds per time step in log mode: m_Period * m_PeriodMultiplier (saturated).
std::int32_t SecondsPerDivision(const CZentraDoc& doc);

// Updates m_LastIndex (follows the newest sample unless browsing) and m_FirstIndex
// (the sample at the left edge) of a log-mode graph.
void UpdateLogWindow(Graph& graph, std::int32_t sampleCount);

// --- History browsing ------------------------------------------------------------------

// One window back in the log; records `now` as m_HistoryTime when leaving the live end.
// Acts only while the left arrow is active; returns whether it did.
bool ScrollBack(Graph& graph, platform::TimeSeconds now = platform::Now());
// One window forward; reaching 0 or beyond returns to the live end. Acts only while
// the right arrow is active; returns whether it did.
bool ScrollForward(Graph& graph);

} // namespace zentra

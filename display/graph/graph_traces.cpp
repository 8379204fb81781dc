// The traces of a graph: one polyline per trace through the window of logged samples
// or live ring entries, broken where the ring has not been written yet, around live
// values beyond the scale, and where a value cannot be scaled.
#include "display/graph/graph_renderer.h"

#include "display/graph/render_support.h"
#include "document/zentra_doc.h"

#include <QPainter>
#include <QPen>
#include <QPolygon>

#include <algorithm>

namespace zentra {
namespace {

// Vertical offsets of traces 1, 2 and 3, so that equal values stay distinguishable.
constexpr std::array<int, kTracesPerGraph> kTraceOffsets{0, 1, -1};

// Collects the pen's moves and lines into polylines, drawn one run at a time.
class TracePath {
  public:
    explicit TracePath(QPainter& painter) : painter_(painter) { run_.reserve(1024); }
    ~TracePath() { Flush(); }
    TracePath(const TracePath&) = delete;
    TracePath& operator=(const TracePath&) = delete;

    void MoveTo(int x, int y) {
        Flush();
        run_.append(QPoint(x, y));
    }
    // Without a current point (after a skipped value) the line starts here instead.
    void LineTo(int x, int y) { run_.append(QPoint(x, y)); }
    // Lifts the pen: the next line starts at its own end point.
    void Lift() { Flush(); }

  private:
    // A two-pixel pen, drawn as a 2 x 2 nib: the run stroked four times with a
    // one-pixel pen, at the point and one pixel left, up, and up-left of it. Covers
    // the pixels a two-pixel pen does, at a fraction of the cost of a wide stroke.
    void Flush() {
        if (run_.size() >= 2) {
            painter_.drawPolyline(run_);
            for (const QPoint nib : {QPoint(-1, 0), QPoint(0, -1), QPoint(-1, -1)}) {
                shifted_.resize(run_.size());
                for (qsizetype i = 0; i < run_.size(); ++i)
                    shifted_[i] = run_[i] + nib;
                painter_.drawPolyline(shifted_);
            }
        }
        run_.clear();
    }
    QPainter& painter_;
    QPolygon run_;
    QPolygon shifted_;
};

struct TraceScale {
    const CZentraDoc& doc;
    const Graph& graph;
    std::int32_t source;
    double fullScale;
    PlotGeometry plot;
    int offset;

    // Row of a value, or nothing when it cannot be scaled (not a number).
    std::optional<PlotRow> Row(double value) const {
        const std::optional<double> fraction = FractionOfFullScale(doc, graph, source, value);
        if (!fraction)
            return std::nullopt;
        return RowOfFraction(*fraction);
    }
    PlotRow RowOfFraction(double fraction) const {
        PlotRow row = ValueToY(graph.m_CentreZero != 0, fraction, fullScale, plot);
        row.y += offset;
        return row;
    }
};

void DrawLogTrace(TracePath& path, const TraceScale& scale, int column, int steps) {
    const Graph& graph = scale.graph;
    const double S = scale.plot.W / steps;
    for (int n = 0; n <= steps; ++n) {
        const std::int64_t index = static_cast<std::int64_t>(graph.m_FirstIndex) + n;
        // Before the first sample the window shows zero.
        const std::optional<PlotRow> row = index < 0
                                               ? std::optional(scale.RowOfFraction(0.0))
                                               : scale.Row(LogValue(scale.doc, column, index));
        if (!row) {
            path.Lift();
            continue;
        }
        const int x = n == 0 ? scale.plot.x0 : TruncToInt(n * S + scale.plot.x0);
        if (n == 0)
            path.MoveTo(x, row->y);
        else
            path.LineTo(x, row->y);
    }
}

void DrawLiveTrace(TracePath& path, const TraceScale& scale, int column, int steps) {
    const CZentraDoc& doc = scale.doc;
    const PlotGeometry& plot = scale.plot;
    const double S = plot.W / steps;
    const int zeroRow = TruncToInt(ZeroLine(scale.graph, plot)) + scale.offset;
    const int halfStep = TruncToInt(S * 0.5);
    const int step = TruncToInt(S);
    const int rightEdge = TruncToInt(plot.x0 + plot.W);

    int entry = LiveWindowStart(doc.m_LiveIndex, steps);
    if (!doc.m_LiveValid[static_cast<std::size_t>(entry)]) {
        path.MoveTo(plot.x0, zeroRow);
    } else if (const auto row = scale.Row(LiveValue(doc, column, entry))) {
        path.MoveTo(plot.x0, row->y);
    }
    for (int n = 1; n <= steps; ++n) {
        const int x = plot.x0 + TruncToInt(n * S);
        entry = NextRingEntry(entry);
        if (!doc.m_LiveValid[static_cast<std::size_t>(entry)]) {
            path.MoveTo(x, zeroRow); // not written yet: a gap back to the zero line
            continue;
        }
        const std::optional<PlotRow> row = scale.Row(LiveValue(doc, column, entry));
        if (!row) {
            path.Lift();
            continue;
        }
        if (!row->clipped) {
            path.LineTo(x, row->y);
            continue;
        }
        // Beyond the scale: run to half a step before the sample, leave a gap one step
        // wide along the clipped row, and go on from half a step after it.
        path.LineTo(x - halfStep, row->y);
        path.MoveTo(std::min(x - halfStep + step, rightEdge), row->y);
    }
}

} // namespace

void DrawTrace(QPainter& painter, CZentraDoc& doc, int g, int trace,
               const GraphGeometry& geometry) {
    if (g < 0 || g >= kGraphCount || trace < 0 || trace >= kTracesPerGraph)
        return;
    Graph& graph = doc.m_Graphs[static_cast<std::size_t>(g)];
    const auto t = static_cast<std::size_t>(trace);
    if (IsTraceOff(graph.m_Headings[t]))
        return;
    if (!graph.m_RealTime)
        UpdateLogWindow(graph, doc.m_SampleCount);

    // A trace that would divide by zero is not drawn at all.
    const std::int32_t source = graph.m_Associations[t];
    const int steps = TimeSteps(graph);
    const std::optional<double> fullScale = FullScaleHeight(graph, geometry.plotHeight);
    if (steps <= 0 || !fullScale || !TraceScalable(doc, graph, source))
        return;

    const TraceColour& c = TraceColourAt(graph.m_LineColour[t]);
    QPen pen(QColor(c.r, c.g, c.b), 0); // one pixel, stroked as a two-pixel nib
    pen.setCosmetic(true);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(pen);
    {
        const TraceScale scale{
            doc, graph, source, *fullScale, render::PlotOf(geometry), kTraceOffsets[t]};
        TracePath path(painter);
        const int column = SourceColumn(doc, graph, source);
        if (graph.m_RealTime)
            DrawLiveTrace(path, scale, column, steps);
        else
            DrawLogTrace(path, scale, column, steps);
    }
    painter.restore();
}

} // namespace zentra

#include "display/graph/graph_renderer.h"

#include "display/graph/axis_texts.h"
#include "display/graph/logging_scale_arrows.h"
#include "display/graph/render_support.h"
#include "document/zentra_doc.h"

#include <QBrush>
#include <QLine>
#include <QPainter>
#include <QPen>
#include <QVector>

namespace zentra {
namespace {

using render::Edges;
using render::MakeFont;
using render::PlotOf;
using render::TextOf;

const QColor kBlack(0, 0, 0);
const QColor kHistoryBlue(0, 0, 255);
const QColor kArrowOutline(40, 19, 141);
const QColor kArrowFill(60, 26, 133);

// Axes, ticks and grid: black, one pixel whatever the device.
QPen AxisPen() {
    QPen pen(kBlack, 0);
    pen.setCosmetic(true);
    return pen;
}

bool ValidGraph(int g) {
    return g >= 0 && g < kGraphCount;
}

// Left and top of the rectangle the graph number and the mode caption hang from.
QPoint CaptionOrigin(const GraphGeometry& geometry) {
    if (geometry.maximisedGraph != -1)
        return {0, 0};
    return geometry.cell.topLeft();
}

} // namespace

int LabelFontHeight(int textScale) {
    return TruncToInt((textScale / 2) * 0.04);
}

void DrawGraph(QPainter& painter, CZentraDoc& doc, int g, const GraphGeometry& geometry) {
    if (!ValidGraph(g))
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawAxes(painter, doc, g, geometry);
    DrawTicks(painter, doc, g, geometry);
    DrawAxisLabels(painter, doc, g, geometry);
    DrawLegend(painter, doc, g, geometry);
    for (int t = 0; t < kTracesPerGraph; ++t)
        DrawTrace(painter, doc, g, t, geometry);
    painter.restore();
}

void DrawAxes(QPainter& painter, const CZentraDoc& doc, int g, const GraphGeometry& geometry) {
    if (!ValidGraph(g))
        return;
    const Graph& graph = doc.m_Graphs[static_cast<std::size_t>(g)];
    const int x0 = geometry.plotLeft;
    const int y0 = geometry.plotBaseline;
    const int right = x0 + TruncToInt(geometry.plotWidth);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(AxisPen());
    painter.drawLine(x0, y0, x0, y0 - TruncToInt(geometry.plotHeight));
    if (!graph.m_CentreZero) {
        painter.drawLine(x0, y0, right, y0);
    } else {
        const int yc = y0 - TruncToInt(geometry.plotHeight * 0.5);
        painter.setPen(QPen(kBlack, 1, Qt::DashLine));
        painter.drawLine(x0, yc, right, yc);
    }
    painter.restore();
}

void DrawTicks(QPainter& painter, const CZentraDoc& doc, int g, const GraphGeometry& geometry) {
    if (!ValidGraph(g))
        return;
    const Graph& graph = doc.m_Graphs[static_cast<std::size_t>(g)];
    const int x0 = geometry.plotLeft;
    const int y0 = geometry.plotBaseline;
    const double W = geometry.plotWidth;
    const double H = geometry.plotHeight;
    QVector<QLine> lines;

    const int steps = TimeSteps(graph);
    if (!graph.m_CentreZero) {
        const int length = XTickLength(graph, H);
        for (int i = 1; i <= steps; ++i) {
            const int x = TruncToInt(i * W / steps + x0);
            lines.append(QLine(x, y0, x, y0 - length));
        }
    } else {
        const int yc = y0 - TruncToInt(H * 0.5);
        const int half = XTickHalfLength(graph, H);
        for (int i = 1; i <= steps; ++i) {
            const int x = TruncToInt(i * W / steps + x0);
            lines.append(QLine(x, yc - half, x, yc + half));
        }
    }

    // Y ticks count from the baseline, with centre zero too.
    const int n = VerticalDivisions(graph);
    const int length = YTickLength(graph, W);
    lines.append(QLine(x0, y0, x0 + length, y0));
    if (n <= kMaxDivisions) {
        for (int j = 1; j <= n; ++j) {
            const int y = TruncToInt(y0 - j * H / n);
            lines.append(QLine(x0, y, x0 + length, y));
        }
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(AxisPen());
    painter.drawLines(lines);
    painter.restore();
}

void DrawAxisLabels(QPainter& painter, CZentraDoc& doc, int g, const GraphGeometry& geometry) {
    if (!ValidGraph(g))
        return;
    Graph& graph = doc.m_Graphs[static_cast<std::size_t>(g)];
    const int x0 = geometry.plotLeft;
    const int y0 = geometry.plotBaseline;
    const double W = geometry.plotWidth;
    const double H = geometry.plotHeight;
    const int fh = LabelFontHeight(geometry.textScale);

    painter.save();
    painter.setFont(MakeFont(fh, geometry.fontWeight));
    painter.setPen(kBlack);
    const QRect band =
        Edges(x0, y0 + TruncToInt(H / 100), TruncToInt(x0 + W), y0 + TruncToInt(H * 8 / 100));

    if (!graph.m_RealTime) {
        graph.m_SecondsPerDiv = SecondsPerDivision(doc);
        if (doc.m_SampleCount > 0) {
            // Blue marks a graph that is browsing history; it stays for the Y labels.
            painter.setPen(graph.m_ScrollOffset != 0 ? kHistoryBlue : kBlack);
            UpdateLogAxisTexts(doc, graph);
            painter.drawText(band, render::kRightTop, TextOf(doc.m_LogAxisEnd) + ">");
            painter.drawText(band, render::kLeftTop, "<" + TextOf(doc.m_LogAxisStart));
        } else {
            // The start text takes the place of the "0": text is drawn on a clear
            // background here, so "<" over "0" would read as "e".
            painter.drawText(band, render::kLeftTop, QString::number(0));
        }
        painter.drawText(
            band, render::kCentreTop,
            QString("%1  (%2 sec/div)").arg(TextOf(doc.m_LogAxisDate)).arg(graph.m_SecondsPerDiv));
        DrawHistoryArrows(painter, doc, g, geometry);
        graph.m_LeftArrowActive = 1;
        graph.m_RightArrowActive = 1;
    } else {
        UpdateLiveAxisTexts(doc, graph);
        painter.drawText(band, render::kRightTop, TextOf(doc.m_LiveAxisEnd) + ">");
        painter.drawText(band, render::kLeftTop, "<" + TextOf(doc.m_LiveAxisStart));
        painter.drawText(band, render::kCentreTop,
                         QString("%1  (1 sec/div)").arg(TextOf(doc.m_LiveAxisDate)));
    }

    for (const YLabel& label : YLabels(graph, PlotOf(geometry), fh)) {
        painter.drawText(Edges(x0 - 100, label.top, x0 - 5, label.bottom), render::kRightBottom,
                         QString::fromStdString(label.text));
    }
    painter.restore();
}

void DrawHistoryArrows(QPainter& painter, const CZentraDoc& doc, int g,
                       const GraphGeometry& geometry) {
    if (!ValidGraph(g))
        return;
    const Graph& graph = doc.m_Graphs[static_cast<std::size_t>(g)];
    const LoggingScaleArrowCoords arrows(geometry.plotLeft, geometry.plotWidth,
                                         geometry.plotBaseline, geometry.clientBottom);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const auto draw = [&](const std::array<QPoint, 3>& p, const QPolygon& polygon) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kArrowFill);
        painter.drawPolygon(polygon, Qt::WindingFill);
        painter.setPen(QPen(kArrowOutline, 1));
        painter.setBrush(Qt::NoBrush);
        const QPoint outline[] = {p[0], p[1], p[2], p[0]};
        painter.drawPolyline(outline, 4);
    };
    if (graph.m_LeftArrowActive == 1)
        draw(arrows.LeftTriangle(), arrows.LeftPolygon());
    if (graph.m_RightArrowActive == 1)
        draw(arrows.RightTriangle(), arrows.RightPolygon());
    painter.restore();
}

void DrawLegend(QPainter& painter, const CZentraDoc& doc, int g, const GraphGeometry& geometry) {
    if (!ValidGraph(g))
        return;
    const Graph& graph = doc.m_Graphs[static_cast<std::size_t>(g)];
    const double x0 = geometry.plotLeft;
    const double W = geometry.plotWidth;
    const int fh = LabelFontHeight(geometry.textScale);
    const QFont labelFont = MakeFont(fh, geometry.fontWeight);
    const QFont largeFont = MakeFont(2 * fh, geometry.fontWeight);

    painter.save();
    painter.setFont(labelFont);

    int n = 0;
    for (const auto& heading : graph.m_Headings)
        n += IsTraceOff(heading) ? 0 : 1;
    // Left edges of the 100-pixel legend items: centred at 1/2, at 1/3 and 2/3, or
    // at 1/4, 2/4 and 3/4 of the plot width.
    std::array<int, kTracesPerGraph> positions{};
    for (int j = 0; j < n; ++j)
        positions[static_cast<std::size_t>(j)] = TruncToInt(x0 + (j + 1) * W / (n + 1) - 50);

    const int top =
        TruncToInt(geometry.plotBaseline - geometry.plotHeight - (6 * geometry.cellHeight) / 100);
    std::size_t k = 0;
    for (std::size_t t = 0; t < kTracesPerGraph; ++t) {
        if (IsTraceOff(graph.m_Headings[t]))
            continue;
        const TraceColour& c = TraceColourAt(graph.m_LineColour[t]);
        painter.setPen(QColor(c.r, c.g, c.b));
        painter.drawText(Edges(positions[k], top, positions[k] + 100, top + fh), render::kCentreTop,
                         TextOf(graph.m_Headings[t]));
        ++k;
    }

    const QPoint origin = CaptionOrigin(geometry);
    const int l = origin.x();
    const int tp = origin.y();
    painter.setPen(kBlack);
    painter.setFont(largeFont);
    painter.drawText(Edges(l + 20, tp + 2, l + 120, tp + 2 + 2 * fh), render::kLeftTop,
                     QString::number(g + 1));
    painter.setFont(labelFont);
    QString caption = QString(10, QLatin1Char(' '));
    if (!graph.m_RealTime)
        caption = graph.m_ScrollOffset == 0 ? "(log screen)" : "(log history)";
    painter.drawText(Edges(l + 53, tp + 2, l + 220, tp + 2 + 2 * fh), render::kLeftBottom, caption);
    painter.restore();
}

} // namespace zentra

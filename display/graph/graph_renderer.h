// Paints one graph of the current page into its cell: axes, ticks, axis labels with
// the history arrows, legend, then the three traces. Draws into any QPaintDevice
// (the view's back buffer, a QImage in tests, a printer).
#pragma once

#include <QRect>

class QPainter;

namespace zentra {

struct CZentraDoc;

// What the view hands the renderer for one cell (client pixels, y grows downward).
struct GraphGeometry {
    int plotLeft = 0;        // x0: the Y axis
    int plotBaseline = 0;    // y0: the X axis
    double plotWidth = 0.0;  // W
    double plotHeight = 0.0; // H
    int textScale = 0;       // T: height the layout was computed for
    int cellHeight = 0;      // C: half the area when tiled, all of it when maximised
    QRect cell;              // the cell rectangle (left and top used)
    int maximisedGraph = -1; // -1 when tiled
    int clientBottom = 0;    // B: bottom of the client rectangle
    int fontWeight = 400;    // 400 or 700
};

// Draws graph g (0..11) of the document. Updates the graph's working fields
// (m_SecondsPerDiv, m_FirstIndex, m_LastIndex, arrow flags) and the axis texts
// kept in the document, as drawing does.
void DrawGraph(QPainter& painter, CZentraDoc& doc, int g, const GraphGeometry& geometry);

// The steps of DrawGraph, in its order. Each leaves the painter as it found it.
void DrawAxes(QPainter& painter, const CZentraDoc& doc, int g, const GraphGeometry& geometry);
void DrawTicks(QPainter& painter, const CZentraDoc& doc, int g, const GraphGeometry& geometry);
// Time band texts, the history arrows (log mode) and the Y labels.
void DrawAxisLabels(QPainter& painter, CZentraDoc& doc, int g, const GraphGeometry& geometry);
void DrawHistoryArrows(QPainter& painter, const CZentraDoc& doc, int g,
                       const GraphGeometry& geometry);
void DrawLegend(QPainter& painter, const CZentraDoc& doc, int g, const GraphGeometry& geometry);
// Trace 0, 1 or 2 of graph g; drawn 0, +1 and -1 pixel off its rows respectively.
void DrawTrace(QPainter& painter, CZentraDoc& doc, int g, int trace, const GraphGeometry& geometry);

// Height of the label font for a text scale T (the large font is twice as high).
int LabelFontHeight(int textScale);

} // namespace zentra

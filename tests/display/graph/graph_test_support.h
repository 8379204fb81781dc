// Shared set-up of the graph drawing tests: a document on the heap, the tiled cell
// geometry of the view, an image to paint into and pixel probes.
#pragma once

#include "display/graph/graph_renderer.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <memory>

namespace zentra::test {

inline const QColor kBackground(250, 250, 255);

// Cell geometry of quadrant k of a tiled view of the given client size.
inline GraphGeometry TiledGeometry(int k, int width, int height) {
    const int cw = width / 2, ch = height / 2, m = (cw * 10) / 100;
    const bool right = k % 2 != 0, lower = k >= 2;
    const int left = right ? cw + 1 : 0, top = lower ? ch + 1 : 0;
    const QRect cell(left, top, (right ? width : cw) - left, (lower ? height : ch) - top);
    const int x0 = (right ? cw : 0) + m, y0 = (lower ? height : ch) - m;
    const double w = cw - 2 * m, h = ch - 2 * m;
    // x0, y0, W, H, text scale, cell height, cell, graph, client bottom, font weight.
    return {x0, y0, w, h, height, ch, cell, -1, height, 400};
}

inline QImage BlankImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kBackground);
    return image;
}

inline QImage Paint(CZentraDoc& doc, int g, const GraphGeometry& geometry, int width = 800,
                    int height = 600) {
    QImage image = BlankImage(width, height);
    QPainter painter(&image);
    DrawGraph(painter, doc, g, geometry);
    painter.end();
    return image;
}

inline QColor At(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

// Pixels inside [left, right) x [top, bottom) for which `match` holds, and their mean x
// (-1 when there are none).
template <class Match>
int CountIf(const QImage& image, Match match, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            n += match(image.pixel(x, y)) ? 1 : 0;
    return n;
}
template <class Match>
double MeanXIf(const QImage& image, Match match, int left, int top, int right, int bottom) {
    double sum = 0.0;
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (match(image.pixel(x, y))) {
                sum += x;
                ++n;
            }
    return n ? sum / n : -1.0;
}
inline int CountColour(const QImage& image, const QColor& colour, int left, int top, int right,
                       int bottom) {
    return CountIf(
        image, [&](QRgb p) { return p == colour.rgb(); }, left, top, right, bottom);
}
// Pixels that differ from the background.
inline int CountInk(const QImage& image, int left, int top, int right, int bottom) {
    return CountIf(
        image, [](QRgb p) { return p != kBackground.rgb(); }, left, top, right, bottom);
}

inline constexpr platform::TimeSeconds kNow = 1357394589; // Sat Jan 05 14:03:09 2013 (GMT)

// Graph 1 in quadrant 0 of an 800 x 600 view (x0 40, y0 260, W 320, H 220), absolute,
// 500 full scale, ten steps; traces red, green and blue, only the first one on.
class GraphFixture : public ::testing::Test {
  protected:
    platform::ManualClock clock{kNow};
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    Graph& graph = doc->m_Graphs[0];
    GraphGeometry geometry = TiledGeometry(0, 800, 600);

    void SetUp() override {
        doc->ResetToDefaults();
        graph.m_RealTime = 0;
        graph.m_RelativeY = 0;
        graph.m_NominalY = {500.0, 100.0};
        graph.m_ScaleX = 10;
        graph.m_LineColour = {1, 3, 2}; // red, green, blue
        graph.m_Associations = {4, 5, 6};
        SetHeadings("V 1", "OFF", "OFF");
    }
    void SetHeadings(const char* a, const char* b, const char* c) {
        SetText(graph.m_Headings[0], a);
        SetText(graph.m_Headings[1], b);
        SetText(graph.m_Headings[2], c);
    }
};

} // namespace zentra::test

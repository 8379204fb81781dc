// Painting graphs into an image and probing its pixels.
#include "display/graph/graph_model.h"
#include "display/graph/render_support.h"
#include "graph_test_support.h"
#include "platform/clock.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zentra {
namespace {

using test::At;
using test::CountColour;
using test::CountInk;
using test::kNow;
using test::Paint;

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kBlack(0, 0, 0);

bool Bluish(QRgb p) {
    return qBlue(p) > 200 && qBlue(p) - qRed(p) > 100;
}
bool Reddish(QRgb p) {
    return qRed(p) > 200 && qRed(p) - qBlue(p) > 100;
}

class GraphRenderTest : public test::GraphFixture {
  protected:
    // Logged samples whose elements 4, 5 and 6 all hold `value`.
    void Log(int count, double value) {
        doc->m_SampleCount = count;
        for (int i = 0; i < count; ++i)
            for (int e : {4, 5, 6})
                doc->m_SampleValues[static_cast<std::size_t>(i)][static_cast<std::size_t>(e)] =
                    value;
    }
    // Ring entries 0..count-1 written with `value` in positions 4..6; the window of
    // ScaleX 10 then covers entries 0..10 when count is 11.
    void Live(int count, double value) {
        graph.m_RealTime = 1;
        doc->m_LiveIndex = count;
        for (int i = 0; i < count; ++i)
            SetLive(i, value);
    }
    void SetLive(int entry, double value) {
        const auto e = static_cast<std::size_t>(entry);
        doc->m_LiveValid[e] = 1;
        for (std::size_t k : {4u, 5u, 6u})
            doc->m_LiveValues[e][k] = value;
    }
    int Row(double value) const {
        const PlotGeometry plot = render::PlotOf(geometry);
        return ValueToY(graph.m_CentreZero != 0, value / graph.m_NominalY[0], plot.H, plot).y;
    }
};

TEST_F(GraphRenderTest, TraceLiesOnTheRowsOfTheArithmetic) {
    Log(11, 250.0);
    doc->m_SampleValues[5][4] = 100.0;
    const QImage image = Paint(*doc, 0, geometry);
    const int y = Row(250.0);
    ASSERT_EQ(y, 150);
    // A two-pixel pen covers the row and the one above it.
    EXPECT_EQ(At(image, 100, y), kRed);
    EXPECT_EQ(At(image, 100, y - 1), kRed);
    EXPECT_NE(At(image, 100, y + 1), kRed);
    EXPECT_NE(At(image, 100, y - 2), kRed);
    // Sample 5 sits at x = trunc(5 * 32 + 40).
    EXPECT_EQ(At(image, 200, Row(100.0)), kRed);
    EXPECT_EQ(graph.m_FirstIndex, 0);
    EXPECT_EQ(graph.m_LastIndex, 10);
}

TEST_F(GraphRenderTest, EqualTracesAreOffsetByOnePixel) {
    Log(11, 250.0);
    SetHeadings("V 1", "V 2", "V 3");
    QImage image = Paint(*doc, 0, geometry);
    EXPECT_EQ(At(image, 100, 148), kBlue); // trace 3, one pixel up
    EXPECT_EQ(At(image, 100, 149), kBlue);
    EXPECT_EQ(At(image, 100, 150), kGreen); // trace 2, one pixel down
    EXPECT_EQ(At(image, 100, 151), kGreen);

    SetHeadings("V 1", "V 2", "OFF");
    image = Paint(*doc, 0, geometry);
    EXPECT_EQ(At(image, 100, 149), kRed);
    EXPECT_EQ(At(image, 100, 150), kGreen);
    EXPECT_NE(At(image, 100, 148), kBlue);
}

TEST_F(GraphRenderTest, LogWindowBeforeTheFirstSampleLiesOnTheZeroLine) {
    graph.m_ScaleX = 9;
    Log(5, 250.0);
    const QImage image = Paint(*doc, 0, geometry);
    EXPECT_EQ(graph.m_FirstIndex, -5);
    const double S = 320.0 / 9;
    for (int n : {1, 2, 3})
        EXPECT_EQ(At(image, TruncToInt(n * S + 40), 259), kRed) << n;
    for (int n : {6, 7, 8})
        EXPECT_EQ(At(image, TruncToInt(n * S + 40), 150), kRed) << n;
    EXPECT_EQ(CountColour(image, kRed, 41, 140, 170, 155), 0);
}

TEST_F(GraphRenderTest, BrowsingHistoryTurnsTheLabelsBlue) {
    SetHeadings("OFF", "OFF", "OFF");
    Log(40, 250.0);
    const int band = 262, bandBottom = 277; // y0 + H/100 .. y0 + 8H/100
    QImage image = Paint(*doc, 0, geometry);
    EXPECT_EQ(test::CountIf(image, Bluish, 0, band, 400, bandBottom), 0);
    EXPECT_EQ(test::CountIf(image, Bluish, 0, 0, 40, 270), 0);
    EXPECT_EQ(graph.m_LeftArrowActive, 1);

    graph.m_HistoryTime = kNow - 3600;
    ScrollBack(graph, kNow - 3600);
    EXPECT_EQ(graph.m_ScrollOffset, -10);
    image = Paint(*doc, 0, geometry);
    EXPECT_GT(test::CountIf(image, Bluish, 40, band, 360, bandBottom), 20); // time labels
    EXPECT_GT(test::CountIf(image, Bluish, 0, 30, 36, 270), 10);            // Y labels

    // The mode caption reads "(log history)": compare with the text drawn alone.
    const int fh = LabelFontHeight(600);
    const auto caption = [&](const char* text) {
        QImage expected = test::BlankImage(800, 600);
        QPainter painter(&expected);
        painter.setFont(render::MakeFont(fh, 400));
        painter.setPen(kBlack);
        painter.drawText(render::Edges(53, 2, 220, 2 + 2 * fh), render::kLeftBottom, text);
        return expected.copy(53, 2, 167, 2 * fh);
    };
    const QImage shown = image.copy(53, 2, 167, 2 * fh);
    EXPECT_EQ(shown, caption("(log history)"));
    EXPECT_NE(shown, caption("(log screen)"));
    ScrollForward(graph);
    image = Paint(*doc, 0, geometry);
    EXPECT_EQ(image.copy(53, 2, 167, 2 * fh), caption("(log screen)"));
}

TEST_F(GraphRenderTest, HistoryArrowsAppearFromTheSecondLogPaint) {
    Log(40, 250.0);
    const QColor fill(60, 26, 133);
    const QColor outline(40, 19, 141);
    // ya = trunc(0.04 * 600 + 260) = 284; the arrows point outward from x0 and x0 + W.
    QImage image = Paint(*doc, 0, geometry);
    EXPECT_NE(At(image, 46, 284), fill);
    image = Paint(*doc, 0, geometry);
    EXPECT_EQ(At(image, 46, 284), fill);
    EXPECT_EQ(At(image, 354, 284), fill);
    EXPECT_EQ(At(image, 49, 284), outline);
    EXPECT_NE(At(image, 46, 270), fill);
}

class LegendTest : public GraphRenderTest {
  protected:
    // Larger view so the legend band (y 44..68) stays clear of the mode caption.
    void SetUp() override {
        GraphRenderTest::SetUp();
        geometry = test::TiledGeometry(0, 1600, 1200); // x0 80, y0 520, W 640, H 440
        Log(11, 250.0);
    }
    QImage PaintBig() { return Paint(*doc, 0, geometry, 1600, 1200); }
};

TEST_F(LegendTest, TwoItemsSitAtOneThirdAndTwoThirds) {
    SetHeadings("WWWW", "OFF", "WWWW");
    const QImage image = PaintBig();
    EXPECT_NEAR(test::MeanXIf(image, Reddish, 0, 44, 800, 68), 80 + 640 / 3.0, 3.0);
    EXPECT_NEAR(test::MeanXIf(image, Bluish, 0, 44, 800, 68), 80 + 2 * 640 / 3.0, 3.0);
    EXPECT_EQ(test::CountIf(image, Reddish, 0, 0, 800, 44), 0); // nothing above the band
    EXPECT_EQ(test::CountIf(image, Bluish, 0, 68, 800, 80), 0); // nor below it

    SetHeadings("WWWW", "WWWW", "WWWW");
    const QImage three = PaintBig();
    EXPECT_NEAR(test::MeanXIf(three, Reddish, 0, 44, 800, 68), 80 + 640 / 4.0, 3.0);
    EXPECT_NEAR(test::MeanXIf(three, Bluish, 0, 44, 800, 68), 80 + 3 * 640 / 4.0, 3.0);
}

TEST_F(LegendTest, AllTracesOffDrawsNoLegendAndNoTraces) {
    SetHeadings("OFF", "OFF", "OFF");
    graph.m_LineColour = {1, 1, 1};
    const QImage image = PaintBig();
    EXPECT_EQ(CountInk(image, 221, 44, 800, 68), 0);             // legend band
    EXPECT_EQ(CountInk(image, 90, 90, 710, 510), 0);             // plot interior
    EXPECT_GT(CountInk(image, 20, 2, 52, 2 + 48), 10);           // graph number
    EXPECT_GT(CountColour(image, kBlack, 80, 80, 81, 520), 400); // Y axis
    EXPECT_EQ(graph.m_FirstIndex, 0); // traces that are OFF leave the window alone
}

TEST_F(GraphRenderTest, CentreZeroDrawsADashedZeroLine) {
    SetHeadings("OFF", "OFF", "OFF");
    graph.m_CentreZero = 1;
    const QImage image = Paint(*doc, 0, geometry);
    const int black = CountColour(image, kBlack, 45, 150, 355, 151);
    EXPECT_GT(black, 310 / 3);
    EXPECT_LT(black, 310 * 9 / 10);
    EXPECT_EQ(CountColour(image, kBlack, 45, 260, 355, 261), 0); // no bottom axis
    // X ticks straddle the zero line; Y ticks still count from the baseline.
    EXPECT_EQ(At(image, 72, 149), kBlack);
    EXPECT_EQ(At(image, 72, 151), kBlack);
    EXPECT_EQ(At(image, 41, 260), kBlack);
    EXPECT_EQ(At(image, 41, 238), kBlack);
}

TEST_F(GraphRenderTest, UnwrittenRingEntriesBreakTheTrace) {
    Live(11, 250.0);
    doc->m_LiveValid[4] = 0;
    doc->m_LiveValid[5] = 0;
    const QImage image = Paint(*doc, 0, geometry);
    EXPECT_EQ(At(image, 120, 150), kRed);
    EXPECT_EQ(CountColour(image, kRed, 150, 40, 196, 270), 0);
    // The next written entry (x 232) is joined to the zero line at the gap's end (x 200).
    EXPECT_GT(CountColour(image, kRed, 214, 195, 219, 215), 0);
    EXPECT_EQ(At(image, 250, 150), kRed);
}

TEST_F(GraphRenderTest, ClippedLivePointsLeaveAGapAlongTheTop) {
    Live(11, 250.0);
    SetLive(5, 600.0); // at x 200: clipped to row 41
    QImage image = Paint(*doc, 0, geometry);
    EXPECT_EQ(At(image, 184, 41), kRed);
    EXPECT_EQ(At(image, 216, 41), kRed);
    EXPECT_EQ(CountColour(image, kRed, 188, 35, 213, 46), 0);
    EXPECT_EQ(At(image, 232, 150), kRed);

    for (int e = 3; e <= 7; ++e) // a run of clipped samples leaves the top nearly blank
        SetLive(e, 600.0);
    image = Paint(*doc, 0, geometry);
    EXPECT_LE(CountColour(image, kRed, 124, 35, 244, 46), 12);
    EXPECT_EQ(At(image, 120, 41), kRed);
    EXPECT_EQ(At(image, 280, 41), kRed);
}

TEST_F(GraphRenderTest, UnusableValuesAndSettingsDrawNothingWrong) {
    Live(11, 250.0);
    doc->m_LiveValues[5][4] = std::nan(""); // a reading the meter sent as NaN
    QImage image = Paint(*doc, 0, geometry);
    EXPECT_EQ(CountColour(image, kRed, 172, 40, 228, 270), 0);
    EXPECT_EQ(At(image, 150, 150), kRed);
    EXPECT_EQ(At(image, 250, 150), kRed);

    graph.m_LineColour[0] = 42; // outside the colour table: black
    image = Paint(*doc, 0, geometry);
    EXPECT_EQ(At(image, 150, 150), kBlack);

    graph.m_NominalY[0] = 0.0;
    image = Paint(*doc, 0, geometry);
    EXPECT_EQ(CountInk(image, 50, 45, 355, 255), 0);

    graph.m_NominalY[0] = 500.0;
    graph.m_ScaleX = 0;
    image = Paint(*doc, 0, geometry);
    EXPECT_EQ(CountInk(image, 50, 45, 355, 255), 0);

    // A time base far beyond the log is drawn at the log's size.
    graph.m_RealTime = 0;
    graph.m_ScaleX = std::numeric_limits<std::int32_t>::max();
    Log(11, 250.0);
    image = Paint(*doc, 0, geometry);
    EXPECT_EQ(graph.m_FirstIndex, 10 - kMaxLogSteps);
    EXPECT_EQ(At(image, 359, 149), kBlack);
}

} // namespace
} // namespace zentra

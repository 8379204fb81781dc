// Pictures of representative graphs, one per mode, for a person to look at, each
// checked for what it must show.
#include "display/graph/graph_model.h"
#include "graph_test_support.h"
#include "platform/clock.h"
#include "tests/support/picture_checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace zentra {
namespace {

using test::kNow;
constexpr int kWidth = 1024;
constexpr int kHeight = 768;

// One graph alone in the whole view, as when maximised, with the margin (51) of the
// tiled 512-pixel cell all round.
GraphGeometry Maximised(int g) {
    // x0, y0, W, H, text scale, cell height, cell, graph, client bottom, font weight.
    return {51, 717, 922.0, 666.0, kHeight, kHeight, QRect(0, 0, 512, 384), g, kHeight, 400};
}

void Traces(Graph& graph, std::array<std::int32_t, 3> sources, std::array<const char*, 3> headings,
            std::array<std::int32_t, 3> colours) {
    graph.m_Associations = sources;
    graph.m_LineColour = colours;
    for (std::size_t t = 0; t < 3; ++t)
        SetText(graph.m_Headings[t], headings[t]);
}

// Phase voltages around 230 V from the live ring, with a dropped reply and a surge.
void RealTimeVoltages(CZentraDoc& doc, Graph& graph) {
    graph.m_RealTime = 1;
    graph.m_ScaleX = 60;
    Traces(graph, {4, 5, 6}, {"V1-N", "V2-N", "V3-N"}, {1, 4, 2});
    doc.m_Comms.portSetUp = 1;
    doc.m_SystemVoltage = 230.0;
    doc.m_LiveIndex = 70;
    for (int e = 0; e < 70; ++e) {
        const auto slot = static_cast<std::size_t>(e);
        doc.m_LiveValid[slot] = (e >= 30 && e <= 32) ? 0 : 1;
        for (int p = 0; p < 3; ++p)
            doc.m_LiveValues[slot][static_cast<std::size_t>(4 + p)] =
                226.0 + 3.0 * p + 6.0 * std::sin(e / 6.0 + p * 2.0 * std::numbers::pi / 3);
    }
    doc.m_LiveValues[50][4] = 300.0; // beyond 120 %: clipped
}

// Phase currents logged once a minute, browsed one window back.
void LoggedCurrents(CZentraDoc& doc, Graph& graph) {
    graph.m_RealTime = 0;
    graph.m_ScaleX = 100;
    Traces(graph, {7, 8, 9}, {"I1", "I2", "I3"}, {1, 4, 2});
    doc.m_SystemCurrent = 5.0;
    doc.m_Period = 1;
    doc.m_PeriodMultiplier = 60;
    doc.m_SampleCount = 300;
    for (int i = 0; i < 300; ++i)
        for (int p = 0; p < 3; ++p)
            doc.m_SampleValues[static_cast<std::size_t>(i)][static_cast<std::size_t>(7 + p)] =
                3.5 + 0.3 * p + 0.8 * std::sin(i / 25.0 + p);
}

// Reactive power swinging through zero and the power factor, on a centre-zero grid.
void CentreZeroPower(CZentraDoc& doc, Graph& graph) {
    graph.m_RealTime = 0;
    graph.m_CentreZero = 1;
    graph.m_ScaleX = 200;
    graph.m_TickLengthX = 100.0;
    graph.m_TickLengthY = 100.0;
    Traces(graph, {12, 13, 0}, {"kVAr", "PF Avg", "OFF"}, {0, 3, 2});
    doc.m_SystemVoltage = 230.0;
    doc.m_SystemCurrent = 5.0;
    doc.m_SystemTypeNumber = 3.0;
    doc.m_SampleCount = 240;
    for (int i = 0; i < 240; ++i) {
        auto& record = doc.m_SampleValues[static_cast<std::size_t>(i)];
        record[12] = 3.0 * std::sin(i / 20.0);
        record[13] = 0.9 + 0.05 * std::cos(i / 15.0);
    }
}

const QColor kRed(255, 0, 0), kYellow(255, 255, 0), kBlue(0, 0, 255), kGreen(0, 255, 0),
    kBlack(0, 0, 0);
// The maximised plot: x 51 .. 973, y 51 .. 717 (margin 51 of a 512-pixel tiled cell).
constexpr int kPlotLeft = 51, kPlotTop = 51, kPlotRight = 973, kPlotBottom = 717;

int InPlot(const QImage& image, const QColor& colour) {
    return test::CountColour(image, colour, kPlotLeft + 1, kPlotTop, kPlotRight, kPlotBottom);
}

class GraphScreenshots : public ::testing::Test {
  protected:
    platform::ManualClock clock{kNow};
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();

    void SetUp() override { doc->ResetToDefaults(); }
    QImage PaintMaximised(int g) { return test::Paint(*doc, g, Maximised(g), kWidth, kHeight); }
};

TEST_F(GraphScreenshots, RealTimeGraph) {
    RealTimeVoltages(*doc, doc->m_Graphs[0]);
    const QImage image = PaintMaximised(0);
    test::SaveShot(image, "graph_realtime.png");
    // Three phases in red, yellow and blue.
    for (const QColor& colour : {kRed, kYellow, kBlue})
        EXPECT_GT(InPlot(image, colour), 300) << colour.name().toStdString();
}

TEST_F(GraphScreenshots, LogGraphBrowsingHistory) {
    Graph& graph = doc->m_Graphs[1];
    LoggedCurrents(*doc, graph);
    PaintMaximised(1); // arms the arrows
    ScrollBack(graph, kNow);
    const QImage image = PaintMaximised(1);
    test::SaveShot(image, "graph_log_history.png");
    for (const QColor& colour : {kRed, kYellow, kBlue})
        EXPECT_GT(InPlot(image, colour), 300) << colour.name().toStdString();
    // Browsing the history labels the Y axis in blue.
    EXPECT_GT(test::CountColour(image, kBlue, 0, kPlotTop - 10, kPlotLeft - 3, kPlotBottom), 50);
}

// Voltages logged once a second with a 61 s outage 20 samples back, the meter silent
// for the last 20 s: the band runs from the oldest to the newest sample shown.
TEST_F(GraphScreenshots, LogGraphAfterAnOutage) {
    Graph& graph = doc->m_Graphs[0];
    graph.m_RealTime = 0;
    graph.m_ScaleX = 60;
    Traces(graph, {4, 5, 6}, {"V1-N", "V2-N", "V3-N"}, {1, 4, 2});
    doc->m_SystemVoltage = 230.0;
    doc->m_LoggingActive = 1;
    doc->m_SampleCount = 200;
    std::int64_t t = kNow - 20;
    for (int i = 199; i >= 0; --i) {
        const auto n = static_cast<std::size_t>(i);
        doc->m_SampleTimes[n] = t;
        t -= i == 180 ? 62 : 1;
        for (int p = 0; p < 3; ++p)
            doc->m_SampleValues[n][static_cast<std::size_t>(4 + p)] =
                226.0 + 3.0 * p + 6.0 * std::sin(i / 6.0 + p * 2.0 * std::numbers::pi / 3);
    }
    graph.m_LastIndex = 150; // left by a paint before the page was turned to
    const QImage image = PaintMaximised(0);
    test::SaveShot(image, "graph_log_after_outage.png");
    for (const QColor& colour : {kRed, kYellow, kBlue})
        EXPECT_GT(InPlot(image, colour), 300) << colour.name().toStdString();
    EXPECT_STREQ(doc->m_LogAxisStart.data(), "14:00:48");
    EXPECT_STREQ(doc->m_LogAxisEnd.data(), "14:02:49");
}

TEST_F(GraphScreenshots, CentreZeroGraph) {
    CentreZeroPower(*doc, doc->m_Graphs[2]);
    PaintMaximised(2);
    const QImage image = PaintMaximised(2);
    test::SaveShot(image, "graph_centre_zero.png");
    // The zero line crosses the middle of the plot (717 - 666 / 2 = 384); the power
    // factor runs in green, the reactive power in black, nothing in the third colour.
    EXPECT_GT(test::CountColour(image, kBlack, kPlotLeft + 1, 380, kPlotRight, 389), 800);
    EXPECT_GT(InPlot(image, kGreen), 300);
    EXPECT_EQ(InPlot(image, kBlue), 0);
}

TEST_F(GraphScreenshots, TiledPage) {
    RealTimeVoltages(*doc, doc->m_Graphs[0]);
    LoggedCurrents(*doc, doc->m_Graphs[1]);
    CentreZeroPower(*doc, doc->m_Graphs[2]);
    Traces(doc->m_Graphs[3], {0, 0, 0}, {"OFF", "OFF", "OFF"}, {1, 4, 2});
    QImage image = test::BlankImage(kWidth, kHeight);
    for (int pass = 0; pass < 2; ++pass) {
        image.fill(test::kBackground);
        QPainter painter(&image);
        for (int k = 0; k < 4; ++k)
            DrawGraph(painter, *doc, k, test::TiledGeometry(k, kWidth, kHeight));
    }
    test::SaveShot(image, "graph_page.png");
    // Each cell shows its own traces; the fourth, all "OFF", none.
    const int half = kWidth / 2, middle = kHeight / 2;
    EXPECT_GT(test::CountColour(image, kRed, 0, 0, half, middle), 100);
    EXPECT_GT(test::CountColour(image, kRed, half, 0, kWidth, middle), 100);
    EXPECT_GT(test::CountColour(image, kGreen, 0, middle, half, kHeight), 100);
    for (const QColor& colour : {kRed, kYellow, kBlue, kGreen})
        EXPECT_EQ(test::CountColour(image, colour, half + 1, middle + 1, kWidth, kHeight), 0)
            << colour.name().toStdString();
}

} // namespace
} // namespace zentra

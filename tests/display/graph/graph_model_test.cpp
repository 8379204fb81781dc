// Scaling arithmetic of the graphs: rows of values, spans, labels, windows, browsing.
#include "display/graph/graph_model.h"
#include "document/zentra_doc.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <memory>
#include <utility>

namespace zentra {
namespace {

// Plot of quadrant 0 of an 800 x 600 view.
constexpr PlotGeometry kPlot{40, 260, 320.0, 220.0};

class GraphModelTest : public ::testing::Test {
  protected:
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    Graph& graph = doc->m_Graphs[0];

    void Absolute(double fullScale, bool centreZero = false) {
        graph.m_RelativeY = 0;
        graph.m_NominalY = {fullScale, 100.0};
        graph.m_CentreZero = centreZero ? 1 : 0;
    }
    PlotRow RowOf(double value, std::int32_t source = 4, const PlotGeometry& plot = kPlot) {
        const auto hf = FullScaleHeight(graph, plot.H);
        const auto f = FractionOfFullScale(*doc, graph, source, value);
        EXPECT_TRUE(hf && f);
        return ValueToY(graph.m_CentreZero != 0, f.value_or(0.0), hf.value_or(0.0), plot);
    }
    // {source, column} rows of the graph's current mode and meter.
    void ExpectColumns(std::initializer_list<std::pair<std::int32_t, int>> rows) {
        for (const auto& [source, column] : rows)
            EXPECT_EQ(SourceColumn(*doc, graph, source), column) << source;
    }
    void ExpectWindow(std::int32_t first, std::int32_t last) {
        EXPECT_EQ((std::array{graph.m_FirstIndex, graph.m_LastIndex}), (std::array{first, last}));
    }
    static void ExpectLabel(const YLabel& label, const char* text, int bottom) {
        EXPECT_EQ(label.text, text);
        EXPECT_EQ(label.bottom, bottom) << text;
    }
};

TEST_F(GraphModelTest, AbsoluteAndCentreZeroRowsAndClipping) {
    // Plot top y0 - H = 40, centre 150, baseline 260.
    struct Case {
        double fullScale;
        bool centreZero;
        double value;
        int y;
        bool clipped;
    };
    const Case cases[] = {
        {500.0, false, 250.0, 260 - 110, false}, // y0 - H/2
        {500.0, false, 600.0, 41, true},         // one pixel below the top edge
        {500.0, false, 500.0, 41, true},         // full scale counts as clipped too
        {500.0, false, -5.0, 259, true},         // one pixel above the baseline
        {100.0, true, 50.0, 150 - 55, false},    // yc - H/4
        {100.0, true, -50.0, 150 + 55, false},
        {100.0, true, -150.0, 261, true}, // one pixel below the baseline
        {100.0, true, 120.0, 41, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fullScale << (c.centreZero ? " cz " : " ") << c.value);
        Absolute(c.fullScale, c.centreZero);
        const PlotRow row = RowOf(c.value);
        EXPECT_EQ(row.y, c.y);
        EXPECT_EQ(row.clipped, c.clipped);
    }
    EXPECT_DOUBLE_EQ(ZeroLine(graph, kPlot), 150.0);
    // Rows truncate toward zero: 260 - 0.3 * 221 = 193.7.
    Absolute(500.0);
    EXPECT_EQ(RowOf(150.0, 4, {40, 260, 320.0, 221.0}).y, 193);
}

TEST_F(GraphModelTest, RelativeAxisPutsTheSpanOnTheNominalDivision) {
    graph.m_RelativeY = 1;
    graph.m_ScaleY = 12;
    graph.m_NominalScaleY = 10;
    graph.m_NominalY = {300.0, 100.0};
    doc->m_SystemVoltage = 280.0;
    const PlotGeometry plot{40, 260, 320.0, 240.0};
    const PlotRow row = RowOf(280.0, 4, plot); // "V 1" at its span
    EXPECT_EQ(row.y, 260 - 200);               // 10 of 12 divisions of 240 pixels
    EXPECT_FALSE(row.clipped);
    EXPECT_EQ(VerticalDivisions(graph), 12);

    const std::vector<YLabel> labels = YLabels(graph, plot, 12);
    ASSERT_EQ(labels.size(), 13u);
    ExpectLabel(labels[0], "0", 260);
    EXPECT_EQ(labels[0].top, 248);
    ExpectLabel(labels[10], "100%", 60);
    ExpectLabel(labels[12], "120%", 20);
    EXPECT_EQ(labels[1].text, "10%");
}

TEST_F(GraphModelTest, DivisionsByZeroLeaveNothingToDraw) {
    Absolute(0.0);
    EXPECT_FALSE(FractionOfFullScale(*doc, graph, 4, 10.0));
    EXPECT_FALSE(TraceScalable(*doc, graph, 4));
    Absolute(500.0);
    EXPECT_FALSE(FractionOfFullScale(*doc, graph, 4, std::nan("")));
    EXPECT_TRUE(TraceScalable(*doc, graph, 4));

    graph.m_RelativeY = 1;
    graph.m_NominalY = {500.0, 100.0};
    graph.m_ScaleY = 0;
    graph.m_NominalScaleY = 10;
    EXPECT_FALSE(FullScaleHeight(graph, 220.0));
    graph.m_ScaleY = 12;
    graph.m_NominalScaleY = 0;
    EXPECT_FALSE(FullScaleHeight(graph, 220.0));
    EXPECT_FALSE(TopLabelValue(graph));
    EXPECT_EQ(YLabels(graph, kPlot, 12).size(), 1u); // only the zero label
    graph.m_NominalScaleY = 10;
    EXPECT_FALSE(TraceScalable(*doc, graph, 14)); // no span
    EXPECT_FALSE(FractionOfFullScale(*doc, graph, 14, 10.0));
    graph.m_NominalY[1] = 0.0;
    EXPECT_FALSE(TraceScalable(*doc, graph, 4));

    graph.m_ScaleX = 0;
    EXPECT_EQ(TimeSteps(graph), 0);
    graph.m_ScaleX = -20;
    EXPECT_EQ(TimeSteps(graph), 0);
}

TEST_F(GraphModelTest, HugeTimeBasesAreHeldToTheDataCapacity) {
    graph.m_ScaleX = std::numeric_limits<std::int32_t>::max();
    graph.m_RealTime = 1;
    EXPECT_EQ(TimeSteps(graph), kMaxLiveSteps);
    graph.m_RealTime = 0;
    EXPECT_EQ(TimeSteps(graph), kMaxLogSteps);
    UpdateLogWindow(graph, 100);
    ExpectWindow(99 - kMaxLogSteps, 99);
    graph.m_ScrollOffset = std::numeric_limits<std::int32_t>::min(); // as far back as it goes
    UpdateLogWindow(graph, 100);
    EXPECT_EQ(graph.m_FirstIndex, std::numeric_limits<std::int32_t>::min());
}

TEST_F(GraphModelTest, YLabelFormats) {
    Absolute(50.0);
    std::vector<YLabel> labels = YLabels(graph, kPlot, 12);
    ASSERT_EQ(labels.size(), 11u);
    ExpectLabel(labels[1], "5.0", 238); // 260 - 22
    EXPECT_EQ(labels[1].top, 226);
    EXPECT_EQ(labels[2].text, "10");
    EXPECT_EQ(labels[10].text, "50");
    EXPECT_EQ(DivisionLabelText(false, 9.99), "10.0");
    EXPECT_EQ(DivisionLabelText(false, 12.9), "12");
    EXPECT_EQ(DivisionLabelText(true, 99.9), "99%");

    Absolute(100.0, true); // centre zero: pairs above and below the middle
    labels = YLabels(graph, kPlot, 12);
    ASSERT_EQ(labels.size(), 11u);
    EXPECT_EQ(labels[0].bottom, 150);
    ExpectLabel(labels[1], "20", 128); // 260 - 110 - 2 * 22 / 2
    ExpectLabel(labels[2], "-20", 172);
    ExpectLabel(labels[9], "100", 40);
    ExpectLabel(labels[10], "-100", 260);

    graph.m_RelativeY = 1;
    graph.m_ScaleY = 1; // fewer than two divisions: no pairs
    graph.m_NominalScaleY = 1;
    EXPECT_EQ(YLabels(graph, kPlot, 12).size(), 1u);
    graph.m_ScaleY = 4;
    labels = YLabels(graph, kPlot, 12);
    ASSERT_EQ(labels.size(), 5u);
    EXPECT_EQ(labels[3].text, "400%");
    EXPECT_EQ(labels[4].text, "-400%");
}

TEST_F(GraphModelTest, TickAndGridLengths) {
    graph.m_TickLengthX = 1.5;
    graph.m_TickLengthY = 0.75;
    EXPECT_EQ(XTickLength(graph, 220.0), 3);
    EXPECT_EQ(XTickHalfLength(graph, 220.0), 1);
    EXPECT_EQ(YTickLength(graph, 320.0), 2);
    graph.m_TickLengthX = 100.0;
    graph.m_TickLengthY = 100.0;
    EXPECT_EQ(XTickLength(graph, 220.5), 220);
    EXPECT_EQ(XTickHalfLength(graph, 220.0), 110);
    EXPECT_EQ(YTickLength(graph, 320.0), 320);
    graph.m_TickLengthX = std::nan("");
    EXPECT_EQ(XTickLength(graph, 220.0), 0);
}

TEST_F(GraphModelTest, LogWindowStartsBeforeTheFirstSample) {
    graph.m_RealTime = 0;
    graph.m_ScaleX = 9;
    UpdateLogWindow(graph, 5);
    ExpectWindow(-5, 4);
    UpdateLogWindow(graph, 0);
    ExpectWindow(-9, 0);
    // While browsing the live end stays frozen.
    UpdateLogWindow(graph, 50);
    graph.m_ScrollOffset = -9;
    UpdateLogWindow(graph, 60);
    ExpectWindow(31, 49);
    EXPECT_DOUBLE_EQ(LogValue(*doc, 3, -1), 0.0);
    EXPECT_DOUBLE_EQ(LogValue(*doc, 3, kMaxSamples), 0.0);
}

TEST_F(GraphModelTest, ScrollingStepsByTheTimeBase) {
    graph.m_ScaleX = 9;
    graph.m_ScrollOffset = -9;
    EXPECT_FALSE(ScrollForward(graph)); // the arrow is not active yet
    EXPECT_EQ(graph.m_ScrollOffset, -9);
    graph.m_LeftArrowActive = 1;
    graph.m_RightArrowActive = 1;
    EXPECT_TRUE(ScrollForward(graph));
    EXPECT_EQ(graph.m_ScrollOffset, 0);
    graph.m_ScrollOffset = -18;
    ScrollForward(graph);
    EXPECT_EQ(graph.m_ScrollOffset, -9);
    graph.m_ScrollOffset = 4; // a positive offset from a file returns to the live end
    ScrollForward(graph);
    EXPECT_EQ(graph.m_ScrollOffset, 0);

    graph.m_HistoryTime = 0;
    EXPECT_TRUE(ScrollBack(graph, 1000));
    EXPECT_EQ(graph.m_HistoryTime, 1000);
    EXPECT_EQ(graph.m_ScrollOffset, -9);
    ScrollBack(graph, 2000); // already browsing: the moment stays
    EXPECT_EQ(graph.m_HistoryTime, 1000);
    EXPECT_EQ(graph.m_ScrollOffset, -18);

    // Browsing has no lower bound and a file keeps any offset: the window saturates.
    constexpr std::int32_t kFarBack = std::numeric_limits<std::int32_t>::min();
    graph.m_ScrollOffset = kFarBack + 5;
    ScrollBack(graph, 3000);
    EXPECT_EQ(graph.m_ScrollOffset, kFarBack);
    graph.m_LastIndex = 100;
    UpdateLogWindow(graph, 200);
    ExpectWindow(kFarBack + 100 - 9, 100);
    EXPECT_DOUBLE_EQ(LogValue(*doc, 3, graph.m_FirstIndex), 0.0);
    graph.m_ScaleX = 600;
    graph.m_LastIndex = 0;
    UpdateLogWindow(graph, 200);
    EXPECT_EQ(graph.m_FirstIndex, kFarBack); // held at the int's end
}

TEST_F(GraphModelTest, LiveWindowWrapsAroundTheRing) {
    // {ring index, steps, first entry}; a stray ring index stays inside the ring.
    const std::array<int, 3> rows[] = {{0, 9, 591},   {10, 9, 0},     {20, 9, 10}, {600, 600, 600},
                                       {600, 0, 599}, {-700, 9, 492}, {5000, 9, 0}};
    for (const auto& [index, steps, first] : rows)
        EXPECT_EQ(LiveWindowStart(index, steps), first) << index << " " << steps;
    EXPECT_EQ(NextRingEntry(600), 0);
    EXPECT_EQ(NextRingEntry(599), 600);
}

TEST_F(GraphModelTest, SourceColumnsOfLogTraces) {
    graph.m_RealTime = 0;
    doc->m_SystemType = 3;
    ExpectColumns({{10, 3}, {41, 8}, {49, 49}, {0, kNoColumn}}); // h.p. (49) stays
    doc->m_SampleValues[2][3] = 7.457;
    EXPECT_NEAR(LogValue(*doc, 49, 2), 10.0, 1e-12); // horse power from "kW Sum"
    doc->m_SystemType = 1;
    ExpectColumns({{10, 10}, {30, 30}});
    doc->m_SampleValues[2][24] = 5.0;
    EXPECT_DOUBLE_EQ(LogValue(*doc, 24, 2), 5.0);
    EXPECT_DOUBLE_EQ(LogValue(*doc, 30, 2), 0.0); // outside a record
    EXPECT_DOUBLE_EQ(LogValue(*doc, kNoColumn, 2), 0.0);
}

TEST_F(GraphModelTest, SourceColumnsOfLiveTraces) {
    graph.m_RealTime = 1;
    doc->m_SystemType = 1;
    ExpectColumns({{17, 23}, {23, 41}, {24, kNoColumn}}); // 24 is beyond the list
    doc->m_ReadingMap[9] = 3;                             // reading 10 sent at position 3
    ExpectColumns({{10, 3}});
    doc->m_SystemType = 5;
    doc->m_ReadingMap[0] = -7; // a stray map entry from a file
    ExpectColumns({{1, kNoColumn}});
    doc->m_SystemType = 3;
    ExpectColumns({{10, 3}, {49, 49}});
    doc->m_ReadingMap[1] = 400;
    EXPECT_EQ(SourceColumn(*doc, graph, 2), 400);

    doc->m_LiveValues[7][48] = 2.0;
    EXPECT_DOUBLE_EQ(LiveValue(*doc, 48, 7), 2.0);
    EXPECT_DOUBLE_EQ(LiveValue(*doc, 400, 7), 0.0);
    EXPECT_DOUBLE_EQ(LiveValue(*doc, -7, 7), 0.0);
    EXPECT_DOUBLE_EQ(LiveValue(*doc, 3, kRingSlots), 0.0);
}

TEST_F(GraphModelTest, LiveHorsePowerTraceIsTheLiveKwSumFoundThroughTheReadingMap) {
    graph.m_RealTime = 1;
    doc->m_SystemType = 3;
    // The meter sends its block back to front: reading i at position 49 - i.
    for (int i = 1; i <= 48; ++i)
        doc->m_ReadingMap[static_cast<std::size_t>(i - 1)] = 49 - i;
    RingEntry& slot = doc->m_LiveValues[7];
    slot[39] = 2.020; // reading 10, "kW Sum"
    slot[3] = 401.3;  // element 3 of the slot: reading 46, not a power
    const int column = SourceColumn(*doc, graph, 49);
    EXPECT_NEAR(LiveValue(*doc, column, 7), 2.708864, 1e-6); // 2.020 / 0.7457
    EXPECT_DOUBLE_EQ(LiveValue(*doc, SourceColumn(*doc, graph, 10), 7), 2.020);
    // The logged h.p. stays the record's element 3, the reduced list's "kW Sum".
    doc->m_SampleValues[0][3] = 2.020;
    graph.m_RealTime = 0;
    EXPECT_NEAR(LogValue(*doc, SourceColumn(*doc, graph, 49), 0), 2.708864, 1e-6);
}

} // namespace
} // namespace zentra

// History arrows, trace associations and the time texts of the axes.
#include "display/graph/associations.h"
#include "display/graph/axis_texts.h"
#include "display/graph/logging_scale_arrows.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <memory>

namespace zentra {
namespace {

constexpr platform::TimeSeconds kNow = 1357394589; // Sat Jan 05 14:03:09 2013 (GMT)

TEST(LoggingScaleArrowCoords, TrianglesAndStrictHitRectangles) {
    // Quadrant 0 of an 800 x 600 view: ya = trunc(0.04 * 600 + 260) = 284, xr = 360.
    const LoggingScaleArrowCoords arrows(40, 320.7, 260, 600);
    EXPECT_EQ(arrows.LeftTriangle()[0], QPoint(40, 284));
    EXPECT_EQ(arrows.LeftTriangle()[1], QPoint(49, 275));
    EXPECT_EQ(arrows.LeftTriangle()[2], QPoint(49, 293));
    EXPECT_EQ(arrows.RightTriangle()[0], QPoint(360, 284));
    EXPECT_EQ(arrows.RightTriangle()[2], QPoint(351, 293));

    EXPECT_EQ(arrows.HitTest({41, 284}), ArrowHit::Back);
    EXPECT_EQ(arrows.HitTest({48, 276}), ArrowHit::Back);
    EXPECT_EQ(arrows.HitTest({359, 292}), ArrowHit::Forward);
    EXPECT_EQ(arrows.HitTest({352, 276}), ArrowHit::Forward);
    // Edges miss.
    for (QPoint edge : {QPoint(40, 284), QPoint(49, 284), QPoint(45, 275), QPoint(45, 293),
                        QPoint(360, 284), QPoint(351, 284), QPoint(355, 293)})
        EXPECT_EQ(arrows.HitTest(edge), ArrowHit::None) << edge.x() << "," << edge.y();
    EXPECT_EQ(arrows.HitTest({200, 284}), ArrowHit::None);
}

using Three = std::array<std::int32_t, kTracesPerGraph>;

TEST(Associations, ReducedListMeters) {
    Graph graph;
    graph.m_Associations = {10, 5, 49};
    SetText(graph.m_Headings[0], "anything");
    Associations a;
    a.FromGraph(3, graph);
    EXPECT_EQ(a.m_Values, (Three{3, 0, 9})); // "V 2" is not offered: shows as OFF
    EXPECT_STREQ(a.m_Headings[0].data(), "kW Sum");
    EXPECT_STREQ(a.m_Headings[1].data(), "OFF");
    EXPECT_STREQ(a.m_Headings[2].data(), "h.p.");

    a.FromSelections(6, {3, 0, 12}, {"kW Sum", "OFF", "junk"});
    EXPECT_EQ(a.m_Values, (Three{10, 0, 0})); // 12 is beyond the list
    a.ToGraph(graph);
    EXPECT_EQ(graph.m_Associations[0], 10);
    EXPECT_STREQ(graph.m_Headings[2].data(), "junk");
}

TEST(Associations, FullListMetersKeepPositionsAndHeadings) {
    Graph graph;
    graph.m_Associations = {17, 0, 23};
    SetText(graph.m_Headings[0], "kWd (Imp)");
    SetText(graph.m_Headings[1], "OFF");
    SetText(graph.m_Headings[2], "Max Ad");
    Associations a;
    a.FromGraph(1, graph);
    EXPECT_EQ(a.m_Values, (Three{17, 0, 23}));
    EXPECT_STREQ(a.m_Headings[0].data(), "kWd (Imp)");
    a.FromSelections(1, {17, 0, 23}, {"kWd (Imp)", "OFF", "Max Ad"});
    EXPECT_EQ(a.m_Values, graph.m_Associations);
}

class AxisTextsTest : public ::testing::Test {
  protected:
    platform::ManualClock clock{kNow};
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    Graph& graph = doc->m_Graphs[0];

    void SetUp() override {
        graph.m_RealTime = 0;
        graph.m_ScaleX = 20;
        graph.m_SecondsPerDiv = 60;
        SetText(doc->m_LogAxisStart, "s");
        SetText(doc->m_LogAxisEnd, "e");
        SetText(doc->m_LogAxisDate, "d");
    }
    void ExpectLog(const char* start, const char* end, const char* date) {
        EXPECT_STREQ(doc->m_LogAxisStart.data(), start);
        EXPECT_STREQ(doc->m_LogAxisEnd.data(), end);
        EXPECT_STREQ(doc->m_LogAxisDate.data(), date);
    }
};

TEST_F(AxisTextsTest, LogTextsStayUntilTheWindowMoves) {
    UpdateLogAxisTexts(*doc, graph); // no samples
    ExpectLog("s", "e", "d");
    doc->m_SampleCount = 5;
    graph.m_LastIndex = 4; // the window already shows the newest sample
    UpdateLogAxisTexts(*doc, graph);
    ExpectLog("s", "e", "d");
    graph.m_LastIndex = 3;
    UpdateLogAxisTexts(*doc, graph);
    ExpectLog("13:43:09", "14:03:09", "Jan 05 2013");
}

TEST_F(AxisTextsTest, FinishedAndBrowsedLogsCountFromTheirBase) {
    doc->m_SampleCount = 5;
    graph.m_LastIndex = 4;
    doc->m_Finished = 1;
    doc->m_LoggingEndTime = kNow - 14 * 3600 + 600; // 00:13:09
    UpdateLogAxisTexts(*doc, graph);
    ExpectLog("23:53:09", "00:13:09", "Jan 04 2013"); // the date is that of the start

    doc->m_Finished = 0;
    graph.m_ScrollOffset = -20;
    graph.m_HistoryTime = kNow;
    UpdateLogAxisTexts(*doc, graph);
    ExpectLog("13:23:09", "13:43:09", "Jan 05 2013");
}

TEST_F(AxisTextsTest, LiveTextsOnlyWhileThePortIsSetUp) {
    graph.m_RealTime = 1;
    SetText(doc->m_LiveAxisEnd, "e");
    UpdateLiveAxisTexts(*doc, graph);
    EXPECT_STREQ(doc->m_LiveAxisEnd.data(), "e");
    doc->m_Comms.portSetUp = 1;
    UpdateLiveAxisTexts(*doc, graph);
    EXPECT_STREQ(doc->m_LiveAxisStart.data(), "14:02:49");
    EXPECT_STREQ(doc->m_LiveAxisEnd.data(), "14:03:09");
}

} // namespace
} // namespace zentra

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
    for (std::size_t n = 0; n < 5; ++n) // one a minute, the newest now
        doc->m_SampleTimes[n] = kNow - 60 * (4 - static_cast<std::int64_t>(n));
    graph.m_LastIndex = 4; // the window already shows the newest sample
    UpdateLogAxisTexts(*doc, graph);
    ExpectLog("s", "e", "d");
    graph.m_LastIndex = 3;
    UpdateLogAxisTexts(*doc, graph);
    ExpectLog("13:43:09", "14:03:09", "Jan 05 2013");
}

// The band is labelled from the times of the samples it shows: the newest at the
// right, the oldest at the left, and one logging period a step beyond either end of
// the log. Without a gap that is what the clock gives; after one it is the truth.
struct LogBandCase {
    const char* name;
    std::int32_t period;       // seconds per sample
    std::int32_t count;        // samples logged
    std::int32_t gapAfter;     // sample after which the meter was silent (-1: never)
    std::int64_t gapSeconds;   // how long
    std::int64_t lastBehind;   // seconds from the newest sample to now
    std::int64_t stoppedAfter; // seconds from the newest sample to the logging end
    std::int32_t lastIndex;    // m_LastIndex left by the previous paint
    std::int32_t scrollOffset; // history browsing
    std::uint8_t finished;
    const char* start;
    const char* end;
    const char* date;
};

void PrintTo(const LogBandCase& c, std::ostream* os) {
    *os << c.name;
}

class LogBandTest : public AxisTextsTest, public ::testing::WithParamInterface<LogBandCase> {};

TEST_P(LogBandTest, LabelsTheTimesOfTheShownSamples) {
    const LogBandCase& c = GetParam();
    graph.m_SecondsPerDiv = c.period;
    graph.m_LastIndex = c.lastIndex;
    graph.m_ScrollOffset = c.scrollOffset;
    graph.m_HistoryTime = kNow;
    doc->m_Finished = c.finished;
    doc->m_LoggingEndTime = kNow - c.lastBehind + c.stoppedAfter;
    doc->m_SampleCount = c.count;
    // Sample times counted back from the newest, with the gap where it was.
    std::int64_t t = kNow - c.lastBehind;
    for (std::int32_t n = c.count - 1; n >= 0; --n) {
        doc->m_SampleTimes[static_cast<std::size_t>(n)] = t;
        t -= c.period + (n - 1 == c.gapAfter ? c.gapSeconds : 0);
    }
    UpdateLogAxisTexts(*doc, graph);
    ExpectLog(c.start, c.end, c.date);
}

INSTANTIATE_TEST_SUITE_P(
    AxisTexts, LogBandTest,
    ::testing::Values(
        // Nothing changed where there is no gap: a running log ends at now.
        LogBandCase{"RunningNoGap", 1, 100, -1, 0, 0, 0, 98, 0, 0, "14:02:49", "14:03:09",
                    "Jan 05 2013"},
        LogBandCase{"RunningMinutesNoGap", 60, 30, -1, 0, 0, 0, 28, 0, 0, "13:43:09", "14:03:09",
                    "Jan 05 2013"},
        LogBandCase{"FinishedAtTheLimit", 1, 100, -1, 0, 0, 0, 99, 0, 1, "14:02:49", "14:03:09",
                    "Jan 05 2013"},
        LogBandCase{"FewerSamplesThanTheWindow", 1, 5, -1, 0, 0, 0, 3, 0, 0, "14:02:49", "14:03:09",
                    "Jan 05 2013"},
        // The meter stopped answering 20 s ago; another page's graph is turned to.
        LogBandCase{"SilentMeter", 1, 100, -1, 0, 20, 0, 0, 0, 0, "14:02:29", "14:02:49",
                    "Jan 05 2013"},
        // A 61 s outage inside the window, 10 samples back.
        LogBandCase{"GapInTheWindow", 1, 100, 89, 61, 0, 0, 98, 0, 0, "14:01:48", "14:03:09",
                    "Jan 05 2013"},
        // A recovered run opened hours after its last sample.
        LogBandCase{"RecoveredRun", 1, 100, -1, 0, 5 * 3600, 0, 0, 0, 0, "09:02:49", "09:03:09",
                    "Jan 05 2013"},
        // Stopped 30 s after the last sample: the band ends at the sample.
        LogBandCase{"StoppedAfterASilence", 1, 100, -1, 0, 30, 30, 99, 0, 1, "14:02:19", "14:02:39",
                    "Jan 05 2013"},
        // Browsing back one window over the gap, and past the first sample.
        LogBandCase{"BrowsedOverTheGap", 1, 100, 69, 61, 0, 0, 99, -20, 0, "14:01:28", "14:02:49",
                    "Jan 05 2013"},
        LogBandCase{"BrowsedBeforeTheFirstSample", 60, 5, -1, 0, 0, 0, 4, -20, 0, "13:23:09",
                    "13:43:09", "Jan 05 2013"},
        // The date under the band is that of its start.
        LogBandCase{"FinishedOverMidnight", 60, 30, -1, 0, 14 * 3600 - 600, 0, 29, 0, 1, "23:53:09",
                    "00:13:09", "Jan 04 2013"}),
    [](const ::testing::TestParamInfo<LogBandCase>& info) { return info.param.name; });

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

// Pictures of the view for a person to look at (written to the screenshot folder),
// each checked for what it must show: traces in their colours, table text where the
// table stands, the blue labels of a graph browsing its history.
#include "display/view/view_commands.h"
#include "platform/clock.h"
#include "tests/display/view/view_test_support.h"
#include "tests/support/picture_checks.h"

#include <QTest>
#include <gtest/gtest.h>

namespace zentra {
namespace {

struct ScreenshotFixture : ::testing::Test {
    test::ScopedUserFolders folders;
    platform::ManualClock clock{test::kDemoNow};
    test::DemoView demo{1000, 700, 120};
    CZentraDoc& doc = *demo.doc;
    CZentraView& view = *demo.view;

    void SetUp() override {
        doc.m_Comms.portSetUp = 1;
        doc.m_Locked = 1;
        doc.m_StartDate = 20130105;
        doc.m_StartHour = 12;
        doc.m_StartMinute = 3;
        doc.m_StartSecond = 9;
        // Graph 3 as a real-time table, graph 2 as a logged table.
        doc.m_Graphs[3].m_GraphMode = 0;
        doc.m_Graphs[3].m_RealTime = 1;
        doc.m_Graphs[2].m_GraphMode = 0;
        doc.m_Graphs[2].m_RealTime = 0;
        view.DrawView(); // retitles the new document
        view.DrawView(); // log-mode arrows show from the second paint on
    }
    QImage Save(const char* name) {
        view.DrawView();
        const QImage picture = view.Picture();
        test::SaveShot(picture, name);
        return picture;
    }
};

TEST_F(ScreenshotFixture, TiledWithAndWithoutPanel) {
    const QImage panel = Save("view_tiled_panel.png");
    EXPECT_GT(test::Ink(panel, 0, 632, 1000, 700), 500); // the panel's texts
    doc.m_ShowProject = 0;
    const QImage bare = Save("view_tiled_no_panel.png");
    EXPECT_EQ(view.ClientRect().bottom, 700);
    EXPECT_GT(test::Ink(bare, 0, 0, 500, 350), 2000);
}

constexpr QRgb kRed = qRgb(255, 0, 0), kBlue = qRgb(0, 0, 255), kGreen = qRgb(0, 255, 0);

TEST_F(ScreenshotFixture, Maximised) {
    view.OnCommand(view_cmd::kToggleMaximise); // quadrant 0: graph 1 (real time)
    const QImage realTime = Save("view_maximised.png");
    // The three traces (colours 1, 2, 3) run across the whole plot, 50 .. 950; no
    // dividers cross the middle of the window.
    for (QRgb colour : {kRed, kBlue, kGreen}) {
        EXPECT_GT(test::CountColour(realTime, colour, 60, 60, 500, 640), 300) << std::hex << colour;
        EXPECT_GT(test::CountColour(realTime, colour, 500, 60, 940, 640), 300)
            << std::hex << colour;
    }
    EXPECT_EQ(test::CountColour(realTime, qRgb(150, 150, 150), 0, 345, 1000, 355), 0);

    QTest::mouseClick(&view, Qt::LeftButton, {}, {600, 100});
    view.OnCommand(view_cmd::kToggleMaximise);
    ASSERT_EQ(view.MaximisedGraph(), -1);
    view.OnCommand(view_cmd::kToggleMaximise); // graph 2 (log mode)
    EXPECT_EQ(view.MaximisedGraph(), 1);
    const QImage logged = Save("view_maximised_log.png");
    for (QRgb colour : {kRed, kBlue, kGreen})
        EXPECT_GT(test::CountColour(logged, colour, 60, 60, 940, 640), 300) << std::hex << colour;
}

TEST_F(ScreenshotFixture, DataTables) {
    const QImage tables = Save("view_tables.png");
    EXPECT_GT(test::Ink(tables, 0, 320, 500, 620), 2000);    // logged table, quadrant 2
    EXPECT_GT(test::Ink(tables, 520, 320, 1000, 620), 1000); // real-time table, quadrant 3
    QTest::mouseClick(&view, Qt::LeftButton, {}, {600, 500});
    view.OnCommand(view_cmd::kToggleMaximise);
    // 23 readings, label and value, from the top of the window well down it: every
    // band of 100 rows between 40 and 600 holds text, the last 80 rows none.
    const QImage live = Save("view_table_realtime_maximised.png");
    for (int top = 40; top < 600; top += 100)
        EXPECT_GT(test::Ink(live, 0, top, 1000, top + 100), 1000) << top;
    EXPECT_EQ(test::Ink(live, 0, 620, 1000, 700), 0);
    view.OnCommand(view_cmd::kToggleMaximise);
    QTest::mouseClick(&view, Qt::LeftButton, {}, {100, 500});
    view.OnCommand(view_cmd::kToggleMaximise);
    QTest::keyClick(&view, Qt::Key_PageDown);
    // Rows of samples fill the window's width and most of its height.
    const QImage logged = Save("view_table_logged_maximised.png");
    for (int left = 0; left < 1000; left += 250)
        EXPECT_GT(test::Ink(logged, left, 60, left + 250, 600), 5000) << left;
    doc.m_SystemType = 3;
    test::FillDemoLog(doc, doc.m_SampleCount); // a log of that meter: nine columns
    view.OnCommand(view_cmd::kToggleMaximise);
    // The short list: nine readings in the real-time table, so its lower half is empty.
    const QImage shortList = Save("view_tables_short_list.png");
    EXPECT_GT(test::Ink(shortList, 520, 330, 1000, 470), 1000);
    EXPECT_EQ(test::Ink(shortList, 520, 480, 1000, 620), 0);
}

TEST_F(ScreenshotFixture, LogHistory) {
    Graph& graph = doc.m_Graphs[1];
    graph.m_ScrollOffset = -2 * graph.m_ScaleX;
    graph.m_HistoryTime = test::kDemoNow - 600;
    // Graph 2 browsing its history labels its Y axis in blue; graph 1, live, in black.
    const QImage history = Save("view_log_history.png");
    EXPECT_GT(test::CountColour(history, kBlue, 505, 35, 550, 265), 50);
    EXPECT_EQ(test::CountColour(history, kBlue, 5, 35, 45, 265), 0);
}

} // namespace
} // namespace zentra

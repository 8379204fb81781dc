// Pictures of the view for a person to look at (written to the screenshot folder),
// with a light check that each shows what it should.
#include "display/view/view_commands.h"
#include "platform/clock.h"
#include "tests/display/view/view_test_support.h"
#include "tests/support/test_support.h"

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
        EXPECT_TRUE(picture.save(QString::fromStdString(test::ScreenshotDir() + "/" + name)));
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

TEST_F(ScreenshotFixture, Maximised) {
    view.OnCommand(view_cmd::kToggleMaximise); // quadrant 0: graph 1 (real time)
    Save("view_maximised.png");
    QTest::mouseClick(&view, Qt::LeftButton, {}, {600, 100});
    view.OnCommand(view_cmd::kToggleMaximise);
    ASSERT_EQ(view.MaximisedGraph(), -1);
    view.OnCommand(view_cmd::kToggleMaximise); // graph 2 (log mode)
    EXPECT_EQ(view.MaximisedGraph(), 1);
    Save("view_maximised_log.png");
}

TEST_F(ScreenshotFixture, DataTables) {
    const QImage tables = Save("view_tables.png");
    EXPECT_GT(test::Ink(tables, 0, 320, 500, 620), 2000);    // logged table, quadrant 2
    EXPECT_GT(test::Ink(tables, 520, 320, 1000, 620), 1000); // real-time table, quadrant 3
    QTest::mouseClick(&view, Qt::LeftButton, {}, {600, 500});
    view.OnCommand(view_cmd::kToggleMaximise);
    Save("view_table_realtime_maximised.png");
    view.OnCommand(view_cmd::kToggleMaximise);
    QTest::mouseClick(&view, Qt::LeftButton, {}, {100, 500});
    view.OnCommand(view_cmd::kToggleMaximise);
    QTest::keyClick(&view, Qt::Key_PageDown);
    Save("view_table_logged_maximised.png");
    doc.m_SystemType = 3;
    view.OnCommand(view_cmd::kToggleMaximise);
    Save("view_tables_short_list.png");
}

TEST_F(ScreenshotFixture, LogHistory) {
    Graph& graph = doc.m_Graphs[1];
    graph.m_ScrollOffset = -2 * graph.m_ScaleX;
    graph.m_HistoryTime = test::kDemoNow - 600;
    Save("view_log_history.png");
}

} // namespace
} // namespace zentra

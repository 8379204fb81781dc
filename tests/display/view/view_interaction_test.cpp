#include "display/graph/logging_scale_arrows.h"
#include "display/view/view_commands.h"
#include "platform/clock.h"
#include "tests/display/view/view_test_support.h"
#include "tests/support/test_support.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>

namespace zentra {
namespace {

using test::DemoView;

struct ViewFixture : ::testing::Test {
    test::ScopedUserFolders folders;
    platform::ManualClock clock{test::kDemoNow};
    DemoView demo;
    CZentraDoc& doc = *demo.doc;
    CZentraView& view = *demo.view;

    void SetUp() override {
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.DrawView();
    }
    void Click(QPoint p) { QTest::mouseClick(&view, Qt::LeftButton, {}, p); }
    void Key(Qt::Key key) { QTest::keyClick(&view, key); }
    template <class R> static QPoint Middle(const R& r) {
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    // Hit rectangle of the back (or forward) history arrow of quadrant k, as laid out now.
    StrictRect HistoryArrow(int k, bool back) {
        const ViewLayout& l = view.Layout();
        const LoggingScaleArrowCoords arrows(l.plotLeft[k], l.plotWidth[k], l.plotBaseline[k],
                                             view.ClientRect().bottom);
        return back ? arrows.LeftHit() : arrows.RightHit();
    }
};

TEST_F(ViewFixture, ThePanelTakesATenthOfTheClientHeight) {
    ASSERT_EQ(view.width(), 800);
    doc.m_ShowProject = 0;
    view.DrawView();
    EXPECT_EQ(view.Layout().textScale, 600);
    EXPECT_EQ(view.ClientRect(), (Rect{0, 0, 800, 600}));
    doc.m_ShowProject = 1;
    view.DrawView();
    EXPECT_EQ(view.PanelHeight(), 60);
    EXPECT_EQ(view.Layout().textScale, 540);
    EXPECT_EQ(view.Layout().cellHeight, 270);
    EXPECT_EQ(view.Layout().plotBaseline[3], 500);
    EXPECT_EQ(view.ClientRect(), (Rect{0, 0, 800, 540}));
    EXPECT_EQ(view.Picture().size(), QSize(800, 600));
}

TEST_F(ViewFixture, NewDocumentIsRetitledAndResetsTheView) {
    EXPECT_EQ(doc.m_Title, "NewLog"); // the first DrawView did it
    Click(Middle(view.NextPageArrow()));
    view.OnCommand(view_cmd::kToggleMaximise);
    ASSERT_EQ(view.MaximisedGraph(), 5); // the arrow click was in quadrant 1 of page 1
    doc.m_Title = "Untitled";
    view.DrawView();
    EXPECT_EQ(doc.m_Title, "NewLog");
    EXPECT_EQ(view.CurrentPage(), 0);
    EXPECT_EQ(view.MaximisedGraph(), -1);
}

TEST_F(ViewFixture, FontWeightFollowsTheScreenWidth) {
    EXPECT_EQ(view.FontWeight(), 700); // 1280 wide
    view.SetScreenMetricsSource([] { return ScreenMetrics{1099, 1099, 800}; });
    view.DrawView();
    EXPECT_EQ(view.FontWeight(), 400);
}

TEST_F(ViewFixture, PageArrowsStopAtTheFirstAndLastPage) {
    const Rect next = view.NextPageArrow();
    const Rect previous = view.PreviousPageArrow();
    EXPECT_EQ(next, (Rect{784, 256, 798, 284}));
    Click(Middle(previous));
    EXPECT_EQ(view.CurrentPage(), 0);
    Click(Middle(next));
    EXPECT_EQ(view.CurrentPage(), 1);
    Click(Middle(next));
    Click(Middle(next));
    EXPECT_EQ(view.CurrentPage(), 2);
    // On the edges the strict test misses.
    Click({next.left, 270});
    Click({previous.right, 270});
    Click({previous.left + 5, previous.top});
    EXPECT_EQ(view.CurrentPage(), 2);
    Click(Middle(previous));
    EXPECT_EQ(view.CurrentPage(), 1);
}

TEST_F(ViewFixture, DoubleClickMaximisesTheCellUnderItAndBack) {
    Click(Middle(view.NextPageArrow()));
    ASSERT_EQ(view.CurrentPage(), 1);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, {600, 400});
    EXPECT_EQ(view.ClickedQuadrant(), 3);
    EXPECT_EQ(view.MaximisedGraph(), 7);
    EXPECT_EQ(view.SelectedGraph(), 7);
    view.DrawView();
    EXPECT_EQ(view.Layout().cellWidth, 800);
    // Page arrows do nothing while a graph is maximised.
    Click(Middle(view.NextPageArrow()));
    EXPECT_EQ(view.CurrentPage(), 1);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, {10, 10});
    EXPECT_EQ(view.MaximisedGraph(), -1);
    EXPECT_EQ(view.CurrentPage(), 1);
}

TEST_F(ViewFixture, PageKeysMoveTheTablePage) {
    doc.m_SampleCount = 200; // pages 0 .. 4 of 40 lines
    Key(Qt::Key_PageUp);
    EXPECT_EQ(doc.m_DataViewTop, 0);
    Key(Qt::Key_PageDown);
    Key(Qt::Key_Down);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(doc.m_DataViewTop, 3);
    Key(Qt::Key_Up);
    EXPECT_EQ(doc.m_DataViewTop, 2);
    doc.m_DataViewTop = -7; // from a damaged file
    Key(Qt::Key_PageUp);
    EXPECT_EQ(doc.m_DataViewTop, 0);
}

// Page Down stops at the page that holds the last sample, never an empty page of
// headings; a page beyond it (from a file) comes back to it.
TEST_F(ViewFixture, PageDownStopsAtTheLastPage) {
    struct Case {
        std::int32_t samples, top, downs, expected;
    };
    for (const Case& c :
         {Case{0, 0, 3, 0}, Case{40, 0, 3, 0}, Case{41, 0, 3, 1}, Case{120, 0, 5, 2},
          Case{121, 0, 5, 3}, Case{7200, 170, 20, 179},
          Case{120, std::numeric_limits<std::int32_t>::max(), 1, 2}, Case{120, 9, 1, 2}}) {
        doc.m_SampleCount = c.samples;
        doc.m_DataViewTop = c.top;
        for (int i = 0; i < c.downs; ++i)
            Key(i % 2 ? Qt::Key_Down : Qt::Key_PageDown);
        EXPECT_EQ(doc.m_DataViewTop, c.expected) << c.samples << " samples from page " << c.top;
    }
    view.DrawView();
}

TEST_F(ViewFixture, HistoryArrowsStepTheScrollOffset) {
    Graph& graph = doc.m_Graphs[1]; // page 0, quadrant 1
    graph.m_RealTime = 0;
    graph.m_ScaleX = 9;
    graph.m_ScrollOffset = 0;
    graph.m_LeftArrowActive = 1;
    graph.m_RightArrowActive = 1;
    view.DrawView();
    const StrictRect back = HistoryArrow(1, true);
    const QPoint backMiddle = Middle(back);
    const QPoint forwardMiddle = Middle(HistoryArrow(1, false));

    Click(backMiddle);
    EXPECT_EQ(graph.m_ScrollOffset, -9);
    EXPECT_EQ(graph.m_HistoryTime, test::kDemoNow);
    clock.Advance(30);
    Click(backMiddle);
    EXPECT_EQ(graph.m_ScrollOffset, -18);
    EXPECT_EQ(graph.m_HistoryTime, test::kDemoNow); // only leaving the live end records it
    Click({back.left, backMiddle.y()});             // the edge misses
    EXPECT_EQ(graph.m_ScrollOffset, -18);
    for (int offset : {-9, 0, 0}) {
        Click(forwardMiddle);
        EXPECT_EQ(graph.m_ScrollOffset, offset);
    }

    graph.m_LeftArrowActive = 0;
    Click(backMiddle);
    EXPECT_EQ(graph.m_ScrollOffset, 0);
    // Other graphs are untouched.
    EXPECT_EQ(doc.m_Graphs[0].m_ScrollOffset, 0);
    EXPECT_EQ(doc.m_Graphs[5].m_ScrollOffset, 0);
}

TEST_F(ViewFixture, WhileMaximisedOnlyTheShownGraphScrolls) {
    for (Graph& graph : doc.m_Graphs) {
        graph.m_RealTime = 0;
        graph.m_LeftArrowActive = 1;
    }
    QTest::mouseDClick(&view, Qt::LeftButton, {}, {600, 400}); // graph 3
    ASSERT_EQ(view.MaximisedGraph(), 3);
    view.DrawView();
    Click(Middle(HistoryArrow(0, true))); // graph 0's tiled arrow is not shown
    EXPECT_EQ(doc.m_Graphs[0].m_ScrollOffset, 0);
    Click(Middle(HistoryArrow(3, true)));
    EXPECT_EQ(doc.m_Graphs[3].m_ScrollOffset, -doc.m_Graphs[3].m_ScaleX);
}

TEST_F(ViewFixture, DisplaySwitchesActOnTheSelectedGraph) {
    QTest::mouseClick(&view, Qt::LeftButton, {}, {100, 400}); // quadrant 2: graph 2
    ASSERT_EQ(view.SelectedGraph(), 2);
    const Graph before = doc.m_Graphs[2];
    view.OnCommand(view_cmd::kToggleRelativeY);
    view.OnCommand(view_cmd::kToggleRealTime);
    view.OnCommand(view_cmd::kToggleGraphMode);
    EXPECT_EQ(doc.m_Graphs[2].m_RelativeY, before.m_RelativeY ? 0 : 1);
    EXPECT_EQ(doc.m_Graphs[2].m_RealTime, before.m_RealTime ? 0 : 1);
    EXPECT_EQ(doc.m_Graphs[2].m_GraphMode, before.m_GraphMode ? 0 : 1);
    EXPECT_EQ(doc.m_Graphs[3].m_GraphMode, 1);
    view.OnCommand(view_cmd::kToggleProjectPanel);
    EXPECT_EQ(doc.m_ShowProject, 0);
    view.OnCommand(view_cmd::kToggleMaximise);
    EXPECT_EQ(view.MaximisedGraph(), 2);
    view.OnCommand(view_cmd::kToggleMaximise);
    EXPECT_EQ(view.MaximisedGraph(), -1);
}

TEST_F(ViewFixture, ContextMenuItemsAndChoices) {
    QStringList texts;
    QString choose = "Data View";
    view.SetMenuRunner([&](QMenu& menu, QPoint) -> QAction* {
        texts.clear();
        QAction* chosen = nullptr;
        for (QAction* action : menu.actions()) {
            texts.push_back(action->isSeparator() ? QString("-") : action->text());
            if (action->text() == choose)
                chosen = action;
        }
        return chosen;
    });
    QTest::mouseClick(&view, Qt::RightButton, {}, {600, 100}); // graph 1
    EXPECT_EQ(texts.join('|'),
              "Project Settings|Graph Settings|Communications|-|Hide Project Details|-|"
              "Maximize Graph|Absolute Y Scale|Real Time View|Data View|-|Start Data Retrieval|-|"
              "Enable Logging|-|Print...|Print Preview");
    EXPECT_EQ(doc.m_Graphs[1].m_GraphMode, 0); // "Data View" was chosen

    // Commands the view does not own go to the main window.
    QSignalSpy spy(&view, &CZentraView::commandRequested);
    choose = "Project Settings";
    QTest::mouseClick(&view, Qt::RightButton, {}, {600, 100});
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 32781);

    // A project read from a file has no live view to switch to; retrieval running
    // offers stop and restart.
    doc.m_ArchivedFile = 1;
    doc.m_RetrievalActive = 1;
    choose.clear();
    QTest::mouseDClick(&view, Qt::LeftButton, {}, {600, 100});
    QTest::mouseClick(&view, Qt::RightButton, {}, {600, 100});
    for (const char* absent : {"Log View", "Real Time View"})
        EXPECT_EQ(texts.count(absent), 0) << absent;
    for (const char* once :
         {"Tile Graph", "Graph View", "Stop Data Retrieval", "Restart Data Retrieval"})
        EXPECT_EQ(texts.count(once), 1) << once;
}

TEST_F(ViewFixture, CommandsRouteToAcquisitionOrTheMainWindow) {
    test::ScriptedMessages messages;
    QSignalSpy spy(&view, &CZentraView::commandRequested);
    view.OnCommand(105); // no port set up
    EXPECT_EQ(messages.LastText(),
              "Program's Port Parameters Are Not Setup Yet: See The Settings Menu");
    view.OnCommand(32787);
    EXPECT_EQ(messages.LastText(), "Program Not Active:");
    EXPECT_EQ(spy.count(), 0);
    for (int id : {32781, 32796, 32784, 32798, 32799})
        view.OnCommand(id);
    ASSERT_EQ(spy.count(), 5);
    EXPECT_EQ(spy.at(3).at(0).toInt(), 32798);
}

TEST_F(ViewFixture, UpdateArmsTheOneSecondTimerAndATickRedraws) {
    view.SetDocument(&doc);
    EXPECT_TRUE(view.TimerActive());
    EXPECT_EQ(view.TimerInterval(), 1000);
    EXPECT_EQ(view.Acquisition().timerId, 1);
    doc.m_ShowProject = 0;
    view.OnTimer(1); // no port: the tick only redraws and re-arms
    EXPECT_EQ(view.ClientRect().bottom, 600);
    EXPECT_EQ(view.TimerInterval(), 1000);
}

TEST_F(ViewFixture, StatusText) {
    EXPECT_EQ(view.StatusText(), "No Port Open");
    doc.m_Comms.portSetUp = 1;
    EXPECT_EQ(view.StatusText(), "Port:COM1 Baud: 38400 Parity: NONE: ");
    doc.m_LoggingActive = 1;
    EXPECT_EQ(view.StatusText(), "Port:COM1 Baud: 38400 Parity: NONE: (Logging)");
}

TEST_F(ViewFixture, DisabledGraphLeavesItsCellEmpty) {
    doc.m_ShowProject = 0;
    for (int g = 0; g < 4; ++g)
        doc.m_Graphs[static_cast<std::size_t>(g)].m_Enabled = 0;
    view.DrawView();
    const QImage& picture = view.Picture();
    EXPECT_EQ(test::Ink(picture, 25, 5, 390, 290), 0);
    EXPECT_EQ(QColor(picture.pixel(400, 100)), QColor(255, 255, 255)); // divider
    EXPECT_EQ(QColor(picture.pixel(401, 150)), QColor(150, 150, 150));
    EXPECT_EQ(QColor(picture.pixel(12, 300)), QColor(158, 194, 192)); // previous-page arrow
}

TEST(ViewWithoutClientArea, FallsBackToTheScreenAndDrawsNothing) {
    test::ScopedUserFolders folders;
    DemoView demo(0, 0);
    demo.view->DrawView();
    EXPECT_TRUE(demo.view->Picture().isNull());
    EXPECT_EQ(demo.view->Layout().layoutWidth, 1280);
    EXPECT_EQ(demo.view->Layout().cellHeight, 492);
}

} // namespace
} // namespace zentra

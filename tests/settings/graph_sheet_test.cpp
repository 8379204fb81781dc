// The "Graph Settings" sheet against a document, driven as a user would.
#include "document/graph_defaults.h"
#include "project_test_support.h"
#include "settings/graph_page.h"
#include "settings/graph_sheet.h"
#include "tests/support/picture_checks.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace zentra {
namespace {

using test::Control;
using test::GraphImages;
using test::Images;
using test::Retype;
using test::SheetScript;
using test::Tick;

// Column ids of the first column of every page.
constexpr const char* kTimeBase1 = "1092";
constexpr const char* kYScale1 = "1116";
constexpr const char* kRelative1 = "1073";
constexpr const char* kRealTime[] = {"1080", "1099", "1101", "1103"};
constexpr const char* kLogMode[] = {"1090", "1105", "1107", "1109"};

class GraphSheetTest : public ::testing::Test {
  protected:
    GraphSheetTest() { ApplyGraphDefaults(*doc_); }

    bool Run(int currentPage, SheetScript::Action action) {
        SheetScript script({std::move(action)});
        const bool stored = OnGraphSettings(*doc_, currentPage, nullptr, script.Runner());
        activePages_ = script.ActivePages();
        return stored;
    }

    Graph& G(int number) { return doc_->m_Graphs[static_cast<std::size_t>(number - 1)]; }

    platform::ManualClock clock_{test::kFixedNow};
    test::ScriptedMessages messages_;
    std::unique_ptr<CZentraDoc> doc_ = test::NewDocument();
    std::vector<int> activePages_;
};

// Shows page k as the user would by picking its tab.
QWidget& Open(PropertySheet& sheet, int k) {
    sheet.Tabs()->setCurrentIndex(k);
    return *sheet.Page(k);
}

TEST_F(GraphSheetTest, XTickOfTwoOpensUncheckedAndIsStoredAsThePlainTick) {
    G(2).m_TickLengthX = 2.0;
    G(3).m_TickLengthX = kGridTickLength;
    ASSERT_TRUE(Run(0, [](PropertySheet& sheet) {
        const QWidget& page = *sheet.Page(0);
        EXPECT_FALSE(Control<QCheckBox>(page, "1040")->isChecked());
        EXPECT_TRUE(Control<QCheckBox>(page, "1042")->isChecked());
        Tick(Control<QCheckBox>(page, "1060")); // Y grid of graph 2 on
        test::PressOk(sheet);
    }));
    EXPECT_DOUBLE_EQ(G(2).m_TickLengthX, 1.5);
    EXPECT_DOUBLE_EQ(G(2).m_TickLengthY, 100.0);
    EXPECT_DOUBLE_EQ(G(3).m_TickLengthX, 100.0);
}

TEST_F(GraphSheetTest, RelativeScaleGreysTheYScaleWhichIsStillStored) {
    G(1).m_RelativeY = 1;
    G(1).m_NominalY[0] = 300.0;
    ASSERT_TRUE(Run(0, [](PropertySheet& sheet) {
        const QWidget& page = *sheet.Page(0);
        QLineEdit* yScale = Control<QLineEdit>(page, kYScale1);
        QCheckBox* relative = Control<QCheckBox>(page, kRelative1);
        EXPECT_TRUE(relative->isChecked());
        EXPECT_FALSE(yScale->isEnabled());
        EXPECT_EQ(yScale->text(), "300");
        Tick(relative);
        EXPECT_TRUE(yScale->isEnabled());
        Retype(yScale, "450");
        Tick(relative);
        EXPECT_FALSE(yScale->isEnabled());
        test::PressOk(sheet);
    }));
    EXPECT_EQ(G(1).m_RelativeY, 1);
    EXPECT_DOUBLE_EQ(G(1).m_NominalY[0], 450.0);
}

TEST_F(GraphSheetTest, ModePairsExcludeEachOtherAndNotTheOtherPair) {
    ASSERT_TRUE(Run(0, [](PropertySheet& sheet) {
        const QWidget& page = *sheet.Page(0);
        auto* realTime = Control<QRadioButton>(page, "1099");
        auto* logMode = Control<QRadioButton>(page, "1105");
        auto* graph = Control<QRadioButton>(page, "1126");
        auto* text = Control<QRadioButton>(page, "1111");
        EXPECT_TRUE(logMode->isChecked()); // graph 2 of the defaults: log mode, graph
        EXPECT_TRUE(graph->isChecked());
        Tick(realTime);
        EXPECT_FALSE(logMode->isChecked());
        Tick(text);
        EXPECT_FALSE(graph->isChecked());
        EXPECT_TRUE(realTime->isChecked());
        Tick(Control<QCheckBox>(page, "1070")); // centre zero
        Tick(Control<QCheckBox>(page, "1022")); // enable off
        test::PressOk(sheet);
    }));
    EXPECT_EQ(G(2).m_RealTime, 1);
    EXPECT_EQ(G(2).m_GraphMode, 0);
    EXPECT_EQ(G(2).m_CentreZero, 1);
    EXPECT_EQ(G(2).m_Enabled, 0);
    EXPECT_EQ(G(1).m_RealTime, 0);
    EXPECT_EQ(G(1).m_GraphMode, 1);
}

TEST_F(GraphSheetTest, ArchivedDocumentsCannotChooseRealTime) {
    doc_->m_ArchivedFile = 1;
    ASSERT_TRUE(Run(1, [](PropertySheet& sheet) {
        for (int k : {1, 0, 2}) {
            const QWidget& page = Open(sheet, k);
            for (int j = 0; j < 4; ++j) {
                auto* realTime = Control<QRadioButton>(page, kRealTime[j]);
                EXPECT_FALSE(realTime->isEnabled()) << "page " << k << " column " << j;
                EXPECT_TRUE(Control<QRadioButton>(page, kLogMode[j])->isChecked());
                Tick(realTime);
                EXPECT_FALSE(realTime->isChecked());
            }
        }
        test::PressOk(sheet);
    }));
    for (int g = 1; g <= kGraphCount; ++g)
        EXPECT_EQ(G(g).m_RealTime, 0) << "graph " << g;
}

TEST_F(GraphSheetTest, ReducedMetersShowAnUnofferedSourceAndKeepIt) {
    for (std::int32_t type : {3, 6}) {
        doc_ = test::NewDocument();
        doc_->m_SystemType = type;
        ApplyGraphDefaults(*doc_);
        G(6).m_Associations = {5, 49, 14}; // "V 2" is not offered to these meters
        SetText(G(6).m_Headings[0], "V 2");
        ASSERT_TRUE(Run(1, [](PropertySheet& sheet) {
            const QWidget& page = *sheet.Page(1);
            EXPECT_EQ(Control<QComboBox>(page, "1012")->count(), 11);
            EXPECT_EQ(Control<QComboBox>(page, "1012")->currentText(), "V 2 (not offered)");
            EXPECT_EQ(Control<QComboBox>(page, "1013")->count(), 10); // offered: no extra entry
            EXPECT_EQ(Control<QComboBox>(page, "1013")->currentText(), "h.p.");
            EXPECT_EQ(Control<QComboBox>(page, "1014")->currentText(), "kWHr (Imp)");
            test::CloseUp(Control<QComboBox>(page, "1014"), 2); // "I 1"
            test::PressOk(sheet);
        }));
        EXPECT_EQ(G(6).m_Associations, (std::array<std::int32_t, 3>{5, 49, 7})) << type;
        EXPECT_STREQ(G(6).m_Headings[0].data(), "V 2");
        EXPECT_STREQ(G(6).m_Headings[2].data(), "I 1");
    }
}

// A project whose graphs were set for the full list, on a short-list meter: the page
// shows what graph 1 plots, OK keeps it, and a trace the user changes takes the change.
TEST_F(GraphSheetTest, FullListGraphsOnAShortListMeterKeepTheirSources) {
    doc_->m_SystemType = 3; // the meter connected; graph 1 still V1-2, V2-3, V3-1
    ASSERT_EQ(G(1).m_Associations, (std::array<std::int32_t, 3>{1, 2, 3}));
    ASSERT_TRUE(Run(0, [](PropertySheet& sheet) {
        const QWidget& page = *sheet.Page(0);
        EXPECT_EQ(Control<QComboBox>(page, "1004")->currentText(), "V1-2 (not offered)");
        EXPECT_EQ(Control<QComboBox>(page, "1005")->currentText(), "V2-3 (not offered)");
        EXPECT_EQ(Control<QComboBox>(page, "1006")->currentText(), "V3-1 (not offered)");
        test::ExpectShotDrawnWhole(sheet, "graph_page_not_offered.png");
        test::CloseUp(Control<QComboBox>(page, "1006"), 1); // "V 1"
        test::PressOk(sheet);
    }));
    EXPECT_EQ(G(1).m_Associations, (std::array<std::int32_t, 3>{1, 2, 4}));
    EXPECT_STREQ(G(1).m_Headings[0].data(), "V1-2");
    EXPECT_STREQ(G(1).m_Headings[1].data(), "V2-3");
    EXPECT_STREQ(G(1).m_Headings[2].data(), "V 1");
    // Pages never opened keep theirs too (graph 5's "kVAr" is position 12).
    EXPECT_EQ(G(5).m_Associations[0], 12);
    EXPECT_STREQ(G(5).m_Headings[0].data(), "kVAr");

    // Set up on a short-list meter, shown on a full-list one: reading indices 38, 41
    // and 49 lie beyond the 23 positions of the full list.
    doc_->m_SystemType = 1;
    G(2).m_Associations = {38, 41, 23};
    SetText(G(2).m_Headings[0], "Max kWd (Imp)");
    SetText(G(2).m_Headings[1], "Max Ad");
    SetText(G(2).m_Headings[2], "Max kVAd");
    ASSERT_TRUE(Run(0, [](PropertySheet& sheet) {
        const QWidget& page = *sheet.Page(0);
        EXPECT_EQ(Control<QComboBox>(page, "1012")->currentText(), "Max kWd (Imp) (not offered)");
        EXPECT_EQ(Control<QComboBox>(page, "1013")->currentText(), "Max Ad (not offered)");
        EXPECT_EQ(Control<QComboBox>(page, "1014")->count(), 24);
        test::PressOk(sheet);
    }));
    EXPECT_EQ(G(2).m_Associations, (std::array<std::int32_t, 3>{38, 41, 23}));
    EXPECT_STREQ(G(2).m_Headings[0].data(), "Max kWd (Imp)");

    // Picking "OFF" for a kept source stores "OFF".
    ASSERT_TRUE(Run(0, [](PropertySheet& sheet) {
        test::CloseUp(Control<QComboBox>(*sheet.Page(0), "1004"), 0);
        test::PressOk(sheet);
    }));
    EXPECT_EQ(G(1).m_Associations, (std::array<std::int32_t, 3>{0, 2, 4}));
    EXPECT_STREQ(G(1).m_Headings[0].data(), "OFF");
}

// Entries the lists do not hold (out of reach of a file or the stored defaults, which
// are bounded on reading) show and store as the first entry, never as -1.
TEST_F(GraphSheetTest, ChosenSourcesAndColoursAreStoredWithTheirLabels) {
    G(3).m_Associations = {30, -2, 3};
    SetText(G(3).m_Headings[0], "OFF"); // not drawn: nothing to keep
    SetText(G(3).m_Headings[1], "");
    G(3).m_LineColour = {12, -1, 2};
    ASSERT_TRUE(Run(0, [](PropertySheet& sheet) {
        const QWidget& page = *sheet.Page(0);
        EXPECT_EQ(Control<QComboBox>(page, "1004")->currentText(), "V L1-2");
        EXPECT_EQ(Control<QComboBox>(page, "1029")->currentText(), "Red");
        EXPECT_EQ(Control<QComboBox>(page, "1015")->currentText(), "OFF");
        EXPECT_EQ(Control<QComboBox>(page, "1044")->currentText(), "Black");
        EXPECT_EQ(Control<QComboBox>(page, "1046")->currentText(), "Black");
        test::CloseUp(Control<QComboBox>(page, "1006"), 22); // reading 40
        test::CloseUp(Control<QComboBox>(page, "1031"), 8);
        test::PressOk(sheet);
    }));
    EXPECT_EQ(G(1).m_Associations, (std::array<std::int32_t, 3>{1, 2, 22}));
    EXPECT_EQ(G(1).m_LineColour[2], 8);
    // An opened page's headings are the list's texts, replacing the defaults' own.
    EXPECT_STREQ(G(1).m_Headings[0].data(), "V L1-2");
    EXPECT_STREQ(G(1).m_Headings[2].data(), "Max kVAd");
    EXPECT_STREQ(G(5).m_Headings[1].data(), "PF Avg"); // page never opened
    EXPECT_EQ(G(3).m_Associations, (std::array<std::int32_t, 3>{0, 0, 3}));
    EXPECT_EQ(G(3).m_LineColour, (std::array<std::int32_t, 3>{0, 0, 2}));
    EXPECT_STREQ(G(3).m_Headings[0].data(), "OFF");
}

TEST_F(GraphSheetTest, OutOfRangeNumbersKeepTheSheetOpenOnTheEdit) {
    const struct {
        const char *id, *text, *message;
    } cases[] = {
        {kTimeBase1, "4", "Time Base Unit must be a whole number from 5 to 600."},
        {kTimeBase1, "601", "Time Base Unit must be a whole number from 5 to 600."},
        {kYScale1, "4", "Y Scale must be a whole number from 5 to 10000."},
    };
    G(1).m_RelativeY = 0;
    for (const auto& c : cases) {
        messages_.Clear();
        ASSERT_TRUE(Run(0, [&](PropertySheet& sheet) {
            QWidget& page = *sheet.Page(0);
            QLineEdit* edit = Control<QLineEdit>(page, c.id);
            Retype(edit, c.text);
            test::PressOk(sheet);
            EXPECT_TRUE(sheet.isVisible()) << c.text;
            EXPECT_EQ(messages_.LastText(), c.message);
            EXPECT_EQ(sheet.focusWidget(), edit);
            // Nor may the page be left for another.
            sheet.Tabs()->setCurrentIndex(1);
            EXPECT_EQ(sheet.ActivePage(), 0);
            EXPECT_EQ(messages_.shown().size(), 2u);
            Retype(edit, "25");
            test::PressOk(sheet);
        })) << c.text;
    }
    EXPECT_EQ(G(1).m_ScaleX, 25);
    EXPECT_DOUBLE_EQ(G(1).m_NominalY[0], 25.0);
}

TEST_F(GraphSheetTest, AGreyedOutOfRangeYScaleSendsTheUserToRelativeScale) {
    G(5).m_RelativeY = 1;
    G(5).m_NominalY[0] = 3.0; // from the stored defaults, never checked
    const GraphImages before = Images(*doc_);
    EXPECT_FALSE(Run(1, [&](PropertySheet& sheet) {
        test::PressOk(sheet);
        EXPECT_TRUE(sheet.isVisible());
        EXPECT_EQ(messages_.LastText(), "Y Scale must be a whole number from 5 to 10000.");
        EXPECT_EQ(sheet.focusWidget(), Control<QCheckBox>(*sheet.Page(1), "1073"));
        test::PressCancel(sheet);
    }));
    EXPECT_EQ(Images(*doc_), before);
}

// The sheet opens on the view's page; Cancel after edits on every page changes nothing.
TEST_F(GraphSheetTest, ThreePagesOfFourColumnsAndCancelChangesNothing) {
    const GraphImages before = Images(*doc_);
    EXPECT_FALSE(Run(2, [](PropertySheet& sheet) {
        EXPECT_EQ(sheet.windowTitle(), "Graph Settings");
        ASSERT_EQ(sheet.PageCount(), 3);
        EXPECT_EQ(sheet.Tabs()->tabText(0), "Graphs 1 - 4");
        EXPECT_EQ(sheet.Tabs()->tabText(1), "Graphs 5 - 8");
        EXPECT_EQ(sheet.Tabs()->tabText(2), "Graphs 9 - 12");
        EXPECT_EQ(sheet.findChildren<QPushButton*>().size(), 2); // OK, Cancel: no Apply
        const char* titles[] = {"1025", "1026", "1027", "1028"};
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(Control<QGroupBox>(*sheet.Page(2), titles[j])->title(),
                      QStringLiteral("Graph %1").arg(9 + j));
        EXPECT_EQ(Control<QComboBox>(*sheet.Page(2), "1020")->count(), 24);
        EXPECT_EQ(Control<QComboBox>(*sheet.Page(2), "1020")->itemText(0), "OFF");
        for (int k = 0; k < 3; ++k) {
            QWidget& page = Open(sheet, k);
            Retype(Control<QLineEdit>(page, kTimeBase1), "300");
            Tick(Control<QCheckBox>(page, "1021"));
            Tick(Control<QCheckBox>(page, "1039"));
            Tick(Control<QRadioButton>(page, "1091"));
            test::CloseUp(Control<QComboBox>(page, "1005"), 7);
            test::CloseUp(Control<QComboBox>(page, "1053"), 6);
        }
        test::PressCancel(sheet);
    }));
    EXPECT_EQ(activePages_, (std::vector<int>{2}));
    EXPECT_EQ(Images(*doc_), before);
    EXPECT_FALSE(doc_->IsModified());
    EXPECT_TRUE(messages_.shown().empty());
}

TEST_F(GraphSheetTest, OnlyOpenedPagesRoundTheirYScale) {
    for (int g : {1, 5, 9})
        G(g).m_NominalY[0] = 20.4;
    const GraphImages before = Images(*doc_);
    ASSERT_TRUE(Run(1, [](PropertySheet& sheet) {
        EXPECT_EQ(Control<QLineEdit>(*sheet.Page(1), kYScale1)->text(), "20");
        test::PressOk(sheet);
    }));
    EXPECT_DOUBLE_EQ(G(5).m_NominalY[0], 20.0);
    EXPECT_TRUE(doc_->IsModified()); // closing asks to save the new set-up
    const GraphImages after = Images(*doc_);
    for (std::size_t g : {0u, 1u, 2u, 3u, 8u, 9u, 10u, 11u})
        EXPECT_EQ(after[g], before[g]) << "graph " << g + 1;
    EXPECT_DOUBLE_EQ(G(1).m_NominalY[0], 20.4);
    EXPECT_DOUBLE_EQ(G(9).m_NominalY[0], 20.4);
}

TEST_F(GraphSheetTest, ScreenshotFitsASmallScreen) {
    G(2).m_TickLengthX = kGridTickLength;
    G(3).m_CentreZero = 1;
    G(4).m_RelativeY = 0;
    G(9).m_Associations = {21, 15, 23}; // the longest labels
    G(10).m_GraphMode = 0;
    G(11).m_RealTime = 1;
    ASSERT_TRUE(Run(0, [](PropertySheet& sheet) {
        test::ExpectFitsSmallScreen(sheet);
        test::ExpectShotDrawnWhole(sheet, "graph_page.png");
        Open(sheet, 2);
        test::ExpectShotDrawnWhole(sheet, "graph_page_9_12.png");
        test::PressOk(sheet);
    }));
}

} // namespace
} // namespace zentra

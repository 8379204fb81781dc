// The whole "Project Settings" sheet against a document: validation on OK, reopening
// on the logging page, Cancel, and screenshots of both pages.
#include "project_test_support.h"
#include "settings/log_setup_page.h"
#include "settings/project_page.h"
#include "tests/support/picture_checks.h"
#include "tests/support/test_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <cstring>
#include <gtest/gtest.h>

namespace zentra {
namespace {

using test::Control;
using test::Retype;
using test::SheetScript;

class ProjectSheetTest : public ::testing::Test {
  protected:
    platform::ManualClock clock_{test::kFixedNow};
    test::ScriptedMessages messages_;
    std::unique_ptr<CZentraDoc> doc_ = test::NewDocument();

    // One showing of the sheet with this action; true when it stored.
    bool Run(SheetScript::Action action) {
        SheetScript script({std::move(action)});
        return OnProjectSettings(*doc_, nullptr, script.Runner());
    }
    // Period and its unit, duration and its unit, samples, logging set up.
    std::array<std::int32_t, 6> Timing() const {
        return {doc_->m_Period,   doc_->m_PeriodMultiplier,
                doc_->m_Duration, doc_->m_DurationMultiplier,
                doc_->m_Samples,  doc_->m_LoggingSetUp};
    }
};

// Sets the timing on the logging page of an open sheet.
void SetTiming(PropertySheet& sheet, const char* frequency, int frequencyUnit, const char* duration,
               int durationUnit) {
    QWidget& page = *sheet.Page(kLogSetupPageIndex);
    Retype(Control<QLineEdit>(page, "1104"), frequency);
    Control<QComboBox>(page, "1108")->setCurrentIndex(frequencyUnit);
    Retype(Control<QLineEdit>(page, "1106"), duration);
    Control<QComboBox>(page, "1110")->setCurrentIndex(durationUnit);
}

// A timing the log cannot take: the message, then the sheet again on the logging page
// with the user's values; Cancel there keeps the document's timing, OK with a good
// duration stores it.
TEST_F(ProjectSheetTest, RefusedTimingReopensOnLoggingPage) {
    const struct {
        const char *frequency, *duration, *samples, *message, *caption;
        const char* retyped; // OK with this duration on the reopened sheet; nullptr: Cancel
        std::array<std::int32_t, 6> timing;
    } cases[] = {
        {"1",
         "7201",
         "Samples = 7201 (Max 7200 exceded)",
         "The maximum number of samples has been exceded",
         "Storage Error",
         nullptr,
         {1, 1, 1000, 1, 1000, 1}},
        {"10",
         "5",
         "Samples = 0",
         "Logging Frequency Setting is longer than Duration Setting",
         "Timing Error",
         "50",
         {10, 1, 50, 1, 5, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        messages_.Clear();
        SheetScript script({[&](PropertySheet& sheet) {
                                SetTiming(sheet, c.frequency, 0, c.duration, 0);
                                test::PressOk(sheet);
                            },
                            [&](PropertySheet& sheet) {
                                QWidget& page = *sheet.Page(kLogSetupPageIndex);
                                EXPECT_EQ(Control<QLineEdit>(page, "1104")->text(), c.frequency);
                                EXPECT_EQ(Control<QLineEdit>(page, "1106")->text(), c.duration);
                                EXPECT_EQ(Control<QLabel>(page, "1127")->text(), c.samples);
                                if (c.retyped)
                                    Retype(Control<QLineEdit>(page, "1106"), c.retyped);
                                c.retyped ? test::PressOk(sheet) : test::PressCancel(sheet);
                            }});
        EXPECT_EQ(OnProjectSettings(*doc_, nullptr, script.Runner()), c.retyped != nullptr);
        EXPECT_EQ(script.ActivePages(), (std::vector<int>{0, 1}));
        ASSERT_EQ(messages_.shown().size(), 1u);
        EXPECT_EQ(messages_.LastText(), c.message);
        EXPECT_EQ(messages_.LastCaption(), c.caption);
        EXPECT_EQ(Timing(), c.timing);
    }
}

TEST_F(ProjectSheetTest, TwoHoursAtOneSecondPassesUnconfirmed) {
    EXPECT_TRUE(Run([](PropertySheet& sheet) {
        SetTiming(sheet, "1", 0, "2", 2);
        EXPECT_EQ(Control<QLabel>(*sheet.Page(1), "1127")->text(), "Samples = 7200");
        test::PressOk(sheet);
    }));
    EXPECT_TRUE(messages_.shown().empty());
    EXPECT_EQ(Timing(), (std::array{1, 1, 2, 3600, 7200, 0}));
}

TEST_F(ProjectSheetTest, OkStoresBothPages) {
    EXPECT_FALSE(doc_->IsModified());
    EXPECT_TRUE(Run([](PropertySheet& sheet) {
        QWidget& project = *sheet.Page(kProjectPageIndex);
        Retype(Control<QLineEdit>(project, "1038"), "Feeder 3");
        test::CloseUp(Control<QComboBox>(project, "1033"), 2014 - 2009);
        test::Tick(Control<QCheckBox>(project, "1067"));
        sheet.SetActivePage(kLogSetupPageIndex);
        QWidget& log = *sheet.Page(kLogSetupPageIndex);
        Control<QListWidget>(log, "1094")->setCurrentRow(9); // "kW Sum"
        QTest::mouseClick(Control<QPushButton>(log, "1098"), Qt::LeftButton);
        test::Tick(Control<QCheckBox>(log, "1125"));
        SetTiming(sheet, "5", 1, "10", 2);
        test::PressOk(sheet);
    }));
    EXPECT_TRUE(doc_->IsModified()); // the edits are asked about before closing
    EXPECT_STREQ(doc_->m_ProjectName.data(), "Feeder 3");
    EXPECT_EQ((std::array{doc_->m_ProjectStartDate, doc_->m_ProjectEndDate}),
              (std::array<DayNumber, 2>{20140105, 20140105}));
    EXPECT_EQ((std::array{doc_->m_ShowProject + 0, doc_->m_SelectedParameters[0],
                          doc_->m_SelectedParameters[1], doc_->m_StartImmediately}),
              (std::array{0, 10, 0, 0}));
    EXPECT_EQ(Timing(), (std::array{5, 60, 10, 3600, 120, 1}));
}

// The sheet as it opens, then Cancel after edits on both pages.
TEST_F(ProjectSheetTest, TwoPagesWithoutApplyAndCancelChangesNothing) {
    doc_->m_LoggingSetUp = 0;
    const auto name = doc_->m_ProjectName;
    const auto parameters = doc_->m_SelectedParameters;
    const DayNumber start = doc_->m_ProjectStartDate, end = doc_->m_ProjectEndDate;
    EXPECT_FALSE(Run([](PropertySheet& sheet) {
        EXPECT_EQ(sheet.windowTitle(), "Project Settings");
        EXPECT_EQ(sheet.PageCount(), 2);
        EXPECT_EQ(sheet.Tabs()->tabText(0), "Project Description");
        EXPECT_EQ(sheet.Tabs()->tabText(1), "Logging Setup");
        EXPECT_EQ(sheet.ActivePage(), 0);
        EXPECT_EQ(sheet.findChildren<QPushButton*>().size(), 5); // >> << Clear OK Cancel
        EXPECT_FALSE(sheet.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
        Retype(Control<QLineEdit>(*sheet.Page(0), "1038"), "Changed");
        test::CloseUp(Control<QComboBox>(*sheet.Page(0), "1033"), 50);
        QTest::mouseClick(Control<QPushButton>(*sheet.Page(1), "1098"), Qt::LeftButton);
        SetTiming(sheet, "3", 1, "4", 2);
        test::PressCancel(sheet);
    }));
    EXPECT_EQ(doc_->m_ProjectName, name);
    EXPECT_EQ(doc_->m_ProjectStartDate, start);
    EXPECT_EQ(doc_->m_ProjectEndDate, end);
    EXPECT_EQ(doc_->m_SelectedParameters, parameters);
    EXPECT_EQ(Timing(), (std::array{1, 1, 1000, 1, 1000, 0}));
    EXPECT_FALSE(doc_->IsModified());
    EXPECT_TRUE(messages_.shown().empty());
}

TEST_F(ProjectSheetTest, ScreenshotsOfBothPagesFitTheScreen) {
    std::strcpy(doc_->m_Description.data(),
                "Three-phase supply to the pump house, meter serial 7601234. Logged "
                "during the commissioning week.");
    doc_->m_SelectedParameters[0] = 16;
    doc_->m_SelectedParameters[1] = 10;
    Run([](PropertySheet& sheet) {
        test::ExpectFitsSmallScreen(sheet);
        test::ExpectShotDrawnWhole(sheet, "project_page.png");
        sheet.SetActivePage(kLogSetupPageIndex);
        QTest::mouseClick(Control<QPushButton>(*sheet.Page(1), "1098"), Qt::LeftButton);
        SetTiming(sheet, "1", 0, "3", 2);
        test::ExpectShotDrawnWhole(sheet, "log_setup_page.png");
        EXPECT_TRUE(Control<QLabel>(*sheet.Page(1), "1127")->isVisibleTo(&sheet));
        test::PressCancel(sheet);
    });
}

TEST_F(ProjectSheetTest, ScreenshotOfALockedProject) {
    // A full-length description stays readable while the edit is disabled.
    std::string words;
    while (words.size() < 1000)
        words += "Feeder cable replaced on the east side; readings after the change. ";
    words.resize(1000);
    std::memcpy(doc_->m_Description.data(), words.data(), words.size());
    doc_->m_Locked = 1;
    EXPECT_TRUE(Run([](PropertySheet& sheet) {
        sheet.resize(sheet.sizeHint());
        test::ExpectShotDrawnWhole(sheet, "project_page_locked.png");
        sheet.SetActivePage(kLogSetupPageIndex);
        QCoreApplication::processEvents();
        test::ExpectShotDrawnWhole(sheet, "log_setup_page_locked.png");
        test::PressOk(sheet);
    }));
    EXPECT_EQ(std::string(doc_->m_Description.data()), words);
}

} // namespace
} // namespace zentra

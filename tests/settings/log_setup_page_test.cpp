// The "Logging Setup" page as a user meets it: the live sample count, the date lists,
// the parameter lists, the locked state and the range check before it may be left.
#include "project_test_support.h"
#include "settings/log_setup_page.h"
#include "settings/project_transfer.h"
#include "tests/support/test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <gtest/gtest.h>

namespace zentra {
namespace {

using test::CloseUp;
using test::Control;
using test::Items;
using test::Retype;

class LogSetupPageTest : public ::testing::Test {
  protected:
    LogSetupData Defaults() {
        auto doc = test::NewDocument();
        return LogSetupToPage(*doc);
    }
    QString SampleText(const LogSetupPP& page) { return Control<QLabel>(page, "1127")->text(); }

    platform::ManualClock clock_{test::kFixedNow};
    test::ScriptedMessages messages_;
};

TEST_F(LogSetupPageTest, SampleLineFollowsTheValuesAsTyped) {
    LogSetupPP page(Defaults());
    EXPECT_EQ(SampleText(page), "Samples = 1000"); // 1 Sec for 1000 Sec
    auto* frequency = Control<QLineEdit>(page, "1104");
    auto* duration = Control<QLineEdit>(page, "1106");
    auto* durationUnit = Control<QComboBox>(page, "1110");
    EXPECT_EQ(Items(durationUnit), (QStringList{"Sec", "Min", "Hrs"}));

    // A frequency of 0 becomes 1, left selected so that the next digits typed replace it.
    Retype(frequency, "0");
    EXPECT_EQ(frequency->text(), "1");
    EXPECT_EQ(SampleText(page), "Samples = 1000");
    QTest::keyClicks(frequency, "25");
    EXPECT_EQ(frequency->text(), "25");
    EXPECT_EQ(SampleText(page), "Samples = 40");

    Retype(frequency, "10");
    Retype(duration, "1");
    durationUnit->setCurrentIndex(2);
    EXPECT_EQ(SampleText(page), "Samples = 360");

    Retype(frequency, "1");
    Retype(duration, "3");
    EXPECT_EQ(SampleText(page), "Samples = 10800 (Max 7200 exceded)");

    // Letters and signs are not taken by the value edits.
    Retype(duration, "-2x");
    EXPECT_EQ(duration->text(), "2");

    // A stored period of 0 is corrected as the page opens.
    LogSetupData zero = Defaults();
    zero.frequency = 0;
    LogSetupPP opened(zero);
    EXPECT_EQ(Control<QLineEdit>(opened, "1104")->text(), "1");
}

TEST_F(LogSetupPageTest, DayListFollowsMonthAndYear) {
    LogSetupData data = Defaults();
    data.delayedStart = 1;
    data.startDate = 20120210;
    LogSetupPP page(data);
    auto* day = Control<QComboBox>(page, "1115");
    auto* month = Control<QComboBox>(page, "1113");
    auto* year = Control<QComboBox>(page, "1117");
    EXPECT_EQ(year->count(), 100);
    EXPECT_EQ(year->itemText(0), "2009");
    EXPECT_EQ(year->itemText(99), "2108");
    EXPECT_EQ(month->itemText(1), "Feb");
    EXPECT_EQ(day->count(), 29); // February 2012
    EXPECT_EQ(day->currentText(), "10");
    EXPECT_EQ(day->itemText(0), "01");

    CloseUp(year, 2100 - 2009);
    EXPECT_EQ(day->count(), 29);
    CloseUp(year, 2013 - 2009);
    EXPECT_EQ(day->count(), 28);
    EXPECT_EQ(page.Data().startDate, 20130210);

    CloseUp(Control<QComboBox>(page, "1119"), 23);
    CloseUp(Control<QComboBox>(page, "1123"), 59);
    EXPECT_EQ(page.Data().startHour, 23);
    EXPECT_EQ(page.Data().startSecond, 59);
    EXPECT_EQ(Control<QComboBox>(page, "1121")->count(), 60);
}

TEST_F(LogSetupPageTest, ParameterButtonsMoveEntries) {
    LogSetupPP page(Defaults());
    auto* available = Control<QListWidget>(page, "1094");
    auto* printable = Control<QListWidget>(page, "1096");
    ASSERT_EQ(available->count(), 23);
    available->setCurrentRow(15); // "Hz"
    QTest::mouseClick(Control<QPushButton>(page, "1098"), Qt::LeftButton);
    ASSERT_EQ(printable->count(), 1);
    EXPECT_EQ(printable->item(0)->text(), "Hz");
    EXPECT_EQ(available->count(), 22);
    EXPECT_EQ(available->currentRow(), 15);

    QTest::mouseClick(Control<QPushButton>(page, "1100"), Qt::LeftButton);
    EXPECT_EQ(printable->count(), 0);
    EXPECT_EQ(available->item(22)->text(), "Hz");

    QTest::mouseClick(Control<QPushButton>(page, "1098"), Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>(page, "1102"), Qt::LeftButton);
    EXPECT_EQ(printable->count(), 0);
    EXPECT_EQ(available->item(15)->text(), "Hz"); // offered order again
    EXPECT_EQ(page.Result().printableLabels[0], "");
}

TEST_F(LogSetupPageTest, TabFollowsThePageAsItIsRead) {
    LogSetupData data = Defaults();
    data.delayedStart = 1; // every date and time list takes the focus
    LogSetupPP page(data);
    page.show();
    page.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    Control<QListWidget>(page, "1094")->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 15; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    // Offered list, >>, <<, Clear, printable list; Day, Month, Year, Hour, Min, Sec;
    // Delayed Start; frequency and its unit; duration and its unit.
    EXPECT_EQ(visited,
              (QStringList{"1094", "1098", "1100", "1102", "1096", "1115", "1113", "1117", "1119",
                           "1121", "1123", "1125", "1104", "1108", "1106", "1110"}));
}

TEST_F(LogSetupPageTest, TwentyFourthParameterShowsListFull) {
    LogSetupPP page(Defaults());
    auto* moveRight = Control<QPushButton>(page, "1098");
    for (int i = 0; i < 23; ++i)
        QTest::mouseClick(moveRight, Qt::LeftButton);
    EXPECT_TRUE(messages_.shown().empty());
    EXPECT_EQ(Control<QListWidget>(page, "1096")->count(), 23);
    QTest::mouseClick(moveRight, Qt::LeftButton);
    ASSERT_EQ(messages_.shown().size(), 1u);
    EXPECT_EQ(messages_.LastText(), "List Full");
    EXPECT_EQ(messages_.LastCaption(), "The list is full");

    // A project whose 23 printable slots include one reading not offered ("h.p.")
    // still offers one more; moving it is refused and changes nothing.
    LogSetupData data = Defaults();
    for (std::size_t i = 0; i < 22; ++i)
        data.printableLabels[i] = data.offeredLabels[i];
    data.printableLabels[22] = "h.p.";
    LogSetupPP full(data);
    auto* available = Control<QListWidget>(full, "1094");
    auto* printable = Control<QListWidget>(full, "1096");
    ASSERT_EQ(available->count(), 1);
    EXPECT_EQ(available->item(0)->text(), "Max Ad");
    QTest::mouseClick(Control<QPushButton>(full, "1098"), Qt::LeftButton);
    EXPECT_EQ(messages_.shown().size(), 2u);
    EXPECT_EQ(messages_.LastText(), "List Full");
    EXPECT_EQ(available->count(), 1);
    EXPECT_EQ(printable->count(), 23);
    EXPECT_EQ(full.Result().printableLabels, data.printableLabels);
}

// The date and time lists follow Delayed Start. A locked project disables every timing
// control; the parameter lists stay usable and the page may be left.
TEST_F(LogSetupPageTest, DelayedStartAndLockEnableTheControls) {
    const std::vector<const char*> lists{"1115", "1113", "1117", "1119", "1121", "1123"};
    LogSetupPP page(Defaults()); // immediate start
    for (const char* id : lists)
        EXPECT_FALSE(Control<QComboBox>(page, id)->isEnabled()) << id;
    test::Tick(Control<QCheckBox>(page, "1125"));
    for (const char* id : lists)
        EXPECT_TRUE(Control<QComboBox>(page, id)->isEnabled()) << id;
    EXPECT_EQ(page.Result().delayedStart, 1);

    LogSetupData data = Defaults();
    data.locked = 1;
    data.delayedStart = 1;
    LogSetupPP locked(data);
    for (const char* id : {"1115", "1113", "1117", "1119", "1121", "1123", "1108", "1110"})
        EXPECT_FALSE(Control<QComboBox>(locked, id)->isEnabled()) << id;
    for (const char* id : {"1125", "1104", "1106"})
        EXPECT_FALSE(Control<QWidget>(locked, id)->isEnabled()) << id;
    for (const char* id : {"1094", "1096", "1098", "1100", "1102"})
        EXPECT_TRUE(Control<QWidget>(locked, id)->isEnabled()) << id;
    EXPECT_TRUE(locked.OnKillActive());
}

TEST_F(LogSetupPageTest, OutOfRangeValueKeepsThePageWithFocusOnIt) {
    PropertySheet sheet("Project Settings");
    auto* page = new LogSetupPP(Defaults());
    sheet.AddPage(new QWidget, "Project Description");
    sheet.AddPage(page, "Logging Setup");
    sheet.SetActivePage(1);
    sheet.show();
    sheet.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));

    auto* duration = Control<QLineEdit>(*page, "1106");
    Retype(duration, "100001");
    test::PressOk(sheet);
    EXPECT_TRUE(sheet.isVisible());
    ASSERT_EQ(messages_.shown().size(), 1u);
    EXPECT_EQ(messages_.LastText(), "Log Duration must be a whole number from 1 to 100000.");
    EXPECT_TRUE(duration->hasFocus());

    // Leaving the page for another tab is refused the same way.
    sheet.Tabs()->setCurrentIndex(0);
    EXPECT_EQ(sheet.ActivePage(), 1);
    EXPECT_EQ(messages_.shown().size(), 2u);

    duration->clear();
    test::PressOk(sheet);
    EXPECT_EQ(messages_.LastText(), "Log Duration must be a whole number from 1 to 100000.");

    Retype(duration, "100000");
    test::PressOk(sheet);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(messages_.shown().size(), 3u);
    EXPECT_EQ(page->Result().duration, 100000);
}

} // namespace
} // namespace zentra

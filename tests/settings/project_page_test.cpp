// The "Project Description" page: start date lists, the end date that follows them,
// the locked state and the text limits.
#include "project_test_support.h"
#include "settings/project_page.h"
#include "settings/project_transfer.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace zentra {
namespace {

using test::CloseUp;
using test::Control;

class ProjectPageTest : public ::testing::Test {
  protected:
    ProjectPageData Page(DayNumber start, DayNumber end) {
        auto doc = test::NewDocument();
        doc->m_ProjectStartDate = start;
        doc->m_ProjectEndDate = end;
        return ProjectToPage(*doc);
    }
    static QString EndDate(const ProjectPP& page) {
        return Control<QLabel>(page, "1129")->text() + " " + Control<QLabel>(page, "1131")->text() +
               " " + Control<QLabel>(page, "1132")->text();
    }

    platform::ManualClock clock_{test::kFixedNow};
};

TEST_F(ProjectPageTest, OpensOnTheDocumentsDates) {
    ProjectPP page(Page(20120210, 20130301));
    EXPECT_EQ(Control<QComboBox>(page, "1037")->currentText(), "10");
    EXPECT_EQ(Control<QComboBox>(page, "1035")->currentText(), "Feb");
    EXPECT_EQ(Control<QComboBox>(page, "1033")->currentText(), "2012");
    EXPECT_EQ(Control<QComboBox>(page, "1037")->count(), 29);
    EXPECT_EQ(EndDate(page), "01 Mar 2013");
    EXPECT_EQ(Control<QLineEdit>(page, "1038")->text(), "Put the Project Name here");
    EXPECT_TRUE(Control<QCheckBox>(page, "1067")->isChecked());

    ProjectPP y2013(Page(20130210, 20130301));
    EXPECT_EQ(Control<QComboBox>(y2013, "1037")->count(), 28);

    // A year outside the list leaves it without a selection.
    ProjectPP early(Page(20050101, 20050101));
    EXPECT_EQ(Control<QComboBox>(early, "1033")->currentIndex(), -1);
}

TEST_F(ProjectPageTest, FebruaryWithDay31StoresItThenTheClampedDay) {
    ProjectPP page(Page(20120131, 20121231));
    auto* day = Control<QComboBox>(page, "1037");
    auto* month = Control<QComboBox>(page, "1035");
    ASSERT_EQ(day->currentText(), "31");

    CloseUp(month, 1);
    EXPECT_EQ(page.Data().m_PageStart, 20120231);
    EXPECT_EQ(day->count(), 29);
    EXPECT_EQ(day->currentText(), "29");

    CloseUp(day, day->currentIndex());
    EXPECT_EQ(page.Data().m_PageStart, 20120229);
    EXPECT_EQ(page.Result().m_PageStart, 20120229);
}

TEST_F(ProjectPageTest, StartAfterEndMovesTheEnd) {
    ProjectPP page(Page(20130105, 20130301));
    auto* year = Control<QComboBox>(page, "1033");
    CloseUp(year, 2014 - 2009);
    EXPECT_EQ(page.Data().m_PageStart, 20140105);
    EXPECT_EQ(page.Data().m_PageEnd, 20140105);
    EXPECT_EQ(EndDate(page), "05 Jan 2014");

    // Back earlier: the end stays where it was pushed.
    CloseUp(year, 2010 - 2009);
    EXPECT_EQ(page.Data().m_PageStart, 20100105);
    EXPECT_EQ(page.Data().m_PageEnd, 20140105);
    EXPECT_EQ(EndDate(page), "05 Jan 2014");
}

TEST_F(ProjectPageTest, LockedProjectKeepsOnlyTheDisplaySwitch) {
    ProjectPageData data = Page(20130105, 20130301);
    data.m_PageLocked = 1;
    ProjectPP page(data);
    for (const char* id : {"1037", "1035", "1033"})
        EXPECT_FALSE(Control<QComboBox>(page, id)->isEnabled()) << id;
    for (const char* id : {"1038", "1069"})
        EXPECT_FALSE(Control<QLineEdit>(page, id)->isEnabled()) << id;
    EXPECT_FALSE(Control<QPlainTextEdit>(page, "1002")->isEnabled());

    auto* show = Control<QCheckBox>(page, "1067");
    EXPECT_TRUE(show->isEnabled());
    test::Tick(show);
    EXPECT_EQ(page.Data().m_ShowCheck, 0);
    EXPECT_EQ(page.Result().m_ShowCheck, 0);
}

TEST_F(ProjectPageTest, TextsStopAtTheirLimits) {
    ProjectPP page(Page(20130105, 20130301));
    auto* name = Control<QLineEdit>(page, "1038");
    name->clear();
    QTest::keyClicks(name, QString(120, QLatin1Char('n')));
    EXPECT_EQ(name->text().size(), 100);

    auto* description = Control<QPlainTextEdit>(page, "1002");
    description->clear();
    QTest::keyClicks(description, QString(990, QLatin1Char('a')));
    // A paste keeps only what fits; typing at the limit is not taken.
    QGuiApplication::clipboard()->setText(QStringLiteral("0123456789ABCDEF"));
    description->paste();
    QTest::keyClicks(description, "zz");
    const QString text = description->toPlainText();
    EXPECT_EQ(text.size(), 1000);
    EXPECT_TRUE(text.endsWith(QStringLiteral("a0123456789")));
    EXPECT_EQ(page.Result().m_DescriptionText.size(), 1000u);

    // Editing inside a full text still works.
    description->moveCursor(QTextCursor::Start);
    QTest::keyClick(description, Qt::Key_Delete);
    QTest::keyClicks(description, "X");
    EXPECT_TRUE(description->toPlainText().startsWith(QLatin1Char('X')));
    EXPECT_EQ(description->toPlainText().size(), 1000);
}

TEST_F(ProjectPageTest, DescriptionLinesComeBackAsPlainLineFeeds) {
    ProjectPageData data = Page(20130105, 20130301);
    data.m_DescriptionText = "Line one\r\nLine two";
    ProjectPP page(data);
    EXPECT_EQ(Control<QPlainTextEdit>(page, "1002")->blockCount(), 2);
    EXPECT_EQ(page.Result().m_DescriptionText, "Line one\nLine two");
}

} // namespace
} // namespace zentra

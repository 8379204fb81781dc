// The "Port Settings" sheet over a document: the refusal and the question before it,
// the port handed over on OK or closed on any other ending, and a screenshot.
#include "comm_test_support.h"
#include "tests/support/picture_checks.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

namespace zentra {
namespace {

using platform::MessageAnswer;
using test::HandleOpen;
using test::PressCancel;
using test::PressOk;

class CommSheetTest : public test::CommTest {};

// "No" leaves everything as it was, the document's open port included; "Yes" closes
// it before the page lists the ports, so the page finds COM1 free.
TEST_F(CommSheetTest, QuestionThenSheetHoldingTheCommsPageWithoutApply) {
    StartMeter();
    auto doc = NewDoc();
    const auto held = platform::OpenSerialDevice(meter_->DevicePath());
    ASSERT_GE(held.fd, 0);
    doc->m_PortHandle = held.fd;
    doc->m_Comms.portSetUp = 1;
    messages_.QueueAnswer(MessageAnswer::No);
    RunSheet(*doc, nullptr, [](PropertySheet&, PortSetupPP&) {});
    EXPECT_EQ(sheetsShown_, 0);
    ASSERT_EQ(messages_.shown().size(), 1u);
    EXPECT_EQ(messages_.shown()[0].text,
              "Communication To The Node Will Be Terminated\nDo You Want To Continue?");
    EXPECT_EQ(messages_.shown()[0].caption, "Warning");
    EXPECT_EQ(messages_.shown()[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(doc->m_PortHandle, held.fd);
    EXPECT_TRUE(HandleOpen(held.fd));
    EXPECT_EQ(doc->m_Comms.portSetUp, 1);

    messages_.QueueAnswer(MessageAnswer::Yes);
    RunSheet(*doc, nullptr, [&](PropertySheet& sheet, PortSetupPP& page) {
        EXPECT_EQ(sheet.windowTitle(), "Port Settings");
        ASSERT_EQ(sheet.PageCount(), 1);
        EXPECT_EQ(sheet.Tabs()->tabText(0), "Comms");
        for (QPushButton* button : sheet.findChildren<QPushButton*>())
            EXPECT_NE(button->text().remove('&'), "Apply");
        EXPECT_EQ(doc->m_PortHandle, kInvalidPort);
        EXPECT_FALSE(HandleOpen(held.fd));
        EXPECT_TRUE(page.Available()[0]);
        PressCancel(sheet);
    });
    EXPECT_EQ(sheetsShown_, 1);
}

// After a good exchange, OK hands the page's port, its settings and what the meter
// said (variant 3 from version 1.03) to the document, and no reply is expected until
// retrieval starts again; Cancel closes the port, clears portSetUp and copies nothing.
TEST_F(CommSheetTest, OkHandsTheOpenPortToTheDocumentCancelClosesIt) {
    StartMeter(With([](sim::SimOptions& o) { o.identity.version = 1.03f; }));
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        auto doc = NewDoc();
        doc->m_LastRequest = 4;
        doc->m_Comms.portSetUp = ok ? 0 : 1;
        messages_.QueueAnswer(MessageAnswer::Yes);
        PortHandle pagePort = kInvalidPort;
        RunSheet(*doc, nullptr, [&](PropertySheet& sheet, PortSetupPP& page) {
            QTest::keyClick(page.findChild<QLineEdit*>("1054"), Qt::Key_Backspace);
            QTest::keyClicks(page.findChild<QLineEdit*>("1054"), "5"); // "200" -> "205"
            ASSERT_TRUE(ConnectAndWait(page));
            pagePort = page.PagePort();
            ok ? PressOk(sheet) : PressCancel(sheet);
        });
        ASSERT_NE(pagePort, kInvalidPort);
        EXPECT_EQ(HandleOpen(pagePort), ok);
        EXPECT_EQ(doc->m_PortHandle, ok ? pagePort : kInvalidPort);
        EXPECT_EQ(test::DeviceFree(meter_->DevicePath()), !ok);
        EXPECT_EQ(doc->m_Comms.portSetUp, ok ? 1 : 0);
        EXPECT_EQ(CommFieldText(doc->m_Comms.latency), ok ? "205" : "200");
        EXPECT_EQ(doc->m_SystemType, ok ? 3 : 1);
        EXPECT_EQ(doc->ShortList(), ok);
        if (ok) {
            EXPECT_EQ(doc->m_LastRequest, 0);
            EXPECT_EQ(CommFieldText(doc->m_Comms.port), "COM1");
            EXPECT_EQ(doc->m_ModelNumber, 760.0);
        }
    }
}

// OK with no port open (never connected, or the meter did not answer): the settings
// are kept but the link is not set up, so retrieval asks for the port parameters.
TEST_F(CommSheetTest, OkWithoutAWorkingLinkLeavesItNotSetUp) {
    StartMeter(With([](sim::SimOptions& o) { o.faults.dropEvery = 1; }));
    auto doc = NewDoc();
    for (bool connect : {false, true}) {
        messages_.QueueAnswer(MessageAnswer::Yes);
        RunSheet(*doc, nullptr, [&](PropertySheet& sheet, PortSetupPP& page) {
            page.findChild<QComboBox*>("1043")->setCurrentIndex(4); // 9600
            if (connect) {
                ASSERT_TRUE(ConnectAndWait(page));
            }
            PressOk(sheet);
        });
        EXPECT_EQ(doc->m_PortHandle, kInvalidPort) << connect;
        EXPECT_EQ(doc->m_Comms.portSetUp, 0) << connect;
        EXPECT_EQ(CommFieldText(doc->m_Comms.baud), "9600") << connect;
    }
}

// The program's own path: the sheet runs modally (exec) and the user presses Connect,
// waits for the meter's lines, then OK.
TEST_F(CommSheetTest, ModalSheetConnectAndOk) {
    StartMeter();
    auto doc = NewDoc();
    messages_.QueueAnswer(MessageAnswer::Yes);
    QTimer user;
    int step = 0;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* sheet = qobject_cast<PropertySheet*>(QApplication::activeModalWidget());
        if (!sheet)
            return;
        auto* page = dynamic_cast<PortSetupPP*>(sheet->Page(0));
        if (step == 0) {
            page->findChild<QLineEdit*>("1054")->setText("30");
            QTest::mouseClick(page->findChild<QPushButton*>("1049"), Qt::LeftButton);
            step = 1;
        } else if (step == 1 && page->InformationLines().size() == 10 && page->TimerId() == 0) {
            step = 2;
            QTest::mouseClick(sheet->OkButton(), Qt::LeftButton);
        }
    });
    user.start(10);
    QTimer::singleShot(test::kExchangeWaitMs, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close(); // never leave a test hanging
    });
    OnCommSettings(*doc, nullptr);
    user.stop();
    EXPECT_EQ(step, 2);
    EXPECT_EQ(doc->m_Comms.portSetUp, 1);
    EXPECT_NE(doc->m_PortHandle, kInvalidPort);
    EXPECT_EQ(CommFieldText(doc->m_Comms.latency), "30");
}

TEST_F(CommSheetTest, ScreenshotAfterConnect) {
    test::TempDir dir; // a stable by-id name, as long as real ones are
    const std::string link = dir.File("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    StartMeter(With([&](sim::SimOptions& o) { o.link = link; }));
    ports_.Assign(1, link);
    auto doc = NewDoc();
    messages_.QueueAnswer(MessageAnswer::Yes);
    RunSheet(*doc, nullptr, [&](PropertySheet& sheet, PortSetupPP& page) {
        page.findChild<QLineEdit*>("1054")->setText("30");
        ASSERT_TRUE(ConnectAndWait(page));
        test::ExpectFitsSmallScreen(sheet);
        QTest::qWait(20);
        // Every caption whole, and the meter's first information line in its list.
        const QImage shot = test::ExpectShotDrawnWhole(sheet, "comm_page_connected.png");
        const auto* info = page.findChild<QListWidget*>("1052");
        ASSERT_GT(info->count(), 0);
        EXPECT_EQ(info->item(0)->text(), "Model Number: 760");
        const QRect line = info->visualItemRect(info->item(0))
                               .translated(info->viewport()->mapTo(&sheet, QPoint(0, 0)));
        EXPECT_GE(test::DarkPixels(shot, line),
                  test::TextInk(info->font(), "Model Number: 760") * 3 / 4);
        PressCancel(sheet);
    });
    EXPECT_EQ(sheetsShown_, 1);
}

} // namespace
} // namespace zentra

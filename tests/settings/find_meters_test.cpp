// "Find meters..." on the Communication page: the scan dialog against the simulated
// meter at node 5, and the page taking the node chosen.
#include "comm_test_support.h"
#include "settings/find_meters_dialog.h"

#include <QLineEdit>
#include <QListWidget>

namespace zentra {
namespace {

using namespace std::chrono_literals;

class FindMetersTest : public test::CommTest {
  protected:
    void StartMeterAtNode5(sim::SimFaults faults = {}) {
        StartMeter(With([&](sim::SimOptions& o) {
            o.node = 5;
            o.faults = faults;
        }));
    }
    static CommSettings Com1() { return PageData().comms; }
};

TEST_F(FindMetersTest, TheDialogListsTheMetersItFindsAndSaysWhenItIsDone) {
    struct Case {
        const char* what;
        sim::SimFaults faults;
        std::vector<std::string> lines;
        std::string status;
    };
    const Case cases[] = {
        {"a meter at node 5",
         {},
         {"node 5: model 760, version 1.010, serial 1234560042, float order plausible"},
         "Scan finished: 1 meter found. Choose one for Node Number."},
        {"nothing answers",
         {.dropEvery = 1},
         {},
         "No meter answered on nodes 3 to 7. Check the wiring and the baud rate, parity and "
         "stop bits."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartMeterAtNode5(c.faults);
        FindMetersDialog dialog(Com1(), nullptr, 3, 7);
        ASSERT_TRUE(dialog.Begin());
        EXPECT_TRUE(dialog.Scanning());
        EXPECT_EQ(dialog.StatusText(), "Scanning node 3 (1 of 5): 0 found");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Scanning(); }, test::kExchangeWaitMs));
        EXPECT_EQ(dialog.MeterLines(), c.lines);
        EXPECT_EQ(dialog.StatusText(), c.status);
        auto* use = dialog.findChild<QPushButton*>("IDOK");
        EXPECT_EQ(use->isEnabled(), !c.lines.empty());
        // The scan is over: the line is free again.
        EXPECT_TRUE(test::DeviceFree(meter_->DevicePath()));
    }
}

TEST_F(FindMetersTest, APortThatCannotBeOpenedSaysWhy) {
    ports_.Assign(1, "/dev/zentra-no-such-device");
    FindMetersDialog dialog(Com1(), nullptr, 1, 3);
    EXPECT_FALSE(dialog.Begin());
    EXPECT_FALSE(dialog.Scanning());
    EXPECT_NE(dialog.StatusText().find("COM1"), std::string::npos) << dialog.StatusText();
    EXPECT_FALSE(dialog.findChild<QPushButton*>("IDOK")->isEnabled());
}

// From the page: the button beside Node Number scans 1..247; the meter is listed as it
// is found, and Use Node fills Node Number (the scan need not run to its end). Cancel
// during the scan leaves the node as it was and frees the line.
TEST_F(FindMetersTest, ChoosingAMeterFillsNodeNumberAndCancelChangesNothing) {
    StartMeterAtNode5();
    for (const bool choose : {true, false}) {
        SCOPED_TRACE(choose ? "Use Node" : "Cancel");
        PortSetupPP page(PageData());
        auto* node = page.findChild<QLineEdit*>("1059");
        ASSERT_EQ(node->text(), "1");
        bool scannedAll = false;
        page.SetFindMetersRunner([&](FindMetersDialog& dialog) {
            dialog.show();
            auto* list = dialog.findChild<QListWidget*>("meters");
            EXPECT_TRUE(QTest::qWaitFor([&] { return list->count() == 1; }, test::kExchangeWaitMs));
            scannedAll = dialog.StatusText().find("of 247") != std::string::npos;
            QTest::mouseClick(dialog.findChild<QPushButton*>(choose ? "IDOK" : "IDCANCEL"),
                              Qt::LeftButton);
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_FALSE(dialog.Scanning());
            return dialog.result();
        });
        QTest::mouseClick(page.findChild<QPushButton*>("findMeters"), Qt::LeftButton);
        EXPECT_TRUE(scannedAll);
        EXPECT_EQ(node->text(), choose ? "5" : "1");
        EXPECT_EQ(page.Result().nodeAddress, choose ? 5.0 : 1.0);
        EXPECT_TRUE(test::DeviceFree(meter_->DevicePath()));
    }
}

// A port the page holds after Connect is closed for the scan, and the page says so.
TEST_F(FindMetersTest, AConnectedPageClosesItsPortForTheScan) {
    StartMeterAtNode5();
    PortSetupPP page(PageData());
    page.findChild<QLineEdit*>("1059")->setText("5");
    ASSERT_TRUE(ConnectAndWait(page));
    ASSERT_NE(page.PagePort(), kInvalidPort);
    page.SetFindMetersRunner([](FindMetersDialog& dialog) {
        dialog.reject();
        return dialog.result();
    });
    page.OnFindMeters();
    EXPECT_EQ(page.PagePort(), kInvalidPort);
    EXPECT_EQ(page.Connected(), 0);
    EXPECT_EQ(page.InformationLines(),
              std::vector<std::string>{"Port closed for the scan: press Connect."});
}

} // namespace
} // namespace zentra

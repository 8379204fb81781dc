// "Change device...": choosing the device a COMn stands for, kept in the user's port
// map, and the port list that follows it.
#include "comm_test_support.h"
#include "tests/support/picture_checks.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>
#include <unistd.h>

namespace zentra {
namespace {

class CommDeviceTest : public test::CommMapTest {};

// A stable link to the meter chosen for COM4 (a name no device stood for): stored,
// listed with its device, selected, and Connect reaches the meter through it.
TEST_F(CommDeviceTest, ChosenLinkIsStoredListedAndUsed) {
    test::TempDir dir;
    const std::string link = dir.File("usb-Meter_Adapter-if00-port0");
    StartMeter(With([&](sim::SimOptions& o) { o.link = link; }));
    candidates_ = {link};
    PortSetupPP page(PageData("50"));
    ASSERT_EQ(page.findChild<QComboBox*>("1041")->count(), 1);

    ChangeDevice(page, [&](PortDeviceDialog& dialog) {
        // The dialog starts on the selected port, showing where its device comes from.
        EXPECT_EQ(dialog.ComNumberChosen(), 1);
        EXPECT_NE(dialog.findChild<QLabel*>("currentDevice")->text().indexOf("ZENTRA_COM1"), -1);
        Choose(dialog, 4, link);
        EXPECT_EQ(dialog.findChild<QLabel*>("currentDevice")->text(), "no device found");
        ASSERT_TRUE(OkEnabled(dialog));
        dialog.adjustSize();
        // The captions, "no device found" and the chosen path are in the picture.
        const QImage shot = test::ExpectShotDrawnWhole(dialog, "comm_port_device.png");
        auto inkOf = [&](const char* name) {
            const auto* widget = dialog.findChild<QWidget*>(name);
            return test::DarkPixels(shot,
                                    QRect(widget->mapTo(&dialog, QPoint(0, 0)), widget->size()));
        };
        const QFont font = dialog.font();
        EXPECT_GE(inkOf("currentDevice"), test::TextInk(font, "no device found") * 3 / 4);
        EXPECT_GE(inkOf("devicePath"), test::TextInk(font, "usb-Meter_Adapter-if00-port0"));
        QTest::mouseClick(dialog.findChild<QPushButton*>("IDOK"), Qt::LeftButton);
    });
    EXPECT_EQ(StoredPortDevice(4), link);

    auto* ports = page.findChild<QComboBox*>("1041");
    ASSERT_EQ(ports->count(), 2);
    EXPECT_EQ(ports->itemText(1).toStdString(), "COM4 \u2014 " + ShortDevicePath(link, 34));
    EXPECT_EQ(ports->itemData(1, Qt::ToolTipRole).toString().toStdString(), "COM4 \u2014 " + link);
    EXPECT_EQ(ports->currentData().toString(), "COM4");
    EXPECT_EQ(CommFieldText(page.Data().comms.port), "COM4");

    ASSERT_TRUE(ConnectAndWait(page));
    EXPECT_EQ(page.InformationLines().size(), 10u);
    EXPECT_EQ(page.InformationLines().front(), "Model Number: 760");
}

// A change closes the port the page holds (the ports are probed again) and asks for
// Connect; the exchange is not left half done.
TEST_F(CommDeviceTest, ChangeWhileConnectedClosesThePagesPort) {
    StartMeter();
    test::TempDir absent; // a device chosen here that is not there
    PortSetupPP page(PageData("50"));
    page.OnConnect();
    ASSERT_EQ(page.Connected(), 1);
    ChangeDevice(page, [&](PortDeviceDialog& dialog) {
        Choose(dialog, 2, absent.File("ttyUSB7"));
        QTest::mouseClick(dialog.findChild<QPushButton*>("IDOK"), Qt::LeftButton);
    });
    EXPECT_EQ(page.PagePort(), kInvalidPort);
    EXPECT_EQ(page.Connected(), 0);
    EXPECT_EQ(page.TimerId(), 0);
    ASSERT_EQ(page.InformationLines().size(), 1u);
    // COM1 is free again and still listed; COM2's device is not there.
    auto* ports = page.findChild<QComboBox*>("1041");
    ASSERT_EQ(ports->count(), 1);
    EXPECT_EQ(ports->currentData().toString(), "COM1");
}

TEST_F(CommDeviceTest, EntriesThatCannotBeStoredAndAutomatic) {
    StartMeter();
    test::TempDir absent;
    const std::string stored = absent.File("ttyACM3");
    ASSERT_TRUE(StorePortDevice(5, stored));
    PortSetupPP page(PageData());
    ChangeDevice(page, [&](PortDeviceDialog& dialog) {
        Choose(dialog, 5, "ttyUSB0"); // not a full path
        EXPECT_FALSE(OkEnabled(dialog));
        EXPECT_FALSE(dialog.findChild<QLabel*>("hint")->text().isEmpty());
        // Back on COM5 the stored device is shown; automatic removes it.
        dialog.findChild<QComboBox*>("portNumber")->setCurrentIndex(0);
        dialog.findChild<QComboBox*>("portNumber")->setCurrentIndex(4);
        EXPECT_EQ(dialog.findChild<QComboBox*>("devicePath")->currentText().toStdString(), stored);
        dialog.findChild<QComboBox*>("devicePath")->setCurrentIndex(0);
        EXPECT_EQ(dialog.DeviceChosen(), std::nullopt);
        QTest::mouseClick(dialog.findChild<QPushButton*>("IDOK"), Qt::LeftButton);
    });
    EXPECT_EQ(StoredPortDevice(5), std::nullopt);
}

TEST_F(CommDeviceTest, CandidatesListStableLinksFirst) {
    test::TempDir byId;
    for (const char* name : {"usb-B-if00", "usb-A-if00"})
        ASSERT_EQ(::symlink("/dev/null", byId.File(name).c_str()), 0);
    const auto found = DeviceCandidates(byId.path(), {"/dev/ttyUSB0", byId.File("usb-B-if00")});
    EXPECT_EQ(found, (std::vector<std::string>{byId.File("usb-A-if00"), byId.File("usb-B-if00"),
                                               "/dev/ttyUSB0"}));
    EXPECT_EQ(DeviceCandidates(byId.File("absent"), {"/dev/ttyS0"}),
              std::vector<std::string>{"/dev/ttyS0"});
}

} // namespace
} // namespace zentra

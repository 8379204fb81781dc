// The Communication page with COM1 standing for a network address: a serial device
// server (tcp://) or a Modbus TCP gateway (modbus-tcp://) played by the in-process
// simulator on the loopback address, chosen through "Change device..." and kept in the
// port map, and a gateway that cannot be reached.
#include "comm_test_support.h"
#include "tests/support/loopback.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace zentra {
namespace {

using namespace std::chrono_literals;
using sim::SimTransport;
using test::Contains;

class CommNetworkTest : public test::CommMapTest {};

TEST_F(CommNetworkTest, ConnectReachesTheMeterThroughEitherForm) {
    for (const SimTransport transport : {SimTransport::RtuOverTcp, SimTransport::ModbusTcp}) {
        StartMeter(With([&](sim::SimOptions& o) { o.transport = transport; }));
        SCOPED_TRACE(meter_->DevicePath());
        PortSetupPP page(PageData("50"));
        auto* ports = page.findChild<QComboBox*>("1041");
        ASSERT_EQ(ports->count(), 1);
        EXPECT_EQ(ports->itemData(0, Qt::ToolTipRole).toString().toStdString(),
                  "COM1 \u2014 " + meter_->DevicePath());
        ASSERT_TRUE(ConnectAndWait(page));
        ASSERT_EQ(page.InformationLines().size(), 10u);
        EXPECT_EQ(page.InformationLines().front(), "Model Number: 760");
        EXPECT_EQ(page.Connected(), 1);
        EXPECT_NE(page.PagePort(), kInvalidPort);
    }
}

// Nothing listens there: the port is still listed (listing does not connect), and
// Connect says why it failed, at once.
TEST_F(CommNetworkTest, AnUnreachableGatewayShowsTheReason) {
    const std::string port = std::to_string(test::RefusingPort());
    ports_.Assign(1, "modbus-tcp://127.0.0.1:" + port);
    PortSetupPP page(PageData("50"));
    ASSERT_EQ(page.findChild<QComboBox*>("1041")->count(), 1);
    const auto start = std::chrono::steady_clock::now();
    page.OnConnect();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    ASSERT_EQ(page.InformationLines().size(), 1u);
    EXPECT_TRUE(Contains(page.InformationLines()[0],
                         "cannot reach 127.0.0.1:" + port + ": connection refused"))
        << page.InformationLines()[0];
    EXPECT_EQ(page.Connected(), 0);
    EXPECT_EQ(page.TimerId(), 0);
    EXPECT_TRUE(messages_.shown().empty());
}

// "Change device..." takes the two address forms with a valid host and port, says what
// is wrong with anything else, and the stored address is what Connect then uses.
TEST_F(CommNetworkTest, ChangeDeviceValidatesAddressesAndStoresThem) {
    StartMeter(With([](sim::SimOptions& o) { o.transport = SimTransport::ModbusTcp; }));
    ports_.Assign(1, ""); // COM1 stands for nothing; COM3 gets the gateway
    PortSetupPP page(PageData("50"));
    ChangeDevice(page, [&](PortDeviceDialog& dialog) {
        auto* device = dialog.findChild<QComboBox*>("devicePath");
        auto* ok = dialog.findChild<QPushButton*>("IDOK");
        const std::string forms = dialog.findChild<QLabel*>("deviceForms")->text().toStdString();
        EXPECT_TRUE(Contains(forms, "tcp://HOST:PORT") && Contains(forms, "modbus-tcp://HOST:PORT"))
            << forms;
        const std::pair<const char*, bool> entries[] = {
            {"tcp://192.168.1.50:4001", true},    {"modbus-tcp://gw-2.plant.lan:502", true},
            {"modbus-tcp://[fe80::1]:502", true}, {"tcp://192.168.1.50", false},
            {"modbus-tcp://gw:0", false},         {"tcp://gw:65536", false},
            {"tcp://bad_host:502", false},        {"udp://gw:502", false},
            {"modbus-tcp://:502", false},
        };
        for (const auto& [text, usable] : entries) {
            SCOPED_TRACE(text);
            device->setEditText(QString::fromLatin1(text));
            EXPECT_EQ(ok->isEnabled(), usable);
            const std::string hint = dialog.findChild<QLabel*>("hint")->text().toStdString();
            if (usable)
                EXPECT_TRUE(Contains(hint, "Connect")) << hint;
            else
                EXPECT_TRUE(Contains(hint, "modbus-tcp://HOST:PORT") && Contains(hint, "65535"))
                    << hint;
        }
        Choose(dialog, 3, meter_->DevicePath());
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    EXPECT_EQ(StoredPortDevice(3), meter_->DevicePath());
    EXPECT_EQ(CommFieldText(page.Data().comms.port), "COM3");
    ASSERT_TRUE(ConnectAndWait(page));
    EXPECT_EQ(page.InformationLines().size(), 10u);
}

} // namespace
} // namespace zentra

// The Communication page's data without widgets: the copies to and from the document
// and the texts of the identity and information lines.
#include "comm_test_support.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>

namespace zentra {
namespace {

class CommDataTest : public test::CommTest {};

// Opening closes the document's port; OK copies everything back, the page's port and
// connected flag included, and expects no reply; the page's values survive a round trip.
TEST_F(CommDataTest, CopiesToAndFromTheDocument) {
    StartMeter();
    auto doc = NewDoc();
    const auto held = platform::OpenSerialDevice(meter_->DevicePath());
    ASSERT_GE(held.fd, 0);
    doc->m_PortHandle = held.fd;
    doc->m_LastRequest = 66;

    CommPageData page = CommToPage(*doc);
    EXPECT_EQ(doc->m_PortHandle, kInvalidPort);
    EXPECT_FALSE(test::HandleOpen(held.fd));
    SetCommFieldText(page.comms.latency, "1234567");
    page.comms.floatOrder = 2;
    page.nodeAddress = 247.0;
    page.versionFraction = 0.06f;
    page.systemType = 6;
    page.meterSpare = 1.5;

    CommFromPage(page, 57, 1, *doc);
    EXPECT_EQ(doc->m_PortHandle, 57);
    EXPECT_EQ(doc->m_Comms.portSetUp, 1);
    EXPECT_EQ(doc->m_LastRequest, 0);
    EXPECT_EQ(CommFieldText(doc->m_Comms.dataBits), "8");
    doc->m_PortHandle = kInvalidPort; // 57 was never opened
    const CommPageData back = CommToPage(*doc);
    EXPECT_EQ(CommFieldText(back.comms.latency), "1234567");
    EXPECT_EQ(std::tuple(back.comms.floatOrder, back.nodeAddress, back.versionFraction,
                         back.systemType, back.meterSpare),
              std::tuple(2, 247.0, 0.06f, 6, 1.5));
}

TEST(CommTextTest, FieldsNodeAndLatency) {
    CommText field{};
    SetCommFieldText(field, "0123456789ABC"); // 9 characters fit with the NUL
    EXPECT_EQ(CommFieldText(field), "012345678");
    EXPECT_EQ(field[9], '\0');
    field.fill('x'); // no NUL at all
    EXPECT_EQ(CommFieldText(field), std::string(10, 'x'));

    EXPECT_EQ(NodeFromText("17"), 17.0);
    EXPECT_EQ(NodeFromText("2471"), 247.0);
    EXPECT_EQ(NodeFromText("9x1"), 9.0);
    EXPECT_EQ(NodeFromText(""), 0.0);
    EXPECT_EQ(NodeText(1.0), "1");
    EXPECT_EQ(NodeText(12.6), "13");
    EXPECT_EQ(LatencyFromText("123456789"), "1234567");
}

TEST(CommTextTest, LongDevicePathsAreCutInTheMiddle) {
    EXPECT_EQ(ShortDevicePath("/dev/ttyUSB0", 34), "/dev/ttyUSB0");
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    EXPECT_EQ(ShortDevicePath(byId, 34), "/dev/serial\u2026RT_A50285BI-if00-port0");
    // Two-byte characters at both cuts stay whole.
    const std::string wide = "/dev/\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9";
    const std::string cut = ShortDevicePath(wide, 10);
    EXPECT_EQ(cut, "/de\u2026\u00e9\u00e9\u00e9");
}

TEST(CommTextTest, IdentityLines) {
    std::array<float, kIdentityFloats> identity{};
    identity[kIdentityModel] = 760.0f;
    identity[kIdentityVersion] = 2.03f;
    identity[kIdentityCommsLock] = 1.0f;
    identity[kIdentityCompileDate] = 90115.0f; // a date before the year 2010 keeps its zero
    identity[kIdentitySerialHigh] = 123456.0f;
    identity[kIdentitySerialLow] = 42.0f;
    EXPECT_EQ(
        IdentityLines(identity),
        (std::vector<std::string>{"Model Number: 760", "Version: 2.030", "Compile Date: 090115",
                                  "Serial #: 1234560042", "Comms Lock: ON"}));
    identity[kIdentityCommsLock] = -0.0f;
    identity[kIdentitySerialHigh] = 7.0f;
    identity[kIdentitySerialLow] = 3.0f;
    const auto lines = IdentityLines(identity);
    EXPECT_EQ(lines[3], "Serial #: 0000070003");
    EXPECT_EQ(lines[4], "Comms Lock: OFF");

    // Whatever a wrong byte order makes of the floats still gives whole, readable
    // lines: the largest float has 39 digits, and the serial number carries two.
    identity.fill(std::numeric_limits<float>::max());
    identity[kIdentityVersion] = std::numeric_limits<float>::quiet_NaN();
    const std::string largest = "340282346638528859811704183484516925440";
    EXPECT_EQ(IdentityLines(identity),
              (std::vector<std::string>{"Model Number: " + largest, "Version: nan",
                                        "Compile Date: " + largest,
                                        "Serial #: " + largest + largest, "Comms Lock: ON"}));
}

TEST(CommTextTest, InformationLines) {
    std::array<double, kMeterInfoSize> info{};
    info[kInfoSystemType] = 3.0;
    info[kInfoVoltage] = 230.456;
    info[kInfoCurrent] = 5.0;
    info[kInfoVtPrimary] = 11000.0;
    info[kInfoVtSecondary] = 110.0;
    EXPECT_EQ(InformationLines(info),
              (std::vector<std::string>{"System Type: 3ph4w", "System Voltage: 230.46V",
                                        "VT Primary: 11000.000", "VT Secondary: 110.000",
                                        "System Current: 5.000"}));
    EXPECT_EQ(SystemTypeText(0.0), "0 (unknown)");
    EXPECT_EQ(SystemTypeText(7.0), "7 (unknown)");
    EXPECT_EQ(SystemTypeText(-3e38), "-3e+38 (unknown)");
    EXPECT_EQ(SystemTypeText(std::nan("")), "nan (unknown)");
}

} // namespace
} // namespace zentra

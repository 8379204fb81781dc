// The four requests the meter object builds, byte for byte, and the system type names
// the Communication page shows.
#include "comms/meter.h"
#include "comms/serial_link.h"
#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

#include <vector>

namespace zentra {
namespace {

std::vector<std::uint8_t> Sent(const K760modbus& meter) {
    return {meter.client.txBuffer.begin(), meter.client.txBuffer.begin() + meter.client.txLength};
}

TEST(MeterRequests, IdentityInformationReadingsAndLayoutFrames) {
    // Built in full even when the port is not open (the write then sends nothing).
    K760modbus meter(kInvalidPort, 7, BigEndian);
    meter.RequestIdentity();
    EXPECT_EQ(Sent(meter), test::WithCrc({7, 0x11}));
    meter.RequestMeterInfo();
    EXPECT_EQ(Sent(meter), test::WithCrc({7, 0x03, 0x00, 0x00, 0x00, 0x40}));
    meter.RequestReadings();
    EXPECT_EQ(Sent(meter), test::WithCrc({7, 0x04, 0x00, 0x00, 0x00, 0x60}));
    meter.RequestPositionMap();
    EXPECT_EQ(Sent(meter), test::WithCrc({7, 0x42, 0x00, 0x00, 0x00, 0x1C}));

    K760modbus one(kInvalidPort, 1, BigEndian);
    one.RequestMeterInfo();
    EXPECT_EQ(Sent(one), (std::vector<std::uint8_t>{1, 3, 0, 0, 0, 0x40, 0x44, 0x3A}));
}

TEST(MeterRequests, SystemTypeNames) {
    const char* const names[] = {"1ph", "3ph3w", "3ph4w", "1ph3w", "3ph3w bal", "3ph4w bal"};
    for (int number = 1; number <= 6; ++number)
        EXPECT_EQ(SystemTypeName(number), names[number - 1]) << number;
}

} // namespace
} // namespace zentra

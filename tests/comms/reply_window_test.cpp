// The reply window through OpenPort and K760modbus, as a tick uses them: a request sent
// on one tick, its reply read on the next, one second later.
#include "comms/meter.h"
#include "comms/serial_link.h"
#include "tests/support/pty_pair.h"
#include "tests/support/sim_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace zentra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A readings reply to node 1 (fc 4, 48 floats of zero).
std::vector<std::uint8_t> ReadingsReply() {
    std::vector<std::uint8_t> frame{1, 4, 4 * 48};
    frame.resize(3 + 4 * 48);
    return test::WithCrc(frame);
}

PortHandle Open(int comNumber, const char* latency) {
    CommSettings settings;
    std::snprintf(settings.port.data(), settings.port.size(), "COM%d", comNumber);
    settings.latency.fill('\0');
    std::strncpy(settings.latency.data(), latency, settings.latency.size() - 1);
    PortAvailability available;
    available.fill(true);
    PortHandle held = kInvalidPort;
    return OpenPort(settings, available, held);
}

// Both meters are asked at the same moment and read once the default window (200 ms
// latency + 513 ms) has closed. The silent one costs the tick no wait; the slow one,
// whose user set a latency of 1000 ms, is still heard 850 ms after the request.
TEST(ReplyWindow, ASilentMeterCostsATickNoWaitASlowOneKeepsItsLatency) {
    test::ScopedPortMap ports;
    test::PtyPair silent, slow;
    ASSERT_TRUE(silent.ok() && slow.ok());
    ports.Assign(1, silent.SlavePath());
    ports.Assign(2, slow.SlavePath());
    PortHandle silentPort = Open(1, "200");
    PortHandle slowPort = Open(2, "1000");
    ASSERT_NE(silentPort, kInvalidPort) << LastOpenFailure();
    ASSERT_NE(slowPort, kInvalidPort) << LastOpenFailure();

    EXPECT_GT(K760modbus(silentPort, 1, BigEndian).RequestReadings(), 0u);
    EXPECT_GT(K760modbus(slowPort, 1, BigEndian).RequestReadings(), 0u);
    const auto sent = Clock::now();
    std::thread meter([&] {
        std::this_thread::sleep_until(sent + 850ms);
        slow.Send(ReadingsReply());
    });
    std::this_thread::sleep_until(sent + 750ms);

    const auto tick = Clock::now();
    K760modbus quiet(silentPort, 1, BigEndian);
    quiet.ReceiveReply();
    EXPECT_LT(Clock::now() - tick, 200ms) << "a silent tick blocked the window";
    EXPECT_EQ(quiet.replyFunction, kReplyNone);

    K760modbus late(slowPort, 1, BigEndian);
    late.ReceiveReply();
    meter.join();
    EXPECT_EQ(late.replyFunction, kFcReadings);
    ClosePort(silentPort);
    ClosePort(slowPort);
}

} // namespace
} // namespace zentra

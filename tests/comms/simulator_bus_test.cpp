// The simulator standing in for a bus: several nodes on one pseudo-terminal, each with
// its own load, a node kept silent, and replies paced at the line's wire time.
#include "comms/meter.h"
#include "comms/serial_link.h"
#include "tests/support/sim_port.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>

namespace zentra {
namespace {

using sim::MeterSimulator;
using sim::SimOptions;

class SimulatedBus : public ::testing::Test {
  protected:
    void Connect(SimOptions options, const char* baud = "38400") {
        options.clock = [] { return 600.0; };
        simulator = std::make_unique<MeterSimulator>(std::move(options));
        ASSERT_TRUE(simulator->Start()) << simulator->Error();
        ports.Assign(1, simulator->DevicePath());
        std::snprintf(settings.baud.data(), settings.baud.size(), "%s", baud);
        PortHandle held = kInvalidPort;
        port = OpenPort(settings, EnumeratePorts(), held);
        ASSERT_NE(port, kInvalidPort) << LastOpenFailure();
    }
    void TearDown() override {
        ClosePort(port);
        if (simulator)
            simulator->Stop();
    }
    K760modbus Readings(std::uint8_t node) {
        {
            K760modbus sender(port, node, 0);
            EXPECT_GT(sender.RequestReadings(), 0u);
        }
        K760modbus receiver(port, node, 0);
        receiver.ReceiveReply();
        return receiver;
    }

    test::ScopedPortMap ports;
    std::unique_ptr<MeterSimulator> simulator;
    CommSettings settings;
    PortHandle port = kInvalidPort;
};

TEST_F(SimulatedBus, EachNodeAnswersWithItsOwnLoadAndASilentOneNotAtAll) {
    SimOptions options;
    options.nodes = {1, 5, 12};
    options.silentNodes = {5};
    Connect(options);
    struct Case {
        std::uint8_t node;
        bool answers;
        double lowAmps, highAmps; // phase current I1 lies in this band
    };
    const Case cases[] = {
        {1, true, 34.0, 62.0}, {5, false, 0, 0}, {12, true, 1134.0, 1162.0}, {7, false, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node);
        const K760modbus reply = Readings(c.node);
        if (!c.answers) {
            EXPECT_EQ(reply.client.rxCount, 0u);
            continue;
        }
        ASSERT_EQ(reply.replyFunction, kFcReadings);
        EXPECT_EQ(reply.client.replyNode, c.node);
        EXPECT_GE(reply.readings[6], c.lowAmps);
        EXPECT_LE(reply.readings[6], c.highAmps);
    }
    // Voltages are the same supply's on every meter.
    EXPECT_NEAR(Readings(1).readings[3], Readings(12).readings[3], 0.01);

    simulator->SetSilent(5, false);
    const K760modbus woken = Readings(5);
    ASSERT_EQ(woken.replyFunction, kFcReadings);
    EXPECT_GE(woken.readings[6], 434.0);
    EXPECT_LE(woken.readings[6], 462.0);
}

TEST_F(SimulatedBus, EachNodeIsAMeterOfItsOwnSerialNumber) {
    SimOptions options;
    options.nodes = {1, 5, 12};
    Connect(options);
    // The single meter's serial is 123456 0042; node n's low part is 41 + n.
    const struct {
        std::uint8_t node;
        double low;
    } cases[] = {{1, 42.0}, {5, 46.0}, {12, 53.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.node);
        {
            K760modbus sender(port, c.node, 0);
            ASSERT_GT(sender.RequestIdentity(), 0u);
        }
        K760modbus reply(port, c.node, 0);
        reply.ReceiveReply();
        ASSERT_EQ(reply.replyFunction, kFcIdentity);
        EXPECT_EQ(reply.identity[kIdentitySerialHigh], 123456.0);
        EXPECT_EQ(reply.identity[kIdentitySerialLow], c.low);
        EXPECT_EQ(reply.identity[kIdentityModel], 760.0);
    }
}

TEST_F(SimulatedBus, PacedRepliesTakeTheirWireTime) {
    SimOptions options;
    options.pace = true;
    Connect(options, "9600");
    // 8 request bytes, 3.5 characters of silence and 196 of the 197 reply bytes must
    // pass before the last byte: 207.5 characters of 10 bits at 9600 baud = 216 ms.
    const auto start = std::chrono::steady_clock::now();
    const K760modbus reply = Readings(1);
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(reply.replyFunction, kFcReadings);
    EXPECT_EQ(reply.client.rxCount, 197u);
    EXPECT_GE(took, std::chrono::milliseconds(216));
}

} // namespace
} // namespace zentra

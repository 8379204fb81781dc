// Reads that end with the reply's frame, over the pseudo-terminal and both network
// transports: a whole frame ends the read at once (so bytes that follow it are not
// part of it and are gone before the next request), a frame that never becomes whole
// still ends on the 20 ms gap.
#include "comms/meter.h"
#include "comms/serial_link.h"
#include "tests/support/sim_port.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace zentra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using sim::SimFaults;
using sim::SimTransport;

constexpr std::uint32_t kReadingsReply = 197; // node, code, count, 192 data bytes, CRC
constexpr std::uint32_t kIdentityReply = 61;  // node, code, count, 56 data bytes, CRC

const char* Name(SimTransport t) {
    return t == SimTransport::Pty ? "Pty" : t == SimTransport::ModbusTcp ? "ModbusTcp" : "Tcp";
}

class ReplyFraming : public ::testing::TestWithParam<SimTransport> {
  protected:
    void Connect(SimFaults faults) {
        sim::SimOptions options;
        options.faults = faults;
        options.transport = GetParam();
        options.clock = [] { return 100.0; };
        simulator = std::make_unique<sim::MeterSimulator>(options);
        ASSERT_TRUE(simulator->Start()) << simulator->Error();
        ports.Assign(1, simulator->DevicePath());
        CommSettings settings;
        PortAvailability available;
        available.fill(true);
        PortHandle held = kInvalidPort;
        port = OpenPort(settings, available, held);
        ASSERT_NE(port, kInvalidPort) << LastOpenFailure();
    }
    void TearDown() override {
        ClosePort(port);
        if (simulator)
            simulator->Stop();
    }
    // Sends, waits until the simulator has answered (`settle`), then times the read.
    K760modbus Ask(std::uint32_t (K760modbus::*request)(), std::chrono::milliseconds settle,
                   Clock::duration* readTime = nullptr) {
        {
            K760modbus sender(port, 1, BigEndian);
            EXPECT_GT((sender.*request)(), 0u);
        }
        std::this_thread::sleep_for(settle);
        K760modbus meter(port, 1, BigEndian);
        const auto start = Clock::now();
        meter.ReceiveReply();
        if (readTime)
            *readTime = Clock::now() - start;
        return meter;
    }

    test::ScopedPortMap ports;
    std::unique_ptr<sim::MeterSimulator> simulator;
    PortHandle port = kInvalidPort;
};

// Each reply comes twice, the second 10 ms after the first (less than the gap): the
// read ends with the first, and the second is gone before the next request, so the
// identity request that follows gets its own reply, not the readings' double.
TEST_P(ReplyFraming, AWholeFrameEndsTheReadAndWhatFollowsItIsDiscarded) {
    struct Case {
        const char* what;
        SimFaults faults;
        std::uint32_t (K760modbus::*request)();
        std::int32_t filed;
        std::uint32_t length;
        std::int32_t exception;
    };
    const Case cases[] = {
        {"readings", {.doubleAfter = 10ms}, &K760modbus::RequestReadings, kFcReadings,
         kReadingsReply, 0},
        {"identity", {.doubleAfter = 10ms}, &K760modbus::RequestIdentity, kFcIdentity,
         kIdentityReply, 0},
        {"exception", {.exceptionCode = 2, .doubleAfter = 10ms}, &K760modbus::RequestReadings,
         kReplyNone, 5, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Connect(c.faults);
        // Read before the double has come: a read that waited for the gap would take it.
        const K760modbus first = Ask(c.request, 0ms);
        EXPECT_EQ(first.replyFunction, c.filed);
        EXPECT_EQ(first.client.rxCount, c.length);
        EXPECT_EQ(first.client.exceptionCode, c.exception);
        std::this_thread::sleep_for(60ms); // the double is in by now
        simulator->SetFaults({});
        const K760modbus next = Ask(&K760modbus::RequestIdentity, 0ms);
        EXPECT_EQ(next.replyFunction, kFcIdentity);
        EXPECT_EQ(next.client.rxCount, kIdentityReply);
        TearDown();
    }
}

// A reply sent in two halves 10 ms apart is still one reply.
TEST_P(ReplyFraming, AFrameSplitInTwoHalvesTenMillisecondsApartIsOneReply) {
    Connect({.splitGap = 10ms});
    for (int i = 0; i < 3; ++i) {
        const K760modbus r = Ask(&K760modbus::RequestReadings, 0ms);
        EXPECT_EQ(r.replyFunction, kFcReadings);
        EXPECT_EQ(r.decodedCount, 48u);
    }
}

// A frame whose CRC does not check is never whole: it waits for the gap, already
// waiting in full when the read begins, and is no reply.
TEST_P(ReplyFraming, AFrameWithAWrongCrcWaitsForTheGap) {
    Connect({.corruptCrc = true});
    Clock::duration took{};
    const K760modbus r = Ask(&K760modbus::RequestReadings, 100ms, &took);
    EXPECT_EQ(r.replyFunction, kReplyNone);
    EXPECT_GE(took, 20ms);
}

INSTANTIATE_TEST_SUITE_P(Transports, ReplyFraming,
                         ::testing::Values(SimTransport::Pty, SimTransport::RtuOverTcp,
                                           SimTransport::ModbusTcp),
                         [](const auto& info) { return std::string(Name(info.param)); });

// The client's own test of a whole reply: length from the function code and byte count
// (or 5 for an exception), all of it in, CRC checking.
TEST(ReplyFrameLength, KnowsAWholeReplyByItsLengthAndCrc) {
    // fc 3 with a byte count of 4: 01 03 04 41 20 00 00, CRC 0xC5EF (low byte first).
    const std::vector<std::uint8_t> info{0x01, 0x03, 0x04, 0x41, 0x20, 0x00, 0x00, 0xEF, 0xC5};
    // Exception 2 to fc 4: 01 84 02, CRC 0xC1C2.
    const std::vector<std::uint8_t> exception{0x01, 0x84, 0x02, 0xC2, 0xC1};
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::size_t length;
    };
    auto withTail = [](std::vector<std::uint8_t> v) {
        v.insert(v.end(), {0x01, 0x03, 0x04});
        return v;
    };
    auto damaged = [](std::vector<std::uint8_t> v) {
        v.back() ^= 0x5A;
        return v;
    };
    const Case cases[] = {
        {"whole", info, 9},
        {"one byte short", {info.begin(), info.end() - 1}, 0},
        {"before its byte count", {info.begin(), info.begin() + 2}, 0},
        {"followed by more", withTail(info), 9},
        {"wrong CRC", damaged(info), 0},
        {"exception", exception, 5},
        {"exception cut", {exception.begin(), exception.end() - 1}, 0},
        {"exception wrong CRC", damaged(exception), 0},
        {"nothing", {}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplyFrameLength(c.bytes.data(), c.bytes.size()), c.length) << c.what;
}

} // namespace
} // namespace zentra

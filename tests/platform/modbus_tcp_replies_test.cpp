// Modbus TCP replies that a slow gateway sends after the reader gave up on them, and a
// reply that the gateway follows at once by closing the connection.
#include "platform/mbap.h"
#include "platform/serial_port.h"
#include "tests/support/loopback.h"

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <thread>
#include <vector>

namespace zentra::platform {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using test::LoopbackListener;

// The classic example's reply body (unit 0x11, fc 3, 6 bytes) as an MBAP frame under
// `id`, and the RTU frame it stands for (CRC 0xBAC8, low byte first).
Bytes Reply(std::uint16_t id) {
    return {static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id), 0x00, 0x00, 0x00,
            0x09, 0x11, 0x03, 0x06, 0x02, 0x2B, 0x00, 0x00, 0x00, 0x64};
}
const Bytes kRtuReply{0x11, 0x03, 0x06, 0x02, 0x2B, 0x00, 0x00, 0x00, 0x64, 0xC8, 0xBA};

TEST(MbapReplies, AReplyToAnyAwaitedRequestCountsAndTheLatestWins) {
    const std::uint16_t awaited[] = {5, 6, 7}; // oldest first
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const Bytes latest = Reply(7);
    const Bytes cut(latest.begin(), latest.begin() + 9);
    struct Case {
        const char* what;
        Bytes wire;
        bool cutTailAllowed;
        std::size_t length;
        std::uint16_t id;
    };
    const Case cases[] = {
        {"the latest request's", Reply(7), false, 11, 7},
        {"one the reader gave up on", Reply(5), false, 11, 5},
        {"two in one burst: the newer", join({Reply(6), Reply(5)}), false, 11, 6},
        {"an id never sent or answered", Reply(4), false, 0, 0},
        {"stale, then awaited", join({Reply(9), Reply(6)}), false, 11, 6},
        {"then one still arriving", join({Reply(5), cut}), true, 11, 5},
        {"the same at the gap: no reply", join({Reply(5), cut}), false, 0, 0},
        {"only one still arriving", cut, true, 0, 0},
    };
    for (const Case& c : cases) {
        Bytes out(64);
        const MbapReply got =
            MbapReplyToRtu(c.wire.data(), c.wire.size(), awaited, c.cutTailAllowed, out.data(), 64);
        EXPECT_EQ(got.length, c.length) << c.what;
        EXPECT_EQ(got.transaction, c.id) << c.what;
        if (c.length > 0) {
            EXPECT_EQ(Bytes(out.begin(), out.begin() + 11), kRtuReply) << c.what;
        }
    }
}

class SlowGateway : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(far.ok());
        const auto opened = OpenSerialDevice(far.Address("modbus-tcp://"));
        ASSERT_GE(opened.fd, 0) << opened.detail;
        fd = opened.fd;
        ASSERT_TRUE(far.Accept(2s));
    }
    void TearDown() override { CloseSerialDevice(fd); }
    // Sends the request, returns the transaction id it went under.
    std::uint16_t Request() {
        const Bytes request{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87};
        EXPECT_EQ(WriteSerial(fd, request.data(), request.size()).count, request.size());
        const Bytes wire = far.Received(1s);
        EXPECT_EQ(wire.size(), 12u);
        return wire.size() < 2 ? 0 : static_cast<std::uint16_t>((wire[0] << 8) | wire[1]);
    }
    SerialTransfer Read(Bytes& buffer, std::size_t maxBytes = 30) {
        buffer.assign(64, 0);
        const SerialTransfer got = ReadSerial(fd, buffer.data(), maxBytes);
        buffer.resize(got.count);
        return got;
    }

    LoopbackListener far;
    int fd = -1;
};

// The reader gave up on the first request (a 30-byte read waits 31 ms) and asked again;
// the first one's reply then comes and is the reply, once.
TEST_F(SlowGateway, AReplyToARequestTheReaderGaveUpOnStillCounts) {
    Bytes got;
    const std::uint16_t first = Request();
    EXPECT_EQ(Read(got).status, SerialStatus::TimedOut);
    const std::uint16_t second = Request();
    ASSERT_NE(first, second);
    far.Send(Reply(first));
    Read(got);
    EXPECT_EQ(got, kRtuReply);
    far.Send(Reply(first)); // answered already: a doubled reply is no reply
    Read(got);
    EXPECT_EQ(got, Bytes{});
    far.Send(Reply(second));
    Read(got);
    EXPECT_EQ(got, kRtuReply);
}

// A reply and the close right behind it: the reply counts, and the hang-up is what the
// next read reports.
TEST_F(SlowGateway, AReplyFollowedAtOnceByTheCloseCountsAndTheHangUpComesAfter) {
    const std::uint16_t id = Request();
    far.Send(Reply(id));
    far.CloseClient();
    std::this_thread::sleep_for(50ms); // both are in before the read begins
    Bytes got;
    const SerialTransfer reply = Read(got, 512);
    EXPECT_EQ(reply.status, SerialStatus::Ok);
    EXPECT_EQ(got, kRtuReply);
    EXPECT_TRUE(PortGone(fd));
    EXPECT_EQ(Read(got).status, SerialStatus::HangUp);
}

} // namespace
} // namespace zentra::platform

// Network ports: the two address forms, the MBAP conversion at the port, and the
// socket under the port handle against a loopback far end played byte by byte.
#include "platform/mbap.h"
#include "platform/net_address.h"
#include "platform/net_port.h"
#include "platform/serial_port.h"
#include "tests/support/loopback.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace zentra::platform {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using test::Contains;
using test::LoopbackListener;

// The request of the classic Modbus example, and the information request (fc 3,
// node 1, parameter 1, count 32).
const Bytes kClassic{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87};
const Bytes kInfo{0x01, 0x03, 0x00, 0x00, 0x00, 0x40, 0x44, 0x3A};

TEST(NetAddress, FormsThatParseAndFormsThatDoNot) {
    struct Good {
        const char* text;
        NetAddress address;
        const char* shown;
    };
    const Good good[] = {
        {"tcp://192.0.2.10:502", NetAddress{PortKind::RtuOverTcp, "192.0.2.10", 502},
         "192.0.2.10:502"},
        {"modbus-tcp://gw-3.plant.example:1",
         NetAddress{PortKind::ModbusTcp, "gw-3.plant.example", 1}, "gw-3.plant.example:1"},
        {"tcp://localhost:65535", NetAddress{PortKind::RtuOverTcp, "localhost", 65535},
         "localhost:65535"},
        {"modbus-tcp://[fe80::1]:502", NetAddress{PortKind::ModbusTcp, "fe80::1", 502},
         "[fe80::1]:502"},
        // A link-local address names the interface it is reached through.
        {"tcp://[fe80::1%eth0]:502", NetAddress{PortKind::RtuOverTcp, "fe80::1%eth0", 502},
         "[fe80::1%eth0]:502"},
        {"modbus-tcp://[fe80::20c:29ff:fe12:3456%enp0s31f6]:5020",
         NetAddress{PortKind::ModbusTcp, "fe80::20c:29ff:fe12:3456%enp0s31f6", 5020},
         "[fe80::20c:29ff:fe12:3456%enp0s31f6]:5020"},
    };
    for (const Good& g : good) {
        SCOPED_TRACE(g.text);
        EXPECT_TRUE(IsNetAddressForm(g.text));
        EXPECT_EQ(ParseNetAddress(g.text), g.address);
        EXPECT_EQ(HostAndPort(g.address), g.shown);
    }
    for (const char* bad : {"tcp://192.0.2.10",
                            "tcp://192.0.2.10:",
                            "tcp://192.0.2.10:0",
                            "tcp://192.0.2.10:65536",
                            "tcp://192.0.2.10:502x",
                            "tcp://192.0.2.10:+502",
                            "tcp://:502",
                            "tcp://bad_host:502",
                            "tcp://-gw:502",
                            "tcp://gw.:502",
                            "tcp://gw..lan:502",
                            "tcp://fe80::1:502",
                            "tcp://[gw]:502",
                            "udp://192.0.2.10:502",
                            "TCP://192.0.2.10:502",
                            "modbus-tcp:/gw:502",
                            "tcp://gw:502/path",
                            "tcp://g w:502",
                            "tcp://[fe80::1%]:502",
                            "tcp://[%eth0]:502",
                            "tcp://[fe80::1%eth0%1]:502",
                            "tcp://[fe80::1%et/h0]:502",
                            "tcp://[fe80::1%eth 0]:502",
                            "tcp://[fe80::1%interfacenamelong]:502",
                            "tcp://gw%eth0:502",
                            "tcp://192.0.2.10%eth0:502"})
        EXPECT_FALSE(ParseNetAddress(bad)) << bad;
    for (const char* path : {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00-port0", ""}) {
        EXPECT_FALSE(IsNetAddressForm(path)) << path;
        EXPECT_FALSE(ParseNetAddress(path)) << path;
    }
}

TEST(Mbap, RequestsLoseTheirCrcAndRepliesGetItBack) {
    EXPECT_EQ(RtuToMbap(kClassic.data(), kClassic.size(), 0x0001),
              (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}));
    EXPECT_EQ(RtuToMbap(kInfo.data(), kInfo.size(), 0xBEEF),
              (Bytes{0xBE, 0xEF, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x40}));
    // Not an RTU frame: a wrong CRC, or too short to hold node, code and CRC.
    Bytes damaged = kInfo;
    damaged.back() ^= 1;
    EXPECT_TRUE(RtuToMbap(damaged.data(), damaged.size(), 1).empty());
    EXPECT_TRUE(RtuToMbap(kInfo.data(), 3, 1).empty());

    // Back again, in place, with the CRC the serial line would have carried.
    Bytes wire{0x00, 0x07, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x40};
    wire.resize(16);
    ASSERT_EQ(MbapToRtu(wire.data(), 12, 7, wire.data(), wire.size()), 8u);
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 8), kInfo);
}

TEST(Mbap, MismatchedRepliesAreMissingAndStaleOnesSkipped) {
    const Bytes reply{0x12, 0x34, 0x00, 0x00, 0x00, 0x06, 0x11, 0x03, 0x00, 0x6B, 0x00, 0x03};
    auto convert = [](Bytes wire, std::uint16_t id, std::size_t capacity = 64) {
        Bytes out(64);
        out.resize(MbapToRtu(wire.data(), wire.size(), id, out.data(), capacity));
        return out;
    };
    EXPECT_EQ(convert(reply, 0x1234), kClassic);
    EXPECT_EQ(convert(reply, 0x1235), Bytes{}) << "another transaction id";
    auto with = [&](std::size_t at, std::uint8_t value) {
        Bytes b = reply;
        b[at] = value;
        return b;
    };
    EXPECT_EQ(convert(with(3, 1), 0x1234), Bytes{}) << "protocol 1";
    EXPECT_EQ(convert(with(5, 7), 0x1234), Bytes{}) << "longer than what arrived";
    EXPECT_EQ(convert(with(5, 5), 0x1234), Bytes{}) << "shorter: a byte left over";
    EXPECT_EQ(convert(with(5, 1), 0x1234), Bytes{}) << "no function code";
    EXPECT_EQ(convert(Bytes(reply.begin(), reply.begin() + 5), 0x1234), Bytes{}) << "cut header";
    EXPECT_EQ(convert(reply, 0x1234, 7), Bytes{}) << "does not fit";
    EXPECT_EQ(convert({}, 0x1234), Bytes{});
    // A late reply to the previous request, read together with this one's.
    Bytes both = with(1, 0x33);
    both.insert(both.end(), reply.begin(), reply.end());
    EXPECT_EQ(convert(both, 0x1234), kClassic);
    EXPECT_EQ(convert(both, 0x1233), kClassic) << "the stale one, when that is what is awaited";
}

class NetPort : public ::testing::Test {
  protected:
    void Open(const char* scheme) {
        ASSERT_TRUE(far.ok());
        const auto opened = OpenSerialDevice(far.Address(scheme));
        ASSERT_GE(opened.fd, 0) << opened.detail;
        fd = opened.fd;
        ASSERT_TRUE(far.Accept(2s));
    }
    void TearDown() override { CloseSerialDevice(fd); }

    Bytes Read(std::size_t maxBytes = 512) {
        Bytes buffer(maxBytes);
        buffer.resize(ReadSerial(fd, buffer.data(), buffer.size()).count);
        return buffer;
    }

    LoopbackListener far;
    int fd = -1;
};

TEST_F(NetPort, ModbusTcpIsConvertedAtThePort) {
    Open("modbus-tcp://");
    const auto sent = WriteSerial(fd, kClassic.data(), kClassic.size());
    EXPECT_EQ(sent.status, SerialStatus::Ok);
    EXPECT_EQ(sent.count, kClassic.size()); // the caller's own frame, all of it
    const Bytes wire = far.Received(1s);
    ASSERT_EQ(wire.size(), 12u);
    EXPECT_EQ(Bytes(wire.begin() + 2, wire.end()),
              (Bytes{0x00, 0x00, 0x00, 0x06, 0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}));

    // Answers under another id, or with a length that does not match, are no reply.
    Bytes answer = wire;
    answer[1] ^= 0x40;
    far.Send(answer);
    EXPECT_EQ(Read(), Bytes{});
    answer = wire;
    answer[5] = 0x08;
    far.Send(answer);
    EXPECT_EQ(Read(), Bytes{});
    far.Send(wire); // the same bytes back under the request's own id
    EXPECT_EQ(Read(), kClassic);

    // Each request has an id of its own.
    WriteSerial(fd, kClassic.data(), kClassic.size());
    const Bytes next = far.Received(1s);
    ASSERT_EQ(next.size(), 12u);
    EXPECT_NE(Bytes(next.begin(), next.begin() + 2), Bytes(wire.begin(), wire.begin() + 2));
    // A frame that is not RTU is not sent at all.
    const Bytes damaged{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x88};
    EXPECT_EQ(WriteSerial(fd, damaged.data(), damaged.size()).count, 0u);
}

TEST_F(NetPort, TransparentTcpCarriesTheFramesAsTheyAre) {
    Open("tcp://");
    EXPECT_EQ(WriteSerial(fd, kInfo.data(), kInfo.size()).count, kInfo.size());
    EXPECT_EQ(far.Received(1s), kInfo);
    far.Send({0x01, 0x83, 0x02, 0xC0, 0xF1});
    EXPECT_EQ(Read(), (Bytes{0x01, 0x83, 0x02, 0xC0, 0xF1}));
    // Line settings and direction control do not apply; clearing drops stale input.
    far.Send({0xAA, 0xBB});
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(ClearSerialError(fd));
    far.Send({0x01});
    EXPECT_EQ(Read(), Bytes{0x01});
}

TEST_F(NetPort, ADroppedConnectionIsAHangUp) {
    Open("tcp://");
    far.CloseClient();
    // The first write after the far end closed is taken; the next meets the reset, which
    // neither kills the process (no SIGPIPE) nor counts as sent.
    const Bytes request{0x01, 0x11, 0xC0, 0x2C};
    WriteSerial(fd, request.data(), request.size());
    std::this_thread::sleep_for(50ms);
    auto sent = WriteSerial(fd, request.data(), request.size());
    EXPECT_EQ(sent.status, SerialStatus::HangUp);
    EXPECT_TRUE(PortGone(fd));
    Bytes buffer(512);
    const auto start = Clock::now();
    EXPECT_EQ(ReadSerial(fd, buffer.data(), buffer.size()).status, SerialStatus::HangUp);
    EXPECT_LT(Clock::now() - start, 400ms); // never the whole read time-out
    sent = WriteSerial(fd, request.data(), request.size());
    EXPECT_EQ(sent.count, 0u);

    // A connection dropped while only reading: end of file.
    CloseSerialDevice(fd);
    Open("tcp://");
    far.CloseClient();
    EXPECT_EQ(ReadSerial(fd, buffer.data(), buffer.size()).status, SerialStatus::HangUp);
    EXPECT_TRUE(PortGone(fd));
    // Gone stays gone, though the socket would still take this first write.
    EXPECT_EQ(WriteSerial(fd, request.data(), request.size()).count, 0u);
}

TEST(NetPortOpen, FailuresSayWhyAndNeverWaitLong) {
    const std::string refused = "tcp://127.0.0.1:" + std::to_string(test::RefusingPort());
    auto start = Clock::now();
    auto opened = OpenSerialDevice(refused);
    EXPECT_EQ(opened.fd, -1);
    EXPECT_EQ(opened.error, SerialOpenError::Unreachable);
    EXPECT_TRUE(Contains(opened.detail,
                         "cannot reach 127.0.0.1:" + refused.substr(16) + ": connection refused"))
        << opened.detail;
    EXPECT_LT(Clock::now() - start, 1s);
    // Listing the ports does not connect, so it does not wait either.
    EXPECT_TRUE(SerialDevicePresent(refused));

    opened = OpenSerialDevice("modbus-tcp://zentra-no-such-host.invalid:502");
    EXPECT_EQ(opened.error, SerialOpenError::Unreachable);
    EXPECT_TRUE(Contains(opened.detail, "zentra-no-such-host.invalid:502: unknown host"))
        << opened.detail;

    opened = OpenSerialDevice("tcp://192.0.2.10:70000");
    EXPECT_EQ(opened.error, SerialOpenError::InvalidAddress);
    EXPECT_TRUE(Contains(opened.detail, "tcp://HOST:PORT or modbus-tcp://HOST:PORT"));

    // A listener whose queue is full never answers: the attempt gives up in time.
    LoopbackListener full(0);
    ASSERT_TRUE(full.ok() && full.FillQueue());
    start = Clock::now();
    opened = OpenSerialDevice(full.Address("tcp://"));
    const auto waited = Clock::now() - start;
    EXPECT_EQ(opened.fd, -1);
    EXPECT_TRUE(Contains(opened.detail, ": timed out")) << opened.detail;
    EXPECT_LT(waited, kConnectTimeout + 1s);
}

} // namespace
} // namespace zentra::platform

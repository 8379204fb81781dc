// The meter layer: the four requests byte for byte, variants, the system type names the
// Communication page shows, the byte-order plausibility test, and how ReceiveReply
// files (or refuses) replies crafted byte by byte.
#include "comms/meter.h"
#include "comms/serial_link.h"
#include "platform/serial_port.h"
#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

namespace zentra {
namespace {

using test::WithCrc;

std::vector<std::uint8_t> Sent(const K760modbus& meter) {
    return {meter.client.txBuffer.begin(), meter.client.txBuffer.begin() + meter.client.txLength};
}

TEST(MeterRequests, IdentityInformationReadingsAndLayoutFrames) {
    // Built in full even when the port is not open (the write then sends nothing).
    K760modbus meter(kInvalidPort, 7, BigEndian);
    meter.RequestIdentity();
    EXPECT_EQ(Sent(meter), WithCrc({7, 0x11}));
    meter.RequestMeterInfo();
    EXPECT_EQ(Sent(meter), WithCrc({7, 0x03, 0x00, 0x00, 0x00, 0x40}));
    meter.RequestReadings();
    EXPECT_EQ(Sent(meter), WithCrc({7, 0x04, 0x00, 0x00, 0x00, 0x60}));
    meter.RequestPositionMap();
    EXPECT_EQ(Sent(meter), WithCrc({7, 0x42, 0x00, 0x00, 0x00, 0x1C}));
    K760modbus one(kInvalidPort, 1, BigEndian);
    one.RequestMeterInfo();
    EXPECT_EQ(Sent(one), (std::vector<std::uint8_t>{1, 3, 0, 0, 0, 0x40, 0x44, 0x3A}));
}

TEST(MeterVariant, FromTheFractionRoundedToFloatBeforeTheStrictBounds) {
    // Round decimals land on either side of a bound once rounded to single precision:
    // float(0.015) is just below 0.015, float(0.035) and float(0.045) just above,
    // float(0.055) and float(0.065) just below. A negative version truncates toward zero.
    const std::pair<double, int> cases[] = {
        {1.02f, 2}, {1.03f, 3}, {2.03f, 3}, {1.04f, 4},  {2.05f, 5}, {3.06f, 6},
        {1.00f, 1}, {1.01f, 1}, {1.07f, 1}, {-1.02f, 1}, {0.015, 1}, {0.025, 3},
        {0.035, 4}, {0.045, 5}, {0.055, 5}, {10.065, 6}, {0.0651, 1}};
    for (const auto& [version, variant] : cases)
        EXPECT_EQ(MeterVariant(version), variant) << version;
    EXPECT_NEAR(VersionFraction(1.02f), 0.02, 1e-7);
}

TEST(SystemTypeName, OneToSixNamedOutsideEmpty) {
    const char* const names[] = {"1ph", "3ph3w", "3ph4w", "1ph3w", "3ph3w bal", "3ph4w bal"};
    for (int number = 1; number <= 6; ++number)
        EXPECT_EQ(SystemTypeName(number), names[number - 1]) << number;
    for (const int outside : {0, 7, -1})
        EXPECT_EQ(SystemTypeName(outside), "") << outside;
}

TEST(ModelNumberPlausible, OutsideFiveToNineHundredOrNaNIsWrongOrder) {
    for (const double model : {760.0, 500.0, 900.0})
        EXPECT_TRUE(ModelNumberPlausible(model)) << model;
    for (const double model : {499.9, 900.1, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_FALSE(ModelNumberPlausible(model)) << model;
    // 760 sent big-endian but read as little-endian is a tiny number.
    const std::uint8_t wire[] = {0x44, 0x3E, 0x00, 0x00};
    EXPECT_FALSE(ModelNumberPlausible(std::bit_cast<float>(Cmodbus::ApplyFloatOrder(1, wire))));
}

std::vector<std::uint8_t> Floats(std::uint8_t node, std::uint8_t code,
                                 const std::vector<float>& values) {
    std::vector<std::uint8_t> frame{node, code, static_cast<std::uint8_t>(4 * values.size())};
    for (float v : values) {
        const auto bits = std::bit_cast<std::uint32_t>(v);
        for (int shift = 24; shift >= 0; shift -= 8)
            frame.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    return WithCrc(frame);
}

class ReceiveReply : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        port = platform::OpenSerialDevice(pty.SlavePath()).fd;
        ASSERT_GE(port, 0);
        ASSERT_TRUE(platform::ApplyLineSettings(port, {38400, 'N', 8, 1}));
    }
    void TearDown() override { platform::CloseSerialDevice(port); }

    K760modbus Receive(const std::vector<std::uint8_t>& reply) {
        pty.Send(reply);
        K760modbus meter(port, 1, BigEndian);
        meter.ReceiveReply();
        return meter;
    }

    test::PtyPair pty;
    int port = -1;
};

TEST_F(ReceiveReply, FilesReadingsInformationIdentityAndLayout) {
    std::vector<float> readings(48);
    for (int i = 0; i < 48; ++i)
        readings[i] = 1.5f * static_cast<float>(i + 1);
    auto r = Receive(Floats(1, 4, readings));
    ASSERT_EQ(r.replyFunction, 4);
    EXPECT_EQ(r.decodedCount, 48u);
    EXPECT_EQ(r.readings[0], 1.5);
    EXPECT_EQ(r.readings[47], 72.0);

    std::vector<float> info(32, 0.0f);
    info[0] = 400.0f;
    info[15] = 110.0f;
    info[16] = 99.0f; // beyond the 16 used floats
    auto m = Receive(Floats(1, 3, info));
    ASSERT_EQ(m.replyFunction, 3);
    EXPECT_EQ(m.meterInfo[0], 400.0);
    EXPECT_EQ(m.meterInfo[15], 110.0);
    EXPECT_EQ(m.meterInfo[16], 0.0);

    auto id = Receive(Floats(1, 17, {760.0f, 0, 0, 0, 1.02f, 0, 1.0f, 240315.0f}));
    ASSERT_EQ(id.replyFunction, 17);
    EXPECT_EQ(id.decodedCount, 8u);
    EXPECT_EQ(id.identity[4], 1.02f);
    EXPECT_EQ(id.identity[13], 0.0f);

    std::vector<std::uint8_t> layout{1, 66, 0, 0, 0, 0x1C, 48};
    for (int i = 48; i >= 1; --i)
        layout.push_back(static_cast<std::uint8_t>(i));
    auto l = Receive(WithCrc(layout));
    ASSERT_EQ(l.replyFunction, 66);
    EXPECT_EQ(l.positionCodes[0], 48);
    EXPECT_EQ(l.positionCodes[47], 1);
}

TEST_F(ReceiveReply, EntriesAShortReplyDidNotCarryAreZeroAndCountedOut) {
    auto r = Receive(Floats(1, 4, {230.0f, 231.0f, 232.0f}));
    ASSERT_EQ(r.replyFunction, 4);
    EXPECT_EQ(r.decodedCount, 3u);
    EXPECT_EQ(r.readings[2], 232.0);
    for (int i = 3; i < 48; ++i)
        EXPECT_EQ(r.readings[i], 0.0) << i;
    // A CRC-valid frame that declares 192 data bytes but carries 4 decodes nothing.
    auto lying = Receive(WithCrc({0x01, 0x04, 0xC0, 0x41, 0x20, 0x00, 0x00}));
    EXPECT_EQ(lying.replyFunction, 4);
    EXPECT_EQ(lying.decodedCount, 0u);
    EXPECT_EQ(lying.readings[0], 0.0);
}

TEST_F(ReceiveReply, UnusableRepliesEndAsNone) {
    auto e = Receive(WithCrc({0x01, 0x84, 0x02})); // exception reply to fc 4, code 2
    EXPECT_EQ(e.replyFunction, kReplyNone);
    EXPECT_EQ(e.client.exceptionCode, 2);

    auto bad = Floats(1, 4, {1.0f});
    bad.back() ^= 0xFF;
    EXPECT_EQ(Receive(bad).replyFunction, kReplyNone);

    auto other = Receive(Floats(2, 4, {1.0f}));
    EXPECT_EQ(other.replyFunction, kReplyNone);
    EXPECT_EQ(other.client.replyNode, 2);

    EXPECT_EQ(Receive({}).replyFunction, kReplyNone);
    EXPECT_EQ(Receive({0x01}).replyFunction, kReplyNone);
}

TEST_F(ReceiveReply, AReplyFillingTheWholeReadIsAnOverrunAndTheRestIsCleared) {
    auto flooded = Receive(std::vector<std::uint8_t>(kReplyReadLimit + 100, 0x11));
    EXPECT_EQ(flooded.client.rxCount, 0u);
    EXPECT_EQ(flooded.replyFunction, kReplyNone);
    Cmodbus next;
    next.ReadReply(port, 64);
    EXPECT_EQ(next.rxCount, 0u);
}

} // namespace
} // namespace zentra

// Reply decoding: the float orders, the byte-count rule, the 250-value cap and the
// CRC check of a received reply.
#include "comms/modbus_client.h"
#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

namespace zentra {
namespace {

void Load(Cmodbus& c, const std::vector<std::uint8_t>& reply) {
    std::copy(reply.begin(), reply.end(), c.rxBuffer.begin());
    c.rxCount = static_cast<std::uint32_t>(reply.size());
}

float AsFloat(std::uint32_t word) {
    return std::bit_cast<float>(word);
}

TEST(ApplyFloatOrder, TheFourArrangementsOfTen) {
    const std::uint8_t big[] = {0x41, 0x20, 0x00, 0x00};
    const std::uint8_t little[] = {0x00, 0x00, 0x20, 0x41};
    const std::uint8_t bigSwap[] = {0x00, 0x00, 0x41, 0x20};
    const std::uint8_t littleSwap[] = {0x20, 0x41, 0x00, 0x00};
    EXPECT_EQ(AsFloat(Cmodbus::ApplyFloatOrder(BigEndian, big)), 10.0f);
    EXPECT_EQ(AsFloat(Cmodbus::ApplyFloatOrder(LittleEndian, little)), 10.0f);
    EXPECT_EQ(AsFloat(Cmodbus::ApplyFloatOrder(BigEndianWordSwap, bigSwap)), 10.0f);
    EXPECT_EQ(AsFloat(Cmodbus::ApplyFloatOrder(LittleEndianWordSwap, littleSwap)), 10.0f);
    // The order is tested bit by bit: bit 2 alone is a word swap too.
    EXPECT_EQ(AsFloat(Cmodbus::ApplyFloatOrder(4, bigSwap)), 10.0f);
    EXPECT_EQ(AsFloat(Cmodbus::ApplyFloatOrder(5, littleSwap)), 10.0f);
    const std::uint8_t bytes[] = {1, 2, 3, 4};
    EXPECT_EQ(Cmodbus::ApplyFloatOrder(0, bytes), 0x01020304u);
    EXPECT_EQ(Cmodbus::ApplyFloatOrder(1, bytes), 0x04030201u);
    EXPECT_EQ(Cmodbus::ApplyFloatOrder(2, bytes), 0x03040102u);
    EXPECT_EQ(Cmodbus::ApplyFloatOrder(3, bytes), 0x02010403u);
}

TEST(DecodeReply, WordsFromByteThreeForReadReplies) {
    Cmodbus c;
    Load(c, test::WithCrc({0x01, 0x04, 0x08, 0x41, 0x20, 0x00, 0x00, 0xC2, 0xC8, 0x00, 0x00}));
    c.DecodeReply(BigEndian);
    ASSERT_EQ(c.valueCount, 2u);
    EXPECT_EQ(AsFloat(c.values[0]), 10.0f);
    EXPECT_EQ(AsFloat(c.values[1]), -100.0f);
}

TEST(DecodeReply, ByteCountSevenDecodesOneWord) {
    Cmodbus c;
    Load(c, test::WithCrc({0x01, 0x03, 0x07, 0x41, 0x20, 0x00, 0x00, 0xAA, 0xBB, 0xCC}));
    c.DecodeReply(BigEndian);
    ASSERT_EQ(c.valueCount, 1u);
    EXPECT_EQ(AsFloat(c.values[0]), 10.0f);
}

TEST(DecodeReply, DeclaredCountBeyondWhatArrivedDecodesNothing) {
    Cmodbus c;
    Load(c, {0x01, 0x04, 0xC0, 0x41, 0x20, 0x00, 0x00, 0x12, 0x34});
    c.DecodeReply(BigEndian);
    EXPECT_EQ(c.valueCount, 0u);
}

TEST(DecodeReply, CountIsComparedWithTheLowEightBitsOfRxCount) {
    // 260 bytes arrived, but 260 & 0xFF = 4 is what the count is compared with.
    Cmodbus c;
    std::vector<std::uint8_t> reply(260, 0);
    reply[1] = 0x04;
    reply[2] = 8;
    Load(c, reply);
    c.DecodeReply(BigEndian);
    EXPECT_EQ(c.valueCount, 0u);
    reply[2] = 4;
    Load(c, reply);
    c.DecodeReply(BigEndian);
    EXPECT_EQ(c.valueCount, 1u);
}

TEST(DecodeReply, LeftoversOfALongerEarlierReplyAreNotData) {
    Cmodbus c;
    Load(c, std::vector<std::uint8_t>(200, 0x41)); // an earlier, longer reply
    // Now a 5-byte frame that declares 4 data bytes: only 2 of them arrived.
    Load(c, {0x01, 0x04, 0x04, 0x41, 0x20});
    c.DecodeReply(BigEndian);
    EXPECT_EQ(c.valueCount, 0u);
}

TEST(DecodeReply, OneValuePerByteLayouts) {
    Cmodbus c;
    // fc 66: bytes 2..5 not interpreted, count at 6, data from 7.
    Load(c, test::WithCrc({0x01, 0x42, 0x00, 0x00, 0x00, 0x1C, 0x03, 9, 8, 7}));
    c.DecodeReply(BigEndian);
    ASSERT_EQ(c.valueCount, 3u);
    EXPECT_EQ(c.values[0], 9u);
    EXPECT_EQ(c.values[2], 7u);
    // fc 1: count at 2, data from 3.
    Load(c, test::WithCrc({0x01, 0x01, 0x02, 0xA5, 0x5A}));
    c.DecodeReply(BigEndian);
    ASSERT_EQ(c.valueCount, 2u);
    EXPECT_EQ(c.values[0], 0xA5u);
    // fc 16: words, count at 6, data from 7.
    Load(c, test::WithCrc({0x01, 0x10, 0, 0, 0, 0, 0x04, 0x41, 0x20, 0x00, 0x00}));
    c.DecodeReply(BigEndian);
    ASSERT_EQ(c.valueCount, 1u);
    EXPECT_EQ(AsFloat(c.values[0]), 10.0f);
}

TEST(DecodeReply, AtMost250ValuesAreStored) {
    Cmodbus c;
    // 255 one-byte values; 511 bytes arrived, so the count passes the low-8-bit test.
    std::vector<std::uint8_t> reply{0x01, 0x1F, 0, 0, 0, 0, 255};
    for (int i = 0; i < 255; ++i)
        reply.push_back(static_cast<std::uint8_t>(i));
    reply.resize(511, 0);
    Load(c, reply);
    c.DecodeReply(BigEndian);
    EXPECT_EQ(c.valueCount, kMaxDecodedValues);
    EXPECT_EQ(c.values[249], 249u);
}

TEST(CheckReplyCrc, GoodBadAndTooShort) {
    Cmodbus c;
    Load(c, {0x01, 0x03, 0x00, 0x00, 0x00, 0x40, 0x44, 0x3A});
    c.CheckReplyCrc();
    EXPECT_EQ(c.status, 0);
    c.rxBuffer[7] ^= 1;
    c.CheckReplyCrc();
    EXPECT_EQ(c.status, 1);
    Load(c, {0xFF});
    c.CheckReplyCrc();
    EXPECT_EQ(c.status, 1);
    c.rxCount = 0;
    c.CheckReplyCrc();
    EXPECT_EQ(c.status, 1);
}

} // namespace
} // namespace zentra

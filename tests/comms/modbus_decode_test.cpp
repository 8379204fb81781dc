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

TEST(ApplyFloatOrder, TheFourArrangementsOfTenTestedBitByBit) {
    const std::uint8_t big[] = {0x41, 0x20, 0x00, 0x00};
    const std::uint8_t little[] = {0x00, 0x00, 0x20, 0x41};
    const std::uint8_t bigSwap[] = {0x00, 0x00, 0x41, 0x20};
    const std::uint8_t littleSwap[] = {0x20, 0x41, 0x00, 0x00};
    EXPECT_EQ(AsFloat(Cmodbus::ApplyFloatOrder(BigEndian, big)), 10.0f);
    EXPECT_EQ(AsFloat(Cmodbus::ApplyFloatOrder(LittleEndian, little)), 10.0f);
    EXPECT_EQ(AsFloat(Cmodbus::ApplyFloatOrder(BigEndianWordSwap, bigSwap)), 10.0f);
    EXPECT_EQ(AsFloat(Cmodbus::ApplyFloatOrder(LittleEndianWordSwap, littleSwap)), 10.0f);
    // Bit 2 alone is a word swap too.
    EXPECT_EQ(AsFloat(Cmodbus::ApplyFloatOrder(4, bigSwap)), 10.0f);
    EXPECT_EQ(AsFloat(Cmodbus::ApplyFloatOrder(5, littleSwap)), 10.0f);
    const std::uint8_t bytes[] = {1, 2, 3, 4};
    const std::uint32_t expected[] = {0x01020304u, 0x04030201u, 0x03040102u, 0x02010403u};
    for (int order = 0; order < 4; ++order)
        EXPECT_EQ(Cmodbus::ApplyFloatOrder(order, bytes), expected[order]) << order;
}

TEST(DecodeReply, WhereEachFunctionKeepsItsCountAndData) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> frame;
        std::vector<std::uint32_t> values;
    };
    const Case cases[] = {
        // fc 3/4: words from byte 3.
        {"fc 4",
         {0x01, 0x04, 0x08, 0x41, 0x20, 0x00, 0x00, 0xC2, 0xC8, 0x00, 0x00},
         {0x41200000u, 0xC2C80000u}},
        // A byte count of 7 decodes one whole word.
        {"count 7", {0x01, 0x03, 0x07, 0x41, 0x20, 0x00, 0x00, 0xAA, 0xBB, 0xCC}, {0x41200000u}},
        // fc 66: bytes 2..5 not interpreted, count at 6, one value per byte from 7.
        {"fc 66", {0x01, 0x42, 0x00, 0x00, 0x00, 0x1C, 0x03, 9, 8, 7}, {9, 8, 7}},
        {"fc 1", {0x01, 0x01, 0x02, 0xA5, 0x5A}, {0xA5, 0x5A}},
        // fc 16: words, count at 6, data from 7.
        {"fc 16", {0x01, 0x10, 0, 0, 0, 0, 0x04, 0x41, 0x20, 0x00, 0x00}, {0x41200000u}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Cmodbus c;
        Load(c, test::WithCrc(k.frame));
        c.DecodeReply(BigEndian);
        ASSERT_EQ(c.valueCount, k.values.size());
        for (std::size_t i = 0; i < k.values.size(); ++i)
            EXPECT_EQ(c.values[i], k.values[i]) << i;
    }
}

TEST(DecodeReply, ACountBeyondWhatArrivedDecodesNothing) {
    Cmodbus c;
    Load(c, {0x01, 0x04, 0xC0, 0x41, 0x20, 0x00, 0x00, 0x12, 0x34});
    c.DecodeReply(BigEndian);
    EXPECT_EQ(c.valueCount, 0u);
    // Leftovers of a longer earlier reply are not data: 4 declared, 2 arrived.
    Load(c, std::vector<std::uint8_t>(200, 0x41));
    Load(c, {0x01, 0x04, 0x04, 0x41, 0x20});
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

// Reply decoding: the float orders; the reply layouts by function code (where the byte
// count sits, where the data start and whether the data are single bytes or 32-bit
// words); the byte-count rule, the 250-value cap and the CRC check of a reply.
#include "comms/modbus_client.h"
#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <vector>

namespace zentra {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Values = std::vector<std::uint32_t>;
using test::WithCrc;

void Load(Cmodbus& c, const Bytes& reply) {
    std::copy(reply.begin(), reply.end(), c.rxBuffer.begin());
    c.rxCount = static_cast<std::uint32_t>(reply.size());
}

// The values a reply of these bytes decodes to.
Values Decoded(const Bytes& frame, FloatOrder order = BigEndian) {
    Cmodbus c;
    Load(c, frame);
    c.DecodeReply(order);
    return {c.values.begin(), c.values.begin() + c.valueCount};
}

TEST(ApplyFloatOrder, TheFourArrangementsOfTenTestedBitByBit) {
    // Bit 2 alone (orders 4 and 5) is a word swap too.
    const std::pair<int, std::array<std::uint8_t, 4>> tens[] = {
        {BigEndian, {0x41, 0x20, 0x00, 0x00}},
        {LittleEndian, {0x00, 0x00, 0x20, 0x41}},
        {BigEndianWordSwap, {0x00, 0x00, 0x41, 0x20}},
        {LittleEndianWordSwap, {0x20, 0x41, 0, 0}},
        {4, {0x00, 0x00, 0x41, 0x20}},
        {5, {0x20, 0x41, 0x00, 0x00}}};
    for (const auto& [order, wire] : tens)
        EXPECT_EQ(std::bit_cast<float>(Cmodbus::ApplyFloatOrder(order, wire.data())), 10.0f)
            << order;
    const std::uint8_t bytes[] = {1, 2, 3, 4};
    const std::uint32_t expected[] = {0x01020304u, 0x04030201u, 0x03040102u, 0x02010403u};
    for (int order = 0; order < 4; ++order)
        EXPECT_EQ(Cmodbus::ApplyFloatOrder(order, bytes), expected[order]) << order;
}

// 260 bytes with code 4 and the given count: 260 & 0xFF = 4 is what the count is
// compared with.
Bytes Arrived260(std::uint8_t count) {
    Bytes reply(260, 0);
    reply[1] = 0x04;
    reply[2] = count;
    return reply;
}

TEST(DecodeReply, WhereEachFunctionKeepsItsCountAndData) {
    struct Case {
        const char* name;
        Bytes frame;
        Values values;
    };
    const Case cases[] = {
        {"fc 4: words from byte 3",
         WithCrc({0x01, 0x04, 0x08, 0x41, 0x20, 0x00, 0x00, 0xC2, 0xC8, 0x00, 0x00}),
         {0x41200000u, 0xC2C80000u}},
        {"a count of 7 decodes one whole word",
         WithCrc({0x01, 0x03, 0x07, 0x41, 0x20, 0x00, 0x00, 0xAA, 0xBB, 0xCC}),
         {0x41200000u}},
        {"fc 66: count at 6, one value per byte from 7",
         WithCrc({0x01, 0x42, 0x00, 0x00, 0x00, 0x1C, 0x03, 9, 8, 7}),
         {9, 8, 7}},
        {"fc 1", WithCrc({0x01, 0x01, 0x02, 0xA5, 0x5A}), {0xA5, 0x5A}},
        {"fc 16: words, count at 6, data from 7",
         WithCrc({0x01, 0x10, 0, 0, 0, 0, 0x04, 0x41, 0x20, 0x00, 0x00}),
         {0x41200000u}},
        {"a count beyond what arrived", {0x01, 0x04, 0xC0, 0x41, 0x20, 0x00, 0x00, 0x12, 0x34}, {}},
        {"260 arrived, count 8", Arrived260(8), {}},
        {"260 arrived, count 4", Arrived260(4), {0u}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(Decoded(k.frame), k.values) << k.name;
}

TEST(DecodeReply, LeftoversOfALongerEarlierReplyAreNotData) {
    Cmodbus c;
    Load(c, Bytes(200, 0x41));
    Load(c, {0x01, 0x04, 0x04, 0x41, 0x20}); // 4 declared, 2 arrived
    c.DecodeReply(BigEndian);
    EXPECT_EQ(c.valueCount, 0u);
}

TEST(DecodeReply, AtMost250ValuesAreStored) {
    // 255 one-byte values; 511 bytes arrived, so the count passes the low-8-bit test.
    Bytes reply{0x01, 0x1F, 0, 0, 0, 0, 255};
    for (int i = 0; i < 255; ++i)
        reply.push_back(static_cast<std::uint8_t>(i));
    reply.resize(511, 0);
    const Values values = Decoded(reply);
    ASSERT_EQ(values.size(), 250u);
    EXPECT_EQ(values[249], 249u);
}

// One frame that tells the four layouts apart: byte 2 says 4, byte 6 says 4 too, and
// the bytes after each differ.
//   per byte from 3:  AA BB CC 04      one word from 3:  AABBCC04
//   per byte from 7:  41 20 00 00      one word from 7:  41200000
TEST(DecodeTable, EveryCodeOfTheTableUsesItsRow) {
    const Values bytesFrom3{0xAA, 0xBB, 0xCC, 0x04}, wordFrom3{0xAABBCC04u};
    const Values bytesFrom7{0x41, 0x20, 0x00, 0x00}, wordFrom7{0x41200000u};
    const std::pair<std::uint8_t, const Values&> rows[] = {
        {1, bytesFrom3},  {31, bytesFrom7}, {66, bytesFrom7},  {104, bytesFrom7},
        {16, wordFrom7},  {68, wordFrom7},  {70, wordFrom7},   {102, wordFrom7},
        {107, wordFrom7}, {3, wordFrom3},   {4, wordFrom3},    {17, wordFrom3},
        {2, wordFrom3},   {105, wordFrom3}, {0x83, wordFrom3}, {0xC2, wordFrom3},
    };
    for (const auto& [code, values] : rows)
        EXPECT_EQ(Decoded(WithCrc({0x01, code, 0x04, 0xAA, 0xBB, 0xCC, 0x04, 0x41, 0x20, 0, 0})),
                  values)
            << "function code " << int(code);
}

TEST(DecodeTable, WordRowsFromByteSevenFollowTheFloatOrder) {
    // 41 20 00 00 is 10.0 big-endian; the same value little-endian arrives reversed.
    for (const std::uint8_t code : {16, 68, 70, 102, 107})
        EXPECT_EQ(
            Decoded(WithCrc({0x01, code, 0, 0, 0, 0, 0x04, 0x00, 0x00, 0x20, 0x41}), LittleEndian),
            Values{0x41200000u})
            << int(code);
}

TEST(DecodeTable, ByteCountAtSixBeyondWhatArrivedDecodesNothing) {
    for (const std::uint8_t code : {31, 66, 104, 16, 68, 70, 102, 107})
        EXPECT_EQ(Decoded({0x01, code, 0, 0, 0, 0, 0x20, 1, 2, 3, 4}), Values{}) << int(code);
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

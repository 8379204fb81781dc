// The reply layouts by function code: where the byte count sits, where the data start
// and whether the data are single bytes or 32-bit words, for every code in the table.
#include "comms/modbus_client.h"
#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

#include <vector>

namespace zentra {
namespace {

// The values a reply of these bytes decodes to.
std::vector<std::uint32_t> Decoded(const std::vector<std::uint8_t>& frame, FloatOrder order) {
    Cmodbus c;
    std::copy(frame.begin(), frame.end(), c.rxBuffer.begin());
    c.rxCount = static_cast<std::uint32_t>(frame.size());
    c.DecodeReply(order);
    return {c.values.begin(), c.values.begin() + c.valueCount};
}

// One frame that tells the four layouts apart: byte 2 says 4, byte 6 says 4 too, and
// the bytes after each differ.
//   per byte from 3:  AA BB CC 04      one word from 3:  AABBCC04
//   per byte from 7:  41 20 00 00      one word from 7:  41200000
std::vector<std::uint32_t> Decoded(std::uint8_t code) {
    return Decoded(
        test::WithCrc({0x01, code, 0x04, 0xAA, 0xBB, 0xCC, 0x04, 0x41, 0x20, 0x00, 0x00}),
        BigEndian);
}

TEST(DecodeTable, EveryCodeOfTheTableUsesItsRow) {
    const std::vector<std::uint32_t> bytesFrom3{0xAA, 0xBB, 0xCC, 0x04};
    const std::vector<std::uint32_t> wordFrom3{0xAABBCC04u};
    const std::vector<std::uint32_t> bytesFrom7{0x41, 0x20, 0x00, 0x00};
    const std::vector<std::uint32_t> wordFrom7{0x41200000u};
    struct Row {
        std::uint8_t code;
        const std::vector<std::uint32_t>& values;
    };
    const Row rows[] = {
        {1, bytesFrom3},  {31, bytesFrom7}, {66, bytesFrom7},  {104, bytesFrom7},
        {16, wordFrom7},  {68, wordFrom7},  {70, wordFrom7},   {102, wordFrom7},
        {107, wordFrom7}, {3, wordFrom3},   {4, wordFrom3},    {17, wordFrom3},
        {2, wordFrom3},   {105, wordFrom3}, {0x83, wordFrom3}, {0xC2, wordFrom3},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Decoded(row.code), row.values) << "function code " << int(row.code);
}

TEST(DecodeTable, WordRowsFromByteSevenFollowTheFloatOrder) {
    // 41 20 00 00 is 10.0 big-endian; the same value little-endian arrives reversed.
    for (const std::uint8_t code : {16, 68, 70, 102, 107})
        EXPECT_EQ(Decoded(test::WithCrc({0x01, code, 0, 0, 0, 0, 0x04, 0x00, 0x00, 0x20, 0x41}),
                          LittleEndian),
                  std::vector<std::uint32_t>{0x41200000u})
            << int(code);
}

TEST(DecodeTable, ByteCountAtSixBeyondWhatArrivedDecodesNothing) {
    for (const std::uint8_t code : {31, 66, 104, 16, 68, 70, 102, 107})
        EXPECT_EQ(Decoded({0x01, code, 0, 0, 0, 0, 0x20, 1, 2, 3, 4}, BigEndian).size(), 0u)
            << int(code);
}

} // namespace
} // namespace zentra

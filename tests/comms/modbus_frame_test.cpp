// Request frames and the CRC, pinned to known vectors so that the client and the
// simulator (which has its own CRC) cannot agree on a shared mistake.
#include "comms/modbus_client.h"
#include "tests/support/pty_pair.h"
#include "tools/sim/sim_crc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zentra {
namespace {

struct CrcVector {
    std::vector<std::uint8_t> bytes;
    std::uint16_t crc;
};

// Published CRC-16/MODBUS values.
const std::vector<CrcVector> kVectors{
    {{0x01, 0x03, 0x00, 0x00, 0x00, 0x40}, 0x3A44},
    {{0x01, 0x03, 0x00, 0x00, 0x00, 0x01}, 0x0A84},
    {{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0x8776},
    {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0x4B37},
    {{}, 0xFFFF},
};

TEST(ModbusCrc, KnownVectorsForClientAndSimulator) {
    for (const auto& v : kVectors) {
        EXPECT_EQ(ModbusCrc(v.bytes.data(), v.bytes.size()), v.crc);
        EXPECT_EQ(sim::FrameCrc(v.bytes.data(), v.bytes.size()), v.crc);
    }
    // And on every single byte value, the two implementations agree.
    for (int b = 0; b < 256; ++b) {
        const std::uint8_t byte[2] = {static_cast<std::uint8_t>(b), 0x5A};
        ASSERT_EQ(ModbusCrc(byte, 2), sim::FrameCrc(byte, 2)) << b;
    }
}

std::vector<std::uint8_t> Frame(const Cmodbus& c) {
    return {c.txBuffer.begin(), c.txBuffer.begin() + c.txLength};
}

TEST(BuildRequest, TheFourRequestsOfTheProgramAndTheAddressRule) {
    struct Case {
        std::uint8_t code, node;
        std::uint16_t parameter;
        std::uint8_t count;
        std::vector<std::uint8_t> frame;
    };
    const Case cases[] = {
        {3, 1, 1, 32, {0x01, 0x03, 0x00, 0x00, 0x00, 0x40}},
        {4, 7, 1, 48, {0x07, 0x04, 0x00, 0x00, 0x00, 0x60}},
        {66, 7, 1, 14, {0x07, 0x42, 0x00, 0x00, 0x00, 0x1C}},
        {17, 7, 0, 0, {0x07, 0x11}},
        // Address 398 = 0x018E, twice the parameter less two, high byte first; 4 registers.
        {3, 1, 200, 2, {0x01, 0x03, 0x01, 0x8E, 0x00, 0x04}},
        // The quantity keeps only the low 8 bits of 2 x count.
        {4, 1, 1, 200, {0x01, 0x04, 0x00, 0x00, 0x00, 0x90}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(int(k.code));
        Cmodbus c;
        c.BuildRequest(k.code, k.node, k.parameter, k.count);
        EXPECT_EQ(Frame(c), k.frame);
        EXPECT_EQ(c.status, 0);
        c.AppendCrc();
        EXPECT_EQ(Frame(c), test::WithCrc(k.frame));
    }
}

TEST(BuildRequest, UnknownFunctionIsSixZerosAndStatusOne) {
    Cmodbus c;
    c.BuildRequest(3, 1, 1, 32); // leave something behind first
    c.BuildRequest(5, 1, 1, 1);
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(Frame(c), std::vector<std::uint8_t>(6, 0));
    c.AppendCrc();
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.txLength, 8);
}

TEST(SendRequest, InvalidPortWritesNothing) {
    Cmodbus c;
    c.BuildRequest(17, 1, 0, 0);
    c.AppendCrc();
    c.SendRequest(kInvalidPort);
    EXPECT_EQ(c.bytesWritten, 0u);
    EXPECT_NE(c.status, 0); // the error code
}

} // namespace
} // namespace zentra

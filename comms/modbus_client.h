// Byte-level Modbus RTU client: one request frame at a time, its CRC, one reply read
// from an opened port, the reply's CRC check and the decode of its payload. Lives for
// one step of a transaction; the caller keeps which request is outstanding.
#pragma once

#include "comms/serial_link.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace zentra {

inline constexpr std::size_t kFrameBufferSize = 1000;
inline constexpr std::size_t kMaxDecodedValues = 250;

enum FloatOrder : std::int32_t {
    BigEndian = 0,
    LittleEndian = 1,
    BigEndianWordSwap = 2,
    LittleEndianWordSwap = 3,
};

// List texts of the four orders, in code order.
inline constexpr std::array<const char*, 4> kFloatOrderTexts{
    "Float = Big Endian (Motorola)", "Float = Little Endian (Intel)",
    "Float = Big Endian (Word Swap)", "Float = Little Endian (Word Swap)"};

// CRC-16 of Modbus RTU (initial 0xFFFF, reflected polynomial 0xA001).
std::uint16_t ModbusCrc(const std::uint8_t* data, std::size_t length);

// Exception replies: node, function code with bit 7 set, exception code, CRC.
inline constexpr std::size_t kExceptionReplyLength = 5;

// The length of the whole reply frame that `bytes` begin with, or 0 while there is
// none: its length is known from the function code and byte count (5 bytes for an
// exception), all of it is in and its CRC checks. A read ends on it at once.
std::size_t ReplyFrameLength(const std::uint8_t* bytes, std::size_t count);

class Cmodbus {
  public:
    Cmodbus() = default;
    virtual ~Cmodbus() = default;

    void BuildRequest(std::uint8_t functionCode, std::uint8_t node, std::uint16_t parameter,
                      std::uint8_t count);
    void AppendCrc();
    void SendRequest(PortHandle port);
    int ReadReply(PortHandle port, std::uint32_t maxBytes);
    void CheckReplyCrc();
    void DecodeReply(std::int32_t order);
    // Assembles the 32-bit word of four data bytes b[0..3] as they arrived.
    static std::uint32_t ApplyFloatOrder(std::int32_t order, const std::uint8_t* b);

    std::array<std::uint8_t, kFrameBufferSize> txBuffer{};
    std::int32_t txLength = 0;
    std::array<std::uint8_t, kFrameBufferSize> rxBuffer{};
    std::uint32_t rxCount = 0;
    std::uint32_t bytesWritten = 0;
    std::int32_t exceptionCode = 0;
    std::int32_t replyNode = 0;
    std::array<std::uint32_t, kMaxDecodedValues> values{};
    std::uint32_t valueCount = 0;
    std::int32_t status = 0;
};

} // namespace zentra

#include "comms/modbus_client.h"

#include "platform/rtu_crc.h"
#include "platform/serial_port.h"

#include <algorithm>

namespace zentra {
namespace {

// Where a reply's byte count sits and how its data are grouped, by function code.
struct ReplyLayout {
    std::size_t countAt;
    std::size_t dataAt;
    bool perByte; // one value per data byte, else one 32-bit word per four bytes
};

ReplyLayout LayoutFor(std::uint8_t code) {
    switch (code) {
    case 1:
        return {2, 3, true};
    case 31:
    case 66:
    case 104:
        return {6, 7, true};
    case 16:
    case 68:
    case 70:
    case 102:
    case 107:
        return {6, 7, false};
    default: // 3, 4, 17 and every other code, exception replies among them
        return {2, 3, false};
    }
}

} // namespace

std::uint16_t ModbusCrc(const std::uint8_t* data, std::size_t length) {
    return platform::RtuCrc(data, length);
}

std::size_t ReplyFrameLength(const std::uint8_t* bytes, std::size_t count) {
    constexpr std::size_t kCrcSize = 2;
    if (count < 2)
        return 0;
    std::size_t length = kExceptionReplyLength;
    if ((bytes[1] & 0x80) == 0) {
        const ReplyLayout layout = LayoutFor(bytes[1]);
        if (count <= layout.countAt)
            return 0; // the byte count is not in yet
        length = layout.dataAt + bytes[layout.countAt] + kCrcSize;
    }
    if (count < length || !platform::RtuCrcMatches(bytes, length))
        return 0;
    return length;
}

void Cmodbus::BuildRequest(std::uint8_t functionCode, std::uint8_t node, std::uint16_t parameter,
                           std::uint8_t count) {
    txLength = 0;
    status = 0;
    switch (functionCode) {
    case 3:
    case 4:
    case 66: {
        // Floats are two registers each, named by a 1-based parameter number.
        const auto address = static_cast<std::uint16_t>(2 * parameter - 2);
        txBuffer[0] = node;
        txBuffer[1] = functionCode;
        txBuffer[2] = static_cast<std::uint8_t>(address >> 8);
        txBuffer[3] = static_cast<std::uint8_t>(address & 0xFF);
        txBuffer[4] = 0;
        txBuffer[5] = static_cast<std::uint8_t>(2 * count); // low 8 bits of the quantity
        txLength = 6;
        break;
    }
    case 17:
        txBuffer[0] = node;
        txBuffer[1] = functionCode;
        txLength = 2;
        break;
    default:
        std::fill_n(txBuffer.begin(), 6, std::uint8_t{0});
        txLength = 6;
        status = 1;
        break;
    }
}

void Cmodbus::AppendCrc() {
    const auto length = static_cast<std::size_t>(std::max(txLength, 0));
    if (length + 2 > txBuffer.size()) {
        status = 1;
        return;
    }
    const std::uint16_t crc = ModbusCrc(txBuffer.data(), length);
    txBuffer[length] = static_cast<std::uint8_t>(crc & 0xFF);
    txBuffer[length + 1] = static_cast<std::uint8_t>(crc >> 8);
    txLength += 2;
    status = 0;
}

void Cmodbus::SendRequest(PortHandle port) {
    const auto length = static_cast<std::size_t>(
        std::clamp<std::int32_t>(txLength, 0, static_cast<std::int32_t>(txBuffer.size())));
    const auto sent = platform::WriteSerial(port, txBuffer.data(), length);
    bytesWritten = static_cast<std::uint32_t>(sent.count);
    // Like the write call it stands for: non-zero on success, else the error code.
    status = sent.status == platform::SerialStatus::Ok ? 1 : 0;
    if (bytesWritten == 0)
        status = sent.systemError;
}

int Cmodbus::ReadReply(PortHandle port, std::uint32_t maxBytes) {
    status = 0;
    rxCount = 0;
    // Never read past the buffer, whatever limit the caller asks for.
    const std::size_t limit = std::min<std::size_t>(maxBytes, rxBuffer.size());
    const auto got = platform::ReadSerial(port, rxBuffer.data(), limit, &ReplyFrameLength);
    rxCount = static_cast<std::uint32_t>(got.count);
    if (rxCount == 0 || rxCount >= maxBytes || rxCount >= limit) {
        // Nothing, or as much as was asked for: taken as an overrun. The clear call's
        // result (non-zero on success) becomes the status.
        rxCount = 0;
        status = platform::ClearSerialError(port) ? 1 : 0;
    }
    exceptionCode = (rxBuffer[1] & 0x80) ? rxBuffer[2] : 0;
    replyNode = rxBuffer[0];
    return 0;
}

void Cmodbus::CheckReplyCrc() {
    if (rxCount < 2 || rxCount > rxBuffer.size()) {
        status = 1;
        return;
    }
    const std::uint16_t crc = ModbusCrc(rxBuffer.data(), rxCount - 2);
    const bool match = rxBuffer[rxCount - 2] == (crc & 0xFF) && rxBuffer[rxCount - 1] == (crc >> 8);
    status = match ? 0 : 1;
}

std::uint32_t Cmodbus::ApplyFloatOrder(std::int32_t order, const std::uint8_t* b) {
    const bool little = (order & 1) != 0;
    const bool wordSwap = (order & 6) != 0;
    std::uint8_t w[4]; // most significant byte first
    if (!little && !wordSwap) {
        w[0] = b[0], w[1] = b[1], w[2] = b[2], w[3] = b[3];
    } else if (little && !wordSwap) {
        w[0] = b[3], w[1] = b[2], w[2] = b[1], w[3] = b[0];
    } else if (!little) {
        w[0] = b[2], w[1] = b[3], w[2] = b[0], w[3] = b[1];
    } else {
        w[0] = b[1], w[1] = b[0], w[2] = b[3], w[3] = b[2];
    }
    return (std::uint32_t{w[0]} << 24) | (std::uint32_t{w[1]} << 16) | (std::uint32_t{w[2]} << 8) |
           std::uint32_t{w[3]};
}

void Cmodbus::DecodeReply(std::int32_t order) {
    valueCount = 0;
    const ReplyLayout layout = LayoutFor(rxBuffer[1]);
    const std::uint32_t byteCount = rxBuffer[layout.countAt];
    // The declared count is checked against the low 8 bits of what arrived.
    if (byteCount > (rxCount & 0xFF))
        return;
    // Only bytes of this reply are decoded: a short frame never picks up the leftovers
    // of an earlier, longer one still lying in the buffer.
    const std::size_t received = rxCount > layout.dataAt ? rxCount - layout.dataAt : 0;
    const std::size_t usable = std::min<std::size_t>(byteCount, received);
    const std::uint8_t* data = rxBuffer.data() + layout.dataAt;
    if (layout.perByte) {
        const std::size_t n = std::min(usable, kMaxDecodedValues);
        for (std::size_t i = 0; i < n; ++i)
            values[i] = data[i];
        valueCount = static_cast<std::uint32_t>(n);
        return;
    }
    const std::size_t words = std::min(usable / 4, kMaxDecodedValues);
    for (std::size_t i = 0; i < words; ++i)
        values[i] = ApplyFloatOrder(order, data + 4 * i);
    valueCount = static_cast<std::uint32_t>(words);
}

} // namespace zentra

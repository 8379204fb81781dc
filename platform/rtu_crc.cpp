#include "platform/rtu_crc.h"

namespace zentra::platform {
namespace {

constexpr std::uint16_t kCrcInitial = 0xFFFF;
constexpr std::uint16_t kCrcPolynomial = 0xA001; // 0x8005 reflected

} // namespace

std::uint16_t RtuCrc(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = kCrcInitial;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ kCrcPolynomial)
                            : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

bool RtuCrcMatches(const std::uint8_t* frame, std::size_t length) {
    if (length < 2)
        return false;
    const std::uint16_t crc = RtuCrc(frame, length - 2);
    return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

} // namespace zentra::platform

// The Modbus RTU frame check: CRC-16 with initial value 0xFFFF and the reflected
// polynomial 0xA001, sent low byte first. The client appends and checks it; a network
// port that carries no CRC (Modbus TCP) rebuilds it for the frames it hands up.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zentra::platform {

std::uint16_t RtuCrc(const std::uint8_t* data, std::size_t length);

// True when the last two of `length` bytes are the CRC of the bytes before them.
bool RtuCrcMatches(const std::uint8_t* frame, std::size_t length);

} // namespace zentra::platform

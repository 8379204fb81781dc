// The simulator's own Modbus RTU CRC, written apart from the client's (table-driven
// where the client shifts bit by bit) so the two cannot share one mistake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zentra::sim {

// CRC-16/MODBUS: initial 0xFFFF, polynomial 0x8005 reflected, sent low byte first.
std::uint16_t FrameCrc(const std::uint8_t* data, std::size_t length);

// Appends the CRC of the frame to it.
void AppendFrameCrc(std::vector<std::uint8_t>& frame);

// True when the last two of `length` bytes are the CRC of those before them.
bool FrameCrcMatches(const std::uint8_t* frame, std::size_t length);

} // namespace zentra::sim

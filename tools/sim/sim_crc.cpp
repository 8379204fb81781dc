#include "tools/sim/sim_crc.h"

#include <array>

namespace zentra::sim {
namespace {

// Remainder of every byte value, computed from the unreflected polynomial x^16 + x^15
// + x^2 + 1 by reflecting each step, so the table owes nothing to 0xA001 being known.
constexpr std::uint16_t Reflect16(std::uint16_t v) {
    std::uint16_t r = 0;
    for (int i = 0; i < 16; ++i)
        if (v & (1u << i))
            r = static_cast<std::uint16_t>(r | (1u << (15 - i)));
    return r;
}

constexpr std::array<std::uint16_t, 256> MakeTable() {
    constexpr std::uint16_t poly = Reflect16(0x8005);
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        std::uint16_t r = static_cast<std::uint16_t>(byte);
        for (int i = 0; i < 8; ++i)
            r = (r & 1) ? static_cast<std::uint16_t>((r >> 1) ^ poly)
                        : static_cast<std::uint16_t>(r >> 1);
        table[byte] = r;
    }
    return table;
}

constexpr auto kTable = MakeTable();

} // namespace

std::uint16_t FrameCrc(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i)
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}

void AppendFrameCrc(std::vector<std::uint8_t>& frame) {
    const std::uint16_t crc = FrameCrc(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

bool FrameCrcMatches(const std::uint8_t* frame, std::size_t length) {
    if (length < 2)
        return false;
    const std::uint16_t crc = FrameCrc(frame, length - 2);
    return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

} // namespace zentra::sim

// The serial link settings as the program stores them: six fixed 10-byte texts, the
// float byte order and the port-set-up flag (76 bytes in files and in the settings
// store). The Modbus node is kept apart, as a double, in the document.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zentra {

inline constexpr std::size_t kCommTextSize = 10;
inline constexpr std::size_t kCommSettingsSize = 76;
inline constexpr int kPortCount = 9; // COM1 .. COM9

using CommText = std::array<char, kCommTextSize>;

struct CommSettings {
    CommText port{'C', 'O', 'M', '1'};
    CommText baud{'3', '8', '4', '0', '0'};
    CommText parity{'N', 'O', 'N', 'E'};
    CommText dataBits{'8'};
    CommText stopBits{'1'};
    CommText latency{'2', '0', '0'}; // milliseconds, decimal text
    std::int32_t floatOrder = 0;     // FloatOrder 0..3
    std::int32_t portSetUp = 0;      // 1 after Connect opened the port
};

namespace comm_offset {
inline constexpr std::size_t kPort = 0;
inline constexpr std::size_t kBaud = 10;
inline constexpr std::size_t kParity = 20;
inline constexpr std::size_t kDataBits = 30;
inline constexpr std::size_t kStopBits = 40;
inline constexpr std::size_t kLatency = 50;
inline constexpr std::size_t kReserved = 60; // 8 bytes, zero
inline constexpr std::size_t kFloatOrder = 68;
inline constexpr std::size_t kPortSetUp = 72;
} // namespace comm_offset

// Byte image (76 bytes, little-endian) and back. Decoding NUL-terminates every text.
void EncodeCommSettings(const CommSettings& settings, std::uint8_t* out);
void DecodeCommSettings(const std::uint8_t* in, CommSettings& settings);

// The latency text as milliseconds (leading decimal digits; none gives 0).
int LatencyMilliseconds(const CommSettings& settings);

} // namespace zentra

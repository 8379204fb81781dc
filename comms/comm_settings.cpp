#include "comms/comm_settings.h"

#include <cstring>

namespace zentra {
namespace {

void PutInt32(std::uint8_t* out, std::size_t offset, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i)
        out[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

std::int32_t GetInt32(const std::uint8_t* in, std::size_t offset) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(in[offset + i]) << (8 * i);
    return static_cast<std::int32_t>(bits);
}

// Text up to its NUL (at most 9 characters), then zeros.
void PutText(std::uint8_t* out, std::size_t offset, const CommText& text) {
    const std::size_t n = strnlen(text.data(), kCommTextSize - 1);
    std::memcpy(out + offset, text.data(), n);
    std::memset(out + offset + n, 0, kCommTextSize - n);
}

// Always NUL-terminated within the 10 bytes, zero after the terminator.
void GetText(const std::uint8_t* in, std::size_t offset, CommText& text) {
    const char* src = reinterpret_cast<const char*>(in + offset);
    const std::size_t n = strnlen(src, kCommTextSize - 1);
    text.fill('\0');
    std::memcpy(text.data(), src, n);
}

} // namespace

void EncodeCommSettings(const CommSettings& s, std::uint8_t* out) {
    std::memset(out, 0, kCommSettingsSize);
    PutText(out, comm_offset::kPort, s.port);
    PutText(out, comm_offset::kBaud, s.baud);
    PutText(out, comm_offset::kParity, s.parity);
    PutText(out, comm_offset::kDataBits, s.dataBits);
    PutText(out, comm_offset::kStopBits, s.stopBits);
    PutText(out, comm_offset::kLatency, s.latency);
    PutInt32(out, comm_offset::kFloatOrder, s.floatOrder);
    PutInt32(out, comm_offset::kPortSetUp, s.portSetUp);
}

void DecodeCommSettings(const std::uint8_t* in, CommSettings& s) {
    GetText(in, comm_offset::kPort, s.port);
    GetText(in, comm_offset::kBaud, s.baud);
    GetText(in, comm_offset::kParity, s.parity);
    GetText(in, comm_offset::kDataBits, s.dataBits);
    GetText(in, comm_offset::kStopBits, s.stopBits);
    GetText(in, comm_offset::kLatency, s.latency);
    s.floatOrder = GetInt32(in, comm_offset::kFloatOrder);
    s.portSetUp = GetInt32(in, comm_offset::kPortSetUp);
}

int LatencyMilliseconds(const CommSettings& settings) {
    // Leading decimal digits; capped so that a long digit run cannot overflow.
    constexpr int kMaxLatency = 999'999'999;
    int value = 0;
    for (std::size_t i = 0;
         i < kCommTextSize && settings.latency[i] >= '0' && settings.latency[i] <= '9'; ++i) {
        const int digit = settings.latency[i] - '0';
        if (value > (kMaxLatency - digit) / 10)
            return kMaxLatency;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace zentra

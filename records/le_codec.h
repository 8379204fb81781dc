// Little-endian field codec for the stored byte layouts (project file, graph
// record). Values are written byte by byte at explicit offsets, whatever the host's
// byte order or the compiler's struct padding.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace zentra::le {

template <typename T> void Put(std::uint8_t* out, std::size_t offset, T value) {
    static_assert(std::is_arithmetic_v<T>);
    using U = std::conditional_t<
        sizeof(T) == 1, std::uint8_t,
        std::conditional_t<sizeof(T) == 2, std::uint16_t,
                           std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;
    static_assert(sizeof(U) == sizeof(T));
    U bits = std::bit_cast<U>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out[offset + i] = static_cast<std::uint8_t>(bits & 0xFFu);
        bits = static_cast<U>(bits >> 8);
    }
}

template <typename T> T Get(const std::uint8_t* in, std::size_t offset) {
    static_assert(std::is_arithmetic_v<T>);
    using U = std::conditional_t<
        sizeof(T) == 1, std::uint8_t,
        std::conditional_t<sizeof(T) == 2, std::uint16_t,
                           std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;
    U bits = 0;
    for (std::size_t i = sizeof(T); i-- > 0;)
        bits = static_cast<U>((bits << 8) | in[offset + i]);
    return std::bit_cast<T>(bits);
}

template <typename T, std::size_t N>
void PutArray(std::uint8_t* out, std::size_t offset, const std::array<T, N>& values) {
    for (std::size_t i = 0; i < N; ++i)
        Put(out, offset + i * sizeof(T), values[i]);
}

template <typename T, std::size_t N>
void GetArray(const std::uint8_t* in, std::size_t offset, std::array<T, N>& values) {
    for (std::size_t i = 0; i < N; ++i)
        values[i] = Get<T>(in, offset + i * sizeof(T));
}

// Writes a text field of N bytes: the text up to its NUL (at most N - 1 characters),
// then zeros, so the last byte is always a terminator.
template <std::size_t N>
void PutText(std::uint8_t* out, std::size_t offset, const std::array<char, N>& text) {
    const std::size_t n = strnlen(text.data(), N - 1);
    std::memcpy(out + offset, text.data(), n);
    std::memset(out + offset + n, 0, N - n);
}

// Reads a text field of N bytes; whatever the bytes hold, the result is
// NUL-terminated within the array and zero after the terminator.
template <std::size_t N>
void GetText(const std::uint8_t* in, std::size_t offset, std::array<char, N>& text) {
    const char* src = reinterpret_cast<const char*>(in + offset);
    const std::size_t n = strnlen(src, N - 1);
    std::memcpy(text.data(), src, n);
    std::memset(text.data() + n, 0, N - n);
}

} // namespace zentra::le

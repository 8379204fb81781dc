// The Modbus TCP receive path: whatever a gateway sends, converted at the port to the
// RTU frame the client checks. The first two bytes are the transaction id awaited, the
// third chooses the room the caller gives (as a read's limit would); the rest is what
// arrived in one burst. Shared by the fuzz target and the regression tests.
#pragma once

#include "platform/mbap.h"
#include "platform/rtu_crc.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zentra::fuzz {

inline constexpr std::size_t kModbusTcpSetUp = 3;
inline constexpr std::size_t kModbusTcpRoom = 1000; // the client's receive buffer

// False when the conversion broke one of its promises: a frame that does not fit,
// lacks its CRC, differs between the in-place and the copying form, or does not come
// back to the same RTU frame through the request direction.
inline bool RunModbusTcp(const std::uint8_t* data, std::size_t size) {
    if (size < kModbusTcpSetUp)
        return true;
    const auto transaction = static_cast<std::uint16_t>((data[0] << 8) | data[1]);
    // 0..255 and the whole buffer: small rooms reach the does-not-fit branch.
    const std::size_t capacity = data[2] == 255 ? kModbusTcpRoom : data[2];
    const std::uint8_t* wire = data + kModbusTcpSetUp;
    const std::size_t length = size - kModbusTcpSetUp;

    std::vector<std::uint8_t> out(kModbusTcpRoom + 2, 0xA5); // guard bytes past the room
    const std::size_t got = platform::MbapToRtu(wire, length, transaction, out.data(), capacity);
    if (got > capacity || std::any_of(out.begin() + static_cast<std::ptrdiff_t>(capacity),
                                      out.end(), [](std::uint8_t b) { return b != 0xA5; }))
        return false;
    std::vector<std::uint8_t> inPlace(wire, wire + length);
    inPlace.resize(std::max(length, capacity));
    if (platform::MbapToRtu(inPlace.data(), length, transaction, inPlace.data(), capacity) != got)
        return false;
    if (got == 0)
        return true;
    if (got < 4 || !platform::RtuCrcMatches(out.data(), got) ||
        !std::equal(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(got), inPlace.begin()))
        return false;
    // The frame found, wrapped again under the same id, is a whole frame of the burst.
    const auto again = platform::RtuToMbap(out.data(), got, transaction);
    if (again.empty())
        return false;
    const auto* end = wire + length;
    return std::search(wire, end, again.begin(), again.end()) != end;
}

// The reading side of a slow gateway: several requests awaited, and a burst that may
// end in a frame still arriving. Whatever is found fits, carries its CRC, came under one
// of the ids awaited and is a whole frame of the burst; a burst of whole frames gives
// the same with or without a cut tail allowed.
inline bool RunModbusTcpAwaited(const std::uint8_t* data, std::size_t size) {
    if (size < kModbusTcpSetUp)
        return true;
    const auto newest = static_cast<std::uint16_t>((data[0] << 8) | data[1]);
    const std::uint16_t awaited[] = {static_cast<std::uint16_t>(newest - 2),
                                     static_cast<std::uint16_t>(newest - 1), newest};
    const std::size_t capacity = data[2] == 255 ? kModbusTcpRoom : data[2];
    const std::uint8_t* wire = data + kModbusTcpSetUp;
    const std::size_t length = size - kModbusTcpSetUp;
    std::vector<std::uint8_t> out(kModbusTcpRoom + 2, 0xA5);
    for (const bool cutTail : {false, true}) {
        const platform::MbapReply got =
            platform::MbapReplyToRtu(wire, length, awaited, cutTail, out.data(), capacity);
        if (got.length == 0)
            continue;
        if (got.length > capacity || got.length < 4 ||
            !platform::RtuCrcMatches(out.data(), got.length) ||
            std::find(std::begin(awaited), std::end(awaited), got.transaction) == std::end(awaited))
            return false;
        const auto again = platform::RtuToMbap(out.data(), got.length, got.transaction);
        const auto* end = wire + length;
        if (again.empty() || std::search(wire, end, again.begin(), again.end()) == end)
            return false;
        if (!cutTail &&
            platform::MbapReplyToRtu(wire, length, awaited, true, out.data(), capacity).length !=
                got.length)
            return false;
    }
    return true;
}

} // namespace zentra::fuzz

#include "platform/mbap.h"

#include "platform/rtu_crc.h"

#include <cstring>
#include <optional>

namespace zentra::platform {
namespace {

constexpr std::size_t kRtuCrcSize = 2;
constexpr std::size_t kMinLength = 2; // unit id and function code

std::uint16_t Word(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void PutWord(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

struct FoundFrame {
    std::size_t unitAt = 0; // offset of the unit id
    std::size_t length = 0; // unit id + PDU
};

} // namespace

std::vector<std::uint8_t> RtuToMbap(const std::uint8_t* rtu, std::size_t length,
                                    std::uint16_t transaction) {
    if (length < kMinLength + kRtuCrcSize || length - kRtuCrcSize > kMbapMaxLength ||
        !RtuCrcMatches(rtu, length))
        return {};
    const std::size_t carried = length - kRtuCrcSize; // node + PDU
    std::vector<std::uint8_t> frame;
    frame.reserve(kMbapHeaderSize - 1 + carried);
    PutWord(frame, transaction);
    PutWord(frame, 0); // protocol: Modbus
    PutWord(frame, static_cast<std::uint16_t>(carried));
    frame.insert(frame.end(), rtu, rtu + carried);
    return frame;
}

std::size_t MbapToRtu(const std::uint8_t* wire, std::size_t length, std::uint16_t transaction,
                      std::uint8_t* out, std::size_t capacity) {
    const std::uint16_t awaited[] = {transaction};
    return MbapReplyToRtu(wire, length, awaited, false, out, capacity).length;
}

MbapReply MbapReplyToRtu(const std::uint8_t* wire, std::size_t length,
                         std::span<const std::uint16_t> awaited, bool cutTailAllowed,
                         std::uint8_t* out, std::size_t capacity) {
    std::optional<FoundFrame> found;
    std::size_t foundRank = 0; // position of its id in `awaited`: later is newer
    std::uint16_t foundId = 0;
    std::size_t at = 0;
    while (at < length) {
        const std::size_t left = length - at;
        if (left < kMbapHeaderSize) {
            if (cutTailAllowed)
                break;
            return {}; // a cut header
        }
        const std::uint16_t id = Word(wire + at);
        const std::uint16_t protocol = Word(wire + at + 2);
        const std::size_t carried = Word(wire + at + 4);
        if (protocol != 0 || carried < kMinLength || carried > kMbapMaxLength)
            return {};
        if (carried > left - (kMbapHeaderSize - 1)) {
            if (cutTailAllowed)
                break;
            return {}; // a length that does not match what arrived
        }
        for (std::size_t rank = 0; rank < awaited.size(); ++rank) {
            if (awaited[rank] == id && (!found || rank >= foundRank)) {
                found = FoundFrame{at + kMbapHeaderSize - 1, carried};
                foundRank = rank;
                foundId = id;
            }
        }
        at += kMbapHeaderSize - 1 + carried;
    }
    if (!found || found->length + kRtuCrcSize > capacity)
        return {};
    std::memmove(out, wire + found->unitAt, found->length);
    const std::uint16_t crc = RtuCrc(out, found->length);
    out[found->length] = static_cast<std::uint8_t>(crc & 0xFF);
    out[found->length + 1] = static_cast<std::uint8_t>(crc >> 8);
    return MbapReply{found->length + kRtuCrcSize, foundId};
}

} // namespace zentra::platform

// Modbus TCP framing, converted at the port so that the client above keeps building
// and checking RTU frames. An RTU frame is node, PDU, CRC (low byte first); an MBAP
// frame is a 7-byte header (transaction id, protocol id 0, length of what follows,
// each two bytes high byte first, then the unit id = the node) and the PDU, no CRC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zentra::platform {

inline constexpr std::size_t kMbapHeaderSize = 7; // transaction, protocol, length, unit
// An MBAP frame is this many bytes longer than the RTU frame it carries.
inline constexpr std::size_t kMbapGrowth = 4; // header - node byte - CRC
// Longest unit + PDU a length field may announce (a 253-byte PDU and the unit id).
inline constexpr std::size_t kMbapMaxLength = 254;

// The MBAP frame of an RTU request; empty when the frame is shorter than node, code
// and CRC, longer than a PDU allows, or its CRC does not match.
std::vector<std::uint8_t> RtuToMbap(const std::uint8_t* rtu, std::size_t length,
                                    std::uint16_t transaction);

// The reply to `transaction` among the whole MBAP frames in wire[0, length), written to
// out (which may be wire itself) as an RTU frame with its CRC. Returns its length, or 0
// for a missing reply: no frame carries that id, a protocol id is not 0, the bytes are
// not whole frames (a length that does not match what arrived), or it would not fit
// in `capacity`. A stale reply to an earlier request read in the same burst is skipped.
std::size_t MbapToRtu(const std::uint8_t* wire, std::size_t length, std::uint16_t transaction,
                      std::uint8_t* out, std::size_t capacity);

// A reply found in a burst of MBAP frames: its RTU frame's length (0 for none) and the
// transaction id it came under.
struct MbapReply {
    std::size_t length = 0;
    std::uint16_t transaction = 0;
};

// The same for a gateway that may still answer earlier requests: a whole frame under
// any of `awaited` (oldest first) is a reply, and of several the one to the latest
// request wins; frames under other ids are skipped. With `cutTailAllowed` the bytes may
// end in a frame still arriving (a reply before it is complete on its own); without,
// such a burst is no reply, as for MbapToRtu.
MbapReply MbapReplyToRtu(const std::uint8_t* wire, std::size_t length,
                         std::span<const std::uint16_t> awaited, bool cutTailAllowed,
                         std::uint8_t* out, std::size_t capacity);

} // namespace zentra::platform

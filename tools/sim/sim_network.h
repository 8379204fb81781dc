// The simulator's network side: a listening socket on the loopback address only, and
// its own Modbus TCP framing (written apart from the client's port conversion, so the
// two cannot share one mistake).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zentra::sim {

// Listens on 127.0.0.1:port (0: any free port). Returns the socket, or -1 with *error
// set; *bound receives the port actually listened on.
int ListenOnLoopback(std::uint16_t port, std::uint16_t* bound, std::string* error);

struct MbapRequest {
    std::uint16_t transaction = 0;
    std::vector<std::uint8_t> rtu; // unit id, PDU and a valid CRC, as a serial line has it
};

// Takes the first whole MBAP frame from the front of `pending`; nothing while it is
// incomplete. A frame that cannot be one (protocol not 0, absurd length) empties the
// buffer, as the simulator's serial side drops noise.
std::optional<MbapRequest> TakeMbapRequest(std::vector<std::uint8_t>& pending);

// An RTU reply (with CRC) under an MBAP header; `lengthSkew` is added to the length
// field (a damaged frame for the fault options).
std::vector<std::uint8_t> MbapReply(std::uint16_t transaction, const std::vector<std::uint8_t>& rtu,
                                    int lengthSkew = 0);

} // namespace zentra::sim

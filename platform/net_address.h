// The network forms a port's device may take besides a device path:
//   tcp://HOST:PORT         a serial device server in transparent mode: the RTU frames,
//                           CRC included, over one TCP connection
//   modbus-tcp://HOST:PORT  a Modbus TCP gateway: each frame under an MBAP header,
//                           the node as unit id, no CRC
// HOST is a name, a dotted IPv4 address or an IPv6 address in brackets, a link-local
// one with the interface it is reached through ("[fe80::1%eth0]"); PORT 1..65535.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zentra::platform {

// What a port descriptor is: a serial device, or one of the two network framings.
enum class PortKind {
    Device,
    RtuOverTcp,
    ModbusTcp,
};

struct NetAddress {
    PortKind kind = PortKind::RtuOverTcp;
    std::string host; // as written, without the brackets of an IPv6 address (zone kept)
    std::uint16_t port = 0;

    bool operator==(const NetAddress&) const = default;
};

inline constexpr std::string_view kRtuOverTcpScheme = "tcp://";
inline constexpr std::string_view kModbusTcpScheme = "modbus-tcp://";
// The two forms, for hints and messages.
inline constexpr std::string_view kNetAddressForms = "tcp://HOST:PORT or modbus-tcp://HOST:PORT";

// True when the text is meant as a network address (it names a scheme: "...://"),
// whether or not the rest is valid.
bool IsNetAddressForm(std::string_view text);

// The address of a valid text; empty for a device path or a malformed address.
std::optional<NetAddress> ParseNetAddress(std::string_view text);

// "192.0.2.10:502", "[fe80::1]:502": the host and port as messages show them.
std::string HostAndPort(const NetAddress& address);

} // namespace zentra::platform

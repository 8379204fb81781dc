#include "platform/net_address.h"

#include <algorithm>
#include <charconv>

namespace zentra::platform {
namespace {

constexpr std::size_t kMaxHostName = 253; // characters of a DNS name
constexpr std::size_t kMaxLabel = 63;     // characters of one of its labels
constexpr std::size_t kMaxIpv6Text = 45;  // longest textual IPv6 address
constexpr unsigned kMaxTcpPort = 65535;
constexpr std::size_t kMaxInterfaceName = 15; // IFNAMSIZ less its NUL

bool IsAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsHexOrColon(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
           c == '.';
}

// A DNS name or dotted IPv4 address: labels of letters, digits and inner hyphens.
bool IsHostName(std::string_view host) {
    if (host.empty() || host.size() > kMaxHostName)
        return false;
    std::size_t start = 0;
    while (start <= host.size()) {
        const std::size_t dot = std::min(host.find('.', start), host.size());
        const std::string_view label = host.substr(start, dot - start);
        if (label.empty() || label.size() > kMaxLabel || label.front() == '-' ||
            label.back() == '-')
            return false;
        if (!std::all_of(label.begin(), label.end(), [](char c) { return IsAlnum(c) || c == '-'; }))
            return false;
        start = dot + 1;
    }
    return true;
}

// An interface name after the '%' of a link-local address ("eth0", "enp0s31f6").
bool IsInterfaceName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxInterfaceName &&
           std::all_of(name.begin(), name.end(),
                       [](char c) { return IsAlnum(c) || c == '-' || c == '_' || c == '.'; });
}

bool IsIpv6Text(std::string_view host) {
    if (const std::size_t zone = host.find('%'); zone != std::string_view::npos) {
        if (!IsInterfaceName(host.substr(zone + 1)))
            return false;
        host = host.substr(0, zone);
    }
    return host.size() >= 2 && host.size() <= kMaxIpv6Text &&
           host.find(':') != std::string_view::npos &&
           std::all_of(host.begin(), host.end(), IsHexOrColon);
}

// Decimal digits only (no sign, no space), 1..65535.
std::optional<std::uint16_t> ParsePort(std::string_view text) {
    const char* end = text.data() + text.size();
    unsigned value = 0;
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.size() > 5 || error != std::errc{} || stop != end || value < 1 || value > kMaxTcpPort)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

bool IsNetAddressForm(std::string_view text) {
    return text.find("://") != std::string_view::npos;
}

std::optional<NetAddress> ParseNetAddress(std::string_view text) {
    NetAddress address;
    if (text.starts_with(kRtuOverTcpScheme)) {
        address.kind = PortKind::RtuOverTcp;
        text.remove_prefix(kRtuOverTcpScheme.size());
    } else if (text.starts_with(kModbusTcpScheme)) {
        address.kind = PortKind::ModbusTcp;
        text.remove_prefix(kModbusTcpScheme.size());
    } else {
        return std::nullopt;
    }
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string_view host = text.substr(0, colon);
    const auto port = ParsePort(text.substr(colon + 1));
    if (!port)
        return std::nullopt;
    if (host.starts_with('[') && host.ends_with(']')) {
        host = host.substr(1, host.size() - 2);
        if (!IsIpv6Text(host))
            return std::nullopt;
    } else if (!IsHostName(host)) {
        return std::nullopt;
    }
    address.host = std::string(host);
    address.port = *port;
    return address;
}

std::string HostAndPort(const NetAddress& address) {
    const bool ipv6 = address.host.find(':') != std::string::npos;
    return (ipv6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

} // namespace zentra::platform

#include "tools/sim/sim_network.h"

#include "tools/sim/sim_crc.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zentra::sim {
namespace {

constexpr std::size_t kPrefix = 6;        // transaction, protocol, length: bytes before the unit
constexpr std::size_t kLongestBody = 254; // unit id and a 253-byte PDU
constexpr int kBacklog = 4;

} // namespace

int ListenOnLoopback(std::uint16_t port, std::uint16_t* bound, std::string* error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *error = std::string("cannot create a socket: ") + std::strerror(errno);
        return -1;
    }
    const int yes = 1;
    (void)::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, kBacklog) != 0) {
        *error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    *bound = ntohs(address.sin_port);
    return fd;
}

std::optional<MbapRequest> TakeMbapRequest(std::vector<std::uint8_t>& pending) {
    if (pending.size() < kPrefix)
        return std::nullopt;
    const unsigned protocol = (pending[2] << 8) | pending[3];
    const std::size_t body = static_cast<std::size_t>((pending[4] << 8) | pending[5]);
    if (protocol != 0 || body < 2 || body > kLongestBody) {
        pending.clear();
        return std::nullopt;
    }
    if (pending.size() < kPrefix + body)
        return std::nullopt;
    MbapRequest request;
    request.transaction = static_cast<std::uint16_t>((pending[0] << 8) | pending[1]);
    request.rtu.assign(pending.begin() + kPrefix, pending.begin() + kPrefix + body);
    AppendFrameCrc(request.rtu);
    pending.erase(pending.begin(), pending.begin() + kPrefix + body);
    return request;
}

std::vector<std::uint8_t> MbapReply(std::uint16_t transaction, const std::vector<std::uint8_t>& rtu,
                                    int lengthSkew) {
    const std::size_t body = rtu.size() >= 2 ? rtu.size() - 2 : 0; // without the CRC
    const auto length = static_cast<std::uint16_t>(static_cast<int>(body) + lengthSkew);
    std::vector<std::uint8_t> frame;
    frame.reserve(kPrefix + body);
    for (const unsigned word : {unsigned{transaction}, 0u, unsigned{length}}) {
        frame.push_back(static_cast<std::uint8_t>(word >> 8));
        frame.push_back(static_cast<std::uint8_t>(word & 0xFF));
    }
    for (std::size_t i = 0; i < body; ++i)
        frame.push_back(rtu[i]);
    return frame;
}

} // namespace zentra::sim

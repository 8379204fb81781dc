#include "tests/support/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zentra::test {
namespace {

constexpr auto kByteGap = std::chrono::milliseconds(50); // quiet time that ends a burst

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A socket bound to a free loopback port; *port receives it.
int BoundSocket(std::uint16_t* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

bool Readable(int fd, std::chrono::milliseconds wait) {
    pollfd pfd{fd, POLLIN, 0};
    return ::poll(&pfd, 1, static_cast<int>(wait.count())) > 0;
}

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

LoopbackListener::LoopbackListener(int backlog) {
    listen_ = BoundSocket(&port_);
    if (listen_ >= 0 && ::listen(listen_, backlog) != 0)
        CloseFd(listen_);
}

LoopbackListener::~LoopbackListener() {
    CloseFd(client_);
    CloseFd(queued_);
    CloseFd(listen_);
}

std::string LoopbackListener::Address(const char* scheme) const {
    return std::string(scheme) + "127.0.0.1:" + std::to_string(port_);
}

bool LoopbackListener::Accept(std::chrono::milliseconds wait) {
    if (!Readable(listen_, wait))
        return false;
    CloseFd(client_);
    client_ = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ >= 0;
}

bool LoopbackListener::FillQueue() {
    queued_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port_);
    return queued_ >= 0 &&
           ::connect(queued_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

void LoopbackListener::Send(const std::vector<std::uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(client_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> LoopbackListener::Received(std::chrono::milliseconds wait) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[512];
    for (auto limit = wait; Readable(client_, limit); limit = kByteGap) {
        const ssize_t n = ::recv(client_, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

void LoopbackListener::CloseClient() {
    CloseFd(client_);
}

std::uint16_t RefusingPort() {
    std::uint16_t port = 0;
    const int fd = BoundSocket(&port); // bound, never listening, then released
    if (fd >= 0)
        ::close(fd);
    return port;
}

} // namespace zentra::test

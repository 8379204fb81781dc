#include "tests/support/delaying_proxy.h"

#include <arpa/inet.h>
#include <deque>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace zentra::test {
namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool SendAll(int fd, const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

struct Piece {
    Clock::time_point due;
    std::vector<std::uint8_t> bytes;
};

} // namespace

DelayingProxy::DelayingProxy(std::uint16_t upstreamPort, std::chrono::milliseconds delay)
    : upstream_(upstreamPort), delay_(delay) {
    if (::pipe2(wake_, O_CLOEXEC) != 0)
        return;
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (listen_ < 0 ||
        ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        ::listen(listen_, 4) != 0) {
        if (listen_ >= 0)
            ::close(listen_);
        listen_ = -1;
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

DelayingProxy::~DelayingProxy() {
    if (wake_[1] >= 0)
        (void)!::write(wake_[1], "s", 1);
    if (thread_.joinable())
        thread_.join();
    for (int fd : {listen_, wake_[0], wake_[1]})
        if (fd >= 0)
            ::close(fd);
}

std::string DelayingProxy::Address(const char* scheme) const {
    return std::string(scheme) + "127.0.0.1:" + std::to_string(port_);
}

void DelayingProxy::Run() {
    for (;;) {
        pollfd pfds[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(pfds, 2, -1) < 0 || (pfds[1].revents & POLLIN))
            return;
        const int client = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            Serve(client);
    }
}

// Until the client or the upstream end closes, or the proxy stops. The answer's close
// is passed on after its last piece.
void DelayingProxy::Serve(int client) {
    const int upstream = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(upstream_);
    if (upstream < 0 ||
        ::connect(upstream, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (upstream >= 0)
            ::close(upstream);
        ::close(client);
        return;
    }
    std::deque<Piece> pending;
    bool upstreamOpen = true;
    std::uint8_t chunk[1024];
    for (;;) {
        int timeout = -1;
        if (!pending.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                pending.front().due - Clock::now());
            timeout = static_cast<int>(std::max<long>(left.count(), 0));
        } else if (!upstreamOpen) {
            break;
        }
        pollfd pfds[3] = {{client, POLLIN, 0},
                          {upstream, static_cast<short>(upstreamOpen ? POLLIN : 0), 0},
                          {wake_[0], POLLIN, 0}};
        if (::poll(pfds, 3, timeout) < 0 || (pfds[2].revents & POLLIN))
            break;
        while (!pending.empty() && pending.front().due <= Clock::now()) {
            SendAll(client, pending.front().bytes.data(), pending.front().bytes.size());
            pending.pop_front();
        }
        if (pfds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            SendAll(upstream, chunk, static_cast<std::size_t>(n));
        }
        if (upstreamOpen && (pfds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::recv(upstream, chunk, sizeof chunk, 0);
            if (n <= 0)
                upstreamOpen = false;
            else
                pending.push_back(Piece{Clock::now() + delay_, {chunk, chunk + n}});
        }
    }
    ::close(upstream);
    ::close(client);
}

} // namespace zentra::test

#include "platform/net_port.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zentra::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kDiscardChunk = 512; // bytes per read while dropping input

std::atomic<const std::atomic<bool>*> gConnectStop{nullptr};

bool StopAsked() {
    const std::atomic<bool>* stop = gConnectStop.load();
    return stop && stop->load();
}

// The next moment a wait must look at the stop request: the deadline, or sooner.
Clock::time_point NextLook(Clock::time_point deadline) {
    return std::min(deadline, Clock::now() + kConnectStopSlice);
}

struct AddrInfoDeleter {
    void operator()(addrinfo* list) const {
        if (list)
            ::freeaddrinfo(list);
    }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoDeleter>;

// One look-up, shared with the thread that runs it: a look-up that outlives the
// caller's wait finishes on its own and frees what it found.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int status = EAI_AGAIN;
    AddrInfoList result;
};

struct Resolved {
    AddrInfoList list;
    bool timedOut = false;
    bool stopped = false;
};

addrinfo Hints(int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    return hints;
}

// Numeric addresses at once; names on a thread of their own, waited for until the
// deadline, since the resolver's own time-outs run to many seconds.
Resolved Resolve(const NetAddress& address, Clock::time_point deadline) {
    const std::string service = std::to_string(address.port);
    addrinfo* found = nullptr;
    const addrinfo numeric = Hints(AI_NUMERICHOST | AI_NUMERICSERV);
    if (::getaddrinfo(address.host.c_str(), service.c_str(), &numeric, &found) == 0)
        return Resolved{AddrInfoList(found), false};

    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host = address.host, service] {
        const addrinfo hints = Hints(AI_NUMERICSERV | AI_ADDRCONFIG);
        addrinfo* list = nullptr;
        const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
        std::lock_guard lock(lookup->mutex);
        lookup->status = status;
        lookup->result.reset(status == 0 ? list : nullptr);
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    std::unique_lock lock(lookup->mutex);
    while (!lookup->done.wait_until(lock, NextLook(deadline), [&] { return lookup->finished; })) {
        if (StopAsked())
            return Resolved{nullptr, false, true};
        if (Clock::now() >= deadline)
            return Resolved{nullptr, true, false};
    }
    return Resolved{std::move(lookup->result), false, false};
}

void SetOption(int fd, int level, int name, int value) {
    (void)::setsockopt(fd, level, name, &value, sizeof value);
}

void TuneSocket(int fd) {
    SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1); // a request is one small write
    SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, static_cast<int>(kKeepAliveIdle.count()));
    SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, static_cast<int>(kKeepAliveInterval.count()));
    SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveProbes);
    SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, static_cast<int>(kUnacknowledgedLimit.count()));
}

struct Attempt {
    int fd = -1;
    int error = 0; // errno; ECANCELED when a stop was asked for
};

// One address: connect without blocking, wait for the outcome until the deadline.
Attempt ConnectOne(const addrinfo& ai, Clock::time_point deadline) {
    const int fd =
        ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
    if (fd < 0)
        return Attempt{-1, errno};
    auto fail = [fd](int error) {
        ::close(fd);
        return Attempt{-1, error};
    };
    if (::connect(fd, ai.ai_addr, ai.ai_addrlen) != 0) {
        if (errno != EINPROGRESS && errno != EINTR)
            return fail(errno);
        for (;;) {
            if (StopAsked())
                return fail(ECANCELED);
            const auto now = Clock::now();
            if (now >= deadline)
                return fail(ETIMEDOUT);
            const auto slice =
                std::chrono::duration_cast<std::chrono::milliseconds>(NextLook(deadline) - now);
            pollfd pfd{fd, POLLOUT, 0};
            const int ready = ::poll(&pfd, 1, static_cast<int>(slice.count()) + 1);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                return fail(errno);
            if (ready > 0)
                break;
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
            return fail(errno);
        if (error != 0)
            return fail(error);
    }
    TuneSocket(fd);
    return Attempt{fd, 0};
}

SerialOpenResult Stopped() {
    SerialOpenResult result;
    result.error = SerialOpenError::Stopped;
    result.systemError = ECANCELED;
    result.detail = "the connection was not made: a stop was asked for.";
    return result;
}

SerialOpenResult Unreachable(int systemError, std::string detail) {
    SerialOpenResult result;
    result.error = SerialOpenError::Unreachable;
    result.systemError = systemError;
    result.detail = std::move(detail);
    return result;
}

std::string Reason(int systemError) {
    switch (systemError) {
    case ECONNREFUSED:
        return "connection refused. Check the port number, and that the device server or "
               "gateway is switched on and accepts connections on it";
    case ETIMEDOUT:
        return "timed out. Check the address, the network cable and any firewall between "
               "this computer and the device";
    case EHOSTUNREACH:
    case ENETUNREACH:
        return "no route to the device. Check the address and this computer's network "
               "connection";
    default:
        return std::string(std::strerror(systemError)) +
               ". Check the address and the device's network settings";
    }
}

} // namespace

ScopedConnectStop::ScopedConnectStop(const std::atomic<bool>& stop)
    : previous_(gConnectStop.exchange(&stop)) {}

ScopedConnectStop::~ScopedConnectStop() {
    gConnectStop.store(previous_);
}

std::string ConnectFailureText(const NetAddress& address, int systemError) {
    return "cannot reach " + HostAndPort(address) + ": " + Reason(systemError) + ".";
}

std::string UnknownHostText(const NetAddress& address) {
    return "cannot reach " + HostAndPort(address) +
           ": unknown host. Check the host name, or enter the device's IP address instead.";
}

SerialOpenResult ConnectNetPort(const NetAddress& address) {
    const auto deadline = Clock::now() + kConnectTimeout;
    if (StopAsked())
        return Stopped();
    const Resolved resolved = Resolve(address, deadline);
    if (resolved.stopped)
        return Stopped();
    if (resolved.timedOut)
        return Unreachable(ETIMEDOUT, "cannot reach " + HostAndPort(address) +
                                          ": unknown host (the name server did not answer in "
                                          "time). Enter the device's IP address instead.");
    if (!resolved.list)
        return Unreachable(ENOENT, UnknownHostText(address));
    int lastError = ETIMEDOUT;
    for (const addrinfo* ai = resolved.list.get(); ai; ai = ai->ai_next) {
        const Attempt attempt = ConnectOne(*ai, deadline);
        if (attempt.fd >= 0)
            return SerialOpenResult{attempt.fd, SerialOpenError::None, 0, {}};
        if (attempt.error == ECANCELED)
            return Stopped();
        lastError = attempt.error;
        if (Clock::now() >= deadline)
            break;
    }
    return Unreachable(lastError, ConnectFailureText(address, lastError));
}

SerialOpenResult ConnectNetPort(const std::string& text) {
    if (const auto address = ParseNetAddress(text))
        return ConnectNetPort(*address);
    SerialOpenResult result;
    result.error = SerialOpenError::InvalidAddress;
    result.systemError = EINVAL;
    result.detail = "not a valid network address. Enter " + std::string(kNetAddressForms) +
                    ", with a port number from 1 to 65535.";
    return result;
}

ssize_t SendSome(int fd, const std::uint8_t* data, std::size_t length) {
    return ::send(fd, data, length, MSG_NOSIGNAL);
}

bool DiscardSocketInput(int fd) {
    std::uint8_t chunk[kDiscardChunk];
    for (;;) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0)
            continue;
        // Nothing left (EAGAIN), or end of file: the next read reports the hang-up.
        return n == 0 || errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

} // namespace zentra::platform

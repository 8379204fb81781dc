// Network ports: a TCP connection standing in for a serial device (see net_address.h
// for the two forms). Connecting, name resolution included, never takes longer than
// kConnectTimeout; the socket then reads and writes like a device under poll().
#pragma once

#include "platform/net_address.h"
#include "platform/serial_port.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace zentra::platform {

using namespace std::chrono_literals;

// The longest a connection attempt may hold the caller, name look-up included.
inline constexpr std::chrono::milliseconds kConnectTimeout{2000ms};
// Unacknowledged data older than this, or this much silence from a dead peer found by
// keep-alive probes, ends the connection: a powered-off gateway reads as a hang-up.
inline constexpr std::chrono::seconds kKeepAliveIdle{5s};
inline constexpr std::chrono::seconds kKeepAliveInterval{2s};
inline constexpr int kKeepAliveProbes = 3;
inline constexpr std::chrono::milliseconds kUnacknowledgedLimit{10000ms};

// How often a connection attempt looks at the stop request.
inline constexpr std::chrono::milliseconds kConnectStopSlice{50ms};

// While one exists, a connection attempt on any thread gives up within
// kConnectStopSlice once `stop` is set (a program's Ctrl+C or SIGTERM), failing as
// Stopped. The flag must outlive the object.
class ScopedConnectStop {
  public:
    explicit ScopedConnectStop(const std::atomic<bool>& stop);
    ~ScopedConnectStop();
    ScopedConnectStop(const ScopedConnectStop&) = delete;
    ScopedConnectStop& operator=(const ScopedConnectStop&) = delete;

  private:
    const std::atomic<bool>* previous_;
};

// Connects to the address: a non-blocking socket, no small-packet delay, keep-alive.
// On failure fd is -1, error Unreachable (or InvalidAddress) and detail a sentence
// such as "cannot reach 192.0.2.10:502: connection refused. Check ...".
SerialOpenResult ConnectNetPort(const NetAddress& address);

// The same for a text; a malformed address fails as InvalidAddress with the two forms.
SerialOpenResult ConnectNetPort(const std::string& text);

// "cannot reach HOST:PORT: <reason>. <what to do>" for a connect errno.
std::string ConnectFailureText(const NetAddress& address, int systemError);
// The same for a host name that did not resolve.
std::string UnknownHostText(const NetAddress& address);

// Writes without raising SIGPIPE when the peer has gone (EPIPE comes back instead).
ssize_t SendSome(int fd, const std::uint8_t* data, std::size_t length);

// Drops whatever input is waiting on a socket, as flushing a serial input queue does.
bool DiscardSocketInput(int fd);

} // namespace zentra::platform

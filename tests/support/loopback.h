// Loopback TCP ends for the network-port tests: a listener the test accepts on and
// plays the far end from byte by byte, a port nobody listens on, and a listener whose
// queue is full so that a connection attempt is never answered.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace zentra::test {

class LoopbackListener {
  public:
    // backlog 0 with one connection waiting leaves no room: further attempts time out.
    explicit LoopbackListener(int backlog = 4);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    bool ok() const { return listen_ >= 0; }
    std::uint16_t port() const { return port_; }
    // "tcp://127.0.0.1:PORT" or "modbus-tcp://127.0.0.1:PORT".
    std::string Address(const char* scheme) const;

    // Accepts the next connection (waiting up to `wait`); false when none came.
    bool Accept(std::chrono::milliseconds wait);
    // Fills the queue: a connection that is made but never accepted.
    bool FillQueue();
    // The far end of the accepted connection.
    void Send(const std::vector<std::uint8_t>& bytes);
    // What arrived, waiting up to `wait` for the first byte, then while bytes keep coming.
    std::vector<std::uint8_t> Received(std::chrono::milliseconds wait);
    // Closes the accepted connection: the port reads end of file.
    void CloseClient();

  private:
    int listen_ = -1;
    int client_ = -1;
    int queued_ = -1;
    std::uint16_t port_ = 0;
};

// A loopback port with nothing listening on it (connecting is refused).
std::uint16_t RefusingPort();

} // namespace zentra::test

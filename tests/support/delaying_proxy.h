// A slow gateway in front of a simulated one: a loopback TCP proxy that passes requests
// on at once and hands each piece of the answer back `delay` after it came, without
// holding back the requests that follow (a gateway whose meter link is slow, or a slow
// network). One client at a time; it stops by itself when destroyed.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace zentra::test {

class DelayingProxy {
  public:
    DelayingProxy(std::uint16_t upstreamPort, std::chrono::milliseconds delay);
    ~DelayingProxy();
    DelayingProxy(const DelayingProxy&) = delete;
    DelayingProxy& operator=(const DelayingProxy&) = delete;

    bool ok() const { return listen_ >= 0; }
    // "tcp://127.0.0.1:PORT" or "modbus-tcp://127.0.0.1:PORT".
    std::string Address(const char* scheme) const;

  private:
    void Run();
    void Serve(int client);

    std::uint16_t upstream_;
    std::chrono::milliseconds delay_;
    int listen_ = -1;
    std::uint16_t port_ = 0;
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

} // namespace zentra::test

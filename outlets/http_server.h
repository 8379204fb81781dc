// The read-only HTTP outlet on cpp-httplib: the status page, /metrics and
// /api/meters, served by a few threads of its own. Connections are bounded (a small
// pool that grows to a limit, then the listener itself serves, so the kernel's
// backlog holds the rest) and time-limited (keep-alive, read and write time-outs);
// requests are small (a request line or header beyond 8 KB, or a body beyond 1 KB,
// is refused). Nothing here touches the logging thread but the board's short locks.
#pragma once

#include "outlets/meter_board.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace zentra::outlets {

struct HttpAddress {
    std::string host = "127.0.0.1";
    int port = 0;
};

// "8080" (loopback), "127.0.0.1:8080", "0.0.0.0:8080", "[::1]:8080"; nullopt when
// it is none of these.
std::optional<HttpAddress> ParseHttpAddress(const std::string& text);

class HttpServer {
  public:
    HttpServer(const MeterBoard& board, const MqttCounters& mqtt);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and starts serving; false with Error() when the address cannot be had.
    bool Start(const HttpAddress& address);
    void Stop();
    int Port() const { return port_; } // the bound port (port 0 asks for a free one)
    const std::string& Error() const { return error_; }

  private:
    // What the handlers read; emptied when the server stops, as a worker left to a slow
    // client may still answer after the board has gone.
    struct Source {
        std::mutex mutex;
        const MeterBoard* board = nullptr;
        const MqttCounters* mqtt = nullptr;
    };
    std::shared_ptr<Source> source_ = std::make_shared<Source>();
    std::unique_ptr<httplib::Server> server_;
    std::shared_ptr<std::atomic<bool>> abandoned_ = std::make_shared<std::atomic<bool>>(false);
    std::thread thread_;
    int port_ = 0;
    std::string error_;
};

} // namespace zentra::outlets

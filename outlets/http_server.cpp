#include "outlets/http_server.h"

#include "outlets/http_routes.h"
#include "platform/clock.h"

#include <httplib.h>

#include <charconv>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

namespace zentra::outlets {
namespace {

constexpr std::size_t kWorkers = 4;     // threads kept for the connections
constexpr std::size_t kMaxWorkers = 16; // grown to while every worker is busy
constexpr std::size_t kMaxWaiting = 32; // connections accepted but not yet served
constexpr std::time_t kKeepAliveSeconds = 2;
constexpr std::size_t kKeepAliveRequests = 10;
constexpr std::time_t kReadTimeoutSeconds = 2;
constexpr std::time_t kWriteTimeoutSeconds = 2;
constexpr std::size_t kMaxBody = 1024; // no request needs one
constexpr std::chrono::seconds kShutdownWait{1};

// The connections' thread pool. httplib hands it one job per accepted connection;
// when every worker is busy (a slow client each) it grows up to kMaxWorkers, and when
// kMaxWaiting more wait it serves the job on the listener's own thread, which stops
// accepting meanwhile: the kernel's listen backlog then bounds what is left.
//
// A client can hold a worker for long (a request trickled a byte at a time keeps each
// read within its time-out), so the end of a run waits for the workers only briefly:
// those still busy are left to finish on their own, with the state they share kept
// alive, and the server is told to outlive them (`abandoned`).
class BoundedPool final : public httplib::TaskQueue {
  public:
    explicit BoundedPool(std::shared_ptr<std::atomic<bool>> abandoned)
        : state_(std::make_shared<State>()), abandoned_(std::move(abandoned)) {
        for (std::size_t i = 0; i < kWorkers; ++i)
            AddWorker();
    }
    ~BoundedPool() override { shutdown(); }

    void enqueue(std::function<void()> job) override {
        {
            std::unique_lock lock(state_->mutex);
            if (state_->jobs.size() >= kMaxWaiting) {
                lock.unlock();
                job(); // back-pressure: nothing more is accepted until it is served
                return;
            }
            state_->jobs.push_back(std::move(job));
            if (state_->busy + state_->jobs.size() > threads_.size() &&
                threads_.size() < kMaxWorkers)
                AddWorker();
        }
        state_->wake.notify_one();
    }

    void shutdown() override {
        std::unique_lock lock(state_->mutex);
        if (state_->stopping)
            return;
        state_->stopping = true;
        state_->wake.notify_all();
        const bool idle = state_->done.wait_for(lock, kShutdownWait,
                                                [this] { return state_->running == 0; });
        lock.unlock();
        for (std::thread& t : threads_) {
            if (idle)
                t.join();
            else
                t.detach();
        }
        threads_.clear();
        if (!idle)
            *abandoned_ = true;
    }

  private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake, done;
        std::deque<std::function<void()>> jobs;
        std::size_t busy = 0;
        std::size_t running = 0;
        bool stopping = false;
    };

    void AddWorker() { // under the state's mutex
        ++state_->running;
        threads_.emplace_back([state = state_] { Work(*state); });
    }

    static void Work(State& s) {
        std::unique_lock lock(s.mutex);
        while (true) {
            s.wake.wait(lock, [&s] { return s.stopping || !s.jobs.empty(); });
            if (s.jobs.empty())
                break; // stopping, nothing left
            std::function<void()> job = std::move(s.jobs.front());
            s.jobs.pop_front();
            ++s.busy;
            lock.unlock();
            job();
            lock.lock();
            --s.busy;
        }
        --s.running;
        s.done.notify_all();
    }

    std::shared_ptr<State> state_;
    std::shared_ptr<std::atomic<bool>> abandoned_;
    std::vector<std::thread> threads_;
};

void Answer(const HttpReply& reply, httplib::Response& res) {
    res.status = reply.status;
    if (reply.allowHeader)
        res.set_header("Allow", "GET, HEAD");
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_content(reply.body, reply.contentType.c_str());
}

} // namespace

std::optional<HttpAddress> ParseHttpAddress(const std::string& text) {
    HttpAddress address;
    std::string_view port = text;
    if (const auto colon = text.rfind(':'); colon != std::string::npos) {
        std::string host = text.substr(0, colon);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
            host = host.substr(1, host.size() - 2);
        else if (host.find(':') != std::string::npos)
            return std::nullopt; // an IPv6 address needs its brackets
        if (host.empty())
            return std::nullopt;
        address.host = host;
        port = std::string_view(text).substr(colon + 1);
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
        return std::nullopt;
    address.port = value;
    return address;
}

HttpServer::HttpServer(const MeterBoard& board, const MqttCounters& mqtt) {
    source_->board = &board;
    source_->mqtt = &mqtt;
}

HttpServer::~HttpServer() {
    Stop();
}

bool HttpServer::Start(const HttpAddress& address) {
    server_ = std::make_unique<httplib::Server>();
    httplib::Server& s = *server_;
    s.new_task_queue = [abandoned = abandoned_] { return new BoundedPool(abandoned); };
    s.set_keep_alive_timeout(kKeepAliveSeconds);
    s.set_keep_alive_max_count(kKeepAliveRequests);
    s.set_read_timeout(kReadTimeoutSeconds, 0);
    s.set_write_timeout(kWriteTimeoutSeconds, 0);
    s.set_payload_max_length(kMaxBody);
    if (address.host.find(':') != std::string::npos)
        s.set_address_family(AF_INET6);

    auto route = [source = source_](const httplib::Request& req, httplib::Response& res) {
        const std::lock_guard lock(source->mutex);
        if (!source->board) {
            res.status = 503;
            res.set_content("zentra-log is ending\n", "text/plain; charset=utf-8");
            return;
        }
        Answer(Route(req.method, req.path, *source->board, *source->mqtt, platform::Now()), res);
    };
    auto handler = [route](const httplib::Request& req, httplib::Response& res) { route(req, res); };
    s.Get(".*", handler);
    // Any other method is refused before a body is read (or asked for).
    s.set_pre_routing_handler([route](const httplib::Request& req, httplib::Response& res) {
        if (req.method == "GET" || req.method == "HEAD")
            return httplib::Server::HandlerResponse::Unhandled;
        route(req, res);
        return httplib::Server::HandlerResponse::Handled;
    });
    // What the library refuses itself (a malformed request, a request line or header
    // too long) is answered 400 with a plain text.
    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.status != 404 && res.status != 405 && res.status >= 400 && res.status < 500)
            res.status = 400;
        if (res.body.empty())
            res.set_content("Bad request\n", "text/plain; charset=utf-8");
    });

    if (address.port == 0) {
        port_ = s.bind_to_any_port(address.host);
        if (port_ <= 0) {
            error_ = "cannot listen on " + address.host + ": " + std::strerror(errno);
            return false;
        }
    } else {
        if (!s.bind_to_port(address.host, address.port)) {
            error_ = "cannot listen on " + address.host + ":" + std::to_string(address.port) +
                     " (" + std::strerror(errno) + "; is another program using that port?)";
            return false;
        }
        port_ = address.port;
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    return true;
}

void HttpServer::Stop() {
    {
        const std::lock_guard lock(source_->mutex);
        source_->board = nullptr;
        source_->mqtt = nullptr;
    }
    if (server_)
        server_->stop();
    if (thread_.joinable())
        thread_.join();
    if (*abandoned_)
        (void)server_.release(); // slow clients' workers still use it; the run is ending
    server_.reset();
}

} // namespace zentra::outlets

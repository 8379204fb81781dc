// The real services of the outlet tests, all on loopback: a mosquitto broker with a
// password file started on a free port (and killed and restarted at will), an MQTT
// subscriber that keeps every message, HTTP requests, and the external checkers
// (promtool, headless Chromium) run as programs.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct mosquitto;

namespace zentra::test {

// A loopback TCP port nobody listens on right now.
int FreePort();

// Runs a program to its end; its standard output, and its exit status (-1 when it
// did not end within `limit`, when it was killed).
struct ProgramResult {
    int status = -1;
    std::string output;
};
ProgramResult RunProgram(const std::vector<std::string>& args, std::chrono::seconds limit);

class Broker {
  public:
    static constexpr const char* kUser = "cabinet";
    static constexpr const char* kPassword = "s3cret word";

    explicit Broker(std::string folder); // config and password file in this folder
    ~Broker();
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    bool Start(); // (again) on the same port; true once it accepts connections
    void Kill();  // SIGKILL: the broker vanishes as a crashed or unplugged one does
    int port() const { return port_; }
    std::string Url(const std::string& prefix, const char* user = kUser) const;

  private:
    std::string folder_;
    int port_ = 0;
    pid_t pid_ = -1;
};

struct MqttMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

// Subscribes to every topic (with the broker's login) and keeps what arrives.
class Subscriber {
  public:
    explicit Subscriber(int port);
    ~Subscriber();
    Subscriber(const Subscriber&) = delete;
    Subscriber& operator=(const Subscriber&) = delete;

    bool connected() const { return mosq_ != nullptr; }
    std::vector<MqttMessage> Messages() const;
    // The last message on `topic`, waiting up to `limit` for one that `accept` takes.
    std::optional<MqttMessage> WaitFor(const std::string& topic, std::chrono::milliseconds limit,
                                       const std::function<bool(const MqttMessage&)>& accept = {});
    std::size_t CountOn(const std::string& topic) const;
    void Add(MqttMessage message); // from libmosquitto's thread

  private:
    ::mosquitto* mosq_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<MqttMessage> messages_;
};

struct HttpResult {
    int status = 0; // 0: no answer
    std::string body;
    std::string contentType;
};
HttpResult HttpGet(int port, const std::string& path, const std::string& method = "GET");

// Polls `done` every 20 ms for up to `limit`.
bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit);

} // namespace zentra::test

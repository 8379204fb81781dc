// The MQTT outlet: one connection to the broker through libmosquitto, driven by a
// thread of its own. The logging thread only puts what it has into a bounded queue
// (the oldest state message is dropped, and counted, when it is full) and returns.
// The thread connects, reconnects after a loss with a back-off of 1, 2, 4 ... up to
// 30 s, publishes the retained messages (availability, Home Assistant discovery)
// again on every connection, and then the state messages in their order. The last
// will says "offline"; so does a clean end.
#pragma once

#include "outlets/meter_board.h"
#include "outlets/mqtt_url.h"
#include "outlets/outlet_json.h"
#include "acquisition/live_feed.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace zentra::outlets {

inline constexpr std::size_t kMqttQueueMessages = 4096;
inline constexpr std::chrono::seconds kMqttLongestBackoff{30};

struct MqttSettings {
    MqttUrl url;
    std::string password;
    std::optional<std::string> caFile; // mqtts: the broker's CA (else the system's)
    bool discovery = true;
    // The one meter of a single-meter run: the will goes to its availability topic.
    // Without it the will goes to PREFIX/availability, which every config lists too.
    std::optional<std::string> onlyMeter;
    std::size_t queueMessages = kMqttQueueMessages;
    std::chrono::milliseconds firstBackoff{1000};
};

// Says something worth a line on the logger's error output (from the MQTT thread).
using Reporter = std::function<void(const std::string&)>;

class MqttPublisher {
  public:
    MqttPublisher(MqttSettings settings, MqttCounters& counters, Reporter report);
    ~MqttPublisher(); // says "offline" when connected, then disconnects
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Starts the thread; false when libmosquitto refuses the settings (Error()).
    bool Start();
    const std::string& Error() const { return error_; }

    // From the logging thread; none of these waits on the broker.
    void Meter(const logger::MeterDescription& meter);
    void State(const std::string& meter, std::int64_t time,
               std::span<const logger::LiveValue> values);
    void Availability(const std::string& meter, bool answering);
    // Retained messages waiting for the next connection: one per topic at most, however
    // often a meter comes and goes while the broker is away.
    std::size_t RetainedWaiting();

    // Callbacks of libmosquitto (public for its C callbacks; the MQTT thread only).
    void OnConnect(int rc);
    void OnDisconnect(int rc);
    void OnPublish(int mid);
    void OnMessage(const mosquitto_message& message);

  private:
    struct StateEvent {
        std::string meter;
        std::int64_t time = 0;
        std::vector<logger::LiveValue> values;
    };
    void Run();
    bool Connect(); // starts a connection; false when it cannot begin
    void Lost(const std::string& why);
    void PublishPending(); // retained first, then the queued states
    bool Publish(const std::string& topic, const std::string& payload, bool retained);
    void WaitBackoff();
    void SayOffline();

    MqttSettings settings_;
    MqttCounters& counters_;
    Reporter report_;
    MqttTopics topics_;
    std::string willTopic_;
    std::string error_;
    ::mosquitto* mosq_ = nullptr;
    std::thread thread_;

    // Shared with the logging thread.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::deque<StateEvent> queue_;
    std::map<std::string, std::string> retained_; // topic -> payload, all of them
    std::set<std::string> retainedDirty_;         // topics not yet sent on this connection

    // The MQTT thread's own.
    bool socketOpen_ = false;
    bool connected_ = false;       // CONNACK accepted
    bool refusalReported_ = false; // a refused login is said once
    bool outageReported_ = false;  // so is an unreachable broker
    bool everConnected_ = false;
    std::chrono::steady_clock::time_point connectStarted_;
    std::chrono::milliseconds backoff_;
    std::vector<int> unsentStates_;     // message ids handed over but not yet written out
    bool inPublish_ = false;            // within mosquitto_publish
    std::vector<int> writtenInPublish_; // ids whose callback came within it
};

} // namespace zentra::outlets

#include "outlets/mqtt_publisher.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace zentra::outlets {
namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kLoopTimeoutMs = 100;          // how soon a queued state goes out
constexpr std::size_t kMaxUnsentStates = 64; // handed to libmosquitto, not yet written
constexpr std::chrono::seconds kConnackWait{10};
constexpr std::chrono::seconds kGoodbyeWait{2};
constexpr int kQosRetained = 1; // availability and configs: must arrive
constexpr int kQosState = 0;    // a state is superseded a second later
constexpr const char* kHomeAssistantStatus = "homeassistant/status";

void OnConnectC(mosquitto*, void* self, int rc) {
    static_cast<MqttPublisher*>(self)->OnConnect(rc);
}
void OnDisconnectC(mosquitto*, void* self, int rc) {
    static_cast<MqttPublisher*>(self)->OnDisconnect(rc);
}
void OnPublishC(mosquitto*, void* self, int mid) {
    static_cast<MqttPublisher*>(self)->OnPublish(mid);
}
void OnMessageC(mosquitto*, void* self, const mosquitto_message* message) {
    if (message)
        static_cast<MqttPublisher*>(self)->OnMessage(*message);
}

std::string ClientId() {
    char host[64] = "zentra";
    gethostname(host, sizeof host - 1);
    host[sizeof host - 1] = '\0';
    return "zentra-log-" + std::string(host) + "-" + std::to_string(getpid());
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

MqttPublisher::MqttPublisher(MqttSettings settings, MqttCounters& counters, Reporter report)
    : settings_(std::move(settings)), counters_(counters), report_(std::move(report)),
      backoff_(settings_.firstBackoff) {
    topics_.prefix = settings_.url.prefix;
    if (settings_.onlyMeter) {
        willTopic_ = AvailabilityTopic(topics_, *settings_.onlyMeter);
    } else {
        topics_.runAvailability = topics_.prefix + "/availability";
        willTopic_ = *topics_.runAvailability;
    }
    counters_.enabled = true;
}

MqttPublisher::~MqttPublisher() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    if (mosq_)
        mosquitto_destroy(mosq_);
}

bool MqttPublisher::Start() {
    static std::once_flag init;
    std::call_once(init, [] { mosquitto_lib_init(); });
    const std::string id = ClientId();
    mosq_ = mosquitto_new(id.c_str(), true, this);
    if (!mosq_) {
        error_ = "cannot set up the MQTT client: " + std::string(std::strerror(errno));
        return false;
    }
    mosquitto_connect_callback_set(mosq_, OnConnectC);
    mosquitto_disconnect_callback_set(mosq_, OnDisconnectC);
    mosquitto_publish_callback_set(mosq_, OnPublishC);
    mosquitto_message_callback_set(mosq_, OnMessageC);
    const MqttUrl& url = settings_.url;
    int rc = MOSQ_ERR_SUCCESS;
    if (!url.user.empty())
        rc = mosquitto_username_pw_set(mosq_, url.user.c_str(),
                                       settings_.password.empty() ? nullptr
                                                                  : settings_.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_will_set(mosq_, willTopic_.c_str(), 7, "offline", kQosRetained, true);
    if (rc == MOSQ_ERR_SUCCESS && url.tls)
        rc = mosquitto_tls_set(mosq_, settings_.caFile ? settings_.caFile->c_str() : nullptr,
                               settings_.caFile ? nullptr : "/etc/ssl/certs", nullptr, nullptr,
                               nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        error_ = "MQTT settings refused: " + std::string(mosquitto_strerror(rc));
        return false;
    }
    if (topics_.runAvailability) {
        const std::lock_guard lock(mutex_);
        retained_[*topics_.runAvailability] = "online";
        retainedDirty_.insert(*topics_.runAvailability);
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

void MqttPublisher::Meter(const logger::MeterDescription& meter) {
    if (!settings_.discovery)
        return;
    auto configs = DiscoveryConfigs(topics_, meter, OfferedReadings(meter.systemType));
    {
        const std::lock_guard lock(mutex_);
        for (RetainedMessage& m : configs) {
            retainedDirty_.insert(m.topic);
            retained_[std::move(m.topic)] = std::move(m.payload);
        }
    }
    wake_.notify_one();
}

void MqttPublisher::State(const std::string& meter, std::int64_t time,
                          std::span<const logger::LiveValue> values) {
    {
        const std::lock_guard lock(mutex_);
        if (queue_.size() >= settings_.queueMessages) {
            queue_.pop_front();
            ++counters_.dropped;
        }
        queue_.push_back({meter, time, {values.begin(), values.end()}});
    }
    wake_.notify_one();
}

void MqttPublisher::Availability(const std::string& meter, bool answering) {
    const std::string topic = AvailabilityTopic(topics_, meter);
    {
        const std::lock_guard lock(mutex_);
        retained_[topic] = answering ? "online" : "offline";
        retainedDirty_.insert(topic);
    }
    wake_.notify_one();
}

std::size_t MqttPublisher::RetainedWaiting() {
    const std::lock_guard lock(mutex_);
    return retainedDirty_.size();
}

void MqttPublisher::Run() {
    while (true) {
        {
            const std::lock_guard lock(mutex_);
            if (stopping_)
                break;
        }
        if (!socketOpen_ && !Connect()) {
            WaitBackoff();
            continue;
        }
        if (connected_)
            PublishPending();
        const int rc = mosquitto_loop(mosq_, kLoopTimeoutMs, 1);
        if (rc != MOSQ_ERR_SUCCESS) {
            Lost(rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc));
            WaitBackoff();
        } else if (!connected_ &&
                   std::chrono::steady_clock::now() - connectStarted_ > kConnackWait) {
            mosquitto_disconnect(mosq_);
            Lost("no answer to the connection request");
            WaitBackoff();
        }
    }
    SayOffline();
}

bool MqttPublisher::Connect() {
    connectStarted_ = std::chrono::steady_clock::now();
    const int rc = mosquitto_connect_async(mosq_, settings_.url.host.c_str(), settings_.url.port,
                                           kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        Lost(rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc));
        return false;
    }
    socketOpen_ = true;
    return true;
}

void MqttPublisher::Lost(const std::string& why) {
    const bool wasConnected = connected_;
    socketOpen_ = false;
    connected_ = false;
    counters_.connected = false;
    // States handed over but not written out are gone with the connection.
    counters_.dropped += unsentStates_.size();
    unsentStates_.clear();
    if (refusalReported_ && !wasConnected)
        return; // the refusal was said; this is its closed connection
    if (!outageReported_) {
        report_("MQTT broker " + settings_.url.host + ":" + std::to_string(settings_.url.port) +
                (wasConnected ? " lost (" : " cannot be reached (") + why +
                "); logging goes on, and publishing resumes when the broker answers (tried "
                "again within 30 s)");
        outageReported_ = true;
    }
}

void MqttPublisher::WaitBackoff() {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, backoff_, [this] { return stopping_; });
    backoff_ = std::min<std::chrono::milliseconds>(backoff_ * 2, kMqttLongestBackoff);
}

void MqttPublisher::OnConnect(int rc) {
    const std::string broker = settings_.url.host + ":" + std::to_string(settings_.url.port);
    if (rc != 0) {
        connected_ = false;
        if (!refusalReported_)
            report_("MQTT broker " + broker +
                    " refused the connection: " + mosquitto_connack_string(rc) +
                    " (check the user in --mqtt and the password in --mqtt-password-file or "
                    "ZENTRA_MQTT_PASSWORD); trying again every 30 s at most");
        refusalReported_ = true;
        return;
    }
    if (refusalReported_ || outageReported_ || !everConnected_)
        report_(std::string("MQTT: ") +
                (everConnected_ ? "publishing again to " : "publishing to ") + broker + " under " +
                topics_.prefix + "/");
    connected_ = true;
    everConnected_ = true;
    refusalReported_ = false;
    outageReported_ = false;
    counters_.connected = true;
    backoff_ = settings_.firstBackoff;
    {
        const std::lock_guard lock(mutex_);
        retainedDirty_.clear();
        for (const auto& [topic, payload] : retained_)
            retainedDirty_.insert(topic);
    }
    if (settings_.discovery)
        mosquitto_subscribe(mosq_, nullptr, kHomeAssistantStatus, 0);
}

void MqttPublisher::OnDisconnect(int) {
    // Lost() (after the loop's error) clears connected_: it says how the link ended.
    counters_.connected = false;
}

void MqttPublisher::OnPublish(int mid) {
    ++counters_.published;
    const auto it = std::find(unsentStates_.begin(), unsentStates_.end(), mid);
    if (it != unsentStates_.end())
        unsentStates_.erase(it);
    else if (inPublish_)
        writtenInPublish_.push_back(mid);
}

void MqttPublisher::OnMessage(const mosquitto_message& message) {
    // Home Assistant says "online" when it starts: it wants the configs again.
    if (!message.topic || std::strcmp(message.topic, kHomeAssistantStatus) != 0)
        return;
    const std::string payload(static_cast<const char*>(message.payload),
                              static_cast<std::size_t>(std::max(message.payloadlen, 0)));
    if (payload != "online")
        return;
    const std::lock_guard lock(mutex_);
    for (const auto& [topic, text] : retained_)
        retainedDirty_.insert(topic);
}

bool MqttPublisher::Publish(const std::string& topic, const std::string& payload, bool retained) {
    int mid = 0;
    // A QoS 0 message the socket takes at once is written, and its callback run,
    // before mosquitto_publish returns: such a message is not waiting any more.
    inPublish_ = true;
    writtenInPublish_.clear();
    const int rc = mosquitto_publish(mosq_, &mid, topic.c_str(), static_cast<int>(payload.size()),
                                     payload.data(), retained ? kQosRetained : kQosState, retained);
    inPublish_ = false;
    if (rc != MOSQ_ERR_SUCCESS)
        return false;
    if (!retained && std::find(writtenInPublish_.begin(), writtenInPublish_.end(), mid) ==
                         writtenInPublish_.end())
        unsentStates_.push_back(mid);
    return true;
}

void MqttPublisher::PublishPending() {
    std::vector<RetainedMessage> retained;
    {
        const std::lock_guard lock(mutex_);
        for (const std::string& topic : retainedDirty_)
            retained.push_back({topic, retained_[topic]});
        retainedDirty_.clear();
    }
    for (const RetainedMessage& m : retained)
        if (!Publish(m.topic, m.payload, true)) {
            const std::lock_guard lock(mutex_);
            retainedDirty_.insert(m.topic); // sent on the next connection
        }
    while (unsentStates_.size() < kMaxUnsentStates) {
        StateEvent event;
        {
            const std::lock_guard lock(mutex_);
            if (queue_.empty())
                return;
            event = std::move(queue_.front());
            queue_.pop_front();
        }
        if (!Publish(StateTopic(topics_, event.meter), StateJson(event.time, event.values), false))
            ++counters_.dropped;
    }
}

void MqttPublisher::SayOffline() {
    if (!connected_) {
        if (socketOpen_)
            mosquitto_disconnect(mosq_);
        return;
    }
    // What the run has logged up to its end goes out first, its last sample too.
    PublishPending();
    std::vector<std::string> topics;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& [topic, payload] : retained_)
            if (EndsWith(topic, "/availability"))
                topics.push_back(topic);
    }
    std::uint64_t expected = counters_.published.load();
    for (const std::string& topic : topics)
        if (Publish(topic, "offline", true))
            ++expected;
    // Every message handed over (the states still being written too) is seen out,
    // for a short while at most.
    expected += unsentStates_.size();
    const auto until = std::chrono::steady_clock::now() + kGoodbyeWait;
    while (counters_.published.load() < expected && std::chrono::steady_clock::now() < until &&
           mosquitto_loop(mosq_, kLoopTimeoutMs, 1) == MOSQ_ERR_SUCCESS) {
    }
    mosquitto_disconnect(mosq_);
    mosquitto_loop(mosq_, kLoopTimeoutMs, 1);
}

} // namespace zentra::outlets

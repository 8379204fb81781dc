// The live outlets of a logging run, behind the run's LiveFeed: the MQTT publisher
// and the HTTP server, each with threads of its own. The feed's calls copy what they
// need into the board or the publisher's queue and return.
#pragma once

#include "outlets/http_server.h"
#include "outlets/meter_board.h"
#include "outlets/mqtt_publisher.h"
#include "acquisition/live_feed.h"

#include <memory>
#include <optional>
#include <string>

namespace zentra::outlets {

enum class MqttEvery { kSecond, kSample };

struct OutletSettings {
    std::optional<MqttSettings> mqtt;
    MqttEvery every = MqttEvery::kSecond;
    std::optional<HttpAddress> http;
};

// The password of --mqtt-password-file (its first line), else of ZENTRA_MQTT_PASSWORD,
// else empty; nullopt with `error` when the file cannot be read.
std::optional<std::string> MqttPassword(const std::optional<std::string>& file, std::string& error);

class Outlets final : public logger::LiveFeed {
  public:
    Outlets(OutletSettings settings, Reporter report);
    ~Outlets() override;

    // Starts the publisher and binds the server; false with Error() when either fails.
    bool Start();
    const std::string& Error() const { return error_; }
    int HttpPort() const { return http_ ? http_->Port() : 0; }
    const MqttCounters& Counters() const { return counters_; }

    void MeterIdentified(const logger::MeterDescription& meter) override;
    void Readings(const std::string& meter, std::int64_t time,
                  std::span<const logger::LiveValue> values) override;
    void SampleLogged(const std::string& meter, std::int64_t time,
                      std::span<const logger::LiveValue> values, int logged, int planned,
                      const std::string& file) override;
    void ProjectSaved(const std::string& meter, const std::string& file) override;
    void Request(const std::string& meter, logger::RequestResult result,
                 std::chrono::microseconds replyTime) override;
    void Availability(const std::string& meter, bool answering) override;

  private:
    OutletSettings settings_;
    Reporter report_;
    MeterBoard board_;
    MqttCounters counters_;
    std::unique_ptr<MqttPublisher> mqtt_;
    std::unique_ptr<HttpServer> http_;
    std::string error_;
};

} // namespace zentra::outlets

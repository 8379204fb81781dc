#include "outlets/outlets.h"

#include <cstdlib>
#include <fstream>

namespace zentra::outlets {

std::optional<std::string> MqttPassword(const std::optional<std::string>& file, std::string& error) {
    if (file) {
        std::ifstream in(*file);
        std::string line;
        if (!in || (!std::getline(in, line) && !in.eof())) {
            error = "cannot read the MQTT password from " + *file;
            return std::nullopt;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    }
    if (const char* fromEnvironment = std::getenv("ZENTRA_MQTT_PASSWORD"))
        return std::string(fromEnvironment);
    return std::string();
}

Outlets::Outlets(OutletSettings settings, Reporter report)
    : settings_(std::move(settings)), report_(std::move(report)) {}

Outlets::~Outlets() {
    // The server goes first: it reads the board and the counters.
    http_.reset();
    mqtt_.reset();
}

bool Outlets::Start() {
    if (settings_.http) {
        http_ = std::make_unique<HttpServer>(board_, counters_);
        if (!http_->Start(*settings_.http)) {
            error_ = "--http: " + http_->Error();
            return false;
        }
    }
    if (settings_.mqtt) {
        mqtt_ = std::make_unique<MqttPublisher>(*settings_.mqtt, counters_, report_);
        if (!mqtt_->Start()) {
            error_ = "--mqtt: " + mqtt_->Error();
            return false;
        }
    }
    return true;
}

void Outlets::MeterIdentified(const logger::MeterDescription& meter) {
    board_.Identified(meter);
    if (mqtt_)
        mqtt_->Meter(meter);
}

void Outlets::Readings(const std::string& meter, std::int64_t time,
                       std::span<const logger::LiveValue> values) {
    board_.Readings(meter, time, values);
    if (mqtt_ && settings_.every == MqttEvery::kSecond)
        mqtt_->State(meter, time, values);
}

void Outlets::SampleLogged(const std::string& meter, std::int64_t time,
                           std::span<const logger::LiveValue> values, int logged, int planned,
                           const std::string& file) {
    board_.SampleLogged(meter, logged, planned, file);
    if (mqtt_ && settings_.every == MqttEvery::kSample)
        mqtt_->State(meter, time, values);
}

void Outlets::ProjectSaved(const std::string& meter, const std::string& file) {
    board_.ProjectSaved(meter, file);
}

void Outlets::Request(const std::string& meter, logger::RequestResult result,
                      std::chrono::microseconds replyTime) {
    board_.Request(meter, result, replyTime);
}

void Outlets::Availability(const std::string& meter, bool answering) {
    board_.Availability(meter, answering);
    if (mqtt_)
        mqtt_->Availability(meter, answering);
}

} // namespace zentra::outlets

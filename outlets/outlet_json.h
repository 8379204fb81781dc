// The JSON the outlets send: a meter's state message, its Home Assistant discovery
// configs, and the HTTP API's list of meters. Built with nlohmann-json; a reading that
// is not a number is null.
#pragma once

#include "outlets/meter_board.h"
#include "acquisition/live_feed.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zentra::outlets {

// ISO 8601 local time with its offset: "2026-03-02T10:00:00+00:00".
std::string IsoTime(std::int64_t time);

// A topic level from a meter name: the characters MQTT reserves ('/', '+', '#') and
// control characters become '_'; an empty name becomes "meter".
std::string TopicLevel(const std::string& name);

// {"time": "...", "kw_sum": 12.5, ...}: every reading with a key, in list order.
std::string StateJson(std::int64_t time, std::span<const logger::LiveValue> values);

struct RetainedMessage {
    std::string topic;
    std::string payload;
};

struct MqttTopics {
    std::string prefix;                       // "plant/cabinet1"
    std::optional<std::string> runAvailability; // the logger's own, when it carries the will
};

// PREFIX/NAME/state and PREFIX/NAME/availability.
std::string StateTopic(const MqttTopics& topics, const std::string& meter);
std::string AvailabilityTopic(const MqttTopics& topics, const std::string& meter);

// The stable device identifier of a meter: from its model and serial number, else
// from its link and node.
std::string DeviceId(const logger::MeterDescription& meter);

// One retained config message per reading of `readings` (the meter's list), under
// homeassistant/sensor/<unique id>/config.
std::vector<RetainedMessage> DiscoveryConfigs(const MqttTopics& topics,
                                              const logger::MeterDescription& meter,
                                              std::span<const std::int32_t> readings);

// The reading indices of the list a meter of this variant offers.
std::span<const std::int32_t> OfferedReadings(int systemType);

// The /api/meters document.
std::string MetersJson(const std::vector<MeterSnapshot>& meters, const MqttCounters& mqtt,
                       std::int64_t now);

} // namespace zentra::outlets

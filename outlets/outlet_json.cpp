#include "outlets/outlet_json.h"

#include "outlets/reading_keys.h"
#include "records/readings_catalogue.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace zentra::outlets {
namespace {

using nlohmann::json;

constexpr const char* kDiscoveryPrefix = "homeassistant";

// Names and paths come from the command line and the file system: a byte that is
// not UTF-8 is replaced rather than failing the whole message.
std::string Dump(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

json Number(double value) {
    return std::isfinite(value) ? json(value) : json(nullptr);
}

// Lower-case letters, digits and '_' only, as object ids want them.
std::string IdText(const std::string& text) {
    std::string id;
    for (const unsigned char c : text) {
        if (std::isalnum(c))
            id += static_cast<char>(std::tolower(c));
        else if (id.empty() || id.back() != '_')
            id += '_';
    }
    while (!id.empty() && id.back() == '_')
        id.pop_back();
    return id.empty() ? "meter" : id;
}

const char* LinkStateText(LinkState state) {
    switch (state) {
    case LinkState::kAnswering:
        return "answering";
    case LinkState::kSilent:
        return "silent";
    case LinkState::kStarting:
        break;
    }
    return "starting";
}

} // namespace

std::string IsoTime(std::int64_t time) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm local{};
    localtime_r(&t, &local);
    char text[64]; // room for any year the calendar can hold
    const long offset = local.tm_gmtoff / 60; // minutes east of UTC
    const long magnitude = offset < 0 ? -offset : offset;
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

std::string TopicLevel(const std::string& name) {
    std::string level = name;
    for (char& c : level)
        if (c == '/' || c == '+' || c == '#' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    return level.empty() ? "meter" : level;
}

std::string StateJson(std::int64_t time, std::span<const logger::LiveValue> values) {
    json state = json::object();
    state["time"] = IsoTime(time);
    for (const logger::LiveValue& v : values) {
        const ReadingKey key = KeyOf(v.reading);
        if (!key.key.empty())
            state[std::string(key.key)] = Number(v.value);
    }
    return Dump(state);
}

std::string StateTopic(const MqttTopics& topics, const std::string& meter) {
    return topics.prefix + "/" + TopicLevel(meter) + "/state";
}

std::string AvailabilityTopic(const MqttTopics& topics, const std::string& meter) {
    return topics.prefix + "/" + TopicLevel(meter) + "/availability";
}

std::string DeviceId(const logger::MeterDescription& meter) {
    if (!meter.serial.empty())
        return "zentra_" + IdText(meter.model) + "_" + IdText(meter.serial);
    return "zentra_" + IdText(meter.link) + "_node" + std::to_string(meter.node);
}

std::span<const std::int32_t> OfferedReadings(int systemType) {
    return ColumnsFor(systemType);
}

std::vector<RetainedMessage> DiscoveryConfigs(const MqttTopics& topics,
                                              const logger::MeterDescription& meter,
                                              std::span<const std::int32_t> readings) {
    const std::string deviceId = DeviceId(meter);
    json device = {{"identifiers", json::array({deviceId})},
                   {"name", meter.meter},
                   {"model", meter.model},
                   {"sw_version", meter.version}};
    if (!meter.serial.empty())
        device["serial_number"] = meter.serial;
    json availability = json::array({{{"topic", AvailabilityTopic(topics, meter.meter)}}});
    if (topics.runAvailability)
        availability.push_back({{"topic", *topics.runAvailability}});

    std::vector<RetainedMessage> configs;
    for (const std::int32_t reading : readings) {
        const ReadingKey key = KeyOf(reading);
        if (key.key.empty())
            continue;
        const std::string uniqueId = deviceId + "_" + std::string(key.key);
        json config = {
            {"name", std::string(ReadingLabel(reading))},
            {"unique_id", uniqueId},
            {"object_id", IdText(meter.meter) + "_" + std::string(key.key)},
            {"state_topic", StateTopic(topics, meter.meter)},
            {"value_template", "{{ value_json." + std::string(key.key) + " }}"},
            {"state_class", key.counter ? "total_increasing" : "measurement"},
            {"availability", availability},
            {"availability_mode", "all"},
            {"device", device},
        };
        if (!key.deviceClass.empty())
            config["device_class"] = std::string(key.deviceClass);
        if (!key.unit.empty())
            config["unit_of_measurement"] = std::string(key.unit);
        configs.push_back(
            {std::string(kDiscoveryPrefix) + "/sensor/" + uniqueId + "/config", Dump(config)});
    }
    return configs;
}

std::string MetersJson(const std::vector<MeterSnapshot>& meters, const MqttCounters& mqtt,
                       std::int64_t now) {
    static constexpr const char* kResults[kRequestResults] = {"ok", "no_reply", "bad_crc",
                                                              "exception", "wrong_node"};
    json list = json::array();
    for (const MeterSnapshot& m : meters) {
        const logger::MeterDescription& d = m.description;
        json readings = json::array();
        for (const logger::LiveValue& v : m.readings) {
            const ReadingKey key = KeyOf(v.reading);
            if (key.key.empty())
                continue;
            readings.push_back({{"key", std::string(key.key)},
                                {"label", std::string(ReadingLabel(v.reading))},
                                {"unit", std::string(key.unit)},
                                {"value", Number(v.value)}});
        }
        json requests = json::object();
        for (int r = 0; r < kRequestResults; ++r)
            requests[kResults[r]] = m.requests[static_cast<std::size_t>(r)];
        list.push_back({
            {"name", d.meter},
            {"identified", m.identified},
            {"node", d.node},
            {"link", d.link},
            {"model", d.model},
            {"version", d.version},
            {"serial", d.serial},
            {"device_id", DeviceId(d)},
            {"link_state", LinkStateText(m.link)},
            {"time", m.readingsTime != 0 ? json(IsoTime(m.readingsTime)) : json(nullptr)},
            {"readings", readings},
            {"survey",
             {{"file", m.file},
              {"samples_logged", m.logged},
              {"samples_planned", m.planned},
              {"samples_logged_in_run", m.samplesLogged},
              {"projects_saved", m.projectsSaved}}},
            {"requests", requests},
        });
    }
    json doc = {{"time", IsoTime(now)}, {"meters", list}};
    if (mqtt.enabled.load())
        doc["mqtt"] = {{"connected", mqtt.connected.load()},
                       {"published", mqtt.published.load()},
                       {"dropped", mqtt.dropped.load()}};
    return Dump(doc);
}

} // namespace zentra::outlets

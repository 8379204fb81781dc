#include "outlets/metrics_text.h"

#include "outlets/reading_keys.h"

#include <cmath>
#include <cstdio>

namespace zentra::outlets {
namespace {

// A label value: backslash, double quote and line feed escaped; other control
// characters (never in a real name) dropped.
std::string LabelValue(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (static_cast<unsigned char>(c) >= 0x20) {
            out += c;
        }
    }
    return out;
}

void Value(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NaN";
    } else if (std::isinf(value)) {
        out += value > 0 ? "+Inf" : "-Inf";
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "%.10g", value);
        out += text;
    }
}

void Head(std::string& out, const char* name, const char* type, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

// name{meter="...",extra} value
void Sample(std::string& out, const char* name, const std::string& meter,
            const std::string& extra, double value) {
    out += name;
    out += "{meter=\"";
    out += LabelValue(meter);
    out += '"';
    if (!extra.empty()) {
        out += ',';
        out += extra;
    }
    out += "} ";
    Value(out, value);
    out += '\n';
}

} // namespace

std::string MetricsText(const std::vector<MeterSnapshot>& meters, const MqttCounters& mqtt) {
    static constexpr const char* kResults[kRequestResults] = {"ok", "no_reply", "bad_crc",
                                                              "exception", "wrong_node"};
    std::string out;
    out.reserve(4096 + meters.size() * 4096);

    Head(out, "zentra_reading", "gauge",
         "Last reading of each meter, in the unit its reading label carries.");
    for (const MeterSnapshot& m : meters)
        for (const logger::LiveValue& v : m.readings) {
            const ReadingKey key = KeyOf(v.reading);
            if (!key.key.empty())
                Sample(out, "zentra_reading", m.description.meter,
                       "reading=\"" + std::string(key.key) + "\"", v.value);
        }
    Head(out, "zentra_reading_time_seconds", "gauge",
         "When the last readings arrived, seconds since 1970.");
    for (const MeterSnapshot& m : meters)
        if (m.readingsTime != 0)
            Sample(out, "zentra_reading_time_seconds", m.description.meter, "",
                   static_cast<double>(m.readingsTime));
    Head(out, "zentra_meter_up", "gauge", "1 while the meter answers, else 0.");
    for (const MeterSnapshot& m : meters)
        Sample(out, "zentra_meter_up", m.description.meter, "",
               m.link == LinkState::kAnswering ? 1.0 : 0.0);
    Head(out, "zentra_requests_total", "counter", "Requests to the meter by how they ended.");
    for (const MeterSnapshot& m : meters)
        for (int r = 0; r < kRequestResults; ++r)
            Sample(out, "zentra_requests_total", m.description.meter,
                   std::string("result=\"") + kResults[r] + "\"",
                   static_cast<double>(m.requests[static_cast<std::size_t>(r)]));
    Head(out, "zentra_reply_seconds", "histogram", "Time taken to read the meter's replies.");
    for (const MeterSnapshot& m : meters) {
        std::uint64_t cumulative = 0;
        for (std::size_t b = 0; b < kReplyBuckets.size(); ++b) {
            cumulative += m.replyBuckets[b];
            char le[48];
            std::snprintf(le, sizeof le, "le=\"%g\"", kReplyBuckets[b]);
            Sample(out, "zentra_reply_seconds_bucket", m.description.meter, le,
                   static_cast<double>(cumulative));
        }
        Sample(out, "zentra_reply_seconds_bucket", m.description.meter, "le=\"+Inf\"",
               static_cast<double>(m.replyCount));
        Sample(out, "zentra_reply_seconds_sum", m.description.meter, "", m.replySeconds);
        Sample(out, "zentra_reply_seconds_count", m.description.meter, "",
               static_cast<double>(m.replyCount));
    }
    Head(out, "zentra_samples_logged_total", "counter", "Samples logged in this run.");
    for (const MeterSnapshot& m : meters)
        Sample(out, "zentra_samples_logged_total", m.description.meter, "",
               static_cast<double>(m.samplesLogged));
    Head(out, "zentra_samples_planned", "gauge", "Planned samples of the project being logged.");
    for (const MeterSnapshot& m : meters)
        Sample(out, "zentra_samples_planned", m.description.meter, "",
               static_cast<double>(m.planned));
    Head(out, "zentra_projects_saved_total", "counter", "Project files saved in this run.");
    for (const MeterSnapshot& m : meters)
        Sample(out, "zentra_projects_saved_total", m.description.meter, "",
               static_cast<double>(m.projectsSaved));

    Head(out, "zentra_mqtt_messages_published_total", "counter",
         "MQTT messages handed to the broker.");
    out += "zentra_mqtt_messages_published_total ";
    Value(out, static_cast<double>(mqtt.published.load()));
    out += '\n';
    Head(out, "zentra_mqtt_messages_dropped_total", "counter",
         "MQTT messages dropped: the queue was full while the broker was away, or a connection "
         "was lost with them.");
    out += "zentra_mqtt_messages_dropped_total ";
    Value(out, static_cast<double>(mqtt.dropped.load()));
    out += '\n';
    return out;
}

} // namespace zentra::outlets

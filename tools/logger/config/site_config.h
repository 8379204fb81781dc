// The configuration file of a survey (zentra-log --config site.toml): its links, each
// with its line settings and its meters, and the run's period, samples, roll, end,
// folder and CSV, read into the plan the survey runs. Everything is checked here,
// before any port opens: a key that is not one of these, a value of the wrong type or
// out of range, a meter name or a node given twice is refused with the file, the line
// and what is wrong.
//
//   period = "1s"                 # or whole seconds: 1
//   samples = 3600                # per project; with roll = true, 7200 if left out
//   roll = true
//   for = "7d"                    # or until = "2026-03-09 10:00" (local time)
//   give-up = "10m"
//   out-dir = "/var/lib/zentra/cabinet-3"
//   csv = true
//
//   [[link]]
//   port = "COM1"                 # a device path, tcp://HOST:PORT, modbus-tcp://HOST:PORT
//   baud = 38400
//   parity = "NONE"
//   stop = 1
//   latency = 200                 # ms
//   meter = [ { name = "main", node = 1 }, { name = "pump", node = 12, order = 2 } ]
//
//   [mqtt]                        # the outlets, as --mqtt ... and --http take them
//   url = "mqtt://zentra@192.168.1.10/plant/cabinet-3"
//   password-file = "/etc/zentra/cabinet-3.mqtt"   # or ZENTRA_MQTT_PASSWORD
//   [http]
//   listen = "0.0.0.0:9101"       # or a port alone: 127.0.0.1 only
//
// [mqtt] and [http] are carried as they stand and read into the run's options.
#pragma once

#include "tools/logger/survey_plan.h"

#include <optional>
#include <string>
#include <string_view>

namespace zentra::logger {

struct ConfigResult {
    std::optional<SurveyPlan> plan;
    std::string error; // "site.toml:12: ..." when the file cannot be the plan of a survey
};

// Largest configuration file read: far beyond any site's, small enough to read whole.
inline constexpr std::size_t kMaxConfigBytes = 1 << 20;

// Reads the file at `path`.
ConfigResult ReadSiteConfig(const std::string& path);

// Reads a file's text; `name` is the file as messages name it.
ConfigResult ParseSiteConfig(std::string_view text, const std::string& name);

} // namespace zentra::logger

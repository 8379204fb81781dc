// Command line of zentra-log, the screenless logger: which port and meter to talk to,
// the logging period and number of samples, where to save the project (and the CSV
// export), and for a survey how it rolls over from project to project and when it
// ends. Options left out keep the values a new project starts with (the built-in
// defaults overlaid with the user's stored defaults).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentra::logger {

// One meter of a run of several: its name (a plain file-name word, which names its
// files NAME.ztr and NAME.csv), its node and, if it differs from the line's, its
// float byte order.
struct MeterEntry {
    std::string name;
    int node = 1;
    std::optional<int> order;
};

struct LoggerOptions {
    std::string port;                       // "COM1" .. "COM9"
    int period = 1;                         // logging period, in units of periodMultiplier seconds
    int periodMultiplier = 1;               // 1, 60 or 3600
    int samples = 0;                        // planned records, 1 .. 7200 (0: not given)
    std::string out;                        // project file (.ztr); the first of a roll
    std::optional<std::string> csv;         // CSV export, written as the run goes
    bool roll = false;                      // a full project is saved and the next one begun
    std::optional<std::int64_t> until;      // survey end, seconds since 1970
    std::optional<std::int64_t> forSeconds; // survey length from its start, seconds
    std::int64_t giveUpSeconds = 600;       // meter silence that ends the run, seconds
    std::optional<int> node;                // Modbus node 1..247
    std::optional<int> order;               // float byte order 0..3
    std::optional<std::string> baud, parity, stop;
    std::optional<int> latencyMs;      // wait before reading a reply, ms
    bool force = false;                // overwrite existing output files
    bool quiet = false;                // no progress lines
    int tickMs = 1000;                 // length of one acquisition second (tests run faster)
    bool recoverOnly = false;          // only recover interrupted runs, then stop
    std::optional<std::string> config; // a survey's configuration file (--config site.toml)
    // Several meters on the port (--meter): their files go into outDir.
    std::vector<MeterEntry> meters;
    std::string outDir;
    bool csvEach = false; // with --meter: NAME.csv beside each NAME.ztr
    // Live outlets: an MQTT broker (mqtt://[USER@]HOST[:PORT]/PREFIX) and an HTTP address.
    std::optional<std::string> mqtt, mqttCa, mqttPasswordFile, http;
    bool mqttEverySample = false; // a state message per logged sample, not per second
    bool mqttDiscovery = true;    // Home Assistant discovery configs
};

// A logging period "1s", "30s", "5m", "1h" (a plain number is seconds), 1 to 100000
// units, into options.period and periodMultiplier; false when it is none.
bool ParsePeriod(std::string_view text, LoggerOptions& options);

// A duration of at least one second: "7d", "12h", "30m", "45s" or plain seconds.
std::optional<std::int64_t> ParseDuration(std::string_view text);

// "YYYY-MM-DD HH:MM" (or with a T between date and time) in local time; a date or a
// time that does not exist (31 April, 25:00) is refused rather than rolled over.
std::optional<std::int64_t> ParseLocalMinute(std::string_view text);

// One of the line speeds the Communication page offers: 115200 ... 4800.
bool ValidBaudRate(std::string_view baud);

// Whether a name can stand for a meter's files: letters, digits, '-' and '_'.
bool ValidMeterName(std::string_view name);

// "NAME=NODE[,order=N]"; the reason in *error when it is not one.
std::optional<MeterEntry> ParseMeterEntry(std::string_view text, std::string* error);

// What is wrong with the outlets' options taken together (a CA without an mqtts://
// broker ...); empty when nothing is.
std::string OutletOptionsFault(const LoggerOptions& options);

struct ParsedArguments {
    LoggerOptions options;
    // Whether --mqtt-every and --(no-)mqtt-discovery were given (their defaults are
    // values too): beside --config they override the file's.
    bool mqttEveryGiven = false;
    bool mqttDiscoveryGiven = false;
    bool help = false;
    std::string error; // non-empty: the command line is wrong, and why
};

// Parses argv[1..]; never exits and never prints.
ParsedArguments ParseArguments(const std::vector<std::string>& args);

// The --help text.
std::string UsageText();

} // namespace zentra::logger

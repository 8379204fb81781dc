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
struct MeterSpec {
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
    std::optional<int> latencyMs; // wait before reading a reply, ms
    bool force = false;           // overwrite existing output files
    bool quiet = false;           // no progress lines
    int tickMs = 1000;            // length of one acquisition second (tests run faster)
    bool recoverOnly = false;     // only recover interrupted runs, then stop
    // Several meters on the port (--meter): their files go into outDir.
    std::vector<MeterSpec> meters;
    std::string outDir;
    bool csvEach = false;              // with --meter: NAME.csv beside each NAME.ztr
    // Live outlets: an MQTT broker (mqtt://[USER@]HOST[:PORT]/PREFIX) and an HTTP address.
    std::optional<std::string> mqtt, mqttCa, mqttPasswordFile, http;
    bool mqttEverySample = false; // a state message per logged sample, not per second
    bool mqttDiscovery = true;    // Home Assistant discovery configs
};

// Whether a name can stand for a meter's files: letters, digits, '-' and '_'.
bool ValidMeterName(std::string_view name);

// "NAME=NODE[,order=N]"; the reason in *error when it is not one.
std::optional<MeterSpec> ParseMeterSpec(std::string_view text, std::string* error);

struct ParsedArguments {
    LoggerOptions options;
    bool help = false;
    std::string error; // non-empty: the command line is wrong, and why
};

// Parses argv[1..]; never exits and never prints.
ParsedArguments ParseArguments(const std::vector<std::string>& args);

// The --help text.
std::string UsageText();

} // namespace zentra::logger

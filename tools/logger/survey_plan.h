// A survey of several meters: the links (a COMn, a device path or a network address,
// each with its line settings and its meters) and the run's settings, whether from
// the command line (one link) or a configuration file (any number).
#pragma once

#include "tools/logger/logger_options.h"

#include <optional>
#include <string>
#include <vector>

namespace zentra::logger {

struct LinkPlan {
    std::string port; // "COM1", "/dev/ttyUSB0", "tcp://host:port", "modbus-tcp://host:port"
    std::optional<std::string> baud, parity, stop;
    std::optional<int> latencyMs;
    std::optional<int> order; // the meters' float order where a meter gives none
    std::vector<MeterEntry> meters;
};

// A section of a configuration file that another part of the run reads (the
// outlets' [mqtt] and [http]), carried as it stands: each key with its value's text
// (a string as it is, anything else as written in the file) and its line.
struct PlanSection {
    struct Entry {
        std::string key;
        std::string value;
        int line = 0;
        bool quoted = false; // the value was a string ("1s"), not a number, boolean ...
    };
    std::string name; // "mqtt", "http"
    int line = 0;     // where the section begins
    std::vector<Entry> entries;
};

struct SurveyPlan {
    // The period, samples, roll, until / for, give-up, force, quiet and tick of the
    // run; its port, node, out and csv are unused.
    LoggerOptions run;
    std::string outDir;
    bool csv = false;
    std::vector<LinkPlan> links;
    std::string source;                // the configuration file's name; empty: the command line
    std::vector<PlanSection> sections; // the file's sections for others, in file order
};

// The plan of a command line with --meter: one link, PORT.
SurveyPlan PlanFromOptions(const LoggerOptions& options);

// The project file of a meter (first of its roll) and its CSV.
std::string MeterProjectPath(const SurveyPlan& plan, const MeterEntry& meter);
std::string MeterCsvPath(const SurveyPlan& plan, const MeterEntry& meter);

} // namespace zentra::logger

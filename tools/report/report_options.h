// Command line of zentra-report: the project files of a survey, the PDF to write and
// the optional JSON summary, demand interval and title.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zentra::report {

struct CommandLine {
    std::vector<std::string> files;
    std::string pdf;                 // -o
    std::optional<std::string> json; // --json
    int demandMinutes = 15;          // --demand
    std::string title;               // --title
};

struct ParsedCommandLine {
    CommandLine options;
    bool help = false;
    std::string error; // non-empty: the command line is wrong, and why
};

// Parses argv[1..]; never exits and never prints.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// A demand interval: "15m", "30m", "1h", a plain number being minutes; whole minutes
// that divide a day evenly, so that the intervals line up with the clock every day.
std::optional<int> ParseDemandMinutes(const std::string& text);

std::string ReportUsageText();

} // namespace zentra::report

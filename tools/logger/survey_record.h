// The start of a survey that has an end (--roll with --for or --until), kept in a
// small text file beside the survey's first project, "<FILE>-survey.txt", so that a
// restart (a stop, a kill, a reboot, the service manager) carries on to the same end
// instead of counting --for afresh, and a start after the end logs nothing:
//
//   # zentra-log: the survey that survey.ztr begins. Remove this file to begin a new one.
//   start 1772445600 Mar 02 2026 10:00:00
//   end 1772446200 Mar 02 2026 10:10:00
//
// A survey of several meters keeps it as "survey.txt" in their folder.
// Times are seconds since 1970; the local time after each is for people. Only the
// start is read back: the end is the command line's (--for counted from the start).
#pragma once

#include "tools/logger/logger_options.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zentra::logger {

struct SurveyRecord {
    std::int64_t start = 0; // when logging first began
    std::int64_t end = 0;   // when it is to end, as it stood then
};

// What a run knows of its survey before logging begins.
struct SurveySpan {
    std::string recordPath;            // where the record is kept; empty: no record (no end)
    std::optional<std::int64_t> start; // the first start, when a record holds it
};

// When a survey begun at `start` ends by the command line (--for after the start,
// --until, whichever comes first); nullopt for a survey without an end.
std::optional<std::int64_t> SurveyEnd(const LoggerOptions& options, std::int64_t start);

// "<folder>/<stem>-survey.txt" for the first project "<folder>/<stem>.ztr".
std::string SurveyRecordPath(const std::string& firstProject);

// The record's start; nullopt when the file is missing or holds no valid start line.
std::optional<std::int64_t> ReadSurveyStart(const std::string& path);

// The start line of a record's text (the file is small and read whole).
std::optional<std::int64_t> ParseSurveyStart(const std::string& text);

// Writes the record atomically under its heading ("the survey that survey.ztr
// begins"); the reason on failure.
std::optional<std::string> WriteSurveyRecord(const std::string& path, const std::string& heading,
                                             const SurveyRecord& record);

// The heading of a record kept beside a survey's first project.
std::string SurveyHeading(const std::string& firstProject);

} // namespace zentra::logger

// One logging session of a screenless run, over one project or (with --roll) many
// in turn: enables logging, drives the acquisition cycle tick by tick, writes the CSV
// and the recovery copy as it goes, saves each full project and carries on into the
// next, and ends on a stop request, the run's end, a silent meter or the last sample.
#pragma once

#include "acquisition/acquisition_cycle.h"
#include "acquisition/live_feed.h"
#include "tools/logger/logger_options.h"
#include "tools/logger/logger_run.h"
#include "tools/logger/survey_record.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace zentra {
struct CZentraDoc;
}

namespace zentra::logger {

// Why a session's logging ended.
enum class RunEnd {
    Complete,    // the planned samples of the (last) project are logged
    Stopped,     // Ctrl+C, SIGTERM
    SurveyOver,  // --until or --for reached
    MeterSilent, // no readings for the --give-up time
    FileFailed,  // a project of a roll could not be saved, or its successor begun
};

// What differs for a meter that shares its run (and its line) with others.
struct SessionRole {
    std::string name;            // the meter's name for the outlets (and messages)
    bool tagMessages = false;    // problems are said with the name: "zentra-log: NAME: ..."
    bool printSamples = true;    // a progress line per sample (else the run prints rounds)
    bool watchPort = true;       // a vanished port is reopened by the session itself
    bool reportRequests = true;  // the session tells the feed each request's result
    LiveFeed* feed = nullptr;    // outlets; may be null
};

// One tick of a session: the acquisition cycle's own, or a shared line's.
using TickSource = std::function<TickOutcome()>;

class LoggingSession;

// A session driven from outside, one second at a time (a meter of a bus).
class MeterSession {
  public:
    MeterSession(const LoggerOptions& options, CZentraDoc& doc, int number, std::ostream& out,
                 std::ostream& err, const std::atomic<bool>& stop, const RunHooks& hooks,
                 SessionRole role);
    ~MeterSession();
    MeterSession(const MeterSession&) = delete;
    MeterSession& operator=(const MeterSession&) = delete;

    // Enables logging (the request it sends goes out on the document's port) and
    // opens the CSV; false when either fails.
    bool Begin();
    // One second: the tick and everything a second of the run does after it; the
    // end once the session ends (then Finish).
    std::optional<RunEnd> Step(const TickSource& tick);
    // Stops, saves and says so; the exit status.
    int Finish(RunEnd how);

    AcquisitionState& State();
    AcquisitionTimer& Timer();
    bool Answering() const; // fewer than three replies missed in a row
    const std::string& Path() const; // the project being logged

  private:
    std::unique_ptr<LoggingSession> impl_;
};

// Runs the session on a document whose port is open and whose meter is identified,
// starting with project file `number` of the roll; returns the exit status. A survey
// with an end ends at SurveyEnd from its recorded start, or (a first start) from the
// moment logging begins, which is then recorded.
int RunSession(const LoggerOptions& options, CZentraDoc& doc, int number, std::ostream& out,
               std::ostream& err, const std::atomic<bool>& stop, const RunHooks& hooks,
               const SurveySpan& survey = {}, SessionRole role = {});

// "Mmm DD YYYY HH:MM:SS" in local time.
std::string LocalTimeText(std::int64_t time);

} // namespace zentra::logger

// The screenless logging run: opens the port, identifies the meter, enables logging
// on a new project and drives the very acquisition cycle the desktop program runs,
// one tick per (scaled) second, until the planned samples are logged (with --roll:
// carrying on into the next project each time), the survey's end is reached, the
// meter stays silent too long or a stop is asked for; then stops retrieval and saves
// the project. The CSV export is written as the run goes.
#pragma once

#include "acquisition/live_feed.h"
#include "tools/logger/logger_options.h"

#include <atomic>
#include <functional>
#include <iosfwd>

namespace zentra {
struct CZentraDoc;
}

namespace zentra::logger {

struct SurveyPlan;

enum ExitStatus : int {
    kExitOk = 0,          // project saved (complete, or stopped early on request)
    kExitFailure = 1,     // port, meter or file failure
    kExitUsage = 2,       // wrong command line
    kExitMeterSilent = 3, // the meter stopped answering for the --give-up time; saved
};

struct RunHooks {
    // When the acquisition second is shortened (tickMs < 1000), the run installs a
    // clock that runs that much faster, so sample times stay one "second" apart.
    // Tests that install their own clock turn this off.
    bool scaleClock = true;
    // Called when a tick is due, before anything looks at the time (tests step their
    // own clock here).
    std::function<void()> beforeTick;
    // Called when a tick's work is done (its sample filed, written and told to the
    // outlets): benchmarks time the tick from beforeTick to here.
    std::function<void()> afterTick;
    // The live outlets (MQTT, HTTP), told from the logging thread; none when null.
    LiveFeed* feed = nullptr;
};

// The logging set-up of the command line, confirmed as the settings sheet would.
void ApplyLoggingOptions(const LoggerOptions& options, CZentraDoc& doc);

// Runs a logging session; progress goes to out, problems to err. stop is polled
// between ticks (a signal handler sets it). Returns an ExitStatus.
int RunLogger(const LoggerOptions& options, std::ostream& out, std::ostream& err,
              const std::atomic<bool>& stop, const RunHooks& hooks = {});

// Runs a survey of several meters (the --meter command line or a configuration file)
// with the outlets its options ask for; returns an ExitStatus.
int SurveyMain(const SurveyPlan& plan, std::ostream& out, std::ostream& err,
               const std::atomic<bool>& stop, const RunHooks& hooks = {});

// Parses the command line and runs; what main() does, minus the signal handling.
int LoggerMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const std::atomic<bool>& stop);

} // namespace zentra::logger

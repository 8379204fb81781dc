// A survey of several meters on one or more links: the checks made before any port
// opens (every meter's files, the survey's end), the interrupted runs of the folder
// recovered, and each link served on a thread of its own, so a slow or dead link
// never delays another.
#pragma once

#include "acquisition/live_feed.h"
#include "tools/logger/logger_run.h"
#include "tools/logger/survey_plan.h"

#include <atomic>
#include <iosfwd>
#include <string>

namespace zentra::logger {

// The record of a survey's start (see survey_record.h) for the meters of a folder:
// "<out-dir>/survey.txt".
std::string FolderSurveyRecordPath(const std::string& outDir);

// Runs the survey; returns the worst exit status of its links (1 before 3 before 0),
// or kExitUsage / kExitFailure when it cannot begin.
int RunSurvey(const SurveyPlan& plan, std::ostream& out, std::ostream& err,
              const std::atomic<bool>& stop, const RunHooks& hooks = {},
              LiveFeed* feed = nullptr);

} // namespace zentra::logger

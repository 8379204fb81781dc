// One logging session of a screenless run, over one project or (with --roll) many
// in turn: enables logging, drives the acquisition cycle tick by tick, writes the CSV
// and the recovery copy as it goes, saves each full project and carries on into the
// next, and ends on a stop request, the run's end, a silent meter or the last sample.
#pragma once

#include "tools/logger/logger_options.h"
#include "tools/logger/logger_run.h"
#include "tools/logger/survey_record.h"

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace zentra {
struct CZentraDoc;
}

namespace zentra::logger {

// Runs the session on a document whose port is open and whose meter is identified,
// starting with project file `number` of the roll; returns the exit status. A survey
// with an end ends at SurveyEnd from its recorded start, or (a first start) from the
// moment logging begins, which is then recorded.
int RunSession(const LoggerOptions& options, CZentraDoc& doc, int number, std::ostream& out,
               std::ostream& err, const std::atomic<bool>& stop, const RunHooks& hooks,
               const SurveySpan& survey = {});

// "Mmm DD YYYY HH:MM:SS" in local time.
std::string LocalTimeText(std::int64_t time);

} // namespace zentra::logger

// One line of a survey and every meter on it: the port is opened once, the meters are
// asked one transaction at a time (each request waits for its reply up to the link's
// latency plus the read time-out, and the next goes out as soon as the reply is in),
// each meter is identified on its own and logs through its own session (its own
// document, roll, recovery copy and CSV), a meter that is silent is asked less often
// and never holds the others back, and one progress line per logged round names each
// meter's state.
#pragma once

#include "acquisition/live_feed.h"
#include "tools/logger/logger_run.h"
#include "tools/logger/survey_plan.h"

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <optional>

namespace zentra::logger {

struct LinkContext {
    const SurveyPlan& plan;
    const LinkPlan& link;
    std::optional<std::int64_t> end; // the survey's end, fixed when it started
    std::ostream& out;
    std::ostream& err;
    const std::atomic<bool>& stop;
    const RunHooks& hooks; // beforeTick is called once per round
    LiveFeed* feed = nullptr;
};

// Serves the link until every meter's run has ended, the survey's end or a stop;
// returns the link's exit status (the worst of its meters').
int RunLink(const LinkContext& context);

} // namespace zentra::logger

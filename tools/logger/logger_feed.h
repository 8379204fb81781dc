// The single-meter run's side of the live feed: the outlets made from the command
// line, the meter's description, and what each tick tells them (the request's
// result, the readings, a logged sample, whether the meter answers).
#pragma once

#include "acquisition/acquisition_cycle.h"
#include "acquisition/live_feed.h"
#include "tools/logger/logger_identify.h"
#include "tools/logger/logger_options.h"

#include <chrono>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace zentra::logger {

// The outlets of --mqtt and --http, started; null when none is asked for. `failed`
// is set (and err told why) when they cannot start: the password file cannot be read,
// or the HTTP address is taken.
std::unique_ptr<LiveFeed> StartOutlets(const LoggerOptions& options, std::ostream& err,
                                       bool& failed);

// The meter's name in the outlets: the project file's name without ".ztr" (the
// first file's, for a roll).
std::string FeedMeterName(const LoggerOptions& options);

MeterDescription DescribeMeter(const LoggerOptions& options, const CZentraDoc& doc,
                               const IdentityTexts& identity);

// Tells the feed about one meter's ticks. Does nothing without a feed; allocates
// nothing per tick once its list has its size.
class LiveTicker {
  public:
    // `requests`: each request's result is told (a shared line tells them itself).
    LiveTicker(LiveFeed* feed, std::string meter, bool requests = true)
        : feed_(feed), meter_(std::move(meter)), requests_(requests) {}

    // After the tick: `before` is the sample count before it, `took` how long it ran.
    void Tick(const CZentraDoc& doc, const TickOutcome& tick, int before,
              std::chrono::microseconds took, const std::string& file);
    void Saved(const std::string& file);

  private:
    LiveFeed* feed_;
    std::string meter_;
    bool requests_ = true;
    std::vector<LiveValue> values_;
    bool answering_ = false;
    int missed_ = 0;
};

} // namespace zentra::logger

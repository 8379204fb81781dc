#include "tools/logger/survey_run.h"

#include "platform/clock.h"
#include "tools/logger/bus_link.h"
#include "tools/logger/line_stream.h"
#include "tools/logger/logger_recovery.h"
#include "tools/logger/logger_session.h"
#include "tools/logger/logger_survey.h"
#include "tools/logger/logger_timing.h"

#include <filesystem>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

namespace zentra::logger {

SurveyPlan PlanFromOptions(const LoggerOptions& o) {
    SurveyPlan plan;
    plan.run = o;
    plan.outDir = o.outDir;
    plan.csv = o.csvEach;
    LinkPlan link;
    link.port = o.port;
    link.baud = o.baud;
    link.parity = o.parity;
    link.stop = o.stop;
    link.latencyMs = o.latencyMs;
    link.order = o.order;
    link.meters = o.meters;
    plan.links.push_back(std::move(link));
    return plan;
}

std::string MeterProjectPath(const SurveyPlan& plan, const MeterSpec& meter) {
    return (std::filesystem::path(plan.outDir) / (meter.name + ".ztr")).string();
}

std::string MeterCsvPath(const SurveyPlan& plan, const MeterSpec& meter) {
    return (std::filesystem::path(plan.outDir) / (meter.name + ".csv")).string();
}

namespace {

// Every meter's first files can be written: checked before any port opens.
bool CheckMeterFiles(const SurveyPlan& plan, std::ostream& err) {
    std::error_code ec;
    if (!std::filesystem::is_directory(plan.outDir, ec)) {
        err << "zentra-log: folder " << plan.outDir << " does not exist\n";
        return false;
    }
    for (const LinkPlan& link : plan.links)
        for (const MeterSpec& meter : link.meters) {
            LoggerOptions o = plan.run;
            o.out = MeterProjectPath(plan, meter);
            o.csv = plan.csv ? std::optional(MeterCsvPath(plan, meter)) : std::nullopt;
            const int first = o.roll && !o.force ? FirstFreeRollNumber(o.out, o.csv, 1) : 1;
            if (first == 0 || !CheckRollFiles(o, first, err))
                return false;
        }
    return true;
}

} // namespace

int RunSurvey(const SurveyPlan& plan, std::ostream& out, std::ostream& err,
              const std::atomic<bool>& stop, const RunHooks& hooks, LiveFeed* feed) {
    RecoverInterruptedRuns(plan.outDir, out, err);
    if (!CheckMeterFiles(plan, err))
        return kExitFailure;
    if (plan.run.until && *plan.run.until <= platform::Now()) {
        err << "zentra-log: --until " << LocalTimeText(*plan.run.until) << " has passed\n";
        return kExitUsage;
    }
    ScaledClock scaledClock(hooks.scaleClock, plan.run.tickMs);
    std::optional<std::int64_t> end;
    const std::int64_t started = platform::Now();
    if (plan.run.forSeconds)
        end = started + *plan.run.forSeconds;
    if (plan.run.until)
        end = std::min(end.value_or(*plan.run.until), *plan.run.until);

    if (plan.links.size() == 1)
        return RunLink(LinkContext{plan, plan.links[0], end, out, err, stop, hooks, feed});

    // One thread per link, each with its own meters and documents; their lines reach
    // the shared streams whole.
    std::mutex outLock, errLock;
    std::vector<int> status(plan.links.size(), kExitOk);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < plan.links.size(); ++i)
        threads.emplace_back([&, i] {
            LineStream linkOut(out, outLock), linkErr(err, errLock);
            status[i] = RunLink(
                LinkContext{plan, plan.links[i], end, linkOut, linkErr, stop, hooks, feed});
        });
    for (std::thread& t : threads)
        t.join();
    int exit = kExitOk;
    for (const int s : status)
        if (s == kExitFailure || (s == kExitMeterSilent && exit == kExitOk))
            exit = s;
    return exit;
}

} // namespace zentra::logger

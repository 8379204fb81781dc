#include "tools/logger/survey_run.h"

#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/net_port.h"
#include "tools/logger/bus_link.h"
#include "tools/logger/line_stream.h"
#include "tools/logger/logger_recovery.h"
#include "tools/logger/logger_session.h"
#include "tools/logger/logger_survey.h"
#include "tools/logger/logger_timing.h"
#include "tools/logger/survey_record.h"

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

std::string MeterProjectPath(const SurveyPlan& plan, const MeterEntry& meter) {
    return (std::filesystem::path(plan.outDir) / (meter.name + ".ztr")).string();
}

std::string MeterCsvPath(const SurveyPlan& plan, const MeterEntry& meter) {
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
        for (const MeterEntry& meter : link.meters) {
            LoggerOptions o = plan.run;
            o.out = MeterProjectPath(plan, meter);
            o.csv = plan.csv ? std::optional(MeterCsvPath(plan, meter)) : std::nullopt;
            const int first = o.roll && !o.force ? FirstFreeRollNumber(o.out, o.csv, 1) : 1;
            if (first == 0 || !CheckRollFiles(o, first, err))
                return false;
        }
    return true;
}

// The run's messages (a box the acquisition would show) go to err as whole lines,
// under the lock the links' lines share, so that two links' never interleave;
// questions are answered Yes, as the command line already said what the user wants.
class SurveyMessages {
  public:
    SurveyMessages(std::ostream& err, std::mutex& lock) {
        platform::SetMessageHandler([&err, &lock](const platform::Message& m) {
            if (m.buttons == platform::MessageButtons::YesNo)
                return platform::MessageAnswer::Yes;
            const std::string line =
                "zentra-log: " + (m.caption.empty() ? "" : m.caption + ": ") + m.text + '\n';
            std::lock_guard hold(lock);
            err << line << std::flush;
            return platform::MessageAnswer::Ok;
        });
    }
    ~SurveyMessages() { platform::SetMessageHandler({}); }
    SurveyMessages(const SurveyMessages&) = delete;
    SurveyMessages& operator=(const SurveyMessages&) = delete;
};

// Whether any meter's first project (or its CSV, or a recovered copy) is there.
bool AnyMeterBegun(const SurveyPlan& plan) {
    for (const LinkPlan& link : plan.links)
        for (const MeterEntry& meter : link.meters) {
            const auto csv = plan.csv ? std::optional(MeterCsvPath(plan, meter)) : std::nullopt;
            if (!RollFilesPresent(MeterProjectPath(plan, meter), csv, 1).empty())
                return true;
        }
    return false;
}

} // namespace

std::string FolderSurveyRecordPath(const std::string& outDir) {
    return (std::filesystem::path(outDir) / "survey.txt").string();
}

int RunSurvey(const SurveyPlan& plan, std::ostream& out, std::ostream& err,
              const std::atomic<bool>& stop, const RunHooks& hooks, LiveFeed* feed) {
    std::mutex outLock, errLock;
    const SurveyMessages messages(err, errLock);
    // A connection (or reconnection) to a gateway gives up as soon as a stop is asked for.
    const platform::ScopedConnectStop connectStop(stop);
    RecoverInterruptedRuns(plan.outDir, out, err);
    if (!CheckMeterFiles(plan, err))
        return kExitFailure;
    // A survey with an end keeps its first start in the folder; one whose files are
    // there has begun before, and a restart carries on to the same end.
    SurveySpan survey;
    if (plan.run.roll && (plan.run.forSeconds || plan.run.until)) {
        survey.recordPath = FolderSurveyRecordPath(plan.outDir);
        survey.start = ReadSurveyStart(survey.recordPath);
    }
    if (survey.start || (plan.run.roll && AnyMeterBegun(plan))) {
        const auto end = SurveyEnd(plan.run, survey.start.value_or(platform::Now()));
        if (end && *end <= platform::Now()) {
            out << "zentra-log: the survey ended at " << LocalTimeText(*end)
                << "; nothing more is logged. To begin a new survey, name another folder"
                << (survey.start ? " or remove " + survey.recordPath : std::string()) << '\n';
            return kExitOk;
        }
    } else if (plan.run.until && *plan.run.until <= platform::Now()) {
        err << "zentra-log: " << (plan.source.empty() ? "--until " : plan.source + ": until ")
            << LocalTimeText(*plan.run.until) << " has passed\n";
        return kExitUsage;
    }
    ScaledClock scaledClock(hooks.scaleClock, plan.run.tickMs);
    const std::int64_t started = platform::Now();
    const std::optional<std::int64_t> end = SurveyEnd(plan.run, survey.start.value_or(started));
    if (end && !survey.start && !survey.recordPath.empty())
        if (const auto why = WriteSurveyRecord(
                survey.recordPath, "the survey of the meters in this folder", {started, *end}))
            err << "zentra-log: cannot keep the survey's end in " << survey.recordPath << ": "
                << *why << " (a restart would count its length from its own start)\n";

    if (plan.links.size() == 1)
        return RunLink(LinkContext{plan, plan.links[0], end, out, err, stop, hooks, feed});

    // One thread per link, each with its own meters and documents; their lines reach
    // the shared streams whole.
    std::vector<int> status(plan.links.size(), kExitOk);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < plan.links.size(); ++i)
        threads.emplace_back([&, i] {
            LineStream linkOut(out, outLock), linkErr(err, errLock);
            status[i] =
                RunLink(LinkContext{plan, plan.links[i], end, linkOut, linkErr, stop, hooks, feed});
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

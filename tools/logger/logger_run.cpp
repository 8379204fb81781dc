#include "tools/logger/logger_run.h"

#include "acquisition/acquisition_cycle.h"
#include "comms/serial_link.h"
#include "document/port_map.h"
#include "document/recovery_file.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "tools/logger/logger_feed.h"
#include "platform/net_address.h"
#include "platform/net_port.h"
#include "platform/settings_tree.h"
#include "tools/logger/logger_identify.h"
#include "tools/logger/logger_outputs.h"
#include "tools/logger/logger_recovery.h"
#include "tools/logger/logger_session.h"
#include "tools/logger/logger_survey.h"
#include "tools/logger/logger_timing.h"
#include "tools/logger/survey_record.h"
#include "tools/logger/survey_run.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>

namespace zentra::logger {
namespace {

// Installs a message handler for the run: messages go to err, questions are answered
// Yes (the command line already said what the user wants). Restored on exit.
class RunMessages {
  public:
    explicit RunMessages(std::ostream& err) {
        platform::SetMessageHandler([&err](const platform::Message& m) {
            if (m.buttons == platform::MessageButtons::YesNo)
                return platform::MessageAnswer::Yes;
            err << "zentra-log: " << (m.caption.empty() ? "" : m.caption + ": ") << m.text << '\n';
            return platform::MessageAnswer::Ok;
        });
    }
    ~RunMessages() { platform::SetMessageHandler({}); }
    RunMessages(const RunMessages&) = delete;
    RunMessages& operator=(const RunMessages&) = delete;
};

// The serial link and meter settings of the command line.
void ApplyLinkOptions(const LoggerOptions& o, CZentraDoc& doc) {
    SetText(doc.m_Comms.port, o.port.c_str());
    if (o.baud)
        SetText(doc.m_Comms.baud, o.baud->c_str());
    if (o.parity)
        SetText(doc.m_Comms.parity, o.parity->c_str());
    if (o.stop)
        SetText(doc.m_Comms.stopBits, o.stop->c_str());
    if (o.latencyMs)
        SetText(doc.m_Comms.latency, std::to_string(*o.latencyMs).c_str());
    if (o.order)
        doc.m_Comms.floatOrder = *o.order;
    if (o.node)
        doc.m_ModbusNode = *o.node;
}

std::string Describe(const LoggerOptions& o, const CZentraDoc& doc) {
    char text[200];
    std::snprintf(text, sizeof text, "%s node %d, %s baud, parity %s, %s stop bit(s), order %d",
                  o.port.c_str(), static_cast<int>(NodeByte(doc.m_ModbusNode)),
                  doc.m_Comms.baud.data(), doc.m_Comms.parity.data(), doc.m_Comms.stopBits.data(),
                  doc.m_Comms.floatOrder);
    return text;
}

// A network address that cannot be one is a settings mistake, like a wrong option:
// trying again would not mend it.
bool RefuseMalformedAddress(const std::string& port, std::ostream& err) {
    const auto device = PortDevice(port);
    if (!device || !platform::IsNetAddressForm(*device) || platform::ParseNetAddress(*device))
        return false;
    err << "zentra-log: " << PortAndDevice(port) << ": not a valid network address. Enter "
        << platform::kNetAddressForms
        << ", with a port number from 1 to 65535 (an IPv6 address in brackets).\n";
    return true;
}

// The files roll number n writes, and the survey's record.
std::vector<RunOutput> RunOutputsOf(const LoggerOptions& o, int n, const SurveySpan& survey) {
    std::vector<RunOutput> outputs{{"--out", RollFileName(o.out, n)}};
    if (o.csv)
        outputs.push_back({"--csv", RollFileName(*o.csv, n)});
    if (!survey.recordPath.empty())
        outputs.push_back({"the survey's record", survey.recordPath});
    return outputs;
}

} // namespace

void ApplyLoggingOptions(const LoggerOptions& o, CZentraDoc& doc) {
    doc.m_Period = o.period;
    doc.m_PeriodMultiplier = o.periodMultiplier;
    doc.m_Samples = o.samples;
    doc.m_Duration = o.period * o.samples;
    doc.m_DurationMultiplier = o.periodMultiplier;
    doc.m_StartImmediately = 1;
    doc.m_LoggingSetUp = 1;
}

int RunLogger(const LoggerOptions& o, std::ostream& out, std::ostream& err,
              const std::atomic<bool>& stop, const RunHooks& hooks) {
    RunMessages messages(err);
    // The stored defaults and port map are read, never written: nothing is created.
    const platform::ScopedSettingsKeysNotCreated readOnlyStore;
    InstallPortMap();
    // A network connection (or reconnection) gives up as soon as a stop is asked for.
    const platform::ScopedConnectStop connectStop(stop);
    if (RefuseMalformedAddress(o.port, err))
        return kExitUsage;
    // Runs that a crash, a kill or a power cut interrupted are saved before a new one
    // begins.
    RecoverInterruptedRuns(FolderOf(o.out), out, err);

    if (RefuseFolder(o.out, err) || (o.csv && RefuseFolder(*o.csv, err)))
        return kExitFailure;
    // A survey with an end keeps its first start beside its files; one whose files are
    // there has begun before, and a restart carries on to the same end.
    SurveySpan survey;
    if (o.roll && (o.forSeconds || o.until)) {
        survey.recordPath = SurveyRecordPath(o.out);
        survey.start = ReadSurveyStart(survey.recordPath);
    }
    const bool begun = survey.start || (o.roll && !RollFilesPresent(o.out, o.csv, 1).empty());
    // A roll never overwrites: it takes up the numbering after the files that exist.
    const int first = o.roll && !o.force ? FirstFreeRollNumber(o.out, o.csv, 1) : 1;
    if (RefuseSameFiles(RunOutputsOf(o, std::max(first, 1), survey), RecoveryFolder().string(),
                        err))
        return kExitUsage;
    if (begun) {
        const auto end = SurveyEnd(o, survey.start.value_or(platform::Now()));
        if (end && *end <= platform::Now()) {
            out << "zentra-log: the survey ended at " << LocalTimeText(*end)
                << "; nothing more is logged. To begin a new survey, name another --out"
                << (survey.start ? " or remove " + survey.recordPath : std::string()) << '\n';
            return kExitOk;
        }
    }
    if (first > 1)
        out << ExistText(RollFilesPresent(o.out, o.csv, first - 1)) << "; the run begins with "
            << RollFileName(o.out, first) << '\n';
    if (first == 0 || !CheckRollFiles(o, first, err))
        return kExitFailure;
    if (o.until && *o.until <= platform::Now()) {
        err << "zentra-log: --until " << LocalTimeText(*o.until) << " has passed\n";
        return kExitUsage;
    }

    ScaledClock scaledClock(hooks.scaleClock, o.tickMs);
    const auto docHolder = NewRunDocument();
    CZentraDoc& doc = *docHolder;
    ApplyLinkOptions(o, doc);

    doc.m_PortHandle = OpenPort(doc.m_Comms, OnlyThisPort(), doc.m_PortHandle);
    if (doc.m_PortHandle == kInvalidPort && stop.load()) {
        out << "Stopped before logging began; nothing was saved\n";
        return kExitOk;
    }
    if (doc.m_PortHandle == kInvalidPort) {
        err << "zentra-log: " << OpenFailureSentence(o.port);
        if (!PortDevice(o.port))
            err << " Set ZENTRA_" << o.port
                << " to the adapter's path, or choose its device with Change device... in Zentra.";
        err << '\n';
        return kExitFailure;
    }
    doc.m_Comms.portSetUp = 1;
    out << "Port: " << Describe(o, doc) << '\n' << std::flush;
    IdentityTexts identity;
    switch (IdentifyMeter(doc, o.port, stop, out, err, &identity)) {
    case Identified::Yes:
        break;
    case Identified::Stopped:
        ClosePort(doc.m_PortHandle);
        out << "Stopped before logging began; nothing was saved\n";
        return kExitOk;
    case Identified::Failed:
        ClosePort(doc.m_PortHandle);
        return kExitFailure;
    }

    ApplyLoggingOptions(o, doc);
    if (hooks.feed)
        hooks.feed->MeterIdentified(DescribeMeter(o, doc, identity));
    return RunSession(o, doc, first, out, err, stop, hooks, survey);
}

int SurveyMain(const SurveyPlan& plan, std::ostream& out, std::ostream& err,
               const std::atomic<bool>& stop, const RunHooks& hooks) {
    bool failed = false;
    const auto outlets = StartOutlets(plan.run, err, failed);
    if (failed)
        return kExitFailure;
    return RunSurvey(plan, out, err, stop, hooks, outlets.get());
}

int LoggerMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const std::atomic<bool>& stop) {
    const ParsedArguments parsed = ParseArguments(args);
    if (parsed.help) {
        out << UsageText();
        return kExitOk;
    }
    if (!parsed.error.empty()) {
        err << "zentra-log: " << parsed.error << "\nTry 'zentra-log --help'.\n";
        return kExitUsage;
    }
    if (!parsed.options.meters.empty())
        return SurveyMain(PlanFromOptions(parsed.options), out, err, stop);
    if (parsed.options.recoverOnly) {
        RunMessages messages(err);
        const platform::ScopedSettingsKeysNotCreated readOnlyStore;
        if (RecoverInterruptedRuns(".", out, err) == 0)
            out << "No interrupted run to recover\n";
        return kExitOk;
    }
    bool failed = false;
    const auto outlets = StartOutlets(parsed.options, err, failed);
    if (failed)
        return kExitFailure;
    RunHooks hooks;
    hooks.feed = outlets.get();
    return RunLogger(parsed.options, out, err, stop, hooks);
}

} // namespace zentra::logger

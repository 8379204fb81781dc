#include "tools/logger/logger_run.h"

#include "acquisition/acquisition_cycle.h"
#include "acquisition/calendar.h"
#include "acquisition/logging_commands.h"
#include "comms/meter.h"
#include "comms/serial_link.h"
#include "document/csv_export.h"
#include "document/format_value.h"
#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "tools/logger/logger_recovery.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <unistd.h>

namespace zentra::logger {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kStopPollSlice{50}; // how often a wait looks at the stop flag
constexpr int kIdentifyAttempts = 3;
constexpr int kMissesWorthReporting = 3;
constexpr int kReopenEveryTicks = 5;             // ticks between attempts to reopen a vanished port
constexpr std::int64_t kCheckpointSeconds = 300; // project saved this often while logging

// Timer 1 as a deadline on the steady clock; a shortened second scales every period.
class DeadlineTimer final : public AcquisitionTimer {
  public:
    explicit DeadlineTimer(int tickMs) : tickMs_(tickMs) {}
    // Re-arming at the tick period keeps a steady cadence from the previous deadline,
    // so the time a tick spends reading does not push every later tick back (which
    // would skip a second every so often). A run that fell behind starts afresh.
    int Arm(int id, milliseconds period) override {
        const auto now = Clock::now();
        const auto scaled = std::chrono::duration_cast<Clock::duration>(period * tickMs_) / 1000;
        auto next = now + scaled;
        if (armed_ && period == kTickPeriod && deadline_ + scaled > now)
            next = deadline_ + scaled;
        deadline_ = next;
        armed_ = true;
        return id;
    }
    void Kill(int) override { armed_ = false; }
    bool armed() const { return armed_; }
    Clock::time_point deadline() const { return deadline_; }

  private:
    int tickMs_;
    Clock::time_point deadline_{};
    bool armed_ = false;
};

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

// A clock whose seconds last tickMs of real time, started at the real now.
class ScaledClock {
  public:
    ScaledClock(bool active, int tickMs) : active_(active && tickMs != 1000) {
        if (!active_)
            return;
        const platform::TimeSeconds base = platform::Now();
        const Clock::time_point start = Clock::now();
        platform::SetClock([base, start, tickMs] {
            const auto elapsed =
                std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
            return base + elapsed / tickMs;
        });
    }
    ~ScaledClock() {
        if (active_)
            platform::SetClock({});
    }
    ScaledClock(const ScaledClock&) = delete;
    ScaledClock& operator=(const ScaledClock&) = delete;

  private:
    bool active_;
};

// A closing document stores its serial link as the user's default; the logger's
// command-line settings are for this run only, so the stored ones are put back
// into the document before it closes.
class KeepStoredLink {
  public:
    explicit KeepStoredLink(CZentraDoc& doc)
        : doc_(doc), comms_(doc.m_Comms), node_(doc.m_ModbusNode) {}
    ~KeepStoredLink() {
        ClosePort(doc_.m_PortHandle);
        doc_.m_Comms = comms_;
        doc_.m_ModbusNode = node_;
    }
    KeepStoredLink(const KeepStoredLink&) = delete;
    KeepStoredLink& operator=(const KeepStoredLink&) = delete;

  private:
    CZentraDoc& doc_;
    CommSettings comms_;
    double node_;
};

template <std::size_t N> void CopyText(std::array<char, N>& to, const std::string& from) {
    to.fill('\0');
    std::memcpy(to.data(), from.data(), std::min(from.size(), N - 1));
}

std::string Describe(const LoggerOptions& o, const CZentraDoc& doc) {
    char text[200];
    std::snprintf(text, sizeof text, "%s node %d, %s baud, parity %s, %s stop bit(s), order %d",
                  o.port.c_str(), static_cast<int>(NodeByte(doc.m_ModbusNode)),
                  doc.m_Comms.baud.data(), doc.m_Comms.parity.data(), doc.m_Comms.stopBits.data(),
                  doc.m_Comms.floatOrder);
    return text;
}

// Checks the output files before an hour of logging depends on them.
bool CheckOutput(const std::string& path, bool force, std::ostream& err) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(path, ec) && !force) {
        err << "zentra-log: " << path << " already exists (use --force to overwrite it)\n";
        return false;
    }
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty())
        folder = ".";
    if (!fs::is_directory(folder, ec)) {
        err << "zentra-log: folder " << folder.string() << " does not exist\n";
        return false;
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        err << "zentra-log: cannot write into folder " << folder.string() << '\n';
        return false;
    }
    return true;
}

// Asks the meter for its identity, as Connect on the Communication page does, and
// takes its model number and variant (which decides the logged columns).
bool IdentifyMeter(CZentraDoc& doc, const LoggerOptions& o, std::ostream& out, std::ostream& err) {
    const std::uint8_t node = NodeByte(doc.m_ModbusNode);
    const milliseconds wait{LatencyMilliseconds(doc.m_Comms)};
    for (int attempt = 0; attempt < kIdentifyAttempts; ++attempt) {
        {
            K760modbus meter(doc.m_PortHandle, node, doc.m_Comms.floatOrder);
            if (meter.RequestIdentity() == 0) {
                err << "zentra-log: cannot write to " << o.port << '\n';
                return false;
            }
        }
        std::this_thread::sleep_for(wait);
        K760modbus meter(doc.m_PortHandle, node, doc.m_Comms.floatOrder);
        meter.ReceiveReply();
        if (meter.replyFunction != kFcIdentity || meter.client.replyNode != node ||
            meter.decodedCount <= static_cast<std::uint32_t>(kIdentityVersion))
            continue;
        const double model = meter.identity[kIdentityModel];
        const double version = meter.identity[kIdentityVersion];
        if (!ModelNumberPlausible(model)) {
            err << "zentra-log: Endian and/or Word Swapping incorrectly set (model number " << model
                << " with --order " << doc.m_Comms.floatOrder << ")\n";
            return false;
        }
        doc.m_ModelNumber = model;
        doc.m_VersionFraction = VersionFraction(version);
        doc.m_SystemType = MeterVariant(version);
        char text[160];
        std::snprintf(text, sizeof text, "Meter: model %.0f, version %.3f, variant %d (%s list)\n",
                      model, version, doc.m_SystemType, doc.ShortList() ? "short" : "full");
        out << text;
        return true;
    }
    err << "zentra-log: no answer from node " << static_cast<int>(node) << " on " << o.port
        << " (check the wiring, the node number, the baud rate and the parity)\n";
    return false;
}

// The column of the logged list holding a reading index, or -1.
int ColumnOf(const CZentraDoc& doc, ReadingIndex index) {
    const auto columns = ColumnsFor(doc.m_SystemType);
    const auto it = std::find(columns.begin(), columns.end(), index);
    return it == columns.end() ? -1 : static_cast<int>(it - columns.begin());
}

void PrintSample(const CZentraDoc& doc, int n, std::string& line, std::ostream& out) {
    static constexpr ReadingIndex kShown[] = {1, 4, 7, 10, 16};
    const GetSystemDate date(doc.m_SampleTimes[static_cast<std::size_t>(n)]);
    char head[80];
    std::snprintf(head, sizeof head, "sample %d/%d  %s %s %s %s", n + 1, doc.m_Samples,
                  date.m_MonthName.data(), date.m_Day.data(), date.m_Year.data(),
                  date.m_Clock.data());
    line.assign(head);
    for (const ReadingIndex index : kShown) {
        const int column = ColumnOf(doc, index);
        if (column < 0)
            continue;
        line += "  ";
        line += ReadingLabel(index);
        line += ' ';
        AppendFormattedValue(
            line,
            doc.m_SampleValues[static_cast<std::size_t>(n)][static_cast<std::size_t>(column + 1)]);
    }
    out << line << '\n' << std::flush;
}

bool Save(CZentraDoc& doc, const std::string& path, std::ostream& err) {
    const FileResult result = OnSaveDocument(doc, path);
    if (!result.ok)
        err << "zentra-log: cannot save " << path << ": " << result.error << '\n';
    return result.ok;
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// Waits until the timer is due; false when a stop was asked for meanwhile.
bool WaitForTick(const DeadlineTimer& timer, const std::atomic<bool>& stop) {
    while (!stop.load()) {
        const auto now = Clock::now();
        if (now >= timer.deadline())
            return true;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(timer.deadline() - now, kStopPollSlice));
    }
    return false;
}

} // namespace

int RunLogger(const LoggerOptions& o, std::ostream& out, std::ostream& err,
              const std::atomic<bool>& stop, const RunHooks& hooks) {
    RunMessages messages(err);
    // Runs that a crash, a kill or a power cut interrupted are saved before a new one
    // begins.
    RecoverInterruptedRuns(FolderOf(o.out), out, err);
    if (!CheckOutput(o.out, o.force, err) || (o.csv && !CheckOutput(*o.csv, o.force, err)))
        return kExitFailure;

    ScaledClock scaledClock(hooks.scaleClock, o.tickMs);

    auto docHolder = std::make_unique<CZentraDoc>(); // 1.7 MB of fixed arrays: not on the stack
    CZentraDoc& doc = *docHolder;
    doc.OnNewDocument();
    KeepStoredLink keepStoredLink(doc);

    // The serial link and meter settings of the command line.
    CopyText(doc.m_Comms.port, o.port);
    if (o.baud)
        CopyText(doc.m_Comms.baud, *o.baud);
    if (o.parity)
        CopyText(doc.m_Comms.parity, *o.parity);
    if (o.stop)
        CopyText(doc.m_Comms.stopBits, *o.stop);
    if (o.latencyMs)
        CopyText(doc.m_Comms.latency, std::to_string(*o.latencyMs));
    if (o.order)
        doc.m_Comms.floatOrder = *o.order;
    if (o.node)
        doc.m_ModbusNode = *o.node;

    doc.m_PortHandle = OpenPort(doc.m_Comms, EnumeratePorts(), doc.m_PortHandle);
    if (doc.m_PortHandle == kInvalidPort) {
        const std::string why = LastOpenFailure();
        const auto device = PortDevice(o.port);
        err << "zentra-log: cannot open " << o.port;
        if (device)
            err << " (" << *device << ")";
        else
            err << " (no device; set ZENTRA_" << o.port << " to the adapter's path)";
        err << (why.empty() ? "" : ": " + why) << '\n';
        return kExitFailure;
    }
    doc.m_Comms.portSetUp = 1;
    out << "Port: " << Describe(o, doc) << '\n';
    if (!IdentifyMeter(doc, o, out, err)) {
        ClosePort(doc.m_PortHandle);
        return kExitFailure;
    }

    // The logging set-up of the command line, confirmed as the settings sheet would.
    doc.m_Period = o.period;
    doc.m_PeriodMultiplier = o.periodMultiplier;
    doc.m_Samples = o.samples;
    doc.m_Duration = o.period * o.samples;
    doc.m_DurationMultiplier = o.periodMultiplier;
    doc.m_StartImmediately = 1;
    doc.m_LoggingSetUp = 1;

    AcquisitionState state;
    DeadlineTimer timer(o.tickMs);
    if (!OnEnableLogging(doc, state, timer)) {
        ClosePort(doc.m_PortHandle);
        return kExitFailure;
    }
    out << "Logging " << o.samples << " samples, one every " << o.period
        << (o.periodMultiplier == 1    ? "s"
            : o.periodMultiplier == 60 ? "m"
                                       : "h")
        << ", to " << o.out << " (Ctrl+C stops and saves)\n"
        << std::flush;

    // The recovery copy: what a crash, a kill or a power cut cannot take away.
    RecoveryWriter recovery;
    recovery.SetSavePath(std::filesystem::absolute(o.out).lexically_normal().string());
    bool recoveryFailureShown = false;

    std::string line;
    line.reserve(256);
    int missed = 0;
    bool portLost = false;
    int lostTicks = 0;
    std::int64_t lastSave = platform::Now();
    bool stopped = false;
    while (doc.m_LoggingActive) {
        if (!WaitForTick(timer, stop)) {
            stopped = true;
            break;
        }
        const int before = doc.m_SampleCount;
        const TickOutcome tick = AcquisitionTick(doc, state, timer, kAcquisitionTimerId);
        if (!o.quiet)
            for (int n = before; n < doc.m_SampleCount; ++n)
                PrintSample(doc, n, line, out);

        if (tick.exchanged && tick.filed == kReplyNone && doc.m_LastRequest == kFcReadings) {
            // A single lost reply is routine on a noisy line; a run of them is worth saying.
            if (++missed == kMissesWorthReporting)
                err << "zentra-log: no reply from the meter"
                    << (tick.otherNode ? " (another node answers instead)" : "") << '\n';
        } else if (tick.filed == kFcReadings) {
            if (missed >= kMissesWorthReporting)
                err << "zentra-log: the meter answers again after " << missed
                    << " missed replies\n";
            missed = 0;
        }
        // An adapter that was pulled out leaves a dead handle: wait for the device to
        // come back under the same name and carry on with it.
        if (doc.m_PortHandle == kInvalidPort || PortGone(doc.m_PortHandle)) {
            if (!portLost)
                err << "zentra-log: " << o.port << " has gone; waiting for it to come back\n";
            portLost = true;
            if (++lostTicks % kReopenEveryTicks == 0) {
                doc.m_PortHandle = OpenPort(doc.m_Comms, EnumeratePorts(), doc.m_PortHandle);
                if (doc.m_PortHandle != kInvalidPort) {
                    err << "zentra-log: " << o.port << " is back\n";
                    portLost = false;
                    lostTicks = 0;
                }
            }
        }

        if (recovery.Update(doc) == RecoveryStep::Failed && !recoveryFailureShown) {
            err << "zentra-log: " << recovery.LastError() << '\n';
            recoveryFailureShown = true;
        }

        if (tick.recordsWritten > 0 && doc.m_LoggingActive &&
            platform::Now() - lastSave >= kCheckpointSeconds) {
            Save(doc, o.out, err);
            lastSave = platform::Now();
        }
    }

    if (doc.m_LoggingActive) {
        // Stop Data Retrieval: ends logging and closes the port.
        OnStopRetrieval(doc);
    } else {
        // Logging ended with its last sample; Stop would move the recorded end to now.
        ClosePort(doc.m_PortHandle);
        doc.m_RetrievalActive = 0;
        doc.m_Comms.portSetUp = 0;
    }
    if (stopped)
        out << "Stopped after " << doc.m_SampleCount << " of " << doc.m_Samples << " samples\n";

    // The final copy holds every sample until the project itself is safe.
    recovery.Update(doc);
    if (!Save(doc, o.out, err)) {
        if (recovery.HasCopy())
            err << "zentra-log: the samples are kept in " << recovery.CopyPath().string()
                << "; the next start of zentra-log or Zentra recovers them\n";
        return kExitFailure;
    }
    recovery.Saved(doc);
    out << "Saved " << doc.m_SampleCount << " samples to " << o.out << '\n';
    if (o.csv) {
        const CsvExportResult csv = ExportCsv(doc, *o.csv);
        if (!csv.ok) {
            err << "zentra-log: " << *o.csv << ": " << csv.error << '\n';
            return kExitFailure;
        }
        out << "Exported CSV to " << *o.csv << '\n';
    }
    return kExitOk;
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
    if (parsed.options.recoverOnly) {
        RunMessages messages(err);
        if (RecoverInterruptedRuns(".", out, err) == 0)
            out << "No interrupted run to recover\n";
        return kExitOk;
    }
    return RunLogger(parsed.options, out, err, stop);
}

} // namespace zentra::logger

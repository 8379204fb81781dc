#include "tools/logger/logger_session.h"

#include "acquisition/acquisition_cycle.h"
#include "acquisition/logging_commands.h"
#include "comms/serial_link.h"
#include "document/format_value.h"
#include "document/project_file.h"
#include "document/recovery_file.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "records/calendar.h"
#include "tools/logger/live_csv.h"
#include "tools/logger/logger_feed.h"
#include "tools/logger/logger_survey.h"
#include "tools/logger/logger_timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace zentra::logger {
namespace {

constexpr int kMissesWorthReporting = 3;
constexpr int kReopenEveryTicks = 5;             // ticks between attempts to reopen a vanished port
constexpr std::int64_t kCheckpointSeconds = 300; // project saved this often while logging

const char* UnitOf(int multiplier) {
    return multiplier == 1 ? "s" : multiplier == 60 ? "m" : "h";
}

// The column of the logged list holding a reading index, or -1.
int ColumnOf(const CZentraDoc& doc, ReadingIndex index) {
    const auto columns = ColumnsFor(doc.m_SystemType);
    const auto it = std::find(columns.begin(), columns.end(), index);
    return it == columns.end() ? -1 : static_cast<int>(it - columns.begin());
}

void PrintSample(const CZentraDoc& doc, int n, std::string& line, std::ostream& out) {
    static constexpr ReadingIndex kShown[] = {1, 4, 7, 10, 16};
    char head[32];
    std::snprintf(head, sizeof head, "sample %d/%d  ", n + 1, doc.m_Samples);
    line.assign(head);
    line += LocalTimeText(doc.m_SampleTimes[static_cast<std::size_t>(n)]);
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

std::string SavePathOf(const std::string& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
}

} // namespace

// One logging run over one or (with --roll) many projects, all in one document.
class LoggingSession {
    friend class MeterSession;

  public:
    LoggingSession(const LoggerOptions& o, CZentraDoc& doc, int number, std::ostream& out,
                   std::ostream& err, const std::atomic<bool>& stop, const RunHooks& hooks,
                   const SurveySpan& survey, SessionRole role)
        : o_(o), doc_(doc), number_(number), path_(RollFileName(o.out, number)), out_(out),
          err_(err), stop_(stop), hooks_(hooks), survey_(survey), role_(std::move(role)),
          timer_(o.tickMs),
          live_(role_.feed ? role_.feed : hooks.feed,
                role_.name.empty() ? FeedMeterName(o) : role_.name, role_.reportRequests) {
        line_.reserve(256);
    }

    // Enables logging, logs until the run ends and saves; returns the exit status.
    int Run() {
        if (!Begin())
            return kExitFailure;
        const RunEnd how = Loop();
        return Finish(how);
    }

    // Enables logging and opens the CSV; false (the port closed) when either fails.
    bool Begin() {
        if (!OnEnableLogging(doc_, state_, timer_)) {
            ClosePort(doc_.m_PortHandle);
            return false;
        }
        const std::int64_t started = platform::Now();
        end_ = SurveyEnd(o_, survey_.start.value_or(started));
        if (end_ && !survey_.start && !survey_.recordPath.empty())
            RecordSurvey(started);
        lastAnswer_ = started;
        lastSave_ = started;
        recovery_.SetSavePath(SavePathOf(path_));
        if (!OpenCsv()) {
            OnStopRetrieval(doc_);
            return false;
        }
        out_ << "Logging " << o_.samples << " samples, one every " << o_.period
             << UnitOf(o_.periodMultiplier) << ", to " << path_;
        if (end_)
            out_ << " until " << LocalTimeText(*end_);
        out_ << (o_.roll ? ", rolling over to the next file when full" : "")
             << " (Ctrl+C stops and saves)\n"
             << std::flush;
        return true;
    }

    // One second of the run, its tick driven by `tick`; the end when the run ends.
    std::optional<RunEnd> Step(const TickSource& tick) {
        if (hooks_.beforeTick)
            hooks_.beforeTick();
        if (end_ && platform::Now() >= *end_)
            return RunEnd::SurveyOver; // the end itself is the next run's
        const int before = doc_.m_SampleCount;
        const auto tickStarted = std::chrono::steady_clock::now();
        const TickOutcome outcome = tick();
        const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - tickStarted);
        const auto end = Second(outcome, before, took);
        if (hooks_.afterTick)
            hooks_.afterTick();
        return end;
    }

    AcquisitionState& State() { return state_; }
    AcquisitionTimer& Timer() { return timer_; }
    bool Answering() const { return missed_ < kMissesWorthReporting; }
    const std::string& Path() const { return path_; }

  private:
    // A first start: its end is kept so that a restart carries on to it.
    void RecordSurvey(std::int64_t started) {
        if (const auto why = WriteSurveyRecord(survey_.recordPath, SurveyHeading(o_.out), {started, *end_}))
            err_ << "zentra-log: cannot keep the survey's end in " << survey_.recordPath << ": "
                 << *why << " (a restart would count --for from its own start)\n";
    }

    RunEnd Loop() {
        const TickSource own = [this] {
            return AcquisitionTick(doc_, state_, timer_, kAcquisitionTimerId);
        };
        while (true) {
            if (!WaitForTick(timer_, stop_))
                return RunEnd::Stopped;
            if (const auto end = Step(own))
                return *end;
        }
    }

    std::optional<RunEnd> Second(const TickOutcome& tick, int before,
                                 std::chrono::microseconds took) {
        {
            // The CSV row is on the disk before the sample is reported.
            if (csv_.IsOpen() && !csv_.Append(doc_) && !csvFailureShown_) {
                err_ << "zentra-log: " << csv_.Path() << ": " << csv_.Error()
                     << " (it is written afresh when the project is saved)\n";
                csvFailureShown_ = true;
            }
            if (!o_.quiet && role_.printSamples)
                for (int n = before; n < doc_.m_SampleCount; ++n)
                    PrintSample(doc_, n, line_, out_);
            live_.Tick(doc_, tick, before, took, path_);
            if (!NoteAnswer(tick))
                return RunEnd::MeterSilent;
            if (role_.watchPort)
                WatchPort();
            if (recovery_.Update(doc_) == RecoveryStep::Failed && !recoveryFailureShown_) {
                err_ << "zentra-log: " << recovery_.LastError() << '\n';
                recoveryFailureShown_ = true;
            }
            if (!doc_.m_LoggingActive) {
                if (!o_.roll)
                    return RunEnd::Complete;
                if (!NextProject())
                    return RunEnd::FileFailed;
                return std::nullopt;
            }
            if (tick.recordsWritten > 0 && platform::Now() - lastSave_ >= kCheckpointSeconds) {
                Save(doc_, path_, err_);
                lastSave_ = platform::Now();
            }
        }
        return std::nullopt;
    }

    // Keeps count of missed replies; false once the meter has been silent too long.
    bool NoteAnswer(const TickOutcome& tick) {
        if (tick.filed == kFcReadings) {
            if (missed_ >= kMissesWorthReporting) {
                err_ << Tag() << "the meter answers again after " << missed_
                     << " missed replies\n";
            }
            missed_ = 0;
            lastAnswer_ = platform::Now();
            return true;
        }
        if (tick.exchanged && tick.filed == kReplyNone && doc_.m_LastRequest == kFcReadings) {
            // A single lost reply is routine on a noisy line; a run of them is worth saying.
            if (++missed_ == kMissesWorthReporting) {
                const std::string gateway = GatewayExceptionText(tick.exceptionCode);
                if (!gateway.empty())
                    err_ << Tag() << gateway << '\n';
                else
                    err_ << Tag() << "no reply from the meter"
                         << (tick.otherNode ? " (another node answers instead)" : "") << '\n';
            }
        }
        return platform::Now() - lastAnswer_ < o_.giveUpSeconds;
    }

    // An adapter that was pulled out leaves a dead handle: wait for the device to come
    // back under the same name and carry on with it.
    void WatchPort() {
        if (doc_.m_PortHandle != kInvalidPort && !PortGone(doc_.m_PortHandle))
            return;
        if (!portLost_)
            err_ << "zentra-log: " << o_.port << " has gone; waiting for it to come back\n";
        portLost_ = true;
        if (++lostTicks_ % kReopenEveryTicks != 0)
            return;
        doc_.m_PortHandle = OpenPort(doc_.m_Comms, OnlyThisPort(), doc_.m_PortHandle);
        if (doc_.m_PortHandle != kInvalidPort) {
            err_ << "zentra-log: " << o_.port << " is back\n";
            portLost_ = false;
            lostTicks_ = 0;
        }
    }

    bool OpenCsv() {
        if (!o_.csv)
            return true;
        const std::string path = RollFileName(*o_.csv, number_);
        if (csv_.Open(path, doc_))
            return true;
        err_ << "zentra-log: " << path << ": " << csv_.Error() << '\n';
        return false;
    }

    // Saves the project just completed, its CSV and its recovery copy's end.
    bool SaveProject() {
        recovery_.Update(doc_); // the final copy holds every sample until the file is safe
        if (!Save(doc_, path_, err_)) {
            if (recovery_.HasCopy())
                err_ << "zentra-log: the samples are kept in " << recovery_.CopyPath().string()
                     << "; the next start of zentra-log or Zentra recovers them\n";
            return false;
        }
        recovery_.Saved(doc_);
        saved_ = true;
        live_.Saved(path_);
        out_ << "Saved " << doc_.m_SampleCount << " samples to " << path_ << '\n' << std::flush;
        if (o_.csv && !csv_.Finish(doc_))
            err_ << "zentra-log: " << csv_.Path() << ": " << csv_.Error() << '\n';
        return true;
    }

    // The project is full: saved as it stands, and logging carries on in the next.
    bool NextProject() {
        if (!SaveProject())
            return false;
        const int next = o_.force ? number_ + 1 : FirstFreeRollNumber(o_.out, o_.csv, number_ + 1);
        if (next == 0 || !CheckRollFiles(o_, next, err_))
            return false;
        number_ = next;
        path_ = RollFileName(o_.out, number_);
        if (!StartNextProject(doc_, path_, state_, timer_))
            return false;
        saved_ = false;
        rolledOver_ = true;
        recovery_.SetSavePath(SavePathOf(path_));
        lastSave_ = platform::Now();
        if (!OpenCsv())
            csvFailureShown_ = true; // the rows are still in the project
        out_ << "Logging into " << path_ << '\n' << std::flush;
        return true;
    }

    int Finish(RunEnd how) {
        if (doc_.m_LoggingActive) {
            // Stop Data Retrieval: ends logging and closes the port.
            OnStopRetrieval(doc_);
        } else {
            // Logging ended with its last sample; Stop would move the recorded end to now.
            ClosePort(doc_.m_PortHandle);
            doc_.m_RetrievalActive = 0;
            doc_.m_Comms.portSetUp = 0;
        }
        if (how == RunEnd::Stopped)
            out_ << "Stopped after " << doc_.m_SampleCount << " of " << doc_.m_Samples
                 << " samples\n";
        if (how == RunEnd::SurveyOver)
            out_ << "The run's end is reached after " << doc_.m_SampleCount << " of "
                 << doc_.m_Samples << " samples\n";
        if (how == RunEnd::MeterSilent)
            err_ << Tag() << "the meter has not answered for " << o_.giveUpSeconds
                 << " s; the run ends\n";
        if (rolledOver_ && doc_.m_SampleCount == 0) {
            // The run ended as the next project of the roll began: no empty file.
            csv_.Discard();
            recovery_.Discard();
            out_ << "Nothing was logged into " << path_ << "; it is not written\n";
            saved_ = true;
        }
        if (!saved_ && !SaveProject())
            return kExitFailure;
        if (how == RunEnd::FileFailed)
            return kExitFailure;
        return how == RunEnd::MeterSilent ? kExitMeterSilent : kExitOk;
    }

    // "zentra-log: ", with the meter's name after it on a run of several meters.
    std::string Tag() const {
        return role_.tagMessages ? "zentra-log: " + role_.name + ": " : "zentra-log: ";
    }

    const LoggerOptions& o_;
    CZentraDoc& doc_;
    int number_;       // roll number of the project being logged (1 for the first)
    std::string path_; // its file
    std::ostream& out_;
    std::ostream& err_;
    const std::atomic<bool>& stop_;
    const RunHooks& hooks_;
    SurveySpan survey_;
    SessionRole role_;
    AcquisitionState state_;
    DeadlineTimer timer_;
    // The recovery copy: what a crash, a kill or a power cut cannot take away.
    RecoveryWriter recovery_;
    LiveCsv csv_;
    std::optional<std::int64_t> end_; // when the run ends of itself
    std::string line_;
    int missed_ = 0;
    bool portLost_ = false;
    int lostTicks_ = 0;
    std::int64_t lastAnswer_ = 0; // time of the last readings reply
    std::int64_t lastSave_ = 0;
    bool saved_ = false;      // the project as it stands is in its file
    bool rolledOver_ = false; // the project being logged is not the roll's first
    bool recoveryFailureShown_ = false;
    bool csvFailureShown_ = false;
    LiveTicker live_; // the live outlets, if any
};

MeterSession::MeterSession(const LoggerOptions& options, CZentraDoc& doc, int number,
                           std::ostream& out, std::ostream& err, const std::atomic<bool>& stop,
                           const RunHooks& hooks, SessionRole role)
    : impl_(std::make_unique<LoggingSession>(options, doc, number, out, err, stop, hooks,
                                             SurveySpan{}, std::move(role))) {}
MeterSession::~MeterSession() = default;
bool MeterSession::Begin() {
    return impl_->Begin();
}
std::optional<RunEnd> MeterSession::Step(const TickSource& tick) {
    return impl_->Step(tick);
}
int MeterSession::Finish(RunEnd how) {
    return impl_->Finish(how);
}
AcquisitionState& MeterSession::State() {
    return impl_->State();
}
AcquisitionTimer& MeterSession::Timer() {
    return impl_->Timer();
}
bool MeterSession::Answering() const {
    return impl_->Answering();
}
const std::string& MeterSession::Path() const {
    return impl_->Path();
}

std::string LocalTimeText(std::int64_t time) {
    const GetSystemDate date(time);
    return std::string(date.m_MonthName.data()) + " " + date.m_Day.data() + " " +
           date.m_Year.data() + " " + date.m_Clock.data();
}

int RunSession(const LoggerOptions& options, CZentraDoc& doc, int number, std::ostream& out,
               std::ostream& err, const std::atomic<bool>& stop, const RunHooks& hooks,
               const SurveySpan& survey, SessionRole role) {
    LoggingSession session(options, doc, number, out, err, stop, hooks, survey, std::move(role));
    return session.Run();
}

} // namespace zentra::logger

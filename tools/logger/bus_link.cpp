#include "tools/logger/bus_link.h"

#include "acquisition/acquisition_cycle.h"
#include "comms/meter.h"
#include "comms/serial_link.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "tools/logger/bus_schedule.h"
#include "tools/logger/logger_session.h"
#include "tools/logger/logger_survey.h"
#include "tools/logger/logger_timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <poll.h>

namespace zentra::logger {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kSilentAskSeconds = 10; // a silent meter is asked this often
constexpr int kReopenEveryRounds = 5;          // rounds between attempts to reopen the port

enum class MeterState { Waiting, Logging, Ended };

struct BusMeter {
    MeterEntry entry;
    LoggerOptions options; // the run's, with this meter's node, order and files
    std::unique_ptr<CZentraDoc> doc;
    std::unique_ptr<MeterSession> session;
    std::unique_ptr<K760modbus> link; // holds the reply to its last request until filed
    bool replyHeld = false;           // link holds a reply read this round, to be filed
    bool rested = false;              // its request was held back last round (the line is full)
    MeterState state = MeterState::Waiting;
    int exit = kExitOk;
    std::int64_t lastAsked = 0; // when a silent or unidentified meter was last asked
    std::int64_t since = 0;     // when it was first asked (unidentified) / went silent
    int firstNumber = 1;        // roll number of its first project
    bool identityMissShown = false;
    int logged = 0, planned = 0; // samples of its current project, for the progress line
};

bool IsComName(const std::string& port) {
    return port.size() == 4 && port.starts_with("COM") && port[3] >= '1' && port[3] <= '9';
}

class BusLink {
  public:
    explicit BusLink(const LinkContext& c) : c_(c), timer_(c.plan.run.tickMs) {}

    int Run() {
        if (!OpenLine())
            return kExitFailure;
        for (const MeterEntry& entry : c_.link.meters)
            meters_.push_back(NewMeter(entry));
        const int capacity = MetersPerSecond(line_);
        if (static_cast<int>(meters_.size()) > capacity)
            room_ = capacity;
        if (room_) {
            c_.err << "zentra-log: " << c_.link.port << " at " << line_.baud << " baud carries "
                   << "the readings of about " << capacity << " meters a second; " << meters_.size()
                   << " meters share it, ";
            // At a 1 s period every reply is a logged sample: nothing can wait its turn.
            if (c_.plan.run.period * c_.plan.run.periodMultiplier == 1)
                c_.err << "more than a 1 s period can serve: each round runs late and samples "
                       << "are doubled where a second was missed (a longer period, a faster "
                       << "line or fewer meters on it avoid that)\n";
            else
                c_.err << "so their live readings are spread over the seconds (each logged "
                       << "sample is still read at its own time)\n";
        }
        // Every meter is asked once before any logs: those that answer start at once.
        for (BusMeter& m : meters_) {
            if (c_.stop.load())
                break;
            TryIdentify(m);
        }
        timer_.Arm(kAcquisitionTimerId, kTickPeriod);
        while (!AllEnded()) {
            if (!WaitForTick(timer_, c_.stop))
                break;
            timer_.Arm(kAcquisitionTimerId, kTickPeriod);
            if (c_.hooks.beforeTick)
                c_.hooks.beforeTick();
            Round();
        }
        return Finish();
    }

  private:
    bool OpenLine() {
        const LinkPlan& l = c_.link;
        CZentraDoc& doc = *(lineDoc_ = NewRunDocument());
        SetText(doc.m_Comms.port, IsComName(l.port) ? l.port.c_str() : "COM1");
        if (l.baud)
            SetText(doc.m_Comms.baud, l.baud->c_str());
        if (l.parity)
            SetText(doc.m_Comms.parity, l.parity->c_str());
        if (l.stop)
            SetText(doc.m_Comms.stopBits, l.stop->c_str());
        if (l.latencyMs)
            SetText(doc.m_Comms.latency, std::to_string(*l.latencyMs).c_str());
        comms_ = doc.m_Comms;
        latency_ = std::chrono::milliseconds(LatencyMilliseconds(comms_));
        line_ = TimingOf(comms_.baud.data(), comms_.parity.data(), comms_.stopBits.data());
        Open();
        if (port_ == kInvalidPort) {
            c_.err << "zentra-log: cannot open " << l.port << ": " << openFailure_ << '\n';
            return false;
        }
        c_.out << "Port: " << l.port << ", " << comms_.baud.data() << " baud, parity "
               << comms_.parity.data() << ", " << comms_.stopBits.data() << " stop bit(s), "
               << l.meters.size() << " meters\n"
               << std::flush;
        return true;
    }

    void Open() {
        if (IsComName(c_.link.port)) {
            port_ = OpenPort(comms_, EnumeratePorts(), port_);
            openFailure_ = LastOpenFailure();
            return;
        }
        // A device path or a network address named directly.
        ClosePort(port_);
        const auto opened = platform::OpenSerialDevice(c_.link.port);
        if (opened.fd < 0) {
            openFailure_ = opened.detail.empty() ? "the device cannot be opened" : opened.detail;
            return;
        }
        if (const auto line = platform::ParseDefinitionText(BuildDefinitionText(comms_)))
            (void)platform::ApplyLineSettings(opened.fd, *line);
        platform::SetReplyLatency(opened.fd, latency_);
        port_ = opened.fd;
    }

    BusMeter NewMeter(const MeterEntry& entry) {
        BusMeter m;
        m.entry = entry;
        m.options = c_.plan.run;
        m.options.port = c_.link.port;
        m.options.out = MeterProjectPath(c_.plan, entry);
        m.options.csv = c_.plan.csv ? std::optional(MeterCsvPath(c_.plan, entry)) : std::nullopt;
        m.options.node = entry.node;
        m.options.order = entry.order     ? entry.order
                          : c_.link.order ? c_.link.order
                                          : c_.plan.run.order;
        // The end is the survey's, however late the meter starts.
        m.options.forSeconds.reset();
        m.options.until = c_.end;
        if (m.options.roll && !m.options.force)
            m.firstNumber = FirstFreeRollNumber(m.options.out, m.options.csv, 1);
        m.doc = NewRunDocument();
        m.doc->m_Comms = comms_;
        m.doc->m_ModbusNode = entry.node;
        if (m.options.order)
            m.doc->m_Comms.floatOrder = *m.options.order;
        m.since = platform::Now();
        return m;
    }

    K760modbus Link(const BusMeter& m) const {
        return K760modbus(port_, NodeByte(m.doc->m_ModbusNode), m.doc->m_Comms.floatOrder);
    }

    // Waits for the reply to the request just sent: up to the latency for its first
    // byte, then the read, which ends with the frame.
    void Exchange(BusMeter& m, K760modbus& meter) {
        const auto start = Clock::now();
        WaitForFirstByte(start + latency_);
        meter.ReceiveReply();
        if (!c_.feed)
            return;
        const auto took =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
        RequestResult result = RequestResult::kOk;
        if (meter.client.rxCount == 0)
            result = RequestResult::kNoReply;
        else if (meter.client.status != 0)
            result = RequestResult::kBadCrc;
        else if (meter.client.replyNode != meter.node)
            result = RequestResult::kWrongNode;
        else if (meter.client.exceptionCode != 0 || (meter.client.rxBuffer[1] & 0x80) != 0)
            result = RequestResult::kException;
        c_.feed->Request(m.entry.name, result, took);
    }

    // Until a byte is in or `until`; a long latency (a slow gateway) is cut short by
    // a stop request within kStopPollSlice.
    void WaitForFirstByte(Clock::time_point until) const {
        pollfd pfd{port_, POLLIN, 0};
        while (!c_.stop.load()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
            if (left.count() <= 0)
                return;
            if (::poll(&pfd, 1, static_cast<int>(std::min(left, kStopPollSlice).count())) != 0)
                return;
        }
    }

    // One identity request; on an answer the meter's run begins.
    void TryIdentify(BusMeter& m) {
        m.lastAsked = platform::Now();
        if (port_ == kInvalidPort)
            return;
        K760modbus meter = Link(m);
        if (meter.RequestIdentity() == 0)
            return;
        Exchange(m, meter);
        if (meter.replyFunction != kFcIdentity ||
            meter.decodedCount <= static_cast<std::uint32_t>(kIdentityVersion)) {
            if (!m.identityMissShown) {
                c_.err << "zentra-log: " << m.entry.name << ": no answer from node " << m.entry.node
                       << " on " << c_.link.port << "; asked again every " << kSilentAskSeconds
                       << " s, the others log meanwhile\n";
                // The outlets show the meter as not answering, not as unknown (and an
                // "online" left by an earlier run is put right).
                if (c_.feed)
                    c_.feed->Availability(m.entry.name, false);
            }
            m.identityMissShown = true;
            return;
        }
        const double model = meter.identity[kIdentityModel];
        const double version = meter.identity[kIdentityVersion];
        if (!ModelNumberPlausible(model)) {
            c_.err << "zentra-log: " << m.entry.name
                   << ": Endian and/or Word Swapping incorrectly set (model number " << model
                   << " with order " << m.doc->m_Comms.floatOrder << "); it is not logged\n";
            End(m, kExitFailure);
            return;
        }
        CZentraDoc& doc = *m.doc;
        doc.m_ModelNumber = model;
        doc.m_VersionFraction = VersionFraction(version);
        doc.m_SystemType = MeterVariant(version);
        char text[200];
        std::snprintf(text, sizeof text,
                      "%s: node %d, model %.0f, version %.3f, variant %d (%s list)\n",
                      m.entry.name.c_str(), m.entry.node, model, version, doc.m_SystemType,
                      doc.ShortList() ? "short" : "full");
        c_.out << text << std::flush;
        if (c_.feed) {
            MeterDescription d;
            d.meter = m.entry.name;
            d.node = m.entry.node;
            d.link = c_.link.port;
            std::snprintf(text, sizeof text, "%.0f", model);
            d.model = text;
            std::snprintf(text, sizeof text, "%.3f", version);
            d.version = text;
            std::snprintf(text, sizeof text, "%.0f%04.0f", meter.identity[kIdentitySerialHigh],
                          meter.identity[kIdentitySerialLow]);
            d.serial = text;
            d.systemType = doc.m_SystemType;
            c_.feed->MeterIdentified(d);
        }
        Begin(m);
    }

    void Begin(BusMeter& m) {
        if (m.firstNumber == 0 || !CheckRollFiles(m.options, m.firstNumber, c_.err)) {
            End(m, kExitFailure);
            return;
        }
        CZentraDoc& doc = *m.doc;
        ApplyLoggingOptions(m.options, doc);
        doc.m_PortHandle = port_;
        doc.m_Comms.portSetUp = 1;
        SessionRole role;
        role.name = m.entry.name;
        role.tagMessages = true;
        role.printSamples = false;
        role.watchPort = false;
        role.reportRequests = false;
        role.feed = c_.feed;
        m.session = std::make_unique<MeterSession>(m.options, doc, m.firstNumber, c_.out, c_.err,
                                                   c_.stop, noHooks_, role);
        // Enable Logging sends the readings-layout request on the line: its reply is
        // read now, before anything else goes out.
        const bool begun = m.session->Begin();
        doc.m_PortHandle = kInvalidPort; // the line is the link's, never a meter's to close
        if (!begun) {
            m.session.reset();
            End(m, kExitFailure);
            return;
        }
        m.link = std::make_unique<K760modbus>(Link(m));
        Exchange(m, *m.link);
        m.replyHeld = true;
        m.state = MeterState::Logging;
    }

    void End(BusMeter& m, int exit) {
        m.state = MeterState::Ended;
        m.exit = exit;
    }

    bool WantsRequest(const BusMeter& m, std::int64_t now) const {
        return port_ != kInvalidPort &&
               (m.session->Answering() || m.replyHeld || now - m.lastAsked >= kSilentAskSeconds);
    }

    // Whether the reply to this round's request is one the log takes (or the meter
    // is still starting, or logging has ended): its turn cannot wait.
    static bool Due(const BusMeter& m) {
        const CZentraDoc& d = *m.doc;
        if (!d.m_LoggingActive || d.m_LastRequest != kFcReadings)
            return true;
        std::int64_t countdown = d.m_TickCountdown;
        if (m.replyHeld) {
            if (countdown <= 0)
                countdown = static_cast<std::int64_t>(d.m_Period) * d.m_PeriodMultiplier;
            --countdown;
        } else if (m.rested) {
            --countdown;
        }
        return countdown <= 0;
    }

    // The second of one logging meter: its reply of last round filed, its next
    // request sent and answered; a silent one is asked only every kSilentAskSeconds.
    // Without `turn` (a full line) the reply is filed and the request waits: the
    // second it skips still counts towards the meter's period.
    void Step(BusMeter& m, bool turn) {
        const std::int64_t now = platform::Now();
        const bool answering = m.session->Answering();
        const bool ask = turn && WantsRequest(m, now);
        const bool rested = m.rested;
        m.rested = !turn && WantsRequest(m, now);
        bool sent = false;
        const TickSource tick = [&] {
            K760modbus& link = *m.link;
            link.port = port_;
            link.client.txLength = 0;
            CZentraDoc& doc = *m.doc;
            if (rested && !m.replyHeld) {
                // Nothing came for the second held back: it passes as a reply the
                // log does not take would, so the logged samples keep their times.
                if (doc.m_LoggingActive && doc.m_TickCountdown > 0)
                    --doc.m_TickCountdown;
                if (ask) {
                    link.RequestReadings();
                    sent = link.client.txLength > 0;
                }
                return TickOutcome{};
            }
            if (!ask && !(m.rested && m.replyHeld))
                return TickOutcome{}; // nothing on the line for this meter this second
            const TickOutcome outcome =
                SharedLineTick(doc, m.session->State(), m.session->Timer(), link, ask, round_);
            sent = link.client.txLength > 0;
            return outcome;
        };
        const auto end = m.session->Step(tick);
        if (sent) {
            m.lastAsked = now;
            Exchange(m, *m.link);
            m.replyHeld = m.link->client.rxCount > 0;
        } else {
            *m.link = Link(m);
            m.replyHeld = false;
        }
        if (answering && !m.session->Answering())
            m.since = now;
        if (end) {
            const int exit = m.session->Finish(*end);
            m.session.reset();
            End(m, exit);
        }
    }

    // Who asks this round: everyone while the line has room, else the turns.
    std::vector<bool> Turns() {
        std::vector<bool> turns(meters_.size(), true);
        if (!room_)
            return turns;
        const std::int64_t now = platform::Now();
        std::vector<TurnClaim> claims(meters_.size());
        int room = *room_;
        for (std::size_t i = 0; i < meters_.size(); ++i) {
            const BusMeter& m = meters_[i];
            if (m.state == MeterState::Waiting && now - m.lastAsked >= kSilentAskSeconds)
                --room; // an identity request goes out whatever the turns
            else if (m.state == MeterState::Logging)
                claims[i] = TurnClaim{WantsRequest(m, now), Due(m)};
        }
        return ChooseTurns(claims, room, nextTurn_);
    }

    void Round() {
        // Every reply of the round is filed under the second the round began in: the
        // meters asked late in it (40 meters fill most of a second at 115200 baud) keep
        // their samples one period apart, not moved to the next second by a few ms.
        round_ = platform::Now();
        WatchPort();
        bool logged = false;
        const std::vector<bool> turns = Turns();
        for (std::size_t i = 0; i < meters_.size(); ++i) {
            BusMeter& m = meters_[i];
            const std::int64_t now = platform::Now();
            if (m.state == MeterState::Waiting) {
                if (c_.end && now >= *c_.end) {
                    End(m, kExitOk);
                } else if (now - m.since >= c_.plan.run.giveUpSeconds) {
                    c_.err << "zentra-log: " << m.entry.name << ": node " << m.entry.node
                           << " has not answered for " << c_.plan.run.giveUpSeconds
                           << " s; it is not logged\n";
                    End(m, kExitMeterSilent);
                } else if (now - m.lastAsked >= kSilentAskSeconds) {
                    TryIdentify(m);
                }
                continue;
            }
            if (m.state != MeterState::Logging)
                continue;
            const int before = m.doc->m_SampleCount;
            Step(m, turns[i]);
            if (m.doc->m_SampleCount != before) {
                logged = true;
                m.logged = m.doc->m_SampleCount;
                m.planned = m.doc->m_Samples;
            }
        }
        if (logged && !c_.plan.run.quiet)
            PrintRound();
    }

    void PrintRound() {
        line_text_ = LocalTimeText(platform::Now());
        char item[96];
        for (const BusMeter& m : meters_) {
            switch (m.state) {
            case MeterState::Waiting:
                std::snprintf(item, sizeof item, "  %s waiting for an answer",
                              m.entry.name.c_str());
                break;
            case MeterState::Ended:
                std::snprintf(item, sizeof item, "  %s %d/%d ended", m.entry.name.c_str(), m.logged,
                              m.planned);
                break;
            case MeterState::Logging:
                if (port_ == kInvalidPort)
                    std::snprintf(item, sizeof item, "  %s port gone", m.entry.name.c_str());
                else if (!m.session->Answering())
                    std::snprintf(item, sizeof item, "  %s silent since %s", m.entry.name.c_str(),
                                  LocalTimeText(m.since).c_str() + 12);
                else
                    std::snprintf(item, sizeof item, "  %s %d/%d", m.entry.name.c_str(),
                                  m.doc->m_SampleCount, m.doc->m_Samples);
                break;
            }
            line_text_ += item;
        }
        c_.out << line_text_ << '\n' << std::flush;
    }

    // An adapter that was pulled out (or a gateway that dropped the connection)
    // leaves a dead handle: reopen it under the same name, every few rounds.
    void WatchPort() {
        if (port_ != kInvalidPort && !PortGone(port_))
            return;
        if (!portLost_)
            c_.err << "zentra-log: " << c_.link.port << " has gone; waiting for it to come back\n";
        portLost_ = true;
        if (++lostRounds_ % kReopenEveryRounds != 0)
            return;
        Open();
        if (port_ != kInvalidPort) {
            c_.err << "zentra-log: " << c_.link.port << " is back\n";
            portLost_ = false;
            lostRounds_ = 0;
        }
    }

    bool AllEnded() const {
        for (const BusMeter& m : meters_)
            if (m.state != MeterState::Ended)
                return false;
        return true;
    }

    int Finish() {
        int exit = kExitOk;
        for (BusMeter& m : meters_) {
            if (m.state == MeterState::Logging) {
                const int status =
                    m.session->Finish(c_.stop.load() ? RunEnd::Stopped : RunEnd::SurveyOver);
                m.session.reset();
                End(m, status);
            } else if (m.state == MeterState::Waiting) {
                c_.out << m.entry.name << ": never answered; nothing was logged\n";
                End(m, kExitOk);
            }
            if (m.exit == kExitFailure || (m.exit == kExitMeterSilent && exit == kExitOk))
                exit = m.exit;
        }
        ClosePort(port_);
        return exit;
    }

    const LinkContext& c_;
    RunHooks noHooks_{false, {}, {}, nullptr}; // a meter's session leaves the clock to the run
    DeadlineTimer timer_;
    std::unique_ptr<CZentraDoc> lineDoc_; // the line's settings as a new project has them
    CommSettings comms_;
    LineTiming line_;
    std::chrono::milliseconds latency_{0};
    PortHandle port_ = kInvalidPort;
    std::string openFailure_;
    std::vector<BusMeter> meters_;
    std::optional<int> room_;  // transactions a round has room for, on a line that is full
    std::size_t nextTurn_ = 0; // the meter whose turn comes first among those not due
    std::int64_t round_ = 0;   // the second the round stands for
    std::string line_text_;
    bool portLost_ = false;
    int lostRounds_ = 0;
};

} // namespace

int RunLink(const LinkContext& context) {
    BusLink link(context);
    return link.Run();
}

} // namespace zentra::logger

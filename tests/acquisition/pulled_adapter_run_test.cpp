// A USB adapter pulled out mid-run: missing replies at once, nothing lost, no spinning,
// and the same COM port works again once the adapter is back under its by-id name.
#include "acquisition/acquisition_cycle.h"
#include "acquisition/logging_commands.h"
#include "acquisition/port_state.h"
#include "comms/serial_link.h"
#include "document/project_file.h"
#include "platform/clock.h"
#include "tests/acquisition/acquisition_test_support.h"
#include "tests/acquisition/logger_process.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <memory>
#include <optional>
#include <thread>

namespace zentra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Far above what waiting on a timer costs, far below a loop that spins.
constexpr double kMaxCpuShare = 0.25;

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

class PulledAdapter : public ::testing::Test {
  protected:
    test::TempDir dir_;
    // The adapter's stable name, as /dev/serial/by-id gives it.
    const std::string byId_ = dir_.File("usb-Zentra_RS485-if00-port0");
    std::unique_ptr<sim::MeterSimulator> meter_;

    void PlugIn() {
        sim::SimOptions options;
        options.link = byId_;
        meter_ = std::make_unique<sim::MeterSimulator>(options);
        ASSERT_TRUE(meter_->Start()) << meter_->Error();
    }
};

// The cycle driven as the view's timer drives it (one tick per period, waiting in
// between), with the clock one second per tick.
class PulledDuringRetrieval : public PulledAdapter, protected test::CycleRig {
  protected:
    std::optional<test::ScopedEnv> com1_;
    static constexpr auto kTick = 50ms;

    void Connect() {
        ASSERT_TRUE(OpenCom1());
        doc->m_LastRequest = 0;
    }
    // Runs n ticks; returns the longest one.
    Clock::duration Ticks(int n) {
        Clock::duration longest{};
        for (int i = 0; i < n; ++i) {
            std::this_thread::sleep_for(kTick);
            clock.Advance(1);
            const auto start = Clock::now();
            AcquisitionTick(*doc, state, timer, kAcquisitionTimerId);
            longest = std::max(longest, Clock::now() - start);
        }
        return longest;
    }
};

TEST_F(PulledDuringRetrieval, MissingRepliesWithoutSpinningThenTheSamePortAgain) {
    PlugIn();
    com1_.emplace("ZENTRA_COM1", byId_.c_str());
    Connect();
    ASSERT_TRUE(OnStartRetrieval(*doc, state, timer));
    Ticks(6); // layout, information, readings ...
    const int filled = doc->m_LiveIndex;
    ASSERT_GE(filled, 3);
    const RingEntry kept = doc->m_LiveValues[0];
    EXPECT_FALSE(PortGone(*doc));

    meter_->CloseMaster(); // the adapter is pulled out
    const double cpuBefore = ProcessCpuSeconds();
    const auto wallBefore = Clock::now();
    const auto longest = Ticks(40);
    const double wall = Seconds(Clock::now() - wallBefore);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    RecordProperty("cpu_ms_over_40_ticks", static_cast<int>(cpu * 1000));
    EXPECT_LT(cpu, kMaxCpuShare * wall) << cpu << " s of CPU in " << wall << " s";
    EXPECT_LT(longest, 200ms) << "a tick waited on the dead port";

    EXPECT_TRUE(PortGone(*doc));
    EXPECT_EQ(doc->m_RetrievalActive, 1);
    EXPECT_EQ(doc->m_Comms.portSetUp, 1);
    EXPECT_EQ(doc->m_LiveIndex, filled); // nothing filed, nothing lost
    EXPECT_TRUE(doc->m_LiveValues[0] == kept);
    EXPECT_EQ(doc->m_LastRequest, kFcReadings); // still asking
    EXPECT_TRUE(messages.shown().empty());

    // The adapter is plugged in again: a new device behind the same by-id name. The
    // Communication page closes the dead handle and opens COM1 afresh; then Restart.
    PlugIn();
    Connect();
    EXPECT_FALSE(PortGone(*doc));
    ASSERT_TRUE(OnRestartRetrieval(*doc, state, timer));
    Ticks(6);
    EXPECT_GE(doc->m_LiveIndex, 3);
    EXPECT_GT(doc->m_LiveValues[2][1], 100.0); // a voltage from the meter
}

TEST_F(PulledAdapter, ALoggingProgramWaitsQuietlyAndCarriesOnWhenTheAdapterIsBack) {
    PlugIn();
    const std::string out = dir_.File("run.ztr");
    test::LoggerProcess logger({"COM1", "--period", "1s", "--latency", "20", "--tick-ms", "50",
                                "--samples", "7200", "--out", out},
                               test::LoggerEnvironment(dir_.path(), byId_));
    ASSERT_TRUE(logger.started()) << test::LoggerProgram();
    ASSERT_TRUE(logger.WaitForText("sample 5/", 30s)) << logger.Output() << logger.Errors();

    meter_->CloseMaster();
    ASSERT_TRUE(logger.WaitForText("has gone", 10s, true)) << logger.Errors();
    const int before = logger.LastSampleShown();
    const double cpuBefore = logger.CpuSeconds();
    const auto wallBefore = Clock::now();
    logger.Drain(3s);
    const double wall = Seconds(Clock::now() - wallBefore);
    const double cpu = logger.CpuSeconds() - cpuBefore;
    RecordProperty("logger_cpu_ms_over_3s", static_cast<int>(cpu * 1000));
    EXPECT_LT(cpu, kMaxCpuShare * wall) << cpu << " s of CPU in " << wall << " s";
    ASSERT_TRUE(logger.Running()) << logger.Errors();
    EXPECT_LE(logger.LastSampleShown(), before + 1); // no samples without a meter

    // The run has let go of the dead device by now, so another adapter plugged in
    // meanwhile is given the number the pulled one had. It is not this run's meter.
    sim::MeterSimulator stranger;
    ASSERT_TRUE(stranger.Start()) << stranger.Error();
    logger.Drain(1s);
    EXPECT_EQ(stranger.RequestsSeen(), 0u);
    EXPECT_EQ(logger.Errors().find("is back"), std::string::npos) << logger.Errors();

    PlugIn(); // back under the same name
    ASSERT_TRUE(logger.WaitForText("is back", 10s, true)) << logger.Errors();
    ASSERT_TRUE(logger.WaitForText("sample " + std::to_string(before + 3) + "/", 10s))
        << logger.Output();

    logger.Signal(SIGINT); // Ctrl+C: stop and save
    ASSERT_EQ(logger.Wait(20s), 0) << logger.Errors();
    auto doc = std::make_unique<CZentraDoc>();
    ASSERT_TRUE(OnOpenDocument(*doc, out).ok);
    EXPECT_EQ(doc->m_SampleCount, logger.LastSampleShown());
    EXPECT_EQ(doc->m_Finished, 1);
    // The samples before the pull are kept, real readings after it.
    EXPECT_GT(doc->m_SampleValues[0][1], 100.0);
    EXPECT_GT(doc->m_SampleValues[static_cast<std::size_t>(doc->m_SampleCount - 1)][1], 100.0);
}

} // namespace
} // namespace zentra

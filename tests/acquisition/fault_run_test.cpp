// Logging runs against the simulator with injected faults; the simulator's clock follows
// the hand-stepped one, so every logged value is checked against what the meter measured.
#include "acquisition/acquisition_cycle.h"
#include "acquisition/logging_commands.h"
#include "comms/serial_link.h"
#include "platform/clock.h"
#include "tests/acquisition/acquisition_test_support.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_model.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <optional>
#include <thread>

namespace zentra {
namespace {

using namespace std::chrono_literals;

using test::kStart;

// The meter delivers its block in reverse order, so every value goes through the
// layout reply and m_ReadingMap.
sim::Layout ReversedLayout() {
    sim::Layout layout{};
    for (int p = 0; p < sim::kReadingCount; ++p)
        layout[static_cast<std::size_t>(p)] = static_cast<std::uint8_t>(sim::kReadingCount - p);
    return layout;
}

template <class Done> bool WaitFor(Done done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class FaultRun : public ::testing::Test, protected test::CycleRig {
  protected:
    std::atomic<double> simSeconds{0.0};
    sim::MeterSimulator simulator{Options()};
    std::optional<test::ScopedEnv> com1;
    std::map<std::int64_t, std::int32_t> filedAt; // tick time -> what it filed
    bool simulatorGone = false;

    sim::SimOptions Options() {
        sim::SimOptions options;
        options.layout = ReversedLayout();
        options.clock = [this] { return simSeconds.load(); };
        return options;
    }

    void SetUp() override {
        ASSERT_TRUE(simulator.Start()) << simulator.Error();
        com1.emplace("ZENTRA_COM1", simulator.DevicePath().c_str());
        ASSERT_TRUE(OpenCom1());
        doc->m_Samples = 1000;
        ASSERT_TRUE(OnEnableLogging(*doc, state, timer));
        AwaitSimulator(0, 0);
        for (int tick = 0; tick < 2; ++tick) // layout, information
            Step();
        ASSERT_EQ(doc->m_ReadingMap[0], sim::kReadingCount); // index 1 at the last position
    }

    // Waits until the simulator has taken the request and answered it (or, for a
    // dropped reply, briefly: it never comes).
    void AwaitSimulator(std::uint64_t seenBefore, std::uint64_t sentBefore) {
        if (simulatorGone)
            return;
        if (WaitFor([&] { return simulator.RequestsSeen() > seenBefore; }, 500ms))
            WaitFor([&] { return simulator.RepliesSent() > sentBefore; }, 60ms);
    }

    // One tick, one second after the previous one. The meter answers what it
    // measures at the moment the request went out.
    TickOutcome Step() {
        const std::uint64_t seen = simulator.RequestsSeen();
        const std::uint64_t sent = simulator.RepliesSent();
        clock.Advance(1);
        simSeconds = static_cast<double>(clock.Get() - kStart);
        const std::size_t armedBefore = timer.armed.size();
        const TickOutcome outcome = AcquisitionTick(*doc, state, timer, state.timerId);
        EXPECT_EQ(timer.armed.size(), armedBefore + 1);
        EXPECT_EQ(timer.armed.back().period, 1000ms);
        filedAt[clock.Get()] = outcome.filed;
        AwaitSimulator(seen, sent);
        return outcome;
    }

    int Run(int ticks) {
        int records = 0;
        for (int i = 0; i < ticks; ++i)
            records += Step().recordsWritten;
        return records;
    }

    // Every record holds what the meter measured when its request went out (one tick
    // before the reply was filed), through the layout; records are in time order; a
    // repeated time is the one-second duplicate after a two-second gap.
    void ExpectLogConsistent() {
        sim::MeterModel model;
        std::int64_t previousTime = 0;
        const SampleRecord* previous = nullptr;
        std::int64_t previousDistinct = 0;
        for (int n = 0; n < doc->m_SampleCount; ++n) {
            const auto i = static_cast<std::size_t>(n);
            const std::int64_t t = doc->m_SampleTimes[i];
            const SampleRecord& record = doc->m_SampleValues[i];
            ASSERT_EQ(filedAt.count(t), 1u) << "record " << n << " at a time with no tick";
            EXPECT_EQ(filedAt[t], 4) << "record " << n << " without a readings reply";
            ASSERT_GE(t, previousTime) << n;
            if (previous && t == previousTime) {
                EXPECT_EQ(record, *previous) << "duplicate " << n << " differs";
                EXPECT_EQ(t - previousDistinct, 2) << "duplicate " << n << " without a 2 s gap";
            } else {
                previousDistinct = previousTime;
                const auto measured = model.Readings(static_cast<double>(t - 1 - kStart));
                EXPECT_EQ(record[0], 0.0);
                for (std::size_t j = 0; j < LoggedColumns.size(); ++j)
                    ASSERT_EQ(record[j + 1],
                              static_cast<double>(
                                  measured[static_cast<std::size_t>(LoggedColumns[j] - 1)]))
                        << "record " << n << " column " << j;
            }
            previous = &record;
            previousTime = t;
        }
    }

    void ExpectStillRunning() {
        EXPECT_EQ(doc->m_RetrievalActive, 1);
        EXPECT_EQ(doc->m_LoggingActive, 1);
        EXPECT_EQ(doc->m_Locked, 1);
    }
};

TEST_F(FaultRun, FaultsThatSpoilEveryReplyLogNothingUntilTheyClear) {
    sim::SimFaults crc, exception, otherNode, noise;
    crc.corruptCrc = true;
    exception.exceptionCode = 4;
    otherNode.answerAsNode = 7;
    noise.garbage = true;
    Run(3);
    const std::pair<const char*, sim::SimFaults> cases[] = {
        {"bad CRC", crc}, {"exception", exception}, {"another node", otherNode}, {"noise", noise}};
    for (const auto& [name, faults] : cases) {
        SCOPED_TRACE(name);
        const int before = doc->m_SampleCount;
        const int ringBefore = doc->m_LiveIndex;
        simulator.SetFaults(faults);
        for (int i = 0; i < 4; ++i) {
            const TickOutcome tick = Step();
            if (i == 0)
                continue; // this tick still reads the last clean reply
            EXPECT_EQ(tick.filed, kReplyNone);
            EXPECT_TRUE(tick.readingsRequested);
            EXPECT_EQ(tick.otherNode, faults.answerAsNode != 0);
        }
        EXPECT_EQ(doc->m_SampleCount, before + 1);
        EXPECT_EQ(doc->m_LiveIndex, ringBefore + 1);
        simulator.SetFaults({});
        Step(); // reads the last spoiled reply
        EXPECT_EQ(Run(3), 3);
        ExpectStillRunning();
    }
    ExpectLogConsistent();
}

TEST_F(FaultRun, DroppedRepliesLeaveGapsAndTheOneSecondDuplicates) {
    Run(2);
    sim::SimFaults faults;
    faults.dropEvery = 3;
    simulator.SetFaults(faults);
    const int written = Run(9);
    simulator.SetFaults({});
    Run(2);
    ExpectStillRunning();
    // Each drop costs one reply; the next reply two seconds after the last record
    // logs that second twice.
    EXPECT_GE(written, 8);
    int duplicates = 0;
    for (int n = 1; n < doc->m_SampleCount; ++n)
        duplicates += doc->m_SampleTimes[static_cast<std::size_t>(n)] ==
                      doc->m_SampleTimes[static_cast<std::size_t>(n - 1)];
    EXPECT_GE(duplicates, 2);
    ExpectLogConsistent();
}

TEST_F(FaultRun, TheMeterVanishingMidRunIsAMissingReplyAndLoggingGoesOn) {
    EXPECT_EQ(Run(4), 4);
    simulator.CloseMaster();
    simulatorGone = true;
    for (int i = 0; i < 5; ++i) {
        const TickOutcome tick = Step();
        EXPECT_TRUE(tick.exchanged);
        if (i > 0) {
            EXPECT_EQ(tick.filed, kReplyNone);
        }
    }
    ExpectStillRunning();
    EXPECT_LE(doc->m_SampleCount, 5);
    ExpectLogConsistent();

    messages.QueueAnswer(platform::MessageAnswer::Yes);
    EXPECT_TRUE(OnStopRetrieval(*doc));
    EXPECT_EQ(doc->m_PortHandle, kInvalidPort);
    EXPECT_EQ(doc->m_Finished, 1);
}

} // namespace
} // namespace zentra

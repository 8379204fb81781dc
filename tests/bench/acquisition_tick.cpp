// The acquisition cycle's cost per tick: filing one readings reply (ring, logging
// step, record) with no serial I/O, and a whole tick against the in-process meter
// simulator (read the waiting reply, file it, send the next request). The "allocs"
// counter is the number of heap allocations per tick made on the ticking thread
// (the simulator's own thread is not counted).
#include "acquisition/acquisition_cycle.h"
#include "acquisition/logging_commands.h"
#include "comms/serial_link.h"
#include "platform/clock.h"
#include "tests/bench/allocation_counter.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_simulator.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>

namespace {

// Documents read and write the user's defaults: keep them in a private folder.
const zentra::test::ScopedUserFolders g_folders;

constexpr zentra::platform::TimeSeconds kStart = 1357394589;

class NullTimer final : public zentra::AcquisitionTimer {
  public:
    int Arm(int id, std::chrono::milliseconds) override { return id; }
    void Kill(int) override {}
};

std::unique_ptr<zentra::CZentraDoc> LoggingDoc() {
    auto doc = std::make_unique<zentra::CZentraDoc>();
    doc->OnNewDocument();
    doc->m_Samples = zentra::kMaxSamples;
    doc->m_LoggingActive = 1;
    doc->m_Locked = 1;
    return doc;
}

void BM_FileReadingsReply(benchmark::State& state) {
    zentra::platform::ManualClock clock(kStart);
    auto doc = LoggingDoc();
    zentra::ReadingsBlock block{};
    for (std::size_t p = 0; p < block.size(); ++p)
        block[p] = 230.0 + static_cast<double>(p);
    const long before = zentra::bench::t_allocations;
    for (auto _ : state) {
        clock.Advance(1);
        zentra::StoreInRing(*doc, block, zentra::kBlockReadings, clock.Get());
        zentra::LoggingStep(*doc, block, zentra::kBlockReadings, clock.Get());
        if (doc->m_SampleCount >= zentra::kMaxSamples - 2) {
            doc->m_SampleCount = 0;
            doc->m_LoggingActive = 1;
        }
        benchmark::DoNotOptimize(doc->m_LiveIndex);
    }
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(zentra::bench::t_allocations - before),
                           benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FileReadingsReply);

void BM_TickAgainstSimulator(benchmark::State& state) {
    zentra::platform::ManualClock clock(kStart);
    zentra::sim::MeterSimulator simulator;
    if (!simulator.Start()) {
        state.SkipWithError(simulator.Error().c_str());
        return;
    }
    zentra::test::ScopedEnv com1("ZENTRA_COM1", simulator.DevicePath().c_str());
    auto doc = LoggingDoc();
    doc->m_PortHandle = zentra::OpenPort(doc->m_Comms, zentra::EnumeratePorts(), doc->m_PortHandle);
    if (doc->m_PortHandle == zentra::kInvalidPort) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    zentra::AcquisitionState acquisition;
    NullTimer timer;
    zentra::StartRetrieval(*doc, acquisition, timer);
    auto awaitReply = [&](std::uint64_t sent) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        while (simulator.RepliesSent() <= sent && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    };
    awaitReply(0);
    long allocations = 0;
    for (auto _ : state) {
        const std::uint64_t sent = simulator.RepliesSent();
        clock.Advance(1);
        const long before = zentra::bench::t_allocations;
        zentra::AcquisitionTick(*doc, acquisition, timer, acquisition.timerId);
        allocations += zentra::bench::t_allocations - before;
        state.PauseTiming();
        awaitReply(sent); // the meter's answer time is not the tick's
        if (doc->m_SampleCount >= zentra::kMaxSamples - 2)
            doc->m_SampleCount = 0;
        doc->m_LoggingActive = 1;
        state.ResumeTiming();
    }
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    state.counters["ring"] = static_cast<double>(doc->m_LiveIndex);
}
BENCHMARK(BM_TickAgainstSimulator)->Unit(benchmark::kMillisecond)->Iterations(100);

} // namespace

BENCHMARK_MAIN();

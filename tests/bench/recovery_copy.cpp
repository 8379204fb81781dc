// The recovery copy of a running log: what keeping it costs a tick when no copy is due
// (the check alone; "allocs" counts heap allocations per call on this thread) and
// what a due copy costs (the 1.5 MB image stored, written, flushed to disk and
// renamed into place).
#include "document/recovery_file.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "tests/bench/allocation_counter.h"
#include "tests/support/test_support.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <new>

namespace {

// Documents read and write the user's defaults, and the copy goes to the state
// folder: keep both in a private folder.
const zentra::test::ScopedUserFolders g_folders;

constexpr zentra::platform::TimeSeconds kStart = 1357394589;

std::unique_ptr<zentra::CZentraDoc> LoggingDoc() {
    auto doc = std::make_unique<zentra::CZentraDoc>();
    doc->OnNewDocument();
    doc->m_Samples = zentra::kMaxSamples;
    doc->m_LoggingActive = 1;
    doc->m_Locked = 1;
    doc->m_SampleCount = 1;
    return doc;
}

// A tick on which no copy is due: one new sample, well inside the minute.
void BM_UpdateNotDue(benchmark::State& state) {
    zentra::platform::ManualClock clock(kStart);
    auto doc = LoggingDoc();
    zentra::RecoveryWriter writer;
    writer.Update(*doc); // the first copy
    int written = 0;
    const long before = zentra::bench::t_allocations;
    for (auto _ : state) {
        doc->m_SampleCount = 2 + (doc->m_SampleCount % 50); // never 60 past the copy
        written += writer.Update(*doc) == zentra::RecoveryStep::Written;
    }
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(zentra::bench::t_allocations - before),
                           benchmark::Counter::kAvgIterations);
    state.counters["written"] = written;
    writer.Discard();
}
BENCHMARK(BM_UpdateNotDue);

// A due copy: 60 samples more each time.
void BM_UpdateDue(benchmark::State& state) {
    zentra::platform::ManualClock clock(kStart);
    auto doc = LoggingDoc();
    zentra::RecoveryWriter writer;
    writer.Update(*doc);
    const long before = zentra::bench::t_allocations;
    for (auto _ : state) {
        doc->m_SampleCount += zentra::kRecoveryEverySamples; // 30 runs stay below 7200
        if (writer.Update(*doc) != zentra::RecoveryStep::Written)
            state.SkipWithError("a due copy was not written");
    }
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(zentra::bench::t_allocations - before),
                           benchmark::Counter::kAvgIterations);
    writer.Discard();
}
BENCHMARK(BM_UpdateDue)->Unit(benchmark::kMillisecond)->Iterations(30);

} // namespace

BENCHMARK_MAIN();

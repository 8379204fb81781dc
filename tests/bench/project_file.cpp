// Saving and reading a full project (7200 samples): the byte image alone, and the
// whole file operation (temporary file, flush to disk, rename; open and read).
// The "allocs" counter is the number of heap allocations per iteration.
#include "document/project_file.h"

#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "tests/bench/allocation_counter.h"
#include "tests/support/test_support.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <vector>

namespace {

// Documents read and write the user's defaults: keep them in a private folder.
const zentra::test::ScopedUserFolders g_folders;

std::unique_ptr<zentra::CZentraDoc> FullProject() {
    auto doc = std::make_unique<zentra::CZentraDoc>();
    doc->OnNewDocument();
    doc->m_SampleCount = zentra::kMaxSamples;
    doc->m_Samples = zentra::kMaxSamples;
    doc->m_Locked = 1;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-2000.0, 2000.0);
    for (int n = 0; n < zentra::kMaxSamples; ++n) {
        doc->m_SampleTimes[n] = 1357394589 + 10 * n;
        for (int k = 1; k <= 23; ++k)
            doc->m_SampleValues[n][k] = value(random);
    }
    return doc;
}

void BM_SerializeStore(benchmark::State& state) {
    zentra::platform::ManualClock clock(1357394589);
    auto doc = FullProject();
    std::vector<std::uint8_t> image(zentra::kProjectFileSize);
    const long before = zentra::bench::t_allocations;
    for (auto _ : state) {
        zentra::SerializeStore(*doc, image.data());
        benchmark::DoNotOptimize(image.data());
    }
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(zentra::bench::t_allocations - before),
                           benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SerializeStore)->Unit(benchmark::kMillisecond);

void BM_SerializeLoad(benchmark::State& state) {
    zentra::platform::ManualClock clock(1357394589);
    auto doc = FullProject();
    std::vector<std::uint8_t> image(zentra::kProjectFileSize);
    zentra::SerializeStore(*doc, image.data());
    auto target = std::make_unique<zentra::CZentraDoc>();
    const long before = zentra::bench::t_allocations;
    for (auto _ : state) {
        zentra::SerializeLoad(image.data(), *target);
        benchmark::DoNotOptimize(target.get());
    }
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(zentra::bench::t_allocations - before),
                           benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SerializeLoad)->Unit(benchmark::kMillisecond);

void BM_SaveDocument(benchmark::State& state) {
    zentra::platform::ManualClock clock(1357394589);
    zentra::test::TempDir dir;
    const std::string path = dir.File("full.ztr");
    auto doc = FullProject();
    const long before = zentra::bench::t_allocations;
    for (auto _ : state) {
        const auto result = zentra::OnSaveDocument(*doc, path);
        if (!result.ok)
            state.SkipWithError(result.error.c_str());
    }
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(zentra::bench::t_allocations - before),
                           benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond);

void BM_OpenDocument(benchmark::State& state) {
    zentra::platform::ManualClock clock(1357394589);
    zentra::test::TempDir dir;
    const std::string path = dir.File("full.ztr");
    auto doc = FullProject();
    zentra::OnSaveDocument(*doc, path);
    auto target = std::make_unique<zentra::CZentraDoc>();
    const long before = zentra::bench::t_allocations;
    for (auto _ : state) {
        const auto result = zentra::OnOpenDocument(*target, path);
        if (!result.ok)
            state.SkipWithError(result.error.c_str());
    }
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(zentra::bench::t_allocations - before),
                           benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

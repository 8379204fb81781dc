// One DrawView of the main view (four graphs of three traces, or data tables, with
// the project panel) at full HD and 4K, and the process's resident memory over an
// hour of simulated one-second ticks.
#include "display/view/zentra_view.h"

#include "platform/clock.h"
#include "tests/display/view/view_test_support.h"
#include "tests/support/test_support.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <unistd.h>

namespace {

using zentra::test::DemoView;

double ResidentMegabytes() {
    long pages = 0;
    long resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

void BM_DrawViewGraphs(benchmark::State& state) {
    zentra::test::ScopedUserFolders folders;
    zentra::platform::ManualClock clock{zentra::test::kDemoNow};
    DemoView demo(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 7200);
    demo.doc->m_Comms.portSetUp = 1;
    demo.view->DrawView();
    for (auto _ : state) {
        demo.view->DrawView();
        benchmark::DoNotOptimize(demo.view->Picture().constBits());
    }
}
BENCHMARK(BM_DrawViewGraphs)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

// Page 0 with every cell a data table: two real-time, two logged (forty rows each).
void BM_DrawViewTables(benchmark::State& state) {
    zentra::test::ScopedUserFolders folders;
    zentra::platform::ManualClock clock{zentra::test::kDemoNow};
    DemoView demo(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 7200);
    for (auto& graph : demo.doc->m_Graphs)
        graph.m_GraphMode = 0;
    if (state.range(2) != 0) {
        // Values from a damaged file: 309 digits per value.
        for (auto& record : demo.doc->m_SampleValues)
            record.fill(std::numeric_limits<double>::max());
    }
    demo.view->DrawView();
    for (auto _ : state) {
        demo.view->DrawView();
        benchmark::DoNotOptimize(demo.view->Picture().constBits());
    }
}
BENCHMARK(BM_DrawViewTables)
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Unit(benchmark::kMillisecond);

// An hour of ticks: each tick writes a ring entry, advances the clock one second and
// runs the view's timer handler, which redraws. Resident memory before and after.
void BM_HourOfTicks(benchmark::State& state) {
    zentra::test::ScopedUserFolders folders;
    zentra::platform::ManualClock clock{zentra::test::kDemoNow};
    DemoView demo(1920, 1080, 600);
    demo.doc->m_Comms.portSetUp = 1;
    demo.view->SetDocument(demo.doc.get());
    for (int i = 0; i < 10; ++i)
        demo.view->OnTimer(zentra::kAcquisitionTimerId); // warm up caches and fonts
    const double before = ResidentMegabytes();
    for (auto _ : state) {
        for (int tick = 0; tick < 3600; ++tick) {
            clock.Advance(1);
            auto& doc = *demo.doc;
            const std::size_t slot = static_cast<std::size_t>(doc.m_LiveIndex);
            for (int r = 1; r <= zentra::kBlockReadings; ++r)
                doc.m_LiveValues[slot][static_cast<std::size_t>(r)] =
                    zentra::test::DemoReading(r, clock.Get());
            doc.m_LiveValid[slot] = 1;
            doc.m_LiveIndex = (doc.m_LiveIndex + 1) % zentra::kRingSlots;
            if (tick % 600 == 0)
                doc.m_Graphs[0].m_GraphMode ^= 1; // now and then a table instead
            demo.view->OnTimer(zentra::kAcquisitionTimerId);
        }
    }
    const double after = ResidentMegabytes();
    state.counters["rss_before_MB"] = before;
    state.counters["rss_after_MB"] = after;
    state.counters["rss_growth_MB"] = after - before;
}
BENCHMARK(BM_HourOfTicks)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TZ", "Europe/London", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Export of a full log (7200 samples of the 23-column list) as a CSV file.
#include "document/csv_export.h"

#include "document/zentra_doc.h"
#include "tests/support/test_support.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

std::unique_ptr<zentra::CZentraDoc> FullLog() {
    auto doc = std::make_unique<zentra::CZentraDoc>();
    zentra::SetText(doc->m_ProjectName, "Plant, North");
    zentra::SetText(doc->m_Description, "Feeder 3, panel B");
    doc->m_ProjectStartDate = 20130105;
    doc->m_StartDate = 20130105;
    doc->m_SystemType = 1;
    doc->m_SampleCount = zentra::kMaxSamples;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-2000.0, 2000.0);
    for (int n = 0; n < zentra::kMaxSamples; ++n) {
        doc->m_SampleTimes[n] = 1357394589 + 10 * n;
        for (int k = 1; k <= 23; ++k)
            doc->m_SampleValues[n][k] = value(random);
    }
    return doc;
}

void BM_BuildCsvText(benchmark::State& state) {
    zentra::test::ScopedUserFolders folders;
    const auto doc = FullLog();
    for (auto _ : state)
        benchmark::DoNotOptimize(zentra::BuildCsvText(*doc));
}
BENCHMARK(BM_BuildCsvText)->Unit(benchmark::kMillisecond);

void BM_ExportCsvFullLog(benchmark::State& state) {
    zentra::test::ScopedUserFolders folders;
    zentra::test::TempDir dir;
    const auto doc = FullLog();
    const std::string path = dir.File("full.csv");
    for (auto _ : state) {
        const auto result = zentra::ExportCsv(*doc, path);
        if (!result.ok)
            state.SkipWithError(result.error.c_str());
    }
}
BENCHMARK(BM_ExportCsvFullLog)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

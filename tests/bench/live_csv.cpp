// The cost per record of the CSV that zentra-log writes as the run goes: the row's
// text alone, and the whole append (text, write, flush to the disk). The folder is
// TMPDIR's (point it at the disk a survey writes to: a tmpfs flushes nothing).
#include "tools/logger/live_csv.h"
#include "document/csv_export.h"
#include "document/zentra_doc.h"
#include "tests/support/test_support.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

constexpr std::int64_t kFirstTime = 1357394589; // 5 January 2013 14:03:09 UTC

std::unique_ptr<zentra::CZentraDoc> FullLog() {
    auto doc = std::make_unique<zentra::CZentraDoc>();
    zentra::SetText(doc->m_ProjectName, "Plant North");
    doc->m_ProjectStartDate = 20130105;
    doc->m_StartDate = 20130105;
    doc->m_SystemType = 1;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-2000.0, 2000.0);
    for (int n = 0; n < zentra::kMaxSamples; ++n) {
        doc->m_SampleTimes[n] = kFirstTime + n;
        for (int k = 1; k <= 23; ++k)
            doc->m_SampleValues[n][k] = value(random);
    }
    return doc;
}

void BM_CsvRowText(benchmark::State& state) {
    zentra::test::ScopedUserFolders folders;
    const auto doc = FullLog();
    std::string row;
    row.reserve(512);
    int n = 0;
    for (auto _ : state) {
        row.clear();
        zentra::AppendSampleRow(row, *doc, n, zentra::kCsvSeparator);
        benchmark::DoNotOptimize(row.data());
        n = (n + 1) % zentra::kMaxSamples;
    }
}
BENCHMARK(BM_CsvRowText);

// One record logged: its row appended to the file and flushed to the disk.
void BM_LiveCsvAppend(benchmark::State& state) {
    zentra::test::ScopedUserFolders folders;
    zentra::test::TempDir dir;
    const auto doc = FullLog();
    zentra::logger::LiveCsv csv;
    doc->m_SampleCount = 0;
    if (!csv.Open(dir.File("live.csv"), *doc))
        state.SkipWithError(csv.Error().c_str());
    for (auto _ : state) {
        if (doc->m_SampleCount == zentra::kMaxSamples) {
            state.PauseTiming();
            doc->m_SampleCount = 0;
            csv.Open(dir.File("live.csv"), *doc);
            state.ResumeTiming();
        }
        ++doc->m_SampleCount;
        if (!csv.Append(*doc))
            state.SkipWithError(csv.Error().c_str());
    }
}
BENCHMARK(BM_LiveCsvAppend)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

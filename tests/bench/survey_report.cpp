// The survey report of a week at one second (84 files of 7200 samples) and of a month
// at one minute (6 files): reading and working out the figures, and writing the PDF.
// Counters: the PDF's pages and size, and the peak memory of the process while the
// report was made (the files were written before, outside the measurement).
#include "tools/report/survey_report.h"
#include "tests/report/survey_files.h"
#include "tests/support/test_support.h"
#include "tools/report/pdf/report_pdf.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace zentra;

// VmHWM of the process in MB, and its reset to the current size.
double PeakMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::vector<std::string> WriteRoll(const test::TempDir& dir, int files, std::int32_t multiplier) {
    std::vector<std::string> paths;
    const std::int64_t start = LocalTimeOf(2024, 3, 4, 0, 0, 0);
    const std::int64_t step = multiplier;
    for (int f = 0; f < files; ++f) {
        test::SurveyFileSetup s;
        s.start = start + std::int64_t{f} * kMaxSamples * step;
        s.multiplier = multiplier;
        s.count = kMaxSamples;
        s.fill = [&](int n, std::int64_t t, SampleRecord& r) {
            const double hour = double((t - start) % 86400) / 3600.0;
            const double kw = 40.0 + 30.0 * std::sin(hour / 24.0 * 6.283) + (n % 17);
            for (int k = 0; k < 3; ++k) {
                r[std::size_t(4 + k)] = 230.0 + std::sin(double(t) / 900.0 + k);
                r[std::size_t(7 + k)] = kw * 1000.0 / 690.0 * (1.0 + 0.03 * k);
                r[std::size_t(1 + k)] = r[std::size_t(4 + k)] * 1.732;
            }
            r[10] = kw;
            r[11] = kw / 0.93;
            r[14] = 1000.0 + double(t - start) / 3600.0 * 40.0;
            r[15] = 200.0 + double(t - start) / 3600.0 * 10.0;
        };
        paths.push_back(test::WriteSurveyFile(dir.File("roll-" + std::to_string(f) + ".ztr"), s));
    }
    return paths;
}

void RunReport(benchmark::State& state, int files, std::int32_t multiplier) {
    test::ScopedUserFolders folders;
    const test::TempDir dir;
    const auto paths = WriteRoll(dir, files, multiplier);
    std::vector<report::SurveyPart> parts;
    for (const auto& p : paths)
        parts.push_back({p, nullptr});
    const std::string pdf = dir.File("report.pdf");
    int pages = 0;
    double peak = 0;
    for (auto _ : state) {
        ResetPeak();
        const auto built = report::BuildSurveyReport(parts, {});
        if (!built.ok) {
            state.SkipWithError(built.error.c_str());
            return;
        }
        std::string error;
        if (!report::WriteReportPdf(built.report, pdf, &error, &pages)) {
            state.SkipWithError(error.c_str());
            return;
        }
        peak = std::max(peak, PeakMegabytes());
    }
    // Kept to be looked at.
    std::filesystem::copy_file(
        pdf, test::ScreenshotDir() + "/survey-report-" + std::to_string(files) + ".pdf",
        std::filesystem::copy_options::overwrite_existing);
    state.counters["pages"] = pages;
    state.counters["pdf_kB"] = double(std::filesystem::file_size(pdf)) / 1024.0;
    state.counters["peak_MB"] = peak;
    state.counters["samples"] = double(files) * kMaxSamples;
}

void BM_ReportWeekAtOneSecond(benchmark::State& state) {
    RunReport(state, 84, 1);
}
BENCHMARK(BM_ReportWeekAtOneSecond)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReportMonthAtOneMinute(benchmark::State& state) {
    RunReport(state, 6, 60);
}
BENCHMARK(BM_ReportMonthAtOneMinute)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    zentra::test::PrepareTestProcess();
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

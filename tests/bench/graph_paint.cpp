// Painting one page of four graphs, three traces each, over a 600-step time base:
// what the view does once a second. Real-time graphs read the full live ring; log
// graphs read 7200 logged samples.
#include "display/graph/graph_renderer.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "tests/display/graph/graph_test_support.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>

namespace {

using zentra::CZentraDoc;

constexpr zentra::platform::TimeSeconds kNow = 1357394589;

std::unique_ptr<CZentraDoc> BusyDocument(bool realTime) {
    auto doc = std::make_unique<CZentraDoc>();
    doc->ResetToDefaults();
    doc->m_Comms.portSetUp = 1;
    doc->m_SystemVoltage = 230.0;
    doc->m_SystemCurrent = 5.0;
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0.0, 2.0);
    for (int e = 0; e < zentra::kRingSlots; ++e) {
        doc->m_LiveValid[e] = 1;
        for (int k = 1; k <= 12; ++k)
            doc->m_LiveValues[e][k] = 200.0 + 20.0 * std::sin(e / 30.0 + k) + noise(random);
    }
    doc->m_LiveIndex = 123;
    doc->m_SampleCount = zentra::kMaxSamples;
    for (int n = 0; n < zentra::kMaxSamples; ++n)
        for (int k = 1; k <= 12; ++k)
            doc->m_SampleValues[n][k] = 200.0 + 20.0 * std::sin(n / 90.0 + k) + noise(random);
    for (int g = 0; g < 4; ++g) {
        zentra::Graph& graph = doc->m_Graphs[g];
        graph.m_RealTime = realTime ? 1 : 0;
        graph.m_ScaleX = 600;
        graph.m_RelativeY = 0;
        graph.m_NominalY = {300.0, 100.0};
        graph.m_LeftArrowActive = 1;
        graph.m_RightArrowActive = 1;
        for (int t = 0; t < 3; ++t) {
            graph.m_Associations[t] = 3 * g + t + 1;
            zentra::SetText(graph.m_Headings[t], "Trace");
        }
    }
    return doc;
}

void PaintPage(benchmark::State& state, bool realTime) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    zentra::platform::ManualClock clock(kNow);
    const auto doc = BusyDocument(realTime);
    QImage image(width, height, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(zentra::test::kBackground);
        QPainter painter(&image);
        for (int k = 0; k < 4; ++k)
            zentra::DrawGraph(painter, *doc, k, zentra::test::TiledGeometry(k, width, height));
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_PaintPageRealTime(benchmark::State& state) {
    PaintPage(state, true);
}
void BM_PaintPageLog(benchmark::State& state) {
    PaintPage(state, false);
}

BENCHMARK(BM_PaintPageRealTime)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintPageLog)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0); // headless unless told otherwise
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Shared set-up of the view tests and the view benchmark: a document filled like a
// running project (live ring, a logged run, three traces on every graph) and a view
// measuring a fixed screen.
#pragma once

#include "display/view/zentra_view.h"
#include "document/zentra_doc.h"
#include "records/readings_catalogue.h"
#include "tests/display/graph/graph_test_support.h"

#include <cmath>
#include <cstdint>
#include <memory>

namespace zentra::test {

inline constexpr std::int64_t kDemoNow = 1357394589; // Sat Jan 05 14:03:09 2013 UTC
inline const ScreenMetrics kDemoScreen{1280, 1280, 984};

// A plausible reading of a three-phase 400 V installation at second t.
inline double DemoReading(int readingIndex, std::int64_t t) {
    // Bases of readings 0..16 (line and phase volts, amps, kW, PF, kWh, kVArh, Hz); the
    // rest 2.5. The energy counter creeps up with t.
    constexpr double kBases[] = {237.0, 410.0, 410.0, 410.0, 237.0, 237.0,  237.0, 3.2, 3.2,
                                 3.2,   2.1,   2.1,   2.1,   0.95,  1234.5, 456.7, 50.0};
    double base = readingIndex < 0 ? 237.0 : readingIndex > 16 ? 2.5 : kBases[readingIndex];
    if (readingIndex == 14)
        base += static_cast<double>(t - kDemoNow) * 0.001;
    const double wobble = readingIndex == 16 ? 0.002 : 0.04;
    return base * (1.0 + wobble * std::sin(static_cast<double>(t) / 23.0 + readingIndex));
}

// A logged run of `samples` one-minute samples up to kDemoNow, in the logged list of
// the document's meter variant (h.p. derived from "kW Sum", as the logger does).
inline void FillDemoLog(CZentraDoc& doc, int samples) {
    const auto columns = ColumnsFor(doc.m_SystemType);
    doc.m_SampleCount = samples;
    for (int i = 0; i < samples; ++i) {
        const std::int64_t t = kDemoNow - 60LL * (samples - i);
        const std::int64_t at = kDemoNow + 3LL * (i - samples);
        auto& record = doc.m_SampleValues[static_cast<std::size_t>(i)];
        record = {};
        for (std::size_t k = 0; k < columns.size(); ++k)
            record[k + 1] = columns[k] == kHorsePowerReading
                                ? HorsePowerOf(DemoReading(kReadingKwSum, at))
                                : DemoReading(columns[k], at);
        doc.m_SampleTimes[static_cast<std::size_t>(i)] = t;
    }
}

// Fills the live ring (601 seconds up to kDemoNow) and a logged run of `samples`
// one-minute samples, and gives all twelve graphs three traces.
inline void FillDemoDocument(CZentraDoc& doc, int samples) {
    doc.m_SystemType = 1;
    SetText(doc.m_ProjectName, "Plant North, Feeder 3");
    SetText(doc.m_BriefDescription, "Main incomer after the capacitor bank change");
    doc.m_ProjectStartDate = 20130105;
    doc.m_ProjectEndDate = 20130107;
    doc.m_Period = 1;
    doc.m_PeriodMultiplier = 60;
    doc.m_Duration = 2;
    doc.m_DurationMultiplier = 86400;
    for (int e = 0; e < kRingSlots; ++e) {
        const std::int64_t t = kDemoNow - (kRingSlots - 1) + e;
        auto& entry = doc.m_LiveValues[static_cast<std::size_t>(e)];
        entry[0] = 0.0;
        for (int r = 1; r <= kBlockReadings; ++r)
            entry[static_cast<std::size_t>(r)] = DemoReading(r, t);
        doc.m_LiveTimes[static_cast<std::size_t>(e)] = t;
        doc.m_LiveValid[static_cast<std::size_t>(e)] = 1;
    }
    doc.m_LiveIndex = 0;
    FillDemoLog(doc, samples);
    // Three traces per graph, from consecutive positions of the logged list.
    for (int g = 0; g < kGraphCount; ++g) {
        Graph& graph = doc.m_Graphs[static_cast<std::size_t>(g)];
        graph.m_Enabled = 1;
        graph.m_GraphMode = 1;
        graph.m_RelativeY = 1;
        graph.m_ScaleX = 20;
        graph.m_ScaleY = 12;
        graph.m_NominalScaleY = 10;
        graph.m_NominalY = {300.0, 100.0};
        graph.m_TickLengthX = 1.5;
        graph.m_TickLengthY = 0.75;
        graph.m_LineColour = {1, 2, 3};
        for (int t = 0; t < kTracesPerGraph; ++t) {
            const int position = (3 * g + t) % 16 + 1; // 1..16: reading index = position
            graph.m_Associations[static_cast<std::size_t>(t)] = position;
            SetText(graph.m_Headings[static_cast<std::size_t>(t)],
                    std::string(ReadingLabel(position)).c_str());
        }
        graph.m_RealTime = (g % 2 == 0) ? 1 : 0;
    }
}

// A document and a view of it, laid out for a fixed screen, not shown.
struct DemoView {
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    std::unique_ptr<CZentraView> view;

    explicit DemoView(int width = 800, int height = 600, int samples = 120) {
        doc->OnNewDocument();
        FillDemoDocument(*doc, samples);
        view = std::make_unique<CZentraView>(doc.get());
        view->SetScreenMetricsSource([] { return kDemoScreen; });
        view->resize(width, height);
    }
};

// Pixels other than `background` inside [left, right) x [top, bottom).
inline int Ink(const QImage& image, int left, int top, int right, int bottom,
               QRgb background = kViewBackground) {
    return CountIf(
        image, [=](QRgb p) { return p != background; }, left, top, right, bottom);
}

} // namespace zentra::test

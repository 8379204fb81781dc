#include "document/graph_defaults.h"

#include "document/zentra_doc.h"

namespace zentra {
namespace {

struct TraceDefaults {
    std::array<std::int32_t, kTracesPerGraph> colours;
    std::array<std::int32_t, kTracesPerGraph> sources;
    std::array<const char*, kTracesPerGraph> headings;
};

struct GraphDefaults {
    std::uint8_t enabled, realTime, graphMode;
    TraceDefaults traces;
    std::uint8_t relativeY, centreZero;
    double nominalY0; // 0.0: not set
};

// Colour indices into TraceColours.
constexpr std::int32_t kBlack = 0, kRed = 1, kBlue = 2, kGreen = 3, kYellow = 4, kMagenta = 7;

// Graphs 1..5 for meters with the full parameter set (sources are positions in
// LoggedColumns).
constexpr std::array<GraphDefaults, 5> kFullDefaults{{
    {1, 0, 1, {{kRed, kYellow, kBlue}, {1, 2, 3}, {"V1-2", "V2-3", "V3-1"}}, 1, 0, 0.0},
    {1, 0, 1, {{kBlack, kGreen, kMagenta}, {16, 10, 11}, {"Hz", "kW", "kVA"}}, 1, 0, 0.0},
    {1, 0, 1, {{kRed, kYellow, kBlue}, {4, 5, 6}, {"V1-N", "V2-N", "V3-N"}}, 1, 0, 0.0},
    {1, 0, 1, {{kRed, kYellow, kBlue}, {7, 8, 9}, {"I1", "I2", "I3"}}, 1, 0, 0.0},
    {1, 0, 1, {{kBlack, kGreen, kBlue}, {12, 13, 0}, {"kVAr", "PF Avg", "OFF"}}, 1, 1, 0.0},
}};

// Graphs 1..5 for meter variants 3 and 6 (sources are reading indices).
constexpr std::array<GraphDefaults, 5> kShortDefaults{{
    {1, 0, 1, {{kRed, kBlack, kBlue}, {4, 7, 10}, {"V 1", "I 1", "kW Sum"}}, 1, 0, 0.0},
    {1, 0, 1, {{kRed, kBlack, kBlue}, {14, 23, 25}, {"kWHr (Imp)", "kWd (Imp)", "Ad"}}, 0, 0, 20.0},
    {1,
     0,
     1,
     {{kRed, kBlack, kBlue}, {38, 41, 49}, {"Max kWd (Imp)", "Max Ad", "h.p."}},
     0,
     0,
     10.0},
    {1, 1, 0, {{kRed, kBlack, kBlue}, {0, 0, 0}, {"OFF", "OFF", "OFF"}}, 1, 0, 0.0},
    {1, 1, 1, {{kRed, kBlack, kBlue}, {0, 0, 0}, {"OFF", "OFF", "OFF"}}, 1, 0, 0.0},
}};

} // namespace

void ApplyGraphDefaults(CZentraDoc& doc) {
    const auto& table = doc.ShortList() ? kShortDefaults : kFullDefaults;
    for (std::size_t k = 0; k < table.size(); ++k) {
        const GraphDefaults& d = table[k];
        Graph& g = doc.m_Graphs[k];
        g.m_Enabled = d.enabled;
        g.m_RealTime = d.realTime;
        g.m_GraphMode = d.graphMode;
        g.m_CentreZero = d.centreZero;
        g.m_RelativeY = d.relativeY;
        g.m_LineColour = d.traces.colours;
        g.m_Associations = d.traces.sources;
        for (std::size_t t = 0; t < kTracesPerGraph; ++t)
            SetText(g.m_Headings[t], d.traces.headings[t]);
        if (d.nominalY0 != 0.0)
            g.m_NominalY[0] = d.nominalY0;
    }
}

} // namespace zentra

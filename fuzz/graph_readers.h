// The graph model's reading of a document: each graph's trace sources and columns,
// values from the log and the ring, vertical scale and labels, time base, log window
// and history browsing, and the axis texts. Plain C++ of display/graph (no painting).
#pragma once

#include "display/graph/associations.h"
#include "display/graph/axis_texts.h"
#include "display/graph/graph_model.h"
#include "document/zentra_doc.h"

#include <cmath>
#include <cstdint>

namespace zentra::fuzz {

// Exercises one graph of the document; returns a sum so that nothing is dropped.
inline double ReadGraph(CZentraDoc& doc, const Graph& stored, unsigned pick) {
    double sum = 0.0;
    const PlotGeometry plot{40, 300, 400.0, 260.0};
    const RelativeSystemSpans spans;
    {
        Graph graph = stored; // browsing changes the record: work on a copy
        for (const std::int32_t source : graph.m_Associations) {
            const int column = SourceColumn(doc, graph, source);
            const std::int64_t last = doc.m_SampleCount - 1;
            for (const std::int64_t index : {std::int64_t{0}, last, std::int64_t{pick % 8000u}})
                sum += LogValue(doc, column, index);
            const int entry = static_cast<int>(pick % 700u);
            const double live = LiveValue(doc, column, entry);
            sum += live + spans.Span(source, doc, live);
            if (const auto fraction = FractionOfFullScale(doc, graph, source, live);
                fraction && std::isfinite(*fraction))
                sum += *fraction;
            sum += TraceScalable(doc, graph, source) ? 1.0 : 0.0;
        }
        sum += VerticalDivisions(graph) + ZeroLine(graph, plot);
        if (const auto height = FullScaleHeight(graph, plot.H))
            sum += ValueToY(graph.m_CentreZero != 0, 0.5, *height, plot).y;
        sum += XTickLength(graph, plot.H) + XTickHalfLength(graph, plot.H) +
               YTickLength(graph, plot.W);
        if (const auto top = TopLabelValue(graph))
            sum += DivisionLabelText(graph.m_RelativeY != 0, *top).size();
        sum += static_cast<double>(YLabels(graph, plot, 12).size());
        const int steps = TimeSteps(graph);
        sum += steps + LiveWindowStart(doc.m_LiveIndex, steps);

        UpdateLogWindow(graph, doc.m_SampleCount);
        ScrollBack(graph, 1'357'394'589);
        ScrollForward(graph);
        sum += graph.m_FirstIndex + graph.m_LastIndex;

        Associations associations;
        associations.FromGraph(doc.m_SystemType, graph);
        associations.ToGraph(graph);
        UpdateLiveAxisTexts(doc, graph);
        UpdateLogAxisTexts(doc, graph);
    }
    return sum + SecondsPerDivision(doc);
}

// Every graph of the document (the regression tests); a fuzz target reads the one its
// input picks, since the twelve records are read alike and apart.
inline double ReadGraphs(CZentraDoc& doc, unsigned pick) {
    double sum = 0.0;
    for (const Graph& graph : doc.m_Graphs)
        sum += ReadGraph(doc, graph, pick);
    return sum;
}

inline double ReadPickedGraph(CZentraDoc& doc, unsigned pick) {
    return ReadGraph(doc, doc.m_Graphs[pick % doc.m_Graphs.size()], pick / 16);
}

} // namespace zentra::fuzz

#include "settings/graph_page_data.h"

#include "display/graph/associations.h"
#include "document/zentra_doc.h"
#include "records/readings_catalogue.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>

namespace zentra {
namespace {

int PageIndex(int page) {
    return std::clamp(page, 0, kGraphPages - 1);
}

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    return text;
}

// Sign and digits of a leading number; the sign is folded into the result.
std::string_view WithoutPlus(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    return text;
}

// Whether the page's source list can show a stored source value: 0 ("OFF"), a
// reading of the reduced list for variants 3 and 6, else a position in the full list.
bool Offered(std::int32_t systemType, std::int32_t stored) {
    if (stored == 0)
        return true;
    const auto columns = ColumnsFor(systemType);
    if (UsesShortList(systemType))
        return std::find(columns.begin(), columns.end(), stored) != columns.end();
    return stored > 0 && stored <= static_cast<std::int32_t>(columns.size());
}

} // namespace

std::string NotOfferedLabel(const std::string& heading) {
    return heading.substr(0, kSourceLabelCapacity - 1) + " (not offered)";
}

std::vector<std::string> SourceList(std::int32_t systemType) {
    std::vector<std::string> list{"OFF"};
    for (const ReadingIndex reading : ColumnsFor(systemType)) {
        const std::string_view label = ReadingLabel(reading);
        list.emplace_back(label.substr(0, kSourceLabelCapacity - 1));
    }
    return list;
}

void GraphPageData::LoadFromGraphs(int page, const CZentraDoc& doc) {
    const int k = PageIndex(page);
    sources = SourceList(doc.m_SystemType);
    firstGraph = kGraphsPerPage * k;
    archived = doc.m_ArchivedFile != 0;
    for (int j = 0; j < kGraphsPerPage; ++j) {
        const Graph& g = doc.m_Graphs[static_cast<std::size_t>(firstGraph + j)];
        GraphColumn& c = columns[static_cast<std::size_t>(j)];
        c.enabled = g.m_Enabled != 0;
        c.realTime = g.m_RealTime != 0;
        c.graphMode = g.m_GraphMode != 0;
        c.centreZero = g.m_CentreZero != 0;
        // Only the two values the page writes count as "on"; any other tick length
        // opens unchecked.
        c.gridX = g.m_TickLengthX == kGridTickLength;
        c.gridY = g.m_TickLengthY == kGridTickLength;
        c.relative = g.m_RelativeY == 1;
        c.timeBase = g.m_ScaleX;
        c.yScale = g.m_NominalY[0];
        for (std::size_t t = 0; t < kTracesPerGraph; ++t)
            c.colour[t] = g.m_LineColour[t];

        Associations associations;
        associations.FromGraph(doc.m_SystemType, g);
        for (std::size_t t = 0; t < kTracesPerGraph; ++t) {
            c.source[t] = associations.m_Values[t];
            c.heading[t] = associations.m_Headings[t].data();
            c.kept[t].reset();
            // A trace drawn from a source this meter does not offer keeps it: showing
            // "OFF" would hide what the graph plots, and OK would clear it.
            const std::int32_t stored = g.m_Associations[t];
            const std::string heading(g.m_Headings[t].data(),
                                      strnlen(g.m_Headings[t].data(), g.m_Headings[t].size()));
            if (Offered(doc.m_SystemType, stored) || heading.empty() || IsTraceOff(g.m_Headings[t]))
                continue;
            c.kept[t] = KeptSource{stored, heading};
            c.source[t] = static_cast<int>(sources.size());
            c.heading[t] = heading;
        }
    }
}

void GraphPageData::StoreToGraphs(int page, CZentraDoc& doc) const {
    const int first = kGraphsPerPage * PageIndex(page);
    for (int j = 0; j < kGraphsPerPage; ++j) {
        Graph& g = doc.m_Graphs[static_cast<std::size_t>(first + j)];
        const GraphColumn& c = columns[static_cast<std::size_t>(j)];
        g.m_Enabled = c.enabled ? 1 : 0;
        g.m_RealTime = c.realTime ? 1 : 0;
        g.m_GraphMode = c.graphMode ? 1 : 0;
        g.m_CentreZero = c.centreZero ? 1 : 0;
        g.m_TickLengthX = c.gridX ? kGridTickLength : kDefaultTickLengthX;
        g.m_TickLengthY = c.gridY ? kGridTickLength : kDefaultTickLengthY;
        g.m_RelativeY = c.relative ? 1 : 0;
        g.m_ScaleX = c.timeBase;
        g.m_NominalY[0] = c.yScale;
        for (std::size_t t = 0; t < kTracesPerGraph; ++t)
            g.m_LineColour[t] = c.colour[t];

        std::array<std::int32_t, kTracesPerGraph> selections{};
        std::array<const char*, kTracesPerGraph> headings{};
        for (std::size_t t = 0; t < kTracesPerGraph; ++t) {
            selections[t] = c.source[t];
            headings[t] = c.heading[t].c_str();
        }
        Associations associations;
        associations.FromSelections(doc.m_SystemType, selections, headings);
        for (std::size_t t = 0; t < kTracesPerGraph; ++t)
            if (c.KeepsSource(t, sources.size())) {
                associations.m_Values[t] = c.kept[t]->value;
                SetText(associations.m_Headings[t], c.kept[t]->heading.c_str());
            }
        associations.ToGraph(g);
    }
}

std::optional<int> WholeNumberIn(std::string_view text, int min, int max) {
    text = SkipBlanks(text);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    text = WithoutPlus(text);
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (value < min || value > max)
        return std::nullopt;
    return static_cast<int>(value);
}

int LeadingInteger(std::string_view text) {
    text = WithoutPlus(SkipBlanks(text));
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range)
        return (!text.empty() && text.front() == '-') ? std::numeric_limits<int>::min()
                                                      : std::numeric_limits<int>::max();
    if (error != std::errc())
        return 0;
    return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

double LeadingDouble(std::string_view text) {
    text = WithoutPlus(SkipBlanks(text));
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc())
        return 0.0;
    return value;
}

std::string FormatYScale(double value) {
    char text[400]; // room for the widest double printed in full
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

} // namespace zentra

// The Graphs page's own copy of four graphs while the "Graph Settings" sheet is open,
// with its transfers from and to the document's records. Plain data: the page widgets
// read and write it, and nothing reaches the document until StoreToGraphs.
#pragma once

#include "records/graph_record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentra {

struct CZentraDoc;

inline constexpr int kGraphsPerPage = 4;
inline constexpr int kGraphPages = 3; // graphs 1-4, 5-8, 9-12

// Accepted entries of the number edits.
inline constexpr int kTimeBaseMin = 5; // time steps across the plot
inline constexpr int kTimeBaseMax = 600;
inline constexpr int kYScaleMin = 5; // full scale of the absolute axis
inline constexpr int kYScaleMax = 10000;
inline constexpr int kTimeBaseChars = 3; // what the "Time Base Unit" edit holds and reads
inline constexpr int kYScaleChars = 18;  // what the "Y Scale" edit holds and reads

// A source list entry holds at most 20 characters of a reading label.
inline constexpr std::size_t kSourceLabelCapacity = 21;

// A trace's stored source that the meter's list does not offer (set up for another
// meter variant): shown as an extra list entry after the offered ones and stored back
// as it was, value and heading, unless the user picks another.
struct KeptSource {
    std::int32_t value = 0; // as stored in the record
    std::string heading;    // the record's heading, the trace's label in the legend
};

// The page's settings of one graph.
struct GraphColumn {
    bool enabled = false;
    bool realTime = false;
    bool graphMode = false;
    bool gridX = false; // ticks of 100 % (full grid lines) on the X axis
    bool gridY = false;
    bool centreZero = false;
    bool relative = false;
    int timeBase = 0;                          // m_ScaleX
    double yScale = 0.0;                       // m_NominalY[0]
    std::array<int, kTracesPerGraph> colour{}; // index into TraceColours
    // Position in the source list, 0 = "OFF"; the list's size for a kept source.
    std::array<int, kTracesPerGraph> source{};
    std::array<std::string, kTracesPerGraph> heading;
    std::array<std::optional<KeptSource>, kTracesPerGraph> kept;

    // True while trace t shows its kept source.
    bool KeepsSource(std::size_t t, std::size_t listSize) const {
        return kept[t] && source[t] == static_cast<int>(listSize);
    }
};

struct GraphPageData {
    std::array<GraphColumn, kGraphsPerPage> columns{};
    std::vector<std::string> sources; // "OFF", then the offered readings' labels
    int firstGraph = 0;               // 0, 4 or 8
    bool archived = false;            // the document was read from a file

    // Fills the copy from graphs 4 * page .. 4 * page + 3 of the document.
    void LoadFromGraphs(int page, const CZentraDoc& doc);
    // Writes the copy back into the same four graphs. Line styles, legends, the
    // relative axis divisions and the reference percentage are left as they are.
    void StoreToGraphs(int page, CZentraDoc& doc) const;
};

// "OFF" followed by the labels of the readings a meter variant offers (23, or 9 for
// variants 3 and 6).
std::vector<std::string> SourceList(std::int32_t systemType);

// The list entry of a kept source: "V1-2 (not offered)", the label cut as the
// offered ones are.
std::string NotOfferedLabel(const std::string& heading);

// The value of an edit that must hold a whole number within [min, max] (blanks around
// it allowed); nothing when it does not.
std::optional<int> WholeNumberIn(std::string_view text, int min, int max);

// How the edits are read back: the leading number of the text, 0 when there is none
// (as the C library's atoi and atof read).
int LeadingInteger(std::string_view text);
double LeadingDouble(std::string_view text);

// The "Y Scale" edit's text: the value rounded to a whole number ("%.0f").
std::string FormatYScale(double value);

} // namespace zentra

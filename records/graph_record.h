// One graph of the display: what it plots and how it is scaled. The document holds
// twelve; each is stored in the project file as a 728-byte image and selected fields
// are kept as the user's defaults in the settings store.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zentra {

inline constexpr int kGraphCount = 12;
inline constexpr int kTracesPerGraph = 3;
inline constexpr std::size_t kHeadingCapacity = 101;
inline constexpr std::size_t kGraphRecordSize = 728;
inline constexpr std::size_t kGraphHeaderSize = 32; // reserved, zero in files

// Byte offsets of the stored fields inside the 728-byte record.
namespace graph_offset {
inline constexpr std::size_t kEnabled = 32;
inline constexpr std::size_t kRealTime = 33;
inline constexpr std::size_t kGraphMode = 34;
inline constexpr std::size_t kHistoryTime = 40;
inline constexpr std::size_t kGraphNumber = 48; // int32 index 0..11, not read
inline constexpr std::size_t kWord52 = 52;      // int32, 0, not read
inline constexpr std::size_t kQuadrant = 56;    // int32 index mod 4, not read
inline constexpr std::size_t kLineColour = 60;
inline constexpr std::size_t kLineStyle = 72;
inline constexpr std::size_t kAssociations = 84;
inline constexpr std::size_t kHeadings = 96;
inline constexpr std::size_t kLegendX = 399;
inline constexpr std::size_t kLegendY = 500;
inline constexpr std::size_t kRelativeY = 601;
inline constexpr std::size_t kNominalY = 608;
inline constexpr std::size_t kCentreZero = 624;
inline constexpr std::size_t kScaleX = 628;
inline constexpr std::size_t kScaleY = 632;
inline constexpr std::size_t kNominalScaleY = 636;
inline constexpr std::size_t kLeftArrowActive = 656;
inline constexpr std::size_t kRightArrowActive = 657;
inline constexpr std::size_t kReservedWords = 660; // eight int32, zero
inline constexpr std::size_t kFirstIndex = 692;
inline constexpr std::size_t kScrollOffset = 696;
inline constexpr std::size_t kLastIndex = 700;
inline constexpr std::size_t kSecondsPerDiv = 704;
inline constexpr std::size_t kTickLengthX = 712;
inline constexpr std::size_t kTickLengthY = 720;
} // namespace graph_offset

// Tick length that turns ticks into full grid lines (percent of the plot).
inline constexpr double kGridTickLength = 100.0;
inline constexpr double kDefaultTickLengthX = 1.5;
inline constexpr double kDefaultTickLengthY = 0.75;

struct Graph {
    std::uint8_t m_Enabled = 1;     // 1: the cell shows the graph
    std::uint8_t m_RealTime = 1;    // 1: live ring; 0: logged samples
    std::uint8_t m_GraphMode = 1;   // 1: plotted graph; 0: data table
    std::int64_t m_HistoryTime = 0; // when history browsing began (seconds since 1970)
    std::int32_t m_GraphNumber = 0; // record offset 48
    std::int32_t m_Word52 = 0;      // record offset 52
    std::int32_t m_Quadrant = 0;    // record offset 56
    std::array<std::int32_t, kTracesPerGraph> m_LineColour{};   // index into TraceColours
    std::array<std::int32_t, kTracesPerGraph> m_LineStyle{};    // carried only
    std::array<std::int32_t, kTracesPerGraph> m_Associations{}; // trace source values
    std::array<std::array<char, kHeadingCapacity>, kTracesPerGraph>
        m_Headings{};                               // "OFF" = not drawn
    std::array<char, kHeadingCapacity> m_LegendX{}; // carried only
    std::array<char, kHeadingCapacity> m_LegendY{}; // carried only
    std::uint8_t m_RelativeY = 1;                   // 1: Y axis in percent of a nominal span
    std::array<double, 2> m_NominalY{}; // [0] absolute full scale, [1] reference percentage
    std::uint8_t m_CentreZero = 0;      // 1: zero line in the middle
    std::int32_t m_ScaleX = 9;          // time steps across the plot
    std::int32_t m_ScaleY = 0;          // Y divisions on a relative axis
    std::int32_t m_NominalScaleY = 0;   // division at which the reference percentage sits
    std::uint8_t m_LeftArrowActive = 0;
    std::uint8_t m_RightArrowActive = 0;
    std::int32_t m_FirstIndex = 0;   // sample at the left edge, as last drawn
    std::int32_t m_ScrollOffset = 0; // 0 = live end; negative = back in history
    std::int32_t m_LastIndex = 0;    // newest sample when browsing began
    std::int32_t m_SecondsPerDiv = 0;
    double m_TickLengthX = 0.0; // percent of plot height; 100 = grid
    double m_TickLengthY = 0.0; // percent of plot width; 100 = grid
};

// Writes the record's 728-byte stored image (header and reserved bytes zero).
void EncodeGraph(const Graph& graph, std::uint8_t* out);
// Reads the fields from offset 32 on; the header is skipped. Text arrays are
// NUL-terminated on reading, whatever the bytes held.
void DecodeGraph(const std::uint8_t* in, Graph& graph);

// Bounds for values that arrive unchecked (project files, the settings store): the
// Graphs page accepts time bases 5..600; the divisions only need to be positive and
// drawable.
inline constexpr std::int32_t kMaxScaleX = 600;
inline constexpr std::int32_t kMaxScaleY = 1000;
inline constexpr std::int32_t kMaxSecondsPerDiv = 360'000'000; // 100000 periods of an hour

// Brings the flags, colour indices, divisors and live-end index of a record read from
// outside into the range no writer of the format leaves; everything else (trace
// sources, history offsets) is taken as stored and guarded where it is used (see
// graph_record.cpp).
void BoundGraph(Graph& graph);

struct TraceColour {
    const char* name;
    std::uint8_t r, g, b;
};
inline constexpr int kTraceColourCount = 9;
inline constexpr std::array<TraceColour, kTraceColourCount> TraceColours{{
    {"Black", 0, 0, 0},
    {"Red", 255, 0, 0},
    {"Blue", 0, 0, 255},
    {"Green", 0, 255, 0},
    {"Yellow", 255, 255, 0},
    {"Orange", 255, 154, 49},
    {"Brown", 110, 59, 0},
    {"Magenta", 255, 0, 255},
    {"Cyan", 0, 255, 255},
}};

// Colour of a trace colour index; indices outside 0..8 give black.
inline const TraceColour& TraceColourAt(std::int32_t index) {
    return (index >= 0 && index < kTraceColourCount) ? TraceColours[static_cast<std::size_t>(index)]
                                                     : TraceColours[0];
}

// True when a heading marks a trace that is not drawn.
bool IsTraceOff(const std::array<char, kHeadingCapacity>& heading);

// Copies a text into a fixed array, truncating and always NUL-terminating.
template <std::size_t N> void SetText(std::array<char, N>& field, const char* text);

} // namespace zentra

#include <cstring>
template <std::size_t N> void zentra::SetText(std::array<char, N>& field, const char* text) {
    field.fill('\0');
    std::strncpy(field.data(), text, N - 1);
}

// Carries the three trace sources and headings of one graph between its record and
// the Graphs page. What a record stores depends on the meter family: for variants 3
// and 6 a reading index from the reduced list, otherwise the 1-based position of the
// reading in the full logged list; the page works with positions in its source list
// ("OFF" first).
#pragma once

#include "records/graph_record.h"

#include <array>
#include <cstdint>

namespace zentra {

class Associations {
  public:
    virtual ~Associations() = default;

    // From a record: m_Values become the page's list selections. For variants 3 and 6
    // a stored reading that is not in the reduced list shows as "OFF" (selection 0),
    // and the heading is the catalogue label of the reading; otherwise selections
    // and headings are the stored ones.
    void FromGraph(std::int32_t systemType, const Graph& graph);

    // From the page: m_Values become the source values to store; headings are the
    // texts of the selected list entries. For variants 3 and 6 selection s > 0 is the
    // reading at s - 1 of the reduced list (a selection outside the list stores 0).
    void FromSelections(std::int32_t systemType,
                        const std::array<std::int32_t, kTracesPerGraph>& selections,
                        const std::array<const char*, kTracesPerGraph>& headings);

    // Writes the source values and headings into a record.
    void ToGraph(Graph& graph) const;

    std::array<std::int32_t, kTracesPerGraph> m_Values{};
    std::array<std::array<char, kHeadingCapacity>, kTracesPerGraph> m_Headings{};
};

} // namespace zentra

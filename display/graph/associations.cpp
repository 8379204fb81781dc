#include "display/graph/associations.h"

#include "records/readings_catalogue.h"

#include <string>

namespace zentra {

void Associations::FromGraph(std::int32_t systemType, const Graph& graph) {
    for (std::size_t t = 0; t < kTracesPerGraph; ++t) {
        const std::int32_t stored = graph.m_Associations[t];
        if (!UsesShortList(systemType)) {
            m_Values[t] = stored;
            m_Headings[t] = graph.m_Headings[t];
            m_Headings[t].back() = '\0';
            continue;
        }
        m_Values[t] = 0;
        SetText(m_Headings[t], "OFF");
        for (std::size_t p = 0; p < ShortLoggedColumns.size(); ++p) {
            if (ShortLoggedColumns[p] == stored) {
                m_Values[t] = static_cast<std::int32_t>(p) + 1;
                SetText(m_Headings[t], std::string(ReadingLabel(stored)).c_str());
                break;
            }
        }
    }
}

void Associations::FromSelections(std::int32_t systemType,
                                  const std::array<std::int32_t, kTracesPerGraph>& selections,
                                  const std::array<const char*, kTracesPerGraph>& headings) {
    for (std::size_t t = 0; t < kTracesPerGraph; ++t) {
        const std::int32_t s = selections[t];
        if (!UsesShortList(systemType))
            m_Values[t] = s;
        else if (s > 0 && s <= static_cast<std::int32_t>(ShortLoggedColumns.size()))
            m_Values[t] = ShortLoggedColumns[static_cast<std::size_t>(s - 1)];
        else
            m_Values[t] = 0;
        SetText(m_Headings[t], headings[t] ? headings[t] : "");
    }
}

void Associations::ToGraph(Graph& graph) const {
    graph.m_Associations = m_Values;
    graph.m_Headings = m_Headings;
}

} // namespace zentra

#include "tools/logger/live_values.h"

#include "acquisition/readings_catalogue.h"
#include "document/zentra_doc.h"

#include <limits>

namespace zentra::logger {

void LiveReadings(const CZentraDoc& doc, std::vector<LiveValue>& values) {
    values.clear();
    int newest = doc.m_LiveIndex - 1;
    if (newest < 0 || newest >= kRingSlots)
        newest = kRingSlots - 1;
    const RingEntry& entry = doc.m_LiveValues[static_cast<std::size_t>(newest)];
    for (const ReadingIndex index : ColumnsFor(doc.m_SystemType)) {
        if (index < 1 || index > kBlockReadings)
            continue; // derived readings are not in the block
        const std::int32_t position = doc.m_ReadingMap[static_cast<std::size_t>(index - 1)];
        const double value = position >= 1 && position <= kBlockReadings
                                 ? entry[static_cast<std::size_t>(position)]
                                 : std::numeric_limits<double>::quiet_NaN();
        values.push_back(LiveValue{index, value});
    }
}

void LoggedValues(const CZentraDoc& doc, int n, std::vector<LiveValue>& values) {
    values.clear();
    if (n < 0 || n >= doc.m_SampleCount || n >= kMaxSamples)
        return;
    const SampleRecord& record = doc.m_SampleValues[static_cast<std::size_t>(n)];
    std::size_t element = 1;
    for (const ReadingIndex index : ColumnsFor(doc.m_SystemType)) {
        if (index < 1 || index > kBlockReadings)
            continue;
        if (element >= record.size())
            break;
        values.push_back(LiveValue{index, record[element++]});
    }
}

} // namespace zentra::logger

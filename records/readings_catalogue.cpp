#include "records/readings_catalogue.h"

#include <algorithm>
#include <cstring>

namespace zentra {
namespace {
// Labels of indices 0..41; 42..48 have none.
constexpr std::array<std::string_view, 42> kLabels{
    "OFF",      "V L1-2",    "V L2-3",        "V L3-1",        "V 1",          "V 2",
    "V 3",      "I 1",       "I 2",           "I 3",           "kW Sum",       "kVA Sum",
    "kVAr Sum", "PF Avg",    "kWHr (Imp)",    "kVArHr (Imp)",  "Hz",           "kW 1",
    "kW 2",     "kW 3",      "kVAr 1",        "kVAr 2",        "kVAr 3",       "kWd (Imp)",
    "kVAd",     "Ad",        "Neutral I",     "kVA 1",         "kVA 2",        "kVA 3",
    "PF L1",    "PF L2",     "PF L3",         "kWHr (Exp)",    "kVArHr (Exp)", "kVAHr",
    "AHr",      "kWd (Exp)", "Max kWd (Imp)", "Max kWd (Exp)", "Max kVAd",     "Max Ad"};
constexpr std::string_view kHorsePowerLabel = "h.p.";
} // namespace

std::string_view ReadingLabel(ReadingIndex index) {
    if (index >= 0 && index < static_cast<ReadingIndex>(kLabels.size()))
        return kLabels[static_cast<std::size_t>(index)];
    if (index == kHorsePowerReading)
        return kHorsePowerLabel;
    return {};
}

void ReadingLabel(ReadingIndex index, char* buffer, std::size_t capacity) {
    if (capacity == 0)
        return;
    const std::string_view label = ReadingLabel(index);
    const std::size_t n = std::min(label.size(), capacity - 1);
    if (n > 0) // an empty label's data() may be null
        std::memcpy(buffer, label.data(), n);
    buffer[n] = '\0';
}

ReadingIndex ReadingFromLabel(std::string_view label) {
    for (ReadingIndex i = 1; i < static_cast<ReadingIndex>(kLabels.size()); ++i)
        if (kLabels[static_cast<std::size_t>(i)] == label)
            return i;
    if (label == kHorsePowerLabel)
        return kHorsePowerReading;
    return kReadingOff;
}

} // namespace zentra

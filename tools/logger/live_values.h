// The values a run hands to its outlets: the meter's newest one-second readings and a
// logged sample, each as the readings of the meter's logged list (catalogue index
// and value), taken from the document without changing it.
#pragma once

#include "tools/logger/live_feed.h"

#include <vector>

namespace zentra {
struct CZentraDoc;
}

namespace zentra::logger {

// The newest readings in the live ring; NaN where the reply carried none.
void LiveReadings(const CZentraDoc& doc, std::vector<LiveValue>& values);

// Logged sample n (0-based) as its record holds it.
void LoggedValues(const CZentraDoc& doc, int n, std::vector<LiveValue>& values);

} // namespace zentra::logger

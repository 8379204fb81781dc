// Fixed capacities of the data model, shared by the stored records and the document.
#pragma once

namespace zentra {

inline constexpr int kRingSlots = 601;   // live ring entries 0..600
inline constexpr int kRingValues = 50;   // doubles per ring entry
inline constexpr int kMaxSamples = 7200; // log records
inline constexpr int kSampleValues = 25; // doubles per log record

} // namespace zentra

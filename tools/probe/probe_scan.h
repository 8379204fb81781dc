// zentra-probe --scan: every node of a range asked for its identity in turn, one line
// per meter that answers, a progress line on a terminal while it runs.
#pragma once

#include "comms/meter_scan.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace zentra::probe {

struct ScanRange {
    int first = kFirstScanNode;
    int last = kLastScanNode;
};

// "N" or "A-B" with 1 <= A <= B <= 247; empty when the text is not one.
std::optional<ScanRange> ParseNodeRange(const std::string& text);

// Scans and prints; the exit status: 0 when a meter answered, `noneStatus` when none.
// `progress`: a line of progress on err, rewritten in place (err is a terminal).
int RunScan(PortHandle port, const ScanRange& range, std::int32_t order,
            std::chrono::milliseconds window, bool progress, int noneStatus, std::FILE* out,
            std::FILE* err);

} // namespace zentra::probe

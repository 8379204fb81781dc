#include "tools/probe/probe_scan.h"

#include <cstdlib>

namespace zentra::probe {
namespace {

std::optional<int> NodeNumber(const std::string& text) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int value = std::atoi(text.c_str());
    if (value < kFirstScanNode || value > kLastScanNode)
        return std::nullopt;
    return value;
}

void ClearProgress(bool progress, std::FILE* err) {
    if (progress)
        std::fputs("\r\033[K", err);
}

} // namespace

std::optional<ScanRange> ParseNodeRange(const std::string& text) {
    const auto dash = text.find('-');
    const auto first = NodeNumber(text.substr(0, dash));
    const auto last = dash == std::string::npos ? first : NodeNumber(text.substr(dash + 1));
    if (!first || !last || *first > *last)
        return std::nullopt;
    return ScanRange{*first, *last};
}

int RunScan(PortHandle port, const ScanRange& range, std::int32_t order,
            std::chrono::milliseconds window, bool progress, int noneStatus, std::FILE* out,
            std::FILE* err) {
    MeterScan scan(port, range.first, range.last, order, window);
    while (!scan.Done()) {
        if (progress) {
            std::fprintf(err, "\rScanning node %d (%d of %d), %d found", scan.NextNode(),
                         scan.Asked() + 1, scan.Total(), scan.MetersFound());
            std::fflush(err);
        }
        const auto hit = scan.Step();
        if (!hit)
            continue;
        ClearProgress(progress, err);
        std::fprintf(out, "%s\n", ScanHitLine(*hit).c_str());
        std::fflush(out);
    }
    ClearProgress(progress, err);
    if (scan.PortGone()) {
        std::fprintf(err, "zentra-probe: the port went away at node %d; the scan stops there.\n",
                     scan.NextNode() - 1);
    }
    if (scan.MetersFound() > 0) {
        std::fprintf(out, "%d meter%s found on nodes %d-%d\n", scan.MetersFound(),
                     scan.MetersFound() == 1 ? "" : "s", range.first, range.last);
        return 0;
    }
    std::fprintf(err,
                 "zentra-probe: no meter answered on nodes %d-%d. Check the wiring and the baud "
                 "rate, parity and stop bits (every meter on a line uses the same), or allow a "
                 "slow line a longer --window.\n",
                 range.first, range.last);
    return noneStatus;
}

} // namespace zentra::probe

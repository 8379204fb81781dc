// Finding the meters on a line: each node of a range is asked for its identity in
// turn, with a short reply window of its own, and the ones that answer are reported
// as they are found. One node per step, so a caller with an event loop (the
// Communication page) stays responsive and can cancel between steps; the command-line
// probe runs the steps in a row.
#pragma once

#include "comms/serial_link.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace zentra {

using namespace std::chrono_literals;

inline constexpr int kFirstScanNode = 1;
inline constexpr int kLastScanNode = 247; // the highest unicast Modbus node
inline constexpr std::chrono::milliseconds kDefaultScanWindow{100ms};

// A node that answered the identity request.
struct ScanHit {
    int node = 0;
    double model = 0.0;
    double version = 0.0;
    std::string serial;          // "%06.0f%04.0f" of the two serial number floats
    bool orderPlausible = false; // the model number reads as one with this float order
    // A device that answered with an exception instead (not a meter of this kind): its
    // code, and the identity fields are empty.
    int exceptionCode = 0;

    bool IsMeter() const { return exceptionCode == 0; }
};

// "node 5: model 760, version 1.010, serial 1234560042, float order plausible", or
// for a device that answered with an exception "node 7: answers with exception 1
// (not this kind of meter)".
std::string ScanHitLine(const ScanHit& hit);

class MeterScan {
  public:
    // Scans first..last (clamped to 1..247) on an open port, decoding in `order`.
    MeterScan(PortHandle port, int first, int last, std::int32_t order,
              std::chrono::milliseconds window = kDefaultScanWindow);

    // Asks the next node and waits up to the window for its answer; the hit when it
    // answered. Does nothing once Done().
    std::optional<ScanHit> Step();

    bool Done() const { return next_ > last_ || portGone_; }
    // The node the next Step asks, and how many nodes were asked / are to be asked.
    int NextNode() const { return next_; }
    int Asked() const { return next_ - first_; }
    int Total() const { return last_ - first_ + 1; }
    int MetersFound() const { return meters_; }
    // The port went away during the scan (adapter pulled, connection closed).
    bool PortGone() const { return portGone_; }

  private:
    PortHandle port_;
    int first_;
    int last_;
    int next_;
    std::int32_t order_;
    std::chrono::milliseconds window_;
    int meters_ = 0;
    bool portGone_ = false;
};

} // namespace zentra

// Shared pieces of the acquisition tests: a timer that records what it was armed
// with, documents, readings blocks and replies, and a meter played by hand on the far
// side of a pseudo-terminal.
#pragma once

#include "acquisition/acquisition_cycle.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "tests/support/pty_pair.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace zentra::test {

using Bytes = std::vector<std::uint8_t>;

struct ArmedTimer {
    int id;
    std::chrono::milliseconds period;
};

class FakeTimer final : public AcquisitionTimer {
  public:
    int Arm(int id, std::chrono::milliseconds period) override {
        armed.push_back({id, period});
        return id;
    }
    void Kill(int id) override { killed.push_back(id); }
    std::vector<ArmedTimer> armed;
    std::vector<int> killed;
};

// A new document as the program makes it (defaults applied).
std::unique_ptr<CZentraDoc> NewDoc();

inline constexpr platform::TimeSeconds kStart = 1'357'394'589; // Sat Jan 05 14:03:09 2013 UTC

// What the view holds while it drives the cycle, with a hand-set clock and scripted
// message boxes.
struct CycleRig {
    platform::ManualClock clock{kStart};
    ScriptedMessages messages;
    FakeTimer timer;
    AcquisitionState state;
    std::unique_ptr<CZentraDoc> doc = NewDoc();

    // Opens COM1 for the document as the Communication page does.
    ::testing::AssertionResult OpenCom1();
};

// A readings block whose position p (1-based) holds base + p.
ReadingsBlock Block(double base = 0.0);

// Replies with their CRC; floats big-endian (order 0).
Bytes ReadingsReply(std::uint8_t node, const ReadingsBlock& block, int count = kBlockReadings);
Bytes InfoReply(std::uint8_t node, float voltage, float current, float systemType);
Bytes LayoutReply(std::uint8_t node, const Bytes& codes);

// The meter played by hand: the document opens SlavePath() as COM1.
class ScriptedMeter : public PtyPair {
  public:
    // Every request frame written since the last call, split by frame length
    // (8 bytes for fc 3, 4 and 66; 4 for fc 17).
    std::vector<Bytes> TakeRequests();
};

} // namespace zentra::test

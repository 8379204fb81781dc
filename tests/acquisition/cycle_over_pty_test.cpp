// The acquisition cycle over a pseudo-terminal with the meter played by hand: start-up
// order, readings retry, empty and short replies. The only waits are read time-outs.
#include "acquisition/acquisition_cycle.h"
#include "acquisition/logging_commands.h"
#include "comms/serial_link.h"
#include "platform/clock.h"
#include "tests/acquisition/acquisition_test_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace zentra {
namespace {

using std::chrono::milliseconds;
using test::Block;
using test::Bytes;

const Bytes kLayoutRequest = test::WithCrc({1, 0x42, 0, 0, 0, 0x1C});
const Bytes kInfoRequest{1, 0x03, 0x00, 0x00, 0x00, 0x40, 0x44, 0x3A};
const Bytes kReadingsRequest = test::WithCrc({1, 0x04, 0, 0, 0, 0x60});

std::vector<std::uint8_t> IdentityCodes() {
    std::vector<std::uint8_t> codes;
    for (int i = 1; i <= kBlockReadings; ++i)
        codes.push_back(static_cast<std::uint8_t>(i));
    return codes;
}

struct CycleOverPty : ::testing::Test, test::CycleRig {
    test::ScriptedMeter meter;
    test::ScopedEnv com1{"ZENTRA_COM1", meter.SlavePath().c_str()};

    void SetUp() override { ASSERT_TRUE(OpenCom1()); }

    TickOutcome Tick() {
        clock.Advance(1);
        return AcquisitionTick(*doc, state, timer, state.timerId);
    }

    // Start-up up to the first readings request, with a plain layout.
    void StartUp(bool logging) {
        ASSERT_TRUE(logging ? OnEnableLogging(*doc, state, timer)
                            : OnStartRetrieval(*doc, state, timer));
        ASSERT_EQ(meter.TakeRequests(), std::vector<Bytes>{kLayoutRequest});
        meter.Send(test::LayoutReply(1, IdentityCodes()));
        Tick();
        ASSERT_EQ(meter.TakeRequests(), std::vector<Bytes>{kInfoRequest});
        meter.Send(test::InfoReply(1, 230.0f, 5.0f, 3.0f));
        Tick();
        ASSERT_EQ(meter.TakeRequests(), std::vector<Bytes>{kReadingsRequest});
    }
};

TEST_F(CycleOverPty, StartsUpWithLayoutThenInformationThenReadingsOnePerTick) {
    ASSERT_TRUE(OnStartRetrieval(*doc, state, timer));
    EXPECT_EQ(meter.TakeRequests(), std::vector<Bytes>{kLayoutRequest});
    ASSERT_EQ(timer.armed.size(), 1u);
    EXPECT_EQ(timer.armed[0].period, milliseconds(200)); // the latency

    std::vector<std::uint8_t> codes = IdentityCodes();
    std::swap(codes[0], codes[9]); // reading index 10 delivered at byte 0
    meter.Send(test::LayoutReply(1, codes));
    TickOutcome tick = Tick();
    EXPECT_EQ(tick.filed, 66);
    EXPECT_EQ(doc->m_ReadingMap[9], 1);
    EXPECT_EQ(doc->m_ReadingMap[0], 10);
    EXPECT_EQ(doc->m_LastRequest, 3);
    EXPECT_EQ(meter.TakeRequests(), std::vector<Bytes>{kInfoRequest});

    meter.Send(test::InfoReply(1, 230.0f, 5.0f, 3.0f));
    tick = Tick();
    EXPECT_EQ(tick.filed, 3);
    EXPECT_EQ((std::array{doc->m_SystemVoltage, doc->m_SystemCurrent, doc->m_SystemTypeNumber}),
              (std::array{230.0, 5.0, 3.0}));
    EXPECT_EQ(doc->m_MeterInfo[15], 15.0);
    EXPECT_EQ(doc->m_MeterInfo[16], 0.0); // floats beyond 15 are not used
    EXPECT_EQ(meter.TakeRequests(), std::vector<Bytes>{kReadingsRequest});

    for (int reply = 0; reply < 3; ++reply) {
        meter.Send(test::ReadingsReply(1, Block(reply * 100.0)));
        tick = Tick();
        EXPECT_EQ(tick.filed, 4);
        EXPECT_EQ(doc->m_LiveIndex, reply + 1);
        EXPECT_EQ(doc->m_LiveValues[static_cast<std::size_t>(reply)][1], reply * 100.0 + 1);
        EXPECT_EQ(doc->m_LiveTimes[static_cast<std::size_t>(reply)], clock.Get());
        EXPECT_EQ(meter.TakeRequests(), std::vector<Bytes>{kReadingsRequest}) << reply;
    }
    EXPECT_EQ(state.requestQueue.count, 0);
    ASSERT_EQ(timer.armed.size(), 6u);
    for (std::size_t i = 1; i < timer.armed.size(); ++i) {
        EXPECT_EQ(timer.armed[i].id, kAcquisitionTimerId);
        EXPECT_EQ(timer.armed[i].period, milliseconds(1000));
    }
}

TEST_F(CycleOverPty, AMissingReadingsReplyIsAskedForAgainAMissingInformationReplyIsNot) {
    ASSERT_TRUE(OnStartRetrieval(*doc, state, timer));
    meter.TakeRequests();
    // No layout reply: the queue moves on to the information request, nothing else.
    EXPECT_EQ(Tick().filed, kReplyNone);
    EXPECT_EQ(meter.TakeRequests(), std::vector<Bytes>{kInfoRequest});
    // No information reply: the readings request comes from the queue, once.
    EXPECT_EQ(Tick().filed, kReplyNone);
    EXPECT_EQ(meter.TakeRequests(), std::vector<Bytes>{kReadingsRequest});
    // No readings reply: asked for again, every tick.
    for (int miss = 0; miss < 2; ++miss) {
        const TickOutcome tick = Tick();
        EXPECT_EQ(tick.filed, kReplyNone);
        EXPECT_TRUE(tick.readingsRequested);
        EXPECT_EQ(meter.TakeRequests(), std::vector<Bytes>{kReadingsRequest});
        EXPECT_EQ(doc->m_LastRequest, 4);
    }
    meter.Send(test::ReadingsReply(1, Block()));
    EXPECT_EQ(Tick().filed, 4);
    EXPECT_EQ(doc->m_LiveIndex, 1);
}

TEST_F(CycleOverPty, AHandedOverPortWithNothingOutstandingIsNotRead) {
    doc->m_LastRequest = 0; // as the Communication sheet leaves it
    meter.Send(test::ReadingsReply(1, Block()));
    const TickOutcome tick = Tick();
    EXPECT_FALSE(tick.exchanged);
    EXPECT_EQ(doc->m_LiveIndex, 0); // the stray bytes were not read
    EXPECT_TRUE(meter.TakeRequests().empty());
    EXPECT_EQ(timer.armed.back().period, milliseconds(1000));
}

TEST_F(CycleOverPty, AReadingsReplyThatCarriesNothingIsAMissingReply) {
    StartUp(/*logging=*/true);
    meter.Send(test::ReadingsReply(1, Block(), 0));
    const TickOutcome tick = Tick();
    EXPECT_EQ(tick.filed, kReplyNone);
    EXPECT_TRUE(tick.readingsRequested);
    EXPECT_EQ(meter.TakeRequests(), std::vector<Bytes>{kReadingsRequest});
    EXPECT_EQ(doc->m_LiveIndex, 0);
    EXPECT_EQ(doc->m_SampleCount, 0);
    meter.Send(test::ReadingsReply(2, Block(700)));
    EXPECT_TRUE(Tick().otherNode);
    meter.TakeRequests();
    meter.Send(test::ReadingsReply(1, Block(5)));
    EXPECT_EQ(Tick().recordsWritten, 1);
    EXPECT_EQ(doc->m_SampleValues[0][1], 6.0);
}

TEST_F(CycleOverPty, AShortReadingsReplyStoresOnlyWhatItCarriedAndMarksTheProjectChanged) {
    StartUp(/*logging=*/true);
    doc->SetModifiedFlag(false); // as a save leaves it
    meter.Send(test::ReadingsReply(1, Block(), 12));
    const TickOutcome tick = Tick();
    EXPECT_EQ(tick.filed, 4);
    ASSERT_EQ(tick.recordsWritten, 1);
    EXPECT_TRUE(doc->IsModified());
    const RingEntry& slot = doc->m_LiveValues[0];
    EXPECT_EQ(slot[12], 12.0);
    EXPECT_TRUE(std::isnan(slot[13]));
    EXPECT_TRUE(std::isnan(slot[48]));
    const SampleRecord& record = doc->m_SampleValues[0];
    EXPECT_EQ(record[12], 12.0); // index 12 at position 12
    EXPECT_EQ(record[13], 0.0);  // index 13: not carried
    EXPECT_EQ(record[16], 0.0);  // Hz: not carried
}

TEST(NodeByte, NodesUpTo247KeepAllEightBits) {
    for (const int node : {1, 127, 128, 200, 247})
        EXPECT_EQ(NodeByte(node), node);
}

} // namespace
} // namespace zentra

// The live ring, the readings layout and the log records, driven directly with
// readings blocks and a hand-stepped clock.
#include "acquisition/acquisition_cycle.h"
#include "acquisition/logging_commands.h"
#include "platform/clock.h"
#include "records/calendar.h"
#include "tests/acquisition/acquisition_test_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace zentra {
namespace {

using test::Block;
using test::NewDoc;

using test::kStart;

TEST(LiveRing, ComesBackToSlotZeroAfter601Replies) {
    auto doc = NewDoc();
    for (int r = 0; r < kRingSlots; ++r)
        StoreInRing(*doc, Block(r * 100.0), kBlockReadings, kStart + r);
    EXPECT_EQ(doc->m_LiveIndex, 0);
    for (int slot = 0; slot < kRingSlots; ++slot) {
        const auto s = static_cast<std::size_t>(slot);
        ASSERT_EQ(doc->m_LiveValid[s], 1) << slot;
        EXPECT_EQ(doc->m_LiveTimes[s], kStart + slot);
        EXPECT_EQ(doc->m_LiveValues[s][0], 0.0);
        EXPECT_FLOAT_EQ(doc->m_LiveValues[s][1], slot * 100.0 + 1);
        EXPECT_FLOAT_EQ(doc->m_LiveValues[s][48], slot * 100.0 + 48);
        EXPECT_EQ(doc->m_LiveValues[s][49], 0.0); // never written
    }
    StoreInRing(*doc, Block(), kBlockReadings, kStart + kRingSlots);
    EXPECT_EQ(doc->m_LiveIndex, 1);
    EXPECT_EQ(doc->m_LiveTimes[0], kStart + kRingSlots);
}

TEST(LiveRing, OnlyAGapOfExactlyTwoSecondsFillsTheMissedSlot) {
    auto doc = NewDoc();
    StoreInRing(*doc, Block(0), kBlockReadings, kStart);
    StoreInRing(*doc, Block(10), kBlockReadings, kStart + 1); // gap 1
    EXPECT_EQ(doc->m_LiveIndex, 2);
    StoreInRing(*doc, Block(20), kBlockReadings, kStart + 3); // gap 2: duplicate
    ASSERT_EQ(doc->m_LiveIndex, 4);
    EXPECT_EQ(doc->m_LiveValues[2], doc->m_LiveValues[3]);
    EXPECT_EQ(doc->m_LiveTimes[2], kStart + 3);
    EXPECT_EQ(doc->m_LiveTimes[3], kStart + 3);
    StoreInRing(*doc, Block(30), kBlockReadings, kStart + 6); // gap 3: one slot only
    EXPECT_EQ(doc->m_LiveIndex, 5);
    StoreInRing(*doc, Block(40), kBlockReadings, kStart + 6); // gap 0
    EXPECT_EQ(doc->m_LiveIndex, 6);

    // Across the end of the ring: the previous slot of slot 0 is slot 600.
    doc->m_LiveIndex = 0;
    doc->m_LiveTimes[600] = kStart + 100;
    StoreInRing(*doc, Block(50), kBlockReadings, kStart + 102);
    EXPECT_EQ(doc->m_LiveIndex, 2);
    EXPECT_EQ(doc->m_LiveValues[0], doc->m_LiveValues[1]);
}

TEST(LiveRing, KeepsValuesAsReceivedAndMarksEntriesAShortReplyDidNotCarry) {
    auto doc = NewDoc();
    ReadingsBlock block = Block();
    block[3] = std::nan("");
    block[5] = -1.5;
    StoreInRing(*doc, block, 10, kStart);
    const RingEntry& slot = doc->m_LiveValues[0];
    EXPECT_EQ(slot[0], 0.0);
    EXPECT_TRUE(std::isnan(slot[4])); // received as NaN: kept
    EXPECT_EQ(slot[6], -1.5);
    EXPECT_EQ(slot[10], 10.0);
    for (int p = 11; p <= 48; ++p)
        EXPECT_TRUE(std::isnan(slot[static_cast<std::size_t>(p)])) << p; // not carried
}

TEST(ReadingLayout, IndexTenAtByteZeroSitsAtPositionOneAndBadCodesAreIgnored) {
    auto doc = NewDoc();
    doc->m_ReadingMap.fill(7); // whatever an earlier layout left
    PositionCodes codes{};
    codes.fill(0);
    codes[0] = 10;
    codes[1] = 49;  // h.p. is never in the block
    codes[2] = 200; // garbage
    codes[3] = 5;
    codes[4] = 3; // beyond what was carried
    ApplyReadingLayout(*doc, codes, 4);
    for (int k = 1; k <= kBlockReadings; ++k) {
        const int expected = k == 10 ? 1 : k == 5 ? 4 : k;
        EXPECT_EQ(doc->m_ReadingMap[static_cast<std::size_t>(k - 1)], expected) << k;
    }
}

TEST(LogRecord, FullListGoesThroughTheReadingMap) {
    auto doc = NewDoc();
    doc->m_SystemType = 1;
    for (int k = 1; k <= kBlockReadings; ++k)
        doc->m_ReadingMap[static_cast<std::size_t>(k - 1)] = kBlockReadings + 1 - k; // reversed
    SampleRecord record;
    record.fill(99.0);
    BuildRecord(*doc, Block(), kBlockReadings, record);
    EXPECT_EQ(record[0], 0.0);
    for (std::size_t j = 0; j < LoggedColumns.size(); ++j)
        EXPECT_EQ(record[j + 1], kBlockReadings + 1 - LoggedColumns[j]) << j;
    EXPECT_EQ(record[24], 0.0);
}

TEST(LogRecord, ShortListFillsElementsOneToEight) {
    auto doc = NewDoc();
    doc->m_SystemType = 3;
    SampleRecord record;
    record.fill(99.0);
    BuildRecord(*doc, Block(), kBlockReadings, record);
    EXPECT_EQ(record[0], 0.0);
    for (std::size_t j = 0; j < 8; ++j)
        EXPECT_EQ(record[j + 1], ShortLoggedColumns[j]) << j;
    for (std::size_t e = 9; e < record.size(); ++e)
        EXPECT_EQ(record[e], 0.0) << e;
}

TEST(LogRecord, ValuesThatAreNotNumbersOrWereNotCarriedAreLoggedAsZero) {
    auto doc = NewDoc();
    doc->m_SystemType = 1;
    ReadingsBlock block = Block();
    block[3] = std::nan("");  // index 4
    block[6] = HUGE_VAL;      // index 7
    doc->m_ReadingMap[1] = 0; // index 2: position out of range
    SampleRecord record{};
    BuildRecord(*doc, block, 9, record);
    EXPECT_EQ(record[1], 1.0);
    EXPECT_EQ(record[2], 0.0);
    EXPECT_EQ(record[4], 0.0);
    EXPECT_EQ(record[7], 0.0);
    EXPECT_EQ(record[9], 9.0);
    EXPECT_EQ(record[10], 0.0); // index 10 sits at position 10: the reply carried 9
}

// A document logging from now on, as Enable Logging leaves it (no port needed).
std::unique_ptr<CZentraDoc> LoggingDoc(int period, int multiplier, int samples) {
    auto doc = NewDoc();
    doc->m_Period = period;
    doc->m_PeriodMultiplier = multiplier;
    doc->m_Samples = samples;
    doc->m_Comms.portSetUp = 1;
    test::FakeTimer timer;
    AcquisitionState state;
    test::ScriptedMessages messages;
    EXPECT_TRUE(OnEnableLogging(*doc, state, timer));
    EXPECT_TRUE(messages.shown().empty());
    return doc;
}

TEST(LoggingStep, OneMinuteTimesThreeRecordsOnReplies1_61And121) {
    platform::ManualClock clock(kStart);
    auto doc = LoggingDoc(1, 60, 3);
    std::vector<int> writtenOn;
    for (int reply = 1; reply <= 200; ++reply) {
        clock.Set(kStart + reply);
        if (LoggingStep(*doc, Block(reply), kBlockReadings, clock.Get()) > 0)
            writtenOn.push_back(reply);
    }
    EXPECT_EQ(writtenOn, (std::vector<int>{1, 61, 121}));
    EXPECT_EQ((std::array<int, 4>{doc->m_SampleCount, doc->m_LoggingActive, doc->m_Finished,
                                  doc->m_Locked}),
              (std::array<int, 4>{3, 0, 1, 1}));
    EXPECT_EQ(doc->m_LoggingEndTime, kStart + 121) << "ended by the 121st reply";
    EXPECT_EQ(doc->m_ProjectEndDate, DayNumberOf(kStart + 121));
    EXPECT_EQ(doc->m_SampleTimes[1], kStart + 61);
    EXPECT_EQ(doc->m_SampleValues[2][1], 122.0); // reply 121, position 1
}

TEST(LoggingStep, TwoSecondGapAtOneSecondPeriodGivesTwoIdenticalRecords) {
    platform::ManualClock clock(kStart);
    auto doc = LoggingDoc(1, 1, 100);
    EXPECT_EQ(LoggingStep(*doc, Block(1), kBlockReadings, kStart), 1);
    EXPECT_EQ(LoggingStep(*doc, Block(2), kBlockReadings, kStart + 1), 1);
    EXPECT_EQ(LoggingStep(*doc, Block(3), kBlockReadings, kStart + 3), 2);
    ASSERT_EQ(doc->m_SampleCount, 4);
    EXPECT_EQ(doc->m_SampleValues[2], doc->m_SampleValues[3]);
    EXPECT_EQ(doc->m_SampleTimes[2], kStart + 3);
    EXPECT_EQ(doc->m_SampleTimes[3], kStart + 3);
    EXPECT_EQ(LoggingStep(*doc, Block(4), kBlockReadings, kStart + 6), 1); // gap 3: one
    EXPECT_EQ(LoggingStep(*doc, Block(5), kBlockReadings, kStart + 6), 1); // gap 0: one
    EXPECT_EQ(doc->m_SampleCount, 6);
}

TEST(LoggingStep, TheDuplicateNeverGoesBeyondThePlannedCountOrTheLog) {
    platform::ManualClock clock(kStart);
    auto doc = LoggingDoc(1, 1, 2);
    LoggingStep(*doc, Block(1), kBlockReadings, kStart);
    EXPECT_EQ(LoggingStep(*doc, Block(2), kBlockReadings, kStart + 2), 1);
    EXPECT_EQ(doc->m_SampleCount, 2);
    EXPECT_EQ(doc->m_LoggingActive, 0);
    EXPECT_EQ(LoggingStep(*doc, Block(3), kBlockReadings, kStart + 3), 0);

    auto full = LoggingDoc(1, 1, kMaxSamples);
    full->m_SampleCount = kMaxSamples - 1;
    full->m_SampleTimes[kMaxSamples - 2] = kStart - 2;
    EXPECT_EQ(LoggingStep(*full, Block(), kBlockReadings, kStart), 1);
    EXPECT_EQ(full->m_SampleCount, kMaxSamples);
    EXPECT_EQ(full->m_LoggingActive, 0);

    // A counter already at the capacity (a damaged project) writes nothing.
    auto damaged = LoggingDoc(1, 1, kMaxSamples);
    damaged->m_SampleCount = kMaxSamples;
    EXPECT_EQ(LoggingStep(*damaged, Block(), kBlockReadings, kStart), 0);
    EXPECT_EQ(damaged->m_SampleCount, kMaxSamples);
    EXPECT_EQ(damaged->m_LoggingActive, 0);
}

TEST(LoggingStep, LongerPeriodsNeverDuplicateAndAPeriodOfZeroCountsAsOneSecond) {
    // A two-second period with one reply a second: consecutive records are exactly
    // two seconds apart, the gap that a one-second period fills with a duplicate.
    auto doc = LoggingDoc(2, 1, 100);
    for (int reply = 0; reply < 10; ++reply)
        EXPECT_LE(LoggingStep(*doc, Block(reply), kBlockReadings, kStart + reply), 1) << reply;
    ASSERT_EQ(doc->m_SampleCount, 5); // replies 0, 2, 4, 6, 8
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(doc->m_SampleTimes[static_cast<std::size_t>(n)], kStart + 2 * n);

    // One minute, with the 61st reply two seconds after the first (a clock set back).
    auto minute = LoggingDoc(1, 60, 100);
    EXPECT_EQ(LoggingStep(*minute, Block(1), kBlockReadings, kStart), 1);
    for (int reply = 2; reply <= 60; ++reply)
        EXPECT_EQ(LoggingStep(*minute, Block(reply), kBlockReadings, kStart + 1), 0);
    EXPECT_EQ(LoggingStep(*minute, Block(61), kBlockReadings, kStart + 2), 1);
    EXPECT_EQ(minute->m_SampleCount, 2);

    auto zero = LoggingDoc(0, 60, 100);
    for (int reply = 0; reply < 5; ++reply)
        LoggingStep(*zero, Block(reply), kBlockReadings, kStart + reply);
    EXPECT_EQ(zero->m_SampleCount, 5);
}

constexpr std::int64_t k2To32 = std::int64_t{1} << 32;

// The gap test works on the low 32 bits of the two times: a reply 2 apart in those
// bits fills the missed second, whatever the high bits say.
TEST(RingGap, OnlyTheLowThirtyTwoBitsOfTheTimesCount) {
    struct Case {
        std::int64_t previous, now;
        int slotsWritten;
    };
    const Case cases[] = {
        {kStart, kStart + 2 + k2To32, 2}, // low halves 2 apart: the missed second is filled
        {kStart + k2To32, kStart + 2, 2}, // the same from the other side
        {kStart, kStart + k2To32, 1},     // low halves equal: one slot
        {kStart, kStart + 3 + k2To32, 1}, // low halves 3 apart: one slot
        {k2To32 - 1, k2To32 + 1, 2},      // across the 32-bit wrap: still 2 apart
    };
    for (const Case& c : cases) {
        auto doc = test::NewDoc();
        doc->m_LiveIndex = 10;
        doc->m_LiveTimes[9] = c.previous;
        StoreInRing(*doc, Block(100), kBlockReadings, c.now);
        EXPECT_EQ(doc->m_LiveIndex, 10 + c.slotsWritten) << c.previous << " -> " << c.now;
        EXPECT_EQ(doc->m_LiveTimes[10], c.now);
        EXPECT_EQ(doc->m_LiveValues[10][1], 101.0);
        if (c.slotsWritten == 2) {
            EXPECT_EQ(doc->m_LiveTimes[11], c.now);
            EXPECT_EQ(doc->m_LiveValues[11], doc->m_LiveValues[10]);
        }
    }
}

} // namespace
} // namespace zentra

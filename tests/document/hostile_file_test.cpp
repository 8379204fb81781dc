// A project file is untrusted input: whatever its bytes hold, the document read
// from it keeps the counters, flags and texts that no writer of the format leaves
// out of range within what later code can index; the rest is taken as stored.
#include "document/project_file.h"

#include "platform/clock.h"
#include "records/readings_catalogue.h"
#include "tests/document/document_test_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace zentra {
namespace {

using namespace test;

constexpr std::size_t kGraph0 = 3376;
constexpr std::size_t kMeter = 12251;
constexpr std::size_t kLog = 12515;

class HostileFile : public ::testing::Test {
  protected:
    CZentraDoc& Load() {
        SerializeLoad(image_.data(), *loaded_);
        return *loaded_;
    }
    const test::ScopedUserFolders folders_; // documents read and write the user's defaults
    platform::ManualClock clock_{1357394589};
    std::unique_ptr<CZentraDoc> loaded_ = std::make_unique<CZentraDoc>();
    Bytes image_ = StoreImage(*NewDocument());
};

bool InRange(std::int64_t v, std::int64_t lo, std::int64_t hi) {
    return lo <= v && v <= hi;
}

// The invariants later code relies on.
void ExpectBounded(const CZentraDoc& d) {
    EXPECT_PRED3(InRange, d.m_SampleCount, 0, kMaxSamples);
    EXPECT_GE(d.m_DataViewTop, 0);
    EXPECT_PRED3(InRange, d.m_SystemType, 1, 6);
    EXPECT_GE(d.m_Period, 1);
    EXPECT_GE(d.m_Duration, 1);
    for (const std::int32_t unit : {d.m_PeriodMultiplier, d.m_DurationMultiplier})
        EXPECT_TRUE(unit == 1 || unit == 60 || unit == 3600) << unit;
    EXPECT_PRED3(InRange, d.m_Comms.floatOrder, 0, 3);
    for (const auto p : d.m_SelectedParameters)
        EXPECT_PRED3(InRange, p, 0, kHorsePowerReading);
    for (const auto position : d.m_ReadingMap)
        EXPECT_PRED3(InRange, position, 1, kBlockReadings);
    EXPECT_EQ(d.m_Description.back(), '\0');
    EXPECT_EQ(d.m_BriefDescription.back(), '\0');
    EXPECT_EQ(d.m_ProjectName.back(), '\0');
    for (const auto* text : {&d.m_LiveAxisStart, &d.m_LiveAxisEnd, &d.m_LiveAxisDate,
                             &d.m_LogAxisStart, &d.m_LogAxisEnd, &d.m_LogAxisDate})
        EXPECT_EQ(text->back(), '\0');
    for (const auto* text : {&d.m_Comms.port, &d.m_Comms.baud, &d.m_Comms.parity,
                             &d.m_Comms.dataBits, &d.m_Comms.stopBits, &d.m_Comms.latency})
        EXPECT_EQ(text->back(), '\0');
    for (const Graph& g : d.m_Graphs) {
        for (const auto c : g.m_LineColour)
            EXPECT_PRED3(InRange, c, 0, kTraceColourCount - 1);
        for (const auto& h : g.m_Headings)
            EXPECT_EQ(h.back(), '\0');
        EXPECT_EQ(g.m_LegendX.back(), '\0');
        EXPECT_EQ(g.m_LegendY.back(), '\0');
        EXPECT_PRED3(InRange, g.m_ScaleX, 1, kMaxScaleX);
        EXPECT_GE(g.m_ScaleY, 1);
        EXPECT_GE(g.m_NominalScaleY, 1);
        EXPECT_TRUE(std::isfinite(g.m_NominalY[0]) && std::isfinite(g.m_NominalY[1]));
        EXPECT_TRUE(std::isfinite(g.m_TickLengthX) && std::isfinite(g.m_TickLengthY));
        EXPECT_LE(g.m_ScrollOffset, 0);
        EXPECT_PRED3(InRange, g.m_LastIndex, 0, kMaxSamples - 1);
        for (const auto flag : {g.m_Enabled, g.m_GraphMode, g.m_RelativeY, g.m_CentreZero})
            EXPECT_LE(flag, 1);
        EXPECT_EQ(g.m_RealTime, 0);
    }
}

TEST_F(HostileFile, CountersAndEnumerationsNoWriterLeavesAreClamped) {
    PutI32(image_, kLog + 64, std::numeric_limits<std::int32_t>::max()); // m_SampleCount
    PutI32(image_, kLog + 68, 1'000'000'000);                            // m_DataViewTop
    PutI32(image_, kMeter + 256, 99);                                    // m_SystemType
    PutI32(image_, 3232, 9000);                                          // m_Samples
    PutI32(image_, 3216, 0);                                             // m_Period
    PutI32(image_, 3220, 7);                                             // m_PeriodMultiplier
    PutI32(image_, 3224, -4);                                            // m_Duration
    PutI32(image_, 12175 + 68, 9);                                       // floatOrder
    PutI32(image_, 3276, 50);                                            // a selected parameter
    PutI32(image_, kMeter + 56, 0);                                      // reading map entry 1
    PutI32(image_, kMeter + 56 + 4 * 47, 49);                            // reading map entry 48
    image_[3370] = 7;                                                    // m_Finished
    const CZentraDoc& d = Load();
    EXPECT_EQ(d.m_SampleCount, kMaxSamples);
    EXPECT_EQ(d.m_DataViewTop, 1'000'000'000); // Page Down has no end: taken as stored
    EXPECT_EQ(d.m_SystemType, 1);
    EXPECT_EQ(d.m_Samples, 9000); // logging stops at the log's end all the same
    EXPECT_EQ(d.m_Period, 1);
    EXPECT_EQ(d.m_PeriodMultiplier, 1);
    EXPECT_EQ(d.m_Duration, 1);
    EXPECT_EQ(d.m_Comms.floatOrder, 0);
    EXPECT_EQ(d.m_SelectedParameters[0], 0);
    EXPECT_EQ(d.m_ReadingMap[0], 1);
    EXPECT_EQ(d.m_ReadingMap[47], 48);
    EXPECT_EQ(d.m_Finished, 1);
    ExpectBounded(d);

    PutI32(image_, kLog + 64, -5);
    PutI32(image_, kLog + 68, -3);
    PutI32(image_, kMeter + 256, 3);
    const CZentraDoc& e = Load();
    EXPECT_EQ(e.m_SampleCount, 0);
    EXPECT_EQ(e.m_DataViewTop, 0);
    EXPECT_EQ(e.m_SystemType, 3);
}

TEST_F(HostileFile, GraphColoursAndDivisorsAreBoundedAndSourcesAndHistoryKept) {
    const std::size_t g1 = kGraph0 + 728; // graph 2
    PutI32(image_, kGraph0 + 60, 9);      // colour one past the table
    PutI32(image_, kGraph0 + 64, -1);
    PutI32(image_, kGraph0 + 84, 24);  // source past LoggedColumns (full family)
    PutI32(image_, kGraph0 + 88, 23);  // last valid position
    PutI32(image_, kGraph0 + 628, 0);  // m_ScaleX
    PutI32(image_, kGraph0 + 632, 0);  // m_ScaleY
    PutI32(image_, kGraph0 + 636, -5); // m_NominalScaleY
    PutF64(image_, kGraph0 + 608, std::nan(""));
    PutF64(image_, kGraph0 + 712, std::numeric_limits<double>::infinity());
    PutI32(image_, kGraph0 + 696, std::numeric_limits<std::int32_t>::min()); // m_ScrollOffset
    PutI32(image_, kGraph0 + 700, std::numeric_limits<std::int32_t>::max()); // m_LastIndex
    PutI32(image_, g1 + 628, 100000);
    image_[g1 + 32] = 200; // m_Enabled
    const CZentraDoc& d = Load();
    const Graph& g = d.m_Graphs[0];
    EXPECT_EQ(g.m_LineColour[0], 0);
    EXPECT_EQ(g.m_LineColour[1], 0);
    EXPECT_EQ(g.m_Associations[0], 24); // the use guards a source outside the tables
    EXPECT_EQ(g.m_Associations[1], 23);
    EXPECT_EQ(g.m_ScaleX, 1);
    EXPECT_EQ(g.m_ScaleY, 1);
    EXPECT_EQ(g.m_NominalScaleY, 1);
    EXPECT_EQ(g.m_NominalY[0], 0.0);
    EXPECT_EQ(g.m_TickLengthX, kDefaultTickLengthX);
    EXPECT_EQ(g.m_ScrollOffset, std::numeric_limits<std::int32_t>::min()); // no lower bound
    EXPECT_EQ(g.m_LastIndex, kMaxSamples - 1);
    EXPECT_EQ(d.m_Graphs[1].m_ScaleX, kMaxScaleX);
    EXPECT_EQ(d.m_Graphs[1].m_Enabled, 1);
    ExpectBounded(d);
}

TEST_F(HostileFile, TextsWithoutTerminatorAreCut) {
    std::memset(&image_[2000], 'A', 1001 + 101 + 101);        // description, brief, name
    std::memset(&image_[kGraph0 + 96], 'H', 303 + 101 + 101); // headings and legends
    std::memset(&image_[12112], 'T', 63);                     // live axis texts
    std::memset(&image_[12175], 'C', 60);                     // comm texts
    std::memset(&image_[kLog], 'L', 63);                      // log axis texts
    const CZentraDoc& d = Load();
    EXPECT_EQ(std::strlen(d.m_Description.data()), 1000u);
    EXPECT_EQ(std::strlen(d.m_BriefDescription.data()), 100u);
    EXPECT_EQ(std::strlen(d.m_ProjectName.data()), 100u);
    EXPECT_EQ(std::strlen(d.m_Graphs[0].m_Headings[2].data()), 100u);
    EXPECT_EQ(std::strlen(d.m_Graphs[0].m_LegendY.data()), 100u);
    EXPECT_EQ(std::strlen(d.m_LiveAxisDate.data()), 20u);
    EXPECT_EQ(std::strlen(d.m_Comms.latency.data()), 9u);
    EXPECT_EQ(std::strlen(d.m_LogAxisDate.data()), 20u);
    ExpectBounded(d);
}

TEST_F(HostileFile, NonFiniteNumbersAndOutOfRangeTimes) {
    PutF64(image_, 12587 + 200 * 5 + 8 * 3, std::nan(""));
    PutF64(image_, 12587 + 8, -std::numeric_limits<double>::infinity());
    PutF64(image_, kMeter + 24, std::nan("")); // m_SystemVoltage
    PutI64(image_, 1452587 + 8 * 7, std::numeric_limits<std::int64_t>::min());
    PutI64(image_, 3248, std::numeric_limits<std::int64_t>::max()); // m_LoggingEndTime
    const CZentraDoc& d = Load();
    EXPECT_EQ(d.m_SampleValues[5][3], 0.0); // no writer stores NaN
    EXPECT_EQ(d.m_SampleValues[0][1], -std::numeric_limits<double>::infinity()); // a reading
    EXPECT_TRUE(std::isnan(d.m_SystemVoltage)); // as the meter sent it
    EXPECT_EQ(d.m_SampleTimes[7], 0);
    EXPECT_LE(d.m_LoggingEndTime, std::int64_t{253'402'300'799});
}

TEST_F(HostileFile, RandomBytesNeverEscapeTheBounds) {
    std::mt19937 random(20130105);
    for (int round = 0; round < 4; ++round) {
        // Random bytes everywhere except the (large, plain double) sample area.
        for (std::size_t i = 0; i < 12587; ++i)
            image_[i] = static_cast<std::uint8_t>(random());
        ExpectBounded(Load());
    }
}

} // namespace
} // namespace zentra

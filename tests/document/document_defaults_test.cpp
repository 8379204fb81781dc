// New-document defaults, graph construction values and the default graph set-up of
// both meter families, and the serial link settings image.
#include "document/graph_defaults.h"
#include "document/zentra_doc.h"

#include "platform/clock.h"
#include "records/calendar.h"
#include "records/graph_record.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace zentra {
namespace {

std::string S(const auto& field) {
    return std::string(field.data());
}

class DocumentDefaults : public ::testing::Test {
  protected:
    const test::ScopedUserFolders folders_; // no stored defaults; nothing written outside
    platform::ManualClock clock_{LocalTimeOf(2013, 1, 5, 14, 3, 9)};
    std::unique_ptr<CZentraDoc> doc_ = std::make_unique<CZentraDoc>();

    // Voltage, current, system type number, spare, node and model of the meter fields.
    std::array<double, 6> MeterFigures() const {
        const CZentraDoc& d = *doc_;
        return {d.m_SystemVoltage, d.m_SystemCurrent, d.m_SystemTypeNumber,
                d.m_MeterSpare,    d.m_ModbusNode,    d.m_ModelNumber};
    }
};

TEST(GraphRecord, HeaderIsZeroOnWritingAndIgnoredOnReading) {
    Graph g;
    g.m_ScaleX = 42;
    std::vector<std::uint8_t> image(kGraphRecordSize, 0xCC);
    EncodeGraph(g, image.data());
    for (std::size_t i = 0; i < kGraphHeaderSize; ++i)
        ASSERT_EQ(image[i], 0) << i;
    for (std::size_t i = 660; i < 692; ++i)
        ASSERT_EQ(image[i], 0) << i;
    for (std::size_t i = 0; i < kGraphHeaderSize; ++i)
        image[i] = 0xFF;
    Graph back;
    back.m_ScaleX = 1;
    DecodeGraph(image.data(), back);
    EXPECT_EQ(back.m_ScaleX, 42);
    EXPECT_EQ(back.m_Enabled, 1);
}

TEST(GraphRecord, TraceOffAndColours) {
    Graph g;
    SetText(g.m_Headings[0], "OFF");
    SetText(g.m_Headings[1], "OFF ");
    SetText(g.m_Headings[2], "off");
    EXPECT_TRUE(IsTraceOff(g.m_Headings[0]));
    EXPECT_FALSE(IsTraceOff(g.m_Headings[1]));
    EXPECT_FALSE(IsTraceOff(g.m_Headings[2]));
    EXPECT_STREQ(TraceColourAt(5).name, "Orange");
    EXPECT_EQ(TraceColourAt(5).g, 154);
    EXPECT_STREQ(TraceColourAt(9).name, "Black");
    EXPECT_STREQ(TraceColourAt(-1).name, "Black");
}

TEST_F(DocumentDefaults, NewDocumentValuesInOrder) {
    // Left-overs of a previous project.
    doc_->m_SampleCount = 55;
    doc_->m_SampleValues[54][2] = 1.5;
    doc_->m_SampleTimes[54] = 99;
    doc_->m_LiveIndex = 300;
    doc_->m_LiveValid[4] = 1;
    doc_->m_LiveTimes[4] = 5;
    doc_->m_ArchivedFile = 1;
    doc_->m_Locked = 1;
    doc_->m_Finished = 1;
    doc_->m_SelectedParameters[22] = 12;
    doc_->m_MeterInfo[58] = 3.0;
    doc_->m_RetrievalActive = 1;
    doc_->m_LoggingActive = 1;
    doc_->m_Comms.portSetUp = 1;
    doc_->m_ReadingMap[0] = 17;
    doc_->m_PathName = "/old.ztr";
    doc_->SetModifiedFlag(true);

    ASSERT_TRUE(doc_->OnNewDocument());
    const CZentraDoc& d = *doc_;
    for (const auto* text :
         {&d.m_LiveAxisStart, &d.m_LiveAxisEnd, &d.m_LogAxisStart, &d.m_LogAxisEnd})
        EXPECT_EQ(S(*text), "14:03:09");
    EXPECT_EQ(S(d.m_LiveAxisDate), "Jan 05 2013");
    EXPECT_EQ(S(d.m_LogAxisDate), "Jan 05 2013");
    // Left-overs cleared.
    EXPECT_EQ((std::array<std::int64_t, 6>{d.m_LiveIndex, d.m_LiveValid[4], d.m_LiveTimes[4],
                                           d.m_SampleCount, d.m_DataViewTop, d.m_SampleTimes[54]}),
              (std::array<std::int64_t, 6>{}));
    EXPECT_EQ(d.m_SampleValues[54][2], 0.0);
    EXPECT_FALSE(d.IsModified());
    EXPECT_EQ((std::array{d.m_ProjectStartDate, d.m_ProjectEndDate, d.m_StartDate, d.m_StartHour,
                          d.m_StartMinute, d.m_StartSecond}),
              (std::array{20130105, 20130105, 20130105, 14, 3, 9}));
    EXPECT_EQ(S(d.m_Description), "Put the Project Description, Serial Number etc. here");
    EXPECT_EQ(S(d.m_BriefDescription), "Put a BRIEF Project Description here (is displayed)");
    EXPECT_EQ(S(d.m_ProjectName), "Put the Project Name here");
    // Archived, start immediately, show, locked, finished, set up, retrieval, logging.
    EXPECT_EQ((std::array<int, 8>{d.m_ArchivedFile, d.m_StartImmediately, d.m_ShowProject,
                                  d.m_Locked, d.m_Finished, d.m_LoggingSetUp, d.m_RetrievalActive,
                                  d.m_LoggingActive}),
              (std::array<int, 8>{0, 1, 1, 0, 0, 1, 0, 0}));
    EXPECT_EQ(d.m_SelectedParameters[22], 0);
    EXPECT_EQ((std::array{d.m_Period, d.m_PeriodMultiplier, d.m_Duration, d.m_DurationMultiplier,
                          d.m_Samples}),
              (std::array{1, 1, 1000, 1, 1000}));
    const CommSettings& c = d.m_Comms;
    EXPECT_EQ(S(c.port) + " " + S(c.baud) + " " + S(c.parity) + " " + S(c.dataBits) + " " +
                  S(c.stopBits) + " " + S(c.latency),
              "COM1 38400 NONE 8 1 200");
    EXPECT_EQ((std::array{c.portSetUp, c.floatOrder}), (std::array{0, 0}));
    EXPECT_EQ(d.m_PortHandle, kInvalidPort);
    EXPECT_EQ(d.m_MeterInfo[58], 0.0);
    for (int i = 1; i <= kReadingMapSize; ++i)
        EXPECT_EQ(d.m_ReadingMap[static_cast<std::size_t>(i - 1)], i);
    EXPECT_EQ(d.m_PathName, "");
}

TEST_F(DocumentDefaults, OpenPortIsClosed) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[1]);
    doc_->m_PortHandle = fds[0];
    doc_->ResetToDefaults();
    EXPECT_EQ(doc_->m_PortHandle, kInvalidPort);
    EXPECT_EQ(fcntl(fds[0], F_GETFD), -1); // the descriptor is no longer open
}

TEST_F(DocumentDefaults, EveryGraphAfterTheDocumentDefaults) {
    doc_->m_SystemType = 2;
    doc_->ResetToDefaults();
    for (int k = 0; k < kGraphCount; ++k) {
        const Graph& g = doc_->m_Graphs[static_cast<std::size_t>(k)];
        SCOPED_TRACE(k);
        EXPECT_EQ((std::array<int, 8>{g.m_GraphNumber, g.m_Word52, g.m_Quadrant, g.m_RealTime,
                                      g.m_GraphMode, g.m_ScaleX, g.m_ScaleY, g.m_NominalScaleY}),
                  (std::array<int, 8>{k, 0, k % 4, 0, 1, 20, 12, 10}));
        EXPECT_EQ(g.m_LineColour, (std::array<std::int32_t, 3>{1, 4, 2}));
        EXPECT_EQ(g.m_Associations, (std::array<std::int32_t, 3>{0, 0, 0}));
        for (const auto& h : g.m_Headings)
            EXPECT_EQ(S(h), "OFF");
        EXPECT_EQ(g.m_NominalY, (std::array<double, 2>{300.0, 100.0}));
        EXPECT_EQ(g.m_TickLengthX, 1.5);
        EXPECT_EQ(g.m_TickLengthY, 0.75);
    }
}

TEST_F(DocumentDefaults, MeterFamilies) {
    doc_->m_SystemType = 3;
    doc_->OnNewDocument();
    EXPECT_EQ(doc_->m_SystemType, 3);
    EXPECT_EQ((MeterFigures()), (std::array{800.0, 10.0, 1.0, 8000.0, 1.0, 760.0}));
    EXPECT_FLOAT_EQ(doc_->m_VersionFraction, 0.03f);
    for (std::size_t k = 0; k < kGraphCount; ++k) {
        // Graphs 2 and 3 take their own full scale from the graph defaults.
        if (k != 1 && k != 2) {
            EXPECT_EQ(doc_->m_Graphs[k].m_NominalY[0], 1000.0) << k;
        }
        EXPECT_EQ(doc_->m_Graphs[k].m_NominalY[1], 100.0) << k;
        EXPECT_EQ(doc_->m_Graphs[k].m_LineColour, (std::array<std::int32_t, 3>{1, 0, 2}));
    }
    doc_->m_SystemType = 6;
    doc_->OnNewDocument();
    EXPECT_EQ(doc_->m_SystemType, 6);

    doc_->m_SystemType = 2;
    doc_->OnNewDocument();
    EXPECT_EQ(doc_->m_SystemType, 1);
    EXPECT_EQ((MeterFigures()), (std::array{280.0, 5.0, 3.0, 4200.0, 1.0, 760.0}));
    EXPECT_FLOAT_EQ(doc_->m_VersionFraction, 0.01f);
    EXPECT_EQ(doc_->m_Graphs[11].m_NominalY[0], 300.0);
}

TEST_F(DocumentDefaults, GraphDefaultsFullParameterSet) {
    doc_->m_SystemType = 1;
    doc_->OnNewDocument();
    const auto& g = doc_->m_Graphs;
    EXPECT_EQ(g[0].m_LineColour, (std::array<std::int32_t, 3>{1, 4, 2}));
    EXPECT_EQ(g[0].m_Associations, (std::array<std::int32_t, 3>{1, 2, 3}));
    EXPECT_EQ(S(g[0].m_Headings[2]), "V3-1");
    EXPECT_EQ(g[1].m_LineColour, (std::array<std::int32_t, 3>{0, 3, 7}));
    EXPECT_EQ(g[1].m_Associations, (std::array<std::int32_t, 3>{16, 10, 11}));
    EXPECT_EQ(S(g[1].m_Headings[0]), "Hz");
    EXPECT_EQ(g[3].m_Associations, (std::array<std::int32_t, 3>{7, 8, 9}));
    EXPECT_EQ(S(g[3].m_Headings[1]), "I2");
    EXPECT_EQ(g[4].m_LineColour, (std::array<std::int32_t, 3>{0, 3, 2}));
    EXPECT_EQ(g[4].m_Associations, (std::array<std::int32_t, 3>{12, 13, 0}));
    EXPECT_EQ(S(g[4].m_Headings[1]), "PF Avg");
    EXPECT_TRUE(IsTraceOff(g[4].m_Headings[2]));
    EXPECT_EQ(g[4].m_CentreZero, 1);
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ((std::array<int, 4>{g[k].m_Enabled, g[k].m_RealTime, g[k].m_GraphMode,
                                      g[k].m_RelativeY}),
                  (std::array<int, 4>{1, 0, 1, 1}))
            << k;
        EXPECT_EQ(g[k].m_NominalY[0], 300.0);
    }
}

TEST_F(DocumentDefaults, GraphDefaultsReducedParameterSet) {
    doc_->m_SystemType = 3;
    doc_->OnNewDocument();
    const auto& g = doc_->m_Graphs;
    EXPECT_EQ(g[0].m_Associations, (std::array<std::int32_t, 3>{4, 7, 10}));
    EXPECT_EQ(S(g[0].m_Headings[2]), "kW Sum");
    EXPECT_EQ(g[1].m_Associations, (std::array<std::int32_t, 3>{14, 23, 25}));
    EXPECT_EQ(g[1].m_RelativeY, 0);
    EXPECT_EQ(g[1].m_NominalY[0], 20.0);
    EXPECT_EQ(g[2].m_Associations, (std::array<std::int32_t, 3>{38, 41, 49}));
    EXPECT_EQ(S(g[2].m_Headings[0]), "Max kWd (Imp)");
    EXPECT_EQ(S(g[2].m_Headings[2]), "h.p.");
    EXPECT_EQ(g[2].m_NominalY[0], 10.0);
    // Graph 4: enabled real-time data table; graph 5: enabled real-time graph.
    EXPECT_EQ(g[3].m_Enabled, 1);
    EXPECT_EQ(g[3].m_RealTime, 1);
    EXPECT_EQ(g[3].m_GraphMode, 0);
    EXPECT_EQ(g[4].m_RealTime, 1);
    EXPECT_EQ(g[4].m_GraphMode, 1);
    for (const std::size_t k : {3u, 4u})
        for (const auto& h : g[k].m_Headings)
            EXPECT_TRUE(IsTraceOff(h));
}

TEST_F(DocumentDefaults, GraphsSixToTwelveAreNotTouchedByTheGraphDefaults) {
    for (const std::int32_t type : {1, 3}) {
        doc_->m_SystemType = type;
        doc_->ResetToDefaults();
        for (std::size_t k = 5; k < kGraphCount; ++k) {
            doc_->m_Graphs[k].m_Enabled = 0;
            doc_->m_Graphs[k].m_CentreZero = 1;
            doc_->m_Graphs[k].m_Associations = {5, 5, 5};
        }
        ApplyGraphDefaults(*doc_);
        for (std::size_t k = 5; k < kGraphCount; ++k) {
            EXPECT_EQ(doc_->m_Graphs[k].m_Enabled, 0);
            EXPECT_EQ(doc_->m_Graphs[k].m_CentreZero, 1);
            EXPECT_EQ(doc_->m_Graphs[k].m_Associations, (std::array<std::int32_t, 3>{5, 5, 5}));
            EXPECT_EQ(doc_->m_Graphs[k].m_RealTime, 0);
        }
    }
}

TEST(CommSettingsImage, RoundTripAndBoundedTexts) {
    CommSettings s;
    SetText(s.port, "COM9");
    s.floatOrder = 3;
    s.portSetUp = 1;
    std::uint8_t image[kCommSettingsSize];
    std::memset(image, 0xAB, sizeof image);
    EncodeCommSettings(s, image);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image)), "COM9");
    for (std::size_t i = 4; i < 10; ++i)
        EXPECT_EQ(image[i], 0);
    for (std::size_t i = 60; i < 68; ++i)
        EXPECT_EQ(image[i], 0);
    EXPECT_EQ(image[68], 3);
    EXPECT_EQ(image[72], 1);
    std::memset(image + 50, '7', 10); // latency without a terminator
    CommSettings back;
    DecodeCommSettings(image, back);
    EXPECT_EQ(S(back.port), "COM9");
    EXPECT_EQ(S(back.baud), "38400");
    EXPECT_EQ(S(back.latency), "777777777");
    EXPECT_EQ(back.floatOrder, 3);
    EXPECT_EQ(back.portSetUp, 1);
}

TEST(CommSettingsImage, LatencyMilliseconds) {
    CommSettings s;
    EXPECT_EQ(LatencyMilliseconds(s), 200);
    SetText(s.latency, "350ms");
    EXPECT_EQ(LatencyMilliseconds(s), 350);
    SetText(s.latency, "x");
    EXPECT_EQ(LatencyMilliseconds(s), 0);
    s.latency.fill('9'); // ten digits, no terminator
    EXPECT_EQ(LatencyMilliseconds(s), 999'999'999);
}

} // namespace
} // namespace zentra

// A whole session against a simulated meter: connect, retrieve, log to the planned
// count, stop, save, reopen.
#include "acquisition/command_ids.h"
#include "comm_test_support.h"
#include "document/project_file.h"

#include <gtest/gtest.h>

namespace zentra {
namespace {

using platform::MessageAnswer;

class CommJourneyTest : public test::CommTest {};

TEST_F(CommJourneyTest, NewDocumentToLoggedSamplesReopened) {
    StartMeter();
    test::TempDir files;
    auto doc = NewDoc();
    doc->m_Samples = 3; // one-second period: three readings replies after Enable Logging
    CZentraView view(doc.get());
    view.resize(1024, 700);

    ConnectThroughSheet(*doc, view);
    ASSERT_EQ(doc->m_Comms.portSetUp, 1);
    ASSERT_NE(doc->m_PortHandle, kInvalidPort);
    EXPECT_EQ(doc->m_LastRequest, 0);
    EXPECT_EQ(view.StatusText(), "Port:COM1 Baud: 38400 Parity: NONE: ");

    // Start Data Retrieval: the layout request goes out and timer 1 waits the latency.
    view.OnCommand(kCmdStartRetrieval);
    ASSERT_EQ(doc->m_RetrievalActive, 1);
    EXPECT_EQ(view.TimerInterval(), 200);

    // Layout, information, then readings into the live ring.
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(Tick(view)) << "tick " << i;
    EXPECT_EQ(doc->m_LiveIndex, 3);
    EXPECT_EQ(doc->m_SystemVoltage, 230.0); // the information block was filed
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(doc->m_LiveValid[slot], 1);
        EXPECT_GT(doc->m_LiveValues[slot][1], 100.0) << "line voltage in slot " << slot;
        EXPECT_EQ(doc->m_LiveTimes[slot], test::kFixedNow + 3 + slot);
    }
    EXPECT_EQ(view.TimerInterval(), 1000);

    // Enable Logging: one record per readings reply until the third ends the run.
    view.OnCommand(kCmdEnableLogging);
    ASSERT_EQ(doc->m_LoggingActive, 1);
    EXPECT_EQ(doc->m_Locked, 1);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Tick(view)) << "logging tick " << i;
    EXPECT_EQ(doc->m_SampleCount, 3);
    EXPECT_EQ(doc->m_LoggingActive, 0);
    EXPECT_EQ(doc->m_Finished, 1);
    ASSERT_TRUE(Tick(view)); // retrieval goes on after the run
    EXPECT_EQ(doc->m_SampleCount, 3);
    EXPECT_EQ(doc->m_LiveIndex, 7);

    // Stop Data Retrieval asks first: the project is locked.
    messages_.Clear();
    messages_.QueueAnswer(MessageAnswer::Yes);
    view.OnCommand(kCmdStopRetrieval);
    ASSERT_EQ(messages_.shown().size(), 1u);
    EXPECT_EQ(messages_.LastCaption(), "Project Warning");
    EXPECT_EQ(doc->m_RetrievalActive, 0);
    EXPECT_EQ(doc->m_PortHandle, kInvalidPort);
    EXPECT_EQ(doc->m_Comms.portSetUp, 0);

    const std::string path = files.File("journey.ztr");
    ASSERT_TRUE(OnSaveDocument(*doc, path).ok);

    auto reopened = std::make_unique<CZentraDoc>();
    ASSERT_TRUE(OnOpenDocument(*reopened, path).ok);
    ASSERT_EQ(reopened->m_SampleCount, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reopened->m_SampleTimes[i], doc->m_SampleTimes[i]) << i;
        EXPECT_EQ(reopened->m_SampleValues[i], doc->m_SampleValues[i]) << i;
        EXPECT_GT(reopened->m_SampleValues[i][1], 100.0) << i; // a voltage, not a zero
    }
    EXPECT_EQ(reopened->m_SampleTimes[0], test::kFixedNow + 6);
    EXPECT_EQ(reopened->m_Locked, 1);
    EXPECT_EQ(reopened->m_Finished, 1);
    EXPECT_EQ(CommFieldText(reopened->m_Comms.port), "COM1");

    // A logged project is an archive: its link cannot be set up again.
    messages_.Clear();
    OnCommSettings(*reopened, &view, [](PropertySheet&) -> int {
        ADD_FAILURE() << "the sheet opened on an archived file";
        return 0;
    });
    EXPECT_EQ(messages_.LastText(), "Comms is disabled: Archived File");
    EXPECT_EQ(messages_.LastCaption(), "Archived File");
}

} // namespace
} // namespace zentra

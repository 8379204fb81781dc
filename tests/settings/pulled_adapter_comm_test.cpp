// The adapter pulled out in the middle of a logging run, and plugged in again: the
// run goes on without replies and keeps its samples, and the Communication sheet
// (Connect, OK) then Restart Data Retrieval carry on logging into the same project
// through the same COM port, whose by-id name finds the adapter again.
#include "acquisition/command_ids.h"
#include "acquisition/port_state.h"
#include "comm_test_support.h"
#include "display/view/zentra_view.h"
#include "settings/comm_sheet.h"
#include "settings/property_sheet.h"

#include <QPushButton>

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace zentra {
namespace {

using namespace std::chrono_literals;
using platform::MessageAnswer;

class PulledAdapterComm : public test::CommTest {
  protected:
    test::TempDir links_;
    const std::string byId_ = links_.File("usb-Zentra_RS485-if00-port0");
    std::uint64_t repliesExpected_ = 0;

    void PlugIn() {
        sim::SimOptions options;
        options.link = byId_;
        meter_ = std::make_unique<sim::MeterSimulator>(options);
        ASSERT_TRUE(meter_->Start()) << meter_->Error();
        ports_.Assign(1, byId_);
    }
    // Settings > Communication: Connect, wait for the exchange, OK.
    void ConnectThroughTheSheet(CZentraDoc& doc, CZentraView& view) {
        messages_.QueueAnswer(MessageAnswer::Yes); // "Communication ... Terminated"
        OnCommSettings(doc, &view, [](PropertySheet& sheet) {
            sheet.show();
            auto* page = dynamic_cast<PortSetupPP*>(sheet.Page(0));
            if (page && ConnectAndWait(*page))
                QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
            if (sheet.isVisible())
                sheet.reject();
            return sheet.result();
        });
        repliesExpected_ = meter_->RepliesSent() + 1; // the layout request of a (re)start
    }
    // One tick once the meter has answered the previous request.
    bool Tick(CZentraView& view) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (meter_->RepliesSent() < repliesExpected_) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        ++repliesExpected_;
        clock_.Advance(1);
        view.OnTimer(view.Acquisition().timerId);
        return true;
    }
};

TEST_F(PulledAdapterComm, LoggingCarriesOnAfterTheAdapterIsBackAndReconnected) {
    PlugIn();
    auto doc = NewDoc();
    CZentraView view(doc.get());
    view.resize(1024, 700);
    ConnectThroughTheSheet(*doc, view);
    ASSERT_EQ(doc->m_Comms.portSetUp, 1);
    view.OnCommand(kCmdStartRetrieval);
    for (int i = 0; i < 3; ++i) // layout, information, first readings
        ASSERT_TRUE(Tick(view));
    view.OnCommand(kCmdEnableLogging);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Tick(view));
    const int logged = doc->m_SampleCount;
    ASSERT_GE(logged, 3);

    meter_->CloseMaster(); // pulled out
    for (int i = 0; i < 5; ++i) {
        clock_.Advance(1);
        const auto start = std::chrono::steady_clock::now();
        view.OnTimer(view.Acquisition().timerId);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << "tick " << i;
    }
    EXPECT_TRUE(PortGone(*doc));
    EXPECT_EQ(doc->m_LoggingActive, 1);
    EXPECT_EQ(doc->m_RetrievalActive, 1);
    EXPECT_EQ(doc->m_SampleCount, logged);
    messages_.Clear();

    PlugIn(); // back, behind the same by-id name
    ConnectThroughTheSheet(*doc, view);
    EXPECT_EQ(messages_.shown().size(), 1u) << messages_.LastText(); // only the question
    ASSERT_NE(doc->m_PortHandle, kInvalidPort);
    EXPECT_FALSE(PortGone(*doc));
    EXPECT_EQ(doc->m_LastRequest, 0); // nothing is sent until Restart
    EXPECT_EQ(doc->m_LoggingActive, 1);

    view.OnCommand(kCmdRestartRetrieval);
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(Tick(view)) << "tick " << i;
    EXPECT_GT(doc->m_SampleCount, logged);
    EXPECT_EQ(doc->m_Locked, 1);
    const auto last = static_cast<std::size_t>(doc->m_SampleCount - 1);
    EXPECT_GT(doc->m_SampleValues[last][1], 100.0); // a voltage again
    EXPECT_GT(doc->m_SampleTimes[last], doc->m_SampleTimes[static_cast<std::size_t>(logged - 1)]);
}

} // namespace
} // namespace zentra

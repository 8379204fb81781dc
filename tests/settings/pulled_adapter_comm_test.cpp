// The adapter pulled out mid-run and plugged in again behind the same by-id name (or
// the connection to a Modbus TCP gateway dropped and the gateway back at the same
// address): the run keeps its samples and carries on logging after Connect and Restart.
#include "acquisition/command_ids.h"
#include "acquisition/port_state.h"
#include "comm_test_support.h"

#include <chrono>
#include <gtest/gtest.h>

namespace zentra {
namespace {

using namespace std::chrono_literals;

class PulledAdapterComm : public test::CommTest, public ::testing::WithParamInterface<bool> {
  protected:
    test::TempDir links_;
    const std::string byId_ = links_.File("usb-Zentra_RS485-if00-port0");
    std::uint16_t gatewayPort_ = 0; // the gateway's port, the same when it comes back

    bool Gateway() const { return GetParam(); }

    void PlugIn() {
        if (Gateway()) {
            StartMeter(With([&](sim::SimOptions& o) {
                o.transport = sim::SimTransport::ModbusTcp;
                o.tcpPort = gatewayPort_;
            }));
            gatewayPort_ = meter_->Port();
            return;
        }
        StartMeter(With([&](sim::SimOptions& o) { o.link = byId_; }));
        ports_.Assign(1, byId_);
    }
};

INSTANTIATE_TEST_SUITE_P(Link, PulledAdapterComm, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ModbusTcp" : "UsbById"; });

TEST_P(PulledAdapterComm, LoggingCarriesOnAfterTheAdapterIsBackAndReconnected) {
    PlugIn();
    auto doc = NewDoc();
    CZentraView view(doc.get());
    view.resize(1024, 700);
    ConnectThroughSheet(*doc, view);
    ASSERT_EQ(doc->m_Comms.portSetUp, 1);
    view.OnCommand(kCmdStartRetrieval);
    for (int i = 0; i < 3; ++i) // layout, information, first readings
        ASSERT_TRUE(Tick(view));
    view.OnCommand(kCmdEnableLogging);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Tick(view));
    const int logged = doc->m_SampleCount;
    ASSERT_GE(logged, 3);

    // The meter has answered the last request when the link goes: a gateway's reply is
    // in the socket before it closes and still counts; a pulled adapter takes what it
    // held with it.
    const auto answered = std::chrono::steady_clock::now() + 5s;
    while (meter_->RepliesSent() < repliesExpected_ && std::chrono::steady_clock::now() < answered)
        std::this_thread::sleep_for(1ms);
    ASSERT_GE(meter_->RepliesSent(), repliesExpected_);
    meter_->CloseMaster(); // pulled out, or the connection dropped and the gateway off
    for (int i = 0; i < 5; ++i) {
        clock_.Advance(1);
        const auto start = std::chrono::steady_clock::now();
        view.OnTimer(view.Acquisition().timerId);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << "tick " << i;
    }
    EXPECT_TRUE(PortGone(*doc));
    EXPECT_EQ(doc->m_LoggingActive, 1);
    EXPECT_EQ(doc->m_RetrievalActive, 1);
    const int kept = logged + (Gateway() ? 1 : 0);
    EXPECT_EQ(doc->m_SampleCount, kept);
    messages_.Clear();

    PlugIn(); // back, behind the same by-id name
    ConnectThroughSheet(*doc, view);
    EXPECT_EQ(messages_.shown().size(), 1u) << messages_.LastText(); // only the question
    ASSERT_NE(doc->m_PortHandle, kInvalidPort);
    EXPECT_FALSE(PortGone(*doc));
    EXPECT_EQ(doc->m_LastRequest, 0); // nothing is sent until Restart
    EXPECT_EQ(doc->m_LoggingActive, 1);

    view.OnCommand(kCmdRestartRetrieval);
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(Tick(view)) << "tick " << i;
    EXPECT_GT(doc->m_SampleCount, kept);
    EXPECT_EQ(doc->m_Locked, 1);
    const auto last = static_cast<std::size_t>(doc->m_SampleCount - 1);
    EXPECT_GT(doc->m_SampleValues[last][1], 100.0); // a voltage again
    EXPECT_GT(doc->m_SampleTimes[last], doc->m_SampleTimes[static_cast<std::size_t>(kept - 1)]);
}

} // namespace
} // namespace zentra

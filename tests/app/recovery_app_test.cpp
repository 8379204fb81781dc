// The desktop program after a logging run that did not end normally, and the status
// bar over a live and a pulled serial adapter.
#include "acquisition/command_ids.h"
#include "acquisition/port_state.h"
#include "app/zentra_app.h"
#include "display/view/zentra_view.h"
#include "document/recovery_file.h"
#include "platform/serial_port.h"
#include "tests/app/app_fixture.h"
#include "tests/support/pty_pair.h"
#include "tests/support/sim_port.h"
#include "tools/sim/meter_simulator.h"

#include <QLabel>
#include <QTest>

#include <chrono>
#include <fstream>
#include <thread>

namespace zentra::test {
namespace {

using platform::MessageAnswer;
namespace fs = std::filesystem;

class RecoveryShellTest : public ShellTest {
  protected:
    const fs::path folder_ = fs::path(folders_.StateHome()) / "zentra";

    // What a program killed while logging leaves behind: a copy no one holds.
    void LeaveInterruptedRun(int samples, const std::string& savePath) {
        auto doc = std::make_unique<CZentraDoc>();
        doc->OnNewDocument();
        std::snprintf(doc->m_ProjectName.data(), doc->m_ProjectName.size(), "Pump house");
        doc->m_Locked = 1;
        doc->m_LoggingActive = 1;
        for (int n = 0; n < samples; ++n) {
            doc->m_SampleValues[static_cast<std::size_t>(n)][1] = 230.0 + n;
            doc->m_SampleTimes[static_cast<std::size_t>(n)] = kFixedNow + n;
        }
        doc->m_SampleCount = samples;
        RecoveryWriter writer;
        writer.SetSavePath(savePath);
        ASSERT_EQ(writer.Update(*doc), RecoveryStep::Written);
    } // the writer's lock goes as a dead program's would
};

TEST_F(RecoveryShellTest, TheStartOffersTheInterruptedRunAndRecoversItUnsaved) {
    LeaveInterruptedRun(42, "/site/Pump.ztr");
    messages_.QueueAnswer(MessageAnswer::Yes);
    CZentraApp app;
    ASSERT_TRUE(app.InitInstance({"zentra"}, &chooser_));
    CMainFrame* frame = app.MainFrame();
    ASSERT_NE(frame, nullptr);

    ASSERT_EQ(messages_.shown().size(), 1u);
    EXPECT_EQ(messages_.LastText(),
              "A logging run was interrupted (project \"Pump house\", 42 samples, last written "
              "Jan 05 2013 14:03:09). Recover it?");
    EXPECT_EQ(messages_.LastCaption(), "Recover Logging Run");
    EXPECT_EQ(messages_.shown()[0].buttons, platform::MessageButtons::YesNo);

    const CZentraDoc& doc = frame->Controller().Doc();
    EXPECT_EQ(frame->View()->GetDocument(), &doc);
    EXPECT_EQ(doc.m_SampleCount, 42);
    EXPECT_EQ(doc.m_SampleValues[41][1], 271.0);
    EXPECT_EQ(doc.m_Locked, 1);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.m_PathName.empty());
    EXPECT_EQ(frame->windowTitle(), "Pump - Zentra");

    // This program holds the copy now: no other start offers it, and it stays until
    // the user has saved the project.
    EXPECT_TRUE(FindInterruptedRuns().empty());
    EXPECT_TRUE(frame->Controller().Recovery().HasCopy());
    const std::string path = files_.File("Pump.ztr");
    chooser_.savePaths.push_back(path);
    ASSERT_TRUE(frame->Controller().Save());
    EXPECT_EQ(chooser_.suggestions.back(), "Pump.ztr");
    EXPECT_FALSE(frame->Controller().Recovery().HasCopy());
    auto saved = std::make_unique<CZentraDoc>();
    ASSERT_TRUE(OnOpenDocument(*saved, path).ok);
    EXPECT_EQ(saved->m_SampleCount, 42);
}

// A run logged in a new document after another project was saved: the copy must not
// carry that project's name, or recovering it would invite writing over that file.
TEST_F(RecoveryShellTest, ARecoveredRunKeepsTheNameOfTheProjectItWasLogging) {
    struct Case {
        const char* savedDuringRun; // the logged project's own file, if it had one
        const char* title;
        const char* suggested;
    };
    for (const Case& c : {Case{nullptr, "NewLog - Zentra", "NewLog.ztr"},
                          Case{"site.ztr", "site - Zentra", "site.ztr"}}) {
        fs::remove_all(folder_);
        fs::path left; // what the killed program leaves: its copy and its lock
        {
            auto c1 = MakeController();
            chooser_.savePaths.push_back(files_.File("tcp.ztr"));
            ASSERT_TRUE(c1->Save());
            ASSERT_TRUE(c1->NewDocument());
            CZentraDoc& doc = c1->Doc();
            doc.m_Locked = 1;
            doc.m_LoggingActive = 1;
            doc.m_SampleCount = 5;
            doc.SetModifiedFlag(true);
            if (c.savedDuringRun) {
                chooser_.savePaths.push_back(files_.File(c.savedDuringRun));
                ASSERT_TRUE(c1->Save());
            }
            c1->KeepRecoveryCopy();
            ASSERT_TRUE(c1->Recovery().HasCopy());
            const fs::path copy = c1->Recovery().CopyPath();
            left = folder_ / "recovery-999999.ztr";
            fs::copy_file(copy, left);
            fs::copy_file(fs::path(copy).replace_extension(".lock"),
                          fs::path(left).replace_extension(".lock"));
        } // the program is killed
        messages_.QueueAnswer(MessageAnswer::Yes);
        auto c2 = MakeController();
        ASSERT_TRUE(c2->OfferRecovery()) << c.title;
        EXPECT_EQ(c2->Doc().m_SampleCount, 5);
        EXPECT_EQ(c2->WindowTitle(), c.title);
        ASSERT_FALSE(c2->SaveAs()); // cancelled: only the suggestion counts
        EXPECT_EQ(chooser_.suggestions.back(), c.suggested);
    }
}

TEST_F(RecoveryShellTest, ADeclinedRunIsGivenUpAndTheStartGoesOn) {
    LeaveInterruptedRun(3, "");
    messages_.QueueAnswer(MessageAnswer::No);
    auto c = MakeController();
    EXPECT_FALSE(c->OfferRecovery());
    EXPECT_EQ(messages_.shown().size(), 1u);
    EXPECT_EQ(c->Doc().m_SampleCount, 0);
    EXPECT_EQ(c->WindowTitle(), "NewLog - Zentra");
    EXPECT_TRUE(FindInterruptedRuns().empty());
    EXPECT_FALSE(fs::exists(folder_) && !fs::is_empty(folder_));

    messages_.Clear();
    EXPECT_FALSE(c->OfferRecovery()); // nothing left to offer
    EXPECT_TRUE(messages_.shown().empty());
}

TEST_F(RecoveryShellTest, ALoggingDocumentIsGuardedUntilSavedAfterTheRun) {
    auto c = MakeController();
    CZentraDoc& doc = c->Doc();
    doc.m_Locked = 1;
    doc.m_LoggingActive = 1;
    c->KeepRecoveryCopy();
    EXPECT_FALSE(c->Recovery().HasCopy()); // no sample yet
    doc.m_SampleCount = 5;
    c->KeepRecoveryCopy();
    ASSERT_TRUE(c->Recovery().HasCopy());

    // A save while logging goes on keeps the copy; the run's end refreshes it.
    chooser_.savePaths.push_back(files_.File("run.ztr"));
    ASSERT_TRUE(c->Save());
    EXPECT_TRUE(c->Recovery().HasCopy());
    doc.m_SampleCount = 7;
    doc.m_LoggingActive = 0;
    doc.m_Finished = 1;
    doc.SetModifiedFlag(true);
    c->KeepRecoveryCopy();
    auto copy = std::make_unique<CZentraDoc>();
    ASSERT_TRUE(OnOpenDocument(*copy, c->Recovery().CopyPath().string()).ok);
    EXPECT_EQ(copy->m_SampleCount, 7);
    ASSERT_TRUE(c->Save());
    EXPECT_FALSE(c->Recovery().HasCopy());
    EXPECT_TRUE(messages_.shown().empty());
}

TEST_F(RecoveryShellTest, GivingUpTheLoggedDocumentRemovesItsCopy) {
    auto c = MakeController();
    c->Doc().m_LoggingActive = 1;
    c->Doc().m_SampleCount = 2;
    c->Doc().SetModifiedFlag(true);
    c->KeepRecoveryCopy();
    const fs::path copy = c->Recovery().CopyPath();
    ASSERT_TRUE(fs::exists(copy));
    messages_.QueueAnswer(MessageAnswer::No); // "Save changes to NewLog?"
    ASSERT_TRUE(c->NewDocument());
    EXPECT_FALSE(fs::exists(copy));
    c.reset();
    EXPECT_FALSE(fs::exists(folder_) && !fs::is_empty(folder_));
}

TEST_F(RecoveryShellTest, ACopyThatCannotBeWrittenIsSaidOnce) {
    const fs::path blocked = fs::path(folders_.root()) / "blocked";
    std::ofstream(blocked) << "x";
    const ScopedEnv state("XDG_STATE_HOME", blocked.c_str());
    auto c = MakeController();
    c->Doc().m_LoggingActive = 1;
    c->Doc().m_SampleCount = 1;
    c->KeepRecoveryCopy();
    ASSERT_EQ(messages_.shown().size(), 1u);
    EXPECT_NE(messages_.LastText().find("blocked"), std::string::npos) << messages_.LastText();
    EXPECT_NE(messages_.LastText().find("save the project"), std::string::npos);
    clock_.Advance(600);
    c->Doc().m_SampleCount = 100;
    c->KeepRecoveryCopy();
    EXPECT_EQ(messages_.shown().size(), 1u);
}

TEST_F(RecoveryShellTest, TheStatusBarSaysWhenTheAdapterHasGone) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    auto frame = MakeFrame();
    CZentraDoc& doc = frame->Controller().Doc();
    const auto opened = platform::OpenSerialDevice(pty.SlavePath());
    ASSERT_GE(opened.fd, 0);
    doc.m_PortHandle = opened.fd;
    doc.m_Comms.portSetUp = 1;
    doc.m_RetrievalActive = 1;
    frame->RefreshStatus();
    EXPECT_EQ(frame->PortPaneText().toStdString(), "Port:COM1 Baud: 38400 Parity: NONE: ");
    doc.m_LoggingActive = 1;
    frame->RefreshStatus();
    EXPECT_EQ(frame->PortPaneText().toStdString(), "Port:COM1 Baud: 38400 Parity: NONE: (Logging)");
    doc.m_LoggingActive = 0;

    pty.CloseMaster(); // the adapter is pulled out; the next read notices
    std::uint8_t byte = 0;
    platform::ReadSerial(doc.m_PortHandle, &byte, 1);
    ASSERT_TRUE(PortGone(doc));
    frame->RefreshStatus();
    EXPECT_EQ(frame->PortPaneText().toStdString(),
              "Link to the meter lost: reconnect it, then use Settings -> Communication");

    const QImage shot = ShotOfMainWindow(*frame);
    EXPECT_TRUE(shot.save(QString::fromStdString(ScreenshotDir() + "/app_adapter_gone.png")));
    // The whole warning is in the picture, not cut at the pane's edge.
    auto* pane = frame->findChild<QLabel*>("portPane");
    const QRect paneArea(pane->mapTo(frame.get(), QPoint(0, 0)), pane->size());
    const int warningInk = TextInk(pane->font(), pane->text());
    EXPECT_NEAR(DarkPixels(shot, paneArea.marginsRemoved(QMargins(2, 2, 2, 2))), warningInk,
                warningInk / 4);

    // Closing the dead handle (as the Communication sheet does) clears it.
    ClosePort(doc.m_PortHandle);
    frame->RefreshStatus();
    EXPECT_NE(frame->PortPaneText().toStdString().find("Port:COM1"), std::string::npos);
}

// A meter behind a live Modbus TCP gateway that stops answering: the link stays up,
// so only the missed replies tell. The pane says since when; readings clear it.
TEST_F(RecoveryShellTest, TheStatusBarSaysWhenAMeterBehindALiveGatewayStopsAnswering) {
    using namespace std::chrono_literals;
    sim::SimOptions options;
    options.transport = sim::SimTransport::ModbusTcp;
    sim::MeterSimulator meter(options);
    ASSERT_TRUE(meter.Start()) << meter.Error();
    ScopedPortMap ports;
    ports.Assign(1, meter.DevicePath());
    auto frame = MakeFrame();
    CZentraDoc& doc = frame->Controller().Doc();
    CZentraView& view = *frame->View();
    doc.m_PortHandle = OpenPort(doc.m_Comms, EnumeratePorts(), doc.m_PortHandle);
    ASSERT_NE(doc.m_PortHandle, kInvalidPort) << LastOpenFailure();
    doc.m_Comms.portSetUp = 1;

    // One tick a second once the meter has answered (or, frozen, ignored) the last request.
    std::uint64_t replies = meter.RepliesSent();
    auto tick = [&](bool answered, const sim::SimFaults& then = {}) {
        if (answered) {
            ++replies;
            const auto deadline = std::chrono::steady_clock::now() + 5s;
            while (meter.RepliesSent() < replies && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(1ms);
            ASSERT_GE(meter.RepliesSent(), replies);
        }
        meter.SetFaults(then); // before this tick's request goes out
        clock_.Advance(1);
        view.OnTimer(view.Acquisition().timerId);
        frame->RefreshStatus();
    };
    view.OnCommand(kCmdStartRetrieval);
    view.OnCommand(kCmdEnableLogging);
    for (int i = 0; i < 5; ++i) // layout, information, readings at 14:03:12 .. 14:03:14
        tick(true);
    const std::string logging =
        "Port:COM1 Address: modbus-tcp://127.0.0.1:" + std::to_string(meter.Port()) + " (Logging)";
    EXPECT_EQ(frame->PortPaneText().toStdString(), logging);

    // The reply to the last request comes (14:03:15), then none: the gateway still
    // takes every request.
    const std::uint64_t requests = meter.RequestsSeen();
    sim::SimFaults frozen;
    frozen.dropEvery = 1;
    tick(true, frozen);
    const int logged = doc.m_SampleCount;
    for (int i = 0; i < 2; ++i) // a reply or two lost is routine
        tick(false, frozen);
    EXPECT_EQ(frame->PortPaneText().toStdString(), logging);
    for (int i = 0; i < 2; ++i)
        tick(false, frozen);
    EXPECT_EQ(frame->PortPaneText().toStdString(),
              logging + " (Meter Not Answering Since 14:03:15)");
    EXPECT_GE(meter.RequestsSeen(), requests + 4);
    EXPECT_FALSE(PortGone(doc));
    // Nothing else changes: no message, logging goes on, no sample is made up.
    EXPECT_TRUE(messages_.shown().empty());
    EXPECT_EQ(doc.m_LoggingActive, 1);
    EXPECT_EQ(doc.m_SampleCount, logged);
    const QImage shot = ShotOfMainWindow(*frame);
    EXPECT_TRUE(
        shot.save(QString::fromStdString(ScreenshotDir() + "/app_meter_not_answering.png")));

    tick(false); // the request the frozen meter took is never answered
    tick(true);
    EXPECT_EQ(frame->PortPaneText().toStdString(), logging);
    EXPECT_GT(doc.m_SampleCount, logged);
    ClosePort(doc.m_PortHandle);
}

} // namespace
} // namespace zentra::test

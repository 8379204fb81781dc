// The desktop program after a logging run that did not end normally, and the status
// bar over a live and a pulled serial adapter.
#include "acquisition/port_state.h"
#include "app/zentra_app.h"
#include "display/view/zentra_view.h"
#include "document/recovery_file.h"
#include "platform/serial_port.h"
#include "tests/app/app_fixture.h"
#include "tests/support/pty_pair.h"

#include <QLabel>
#include <QTest>

#include <fstream>

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

} // namespace
} // namespace zentra::test

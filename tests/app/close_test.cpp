// Closing the main window: the question while a graph is maximised, and the question
// about unsaved changes, whose Cancel keeps everything on every path that asks it.
#include "app/command_ids.h"
#include "display/view/zentra_view.h"
#include "document/recent_files.h"
#include "tests/app/app_fixture.h"

#include <QTest>
#include <functional>

namespace zentra::test {
namespace {

using platform::MessageAnswer;

class CloseTest : public ShellTest {};

TEST_F(CloseTest, ExitAsksOnlyWithAMaximisedGraphAndNoKeepsTheWindow) {
    auto frame = MakeFrame();
    frame->show();
    ASSERT_EQ(frame->View()->MaximisedGraph(), -1);
    frame->Action(cmd::kAppExit)->trigger(); // tiled: closes without asking
    EXPECT_FALSE(frame->isVisible());
    EXPECT_TRUE(messages_.shown().empty());

    frame.reset(); // one frame at a time
    frame = MakeFrame();
    frame->show();
    frame->View()->OnCommand(cmd::kToggleMaximise);
    ASSERT_NE(frame->View()->MaximisedGraph(), -1);

    messages_.QueueAnswer(MessageAnswer::No);
    frame->Action(cmd::kAppExit)->trigger();
    ASSERT_EQ(messages_.shown().size(), 1u);
    EXPECT_EQ(messages_.LastText(), "Quit Application: Are You Sure?");
    EXPECT_EQ(messages_.LastCaption(), "Quit Application");
    EXPECT_EQ(messages_.shown().back().buttons, platform::MessageButtons::YesNo);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_NE(frame->View()->MaximisedGraph(), -1); // nothing else changed

    messages_.QueueAnswer(MessageAnswer::Yes);
    frame->close();
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(messages_.shown().size(), 2u);
}

TEST_F(CloseTest, ModifiedDocumentAsksToSaveOnExit) {
    auto frame = MakeFrame();
    frame->show();
    frame->Controller().Doc().SetModifiedFlag(true);

    // Yes, then the save dialog is cancelled: the window stays open.
    messages_.QueueAnswer(MessageAnswer::Yes);
    frame->close();
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(messages_.LastText(), "Save changes to NewLog?");
    EXPECT_EQ(chooser_.saveCalls, 1);
    EXPECT_EQ(chooser_.suggestions.back(), "NewLog.ztr");

    // Yes with a name: saved, then closed.
    const std::string path = files_.File("exit.ztr");
    chooser_.savePaths.push_back(path);
    messages_.QueueAnswer(MessageAnswer::Yes);
    frame->close();
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(std::filesystem::file_size(path), kProjectFileSize);
}

TEST_F(CloseTest, MaximisedAndModifiedAsksBothInOrderAndNoDiscards) {
    auto frame = MakeFrame();
    frame->show();
    frame->View()->OnCommand(cmd::kToggleMaximise);
    frame->Controller().Doc().SetModifiedFlag(true);
    messages_.QueueAnswer(MessageAnswer::Yes); // quit
    messages_.QueueAnswer(MessageAnswer::No);  // do not save
    frame->close();
    EXPECT_FALSE(frame->isVisible());
    ASSERT_EQ(messages_.shown().size(), 2u);
    EXPECT_EQ(messages_.shown()[0].caption, "Quit Application");
    EXPECT_EQ(messages_.shown()[1].text, "Save changes to NewLog?");
    EXPECT_EQ(chooser_.saveCalls, 0);
}

// Cancel (also Escape and the box's close button) leaves the document, its recovery
// copy and the window as they were, whichever command asked.
TEST_F(CloseTest, CancelOnTheSaveQuestionKeepsEverythingOnEveryPath) {
    const std::string other = files_.File("other.ztr");
    WriteProject(other, "Other project");
    RecentFileList recent;
    recent.Load();
    ASSERT_TRUE(recent.Add(other));

    const std::pair<const char*, std::function<void(CMainFrame&)>> paths[] = {
        {"close button", [](CMainFrame& f) { f.close(); }},
        {"File Exit", [](CMainFrame& f) { f.Action(cmd::kAppExit)->trigger(); }},
        {"File New", [](CMainFrame& f) { f.Action(cmd::kFileNew)->trigger(); }},
        {"File Open",
         [&](CMainFrame& f) {
             chooser_.openPaths.push_back(other);
             f.Action(cmd::kFileOpen)->trigger();
         }},
        {"dropped file", [&](CMainFrame& f) { Drop(&f, {QString::fromStdString(other)}); }},
        {"recent file", [](CMainFrame& f) { f.RecentActions().at(0)->trigger(); }},
    };
    for (const auto& [name, ask] : paths) {
        SCOPED_TRACE(name);
        auto frame = MakeFrame();
        frame->show();
        CZentraDoc& doc = frame->Controller().Doc();
        std::snprintf(doc.m_ProjectName.data(), doc.m_ProjectName.size(), "Unsaved work");
        doc.m_LoggingActive = 1;
        doc.m_SampleCount = 3;
        doc.SetModifiedFlag(true);
        frame->Controller().KeepRecoveryCopy();
        const std::filesystem::path copy = frame->Controller().Recovery().CopyPath();
        ASSERT_TRUE(std::filesystem::exists(copy));
        messages_.Clear();

        messages_.QueueAnswer(MessageAnswer::Cancel);
        ask(*frame);
        ASSERT_EQ(messages_.shown().size(), 1u);
        EXPECT_EQ(messages_.LastText(), "Save changes to NewLog?");
        EXPECT_EQ(messages_.shown().back().buttons, platform::MessageButtons::YesNoCancel);
        EXPECT_TRUE(frame->isVisible());
        EXPECT_EQ(&frame->Controller().Doc(), &doc);
        EXPECT_EQ(ProjectName(doc), "Unsaved work");
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.m_SampleCount, 3);
        EXPECT_TRUE(frame->Controller().Recovery().HasCopy());
        EXPECT_TRUE(std::filesystem::exists(copy));
        EXPECT_EQ(frame->windowTitle(), "NewLog - Zentra");
        EXPECT_EQ(chooser_.saveCalls, 0);
        EXPECT_EQ(frame->Controller().Recent().Files().front(), other);
        doc.m_LoggingActive = 0;
    }
}

} // namespace
} // namespace zentra::test

// Closing the main window: the question while a graph is maximised, and the question
// about unsaved changes.
#include "app/command_ids.h"
#include "display/view/zentra_view.h"
#include "tests/app/app_fixture.h"

#include <QTest>

namespace zentra::test {
namespace {

using platform::MessageAnswer;

class CloseTest : public ShellTest {};

TEST_F(CloseTest, ExitWhileTiledClosesWithoutAsking) {
    auto frame = MakeFrame();
    frame->show();
    ASSERT_EQ(frame->View()->MaximisedGraph(), -1);
    frame->Action(cmd::kAppExit)->trigger();
    EXPECT_FALSE(frame->isVisible());
    EXPECT_TRUE(messages_.shown().empty());
}

TEST_F(CloseTest, ExitWithAMaximisedGraphAsksAndNoKeepsTheWindow) {
    auto frame = MakeFrame();
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

} // namespace
} // namespace zentra::test

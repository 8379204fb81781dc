// New, open, save and save as, the save question, titles and the recent-file list,
// driven without widgets.
#include "app/document_controller.h"
#include "document/registry_defaults.h"
#include "tests/app/app_fixture.h"

#include <fstream>

namespace zentra::test {
namespace {

using platform::MessageAnswer;

class ControllerTest : public ShellTest {};

TEST_F(ControllerTest, TitlesFollowTheDocument) {
    auto c = MakeController();
    EXPECT_EQ(c->WindowTitle(), "NewLog - Zentra");
    const std::string path = files_.File("Plant North.ztr");
    chooser_.savePaths.push_back(path);
    ASSERT_TRUE(c->SaveAs());
    EXPECT_EQ(c->WindowTitle(), "Plant North - Zentra");
    EXPECT_EQ(TitleForPath("/a/b/site.ZTR"), "site");
    EXPECT_EQ(TitleForPath("/a/b/site.csv"), "site.csv");
    EXPECT_EQ(TitleForPath("/a/b/.ztr"), ".ztr");
}

TEST_F(ControllerTest, NewAsksAboutAModifiedDocument) {
    auto c = MakeController();
    int changes = 0;
    c->onDocumentChanged = [&](CZentraDoc&) { ++changes; };
    const auto change = [&] {
        std::snprintf(c->Doc().m_ProjectName.data(), 10, "Changed");
        c->Doc().SetModifiedFlag(true);
    };

    // Unmodified: no question.
    ASSERT_TRUE(c->NewDocument());
    EXPECT_TRUE(messages_.shown().empty());

    // No: the changes go, the document starts over.
    change();
    messages_.QueueAnswer(MessageAnswer::No);
    ASSERT_TRUE(c->NewDocument());
    EXPECT_EQ(messages_.LastText(), "Save changes to NewLog?");
    EXPECT_EQ(ProjectName(c->Doc()), "Put the Project Name here");
    EXPECT_FALSE(c->Doc().IsModified());

    // Yes but the save dialog is cancelled: nothing happens.
    change();
    messages_.QueueAnswer(MessageAnswer::Yes);
    EXPECT_FALSE(c->NewDocument());
    EXPECT_EQ(ProjectName(c->Doc()), "Changed");
    EXPECT_TRUE(c->Doc().IsModified());

    // Yes with a name: saved, then new.
    const std::string path = files_.File("kept.ztr");
    chooser_.savePaths.push_back(path);
    messages_.QueueAnswer(MessageAnswer::Yes);
    ASSERT_TRUE(c->NewDocument());
    EXPECT_EQ(ProjectName(c->Doc()), "Put the Project Name here");
    CZentraDoc reread;
    ASSERT_TRUE(OnOpenDocument(reread, path).ok);
    EXPECT_EQ(ProjectName(reread), "Changed");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(c->WindowTitle(), "NewLog - Zentra");
}

TEST_F(ControllerTest, SaveOfASavedDocumentAsksNoNameAndQuestionNamesThePath) {
    auto c = MakeController();
    const std::string path = files_.File("once.ztr");
    chooser_.savePaths.push_back(path);
    ASSERT_TRUE(c->Save()); // no file yet: Save As
    EXPECT_EQ(chooser_.saveCalls, 1);
    c->Doc().SetModifiedFlag(true);
    ASSERT_TRUE(c->Save());
    EXPECT_EQ(chooser_.saveCalls, 1);
    EXPECT_FALSE(c->Doc().IsModified());

    c->Doc().SetModifiedFlag(true);
    messages_.QueueAnswer(MessageAnswer::No);
    EXPECT_TRUE(c->SaveModified());
    EXPECT_EQ(messages_.LastText(), "Save changes to " + path + "?");
}

TEST_F(ControllerTest, SaveFailureIsReportedAndKeepsTheDocumentModified) {
    auto c = MakeController();
    c->Doc().SetModifiedFlag(true);
    chooser_.savePaths.push_back(files_.File("no/such/folder/x.ztr"));
    EXPECT_FALSE(c->SaveAs());
    EXPECT_FALSE(messages_.LastText().empty());
    EXPECT_TRUE(c->Doc().IsModified());
    EXPECT_TRUE(c->Doc().m_PathName.empty());
    EXPECT_TRUE(c->Recent().Files().empty());
}

TEST_F(ControllerTest, OpenReplacesTheDocumentAndARefusedFileChangesNothing) {
    const std::string good = files_.File("good.ztr");
    WriteProject(good, "Substation 4");
    const std::string shortFile = files_.File("short.ztr");
    std::ofstream(shortFile) << "not a project";

    auto c = MakeController();
    CZentraDoc* before = &c->Doc();
    std::snprintf(c->Doc().m_ProjectName.data(), 10, "Current");
    chooser_.openPaths.push_back(shortFile);
    EXPECT_FALSE(c->OpenDocument());
    EXPECT_NE(messages_.LastText().find("short.ztr"), std::string::npos) << messages_.LastText();
    EXPECT_EQ(&c->Doc(), before);
    EXPECT_EQ(ProjectName(c->Doc()), "Current");
    EXPECT_EQ(c->Doc().m_ArchivedFile, 0);

    chooser_.openPaths.push_back(good);
    ASSERT_TRUE(c->OpenDocument());
    EXPECT_EQ(ProjectName(c->Doc()), "Substation 4");
    EXPECT_EQ(c->Doc().m_ArchivedFile, 1);
    EXPECT_EQ(c->WindowTitle(), "good - Zentra");

    // Cancelled dialog: nothing asked, nothing changed.
    messages_.Clear();
    EXPECT_FALSE(c->OpenDocument());
    EXPECT_TRUE(messages_.shown().empty());
}

TEST_F(ControllerTest, RefusedFileDoesNotDisturbTheStoredSerialSettings) {
    auto c = MakeController();
    std::snprintf(c->Doc().m_Comms.port.data(), 10, "COM7");
    ASSERT_TRUE(SaveCommsSettings(c->Doc()));
    std::snprintf(c->Doc().m_Comms.port.data(), 10, "COM3");
    chooser_.openPaths.push_back(files_.File("missing.ztr"));
    EXPECT_FALSE(c->OpenDocument());
    // The refused file's document went away storing the current settings, not
    // construction values.
    CZentraDoc fresh;
    fresh.OnNewDocument();
    LoadRegistryDefaults(fresh);
    EXPECT_STREQ(fresh.m_Comms.port.data(), "COM3");
}

TEST_F(ControllerTest, RecentFilesFillUpToTenAndSurviveARestart) {
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i) {
        paths.push_back(files_.File("log" + std::to_string(i) + ".ztr"));
        WriteProject(paths.back(), "p");
    }
    {
        auto c = MakeController();
        EXPECT_TRUE(c->Recent().Files().empty());
        for (const auto& p : paths)
            ASSERT_TRUE(c->OpenPath(p));
        ASSERT_EQ(c->Recent().Files().size(), 10u);
        EXPECT_EQ(c->Recent().Files().front(), paths[11]);
        EXPECT_EQ(c->Recent().Files().back(), paths[2]);
        // Opening a listed file moves it to the top without a duplicate.
        ASSERT_TRUE(c->OpenPath(paths[5]));
        EXPECT_EQ(c->Recent().Files().front(), paths[5]);
        EXPECT_EQ(c->Recent().Files().size(), 10u);
    }
    auto restarted = MakeController();
    ASSERT_EQ(restarted->Recent().Files().size(), 10u);
    EXPECT_EQ(restarted->Recent().Files().front(), paths[5]);

    // An entry whose file has gone is reported and taken off the list.
    std::filesystem::remove(paths[11]);
    ASSERT_EQ(restarted->Recent().Files()[1], paths[11]);
    EXPECT_FALSE(restarted->OpenRecent(1));
    EXPECT_EQ(restarted->Recent().Files().size(), 9u);
    EXPECT_NE(restarted->Recent().Files()[1], paths[11]);
    ASSERT_TRUE(restarted->OpenRecent(0));
    EXPECT_EQ(restarted->WindowTitle(), "log5 - Zentra");
}

TEST_F(ControllerTest, RelativePathsAreListedAbsolute) {
    const std::string path = files_.File("rel.ztr");
    WriteProject(path, "r");
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(files_.path());
    auto c = MakeController();
    const bool opened = c->OpenPath("rel.ztr");
    std::filesystem::current_path(cwd);
    ASSERT_TRUE(opened);
    EXPECT_EQ(c->Recent().Files().front(), path);
}

} // namespace
} // namespace zentra::test

// The main window's menus, toolbar, keys and status bar as the user meets them.
#include "app/command_ids.h"
#include "app/help_window.h"
#include "tests/app/app_fixture.h"

#include <QAction>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <fstream>

namespace zentra::test {
namespace {

struct Line {
    const char* text; // nullptr: separator
    int id;
    bool enabled;
};

// The visible lines of the menu, in order, against the expected ones.
void ExpectItems(QMenu* menu, const std::vector<Line>& expected) {
    std::vector<const QAction*> shown;
    for (const QAction* action : menu->actions())
        if (action->isVisible())
            shown.push_back(action);
    ASSERT_EQ(shown.size(), expected.size()) << menu->title().toStdString();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(menu->title().toStdString() + " item " + std::to_string(i));
        EXPECT_EQ(shown[i]->isSeparator(), expected[i].text == nullptr);
        if (expected[i].text) {
            EXPECT_EQ(shown[i]->text().toStdString(), expected[i].text);
            EXPECT_EQ(shown[i]->data().toInt(), expected[i].id);
            EXPECT_EQ(shown[i]->isEnabled(), expected[i].enabled);
        }
    }
}

class MenuTest : public ShellTest {};

TEST_F(MenuTest, MenusCarryEveryItemWithItsTextIdAndState) {
    ScopedEnv noMail("PATH", files_.path().c_str()); // no mail program anywhere
    auto frame = MakeFrame();
    const QList<QAction*> menus = frame->menuBar()->actions();
    ASSERT_EQ(menus.size(), 6);
    const char* titles[] = {"&File", "&Edit", "&View", "&Settings", "&Action", "&Help"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(menus[i]->text().toStdString(), titles[i]);

    const Line sep{nullptr, 0, true};
    // Before the File menu opens, Send is judged by the PATH at construction.
    ExpectItems(menus[0]->menu(), {{"&New\tCtrl+N", 57600, true},
                                   {"&Open...\tCtrl+O", 57601, true},
                                   {"&Save\tCtrl+S", 57603, true},
                                   {"Save &As...", 57604, true},
                                   sep,
                                   {"&Export as a CSV file", 32798, true},
                                   {"S&urvey Report...", 32810, true},
                                   sep,
                                   {"&Print...\tCtrl+P", 57607, true},
                                   {"Print Pre&view", 57609, true},
                                   {"P&rint Setup...", 57606, true},
                                   sep,
                                   {"Sen&d...", 57612, false},
                                   sep,
                                   {"Recent File", 57616, false},
                                   sep,
                                   {"E&xit", 57665, true}});
    ExpectItems(menus[1]->menu(), {{"&Undo\tCtrl+Z", 57643, false},
                                   sep,
                                   {"Cu&t\tCtrl+X", 57635, false},
                                   {"&Copy\tCtrl+C", 57634, false},
                                   {"&Paste\tCtrl+V", 57637, false}});
    ExpectItems(menus[2]->menu(), {{"&Tool Bar", 59392, true}, {"&Status Bar", 59393, true}});
    ExpectItems(menus[3]->menu(), {{"&Project", 32781, true},
                                   {"&Graphs", 32796, true},
                                   {"&Communication", 32784, true},
                                   sep,
                                   {"&Set As Default", 32799, true}});
    ExpectItems(menus[4]->menu(), {{"&Start Data Retreival", 105, true},
                                   {"&Restart Data Retreival", 32797, true},
                                   {"S&top Data Retreival", 32787, true},
                                   sep,
                                   {"&Enable Logging", 32785, true}});
    ExpectItems(menus[5]->menu(),
                {{"&Help Topics", 57667, true}, sep, {"&About Zentra...", 57664, true}});

    // The Edit menu cannot be opened at all; the others can.
    EXPECT_FALSE(menus[1]->isEnabled());
    for (int i : {0, 2, 3, 4, 5})
        EXPECT_TRUE(menus[i]->isEnabled()) << i;
    // Tool Bar and Status Bar carry check marks while shown.
    EXPECT_TRUE(frame->Action(cmd::kViewToolBar)->isCheckable());
    EXPECT_TRUE(frame->Action(cmd::kViewToolBar)->isChecked());
    EXPECT_TRUE(frame->Action(cmd::kViewStatusBar)->isChecked());
}

TEST_F(MenuTest, ToolbarButtonsInOrderWithCutCopyPasteDisabled) {
    auto frame = MakeFrame();
    std::vector<int> ids;
    for (QAction* action : frame->ToolBar()->actions()) {
        ids.push_back(action->isSeparator() ? 0 : action->data().toInt());
        if (!action->isSeparator()) {
            EXPECT_FALSE(action->icon().isNull()) << action->data().toInt();
        }
    }
    EXPECT_EQ(ids,
              (std::vector<int>{57600, 57601, 57603, 0, 57635, 57634, 57637, 0, 57607, 0, 57664}));
    for (int id : {57635, 57634, 57637})
        EXPECT_FALSE(frame->Action(id)->isEnabled()) << id;
    for (int id : {57600, 57601, 57603, 57607, 57664})
        EXPECT_TRUE(frame->Action(id)->isEnabled()) << id;
    // The toolbar stays along the top edge.
    EXPECT_EQ(frame->ToolBar()->allowedAreas(), Qt::TopToolBarArea);
    EXPECT_FALSE(frame->ToolBar()->isFloatable());
}

TEST_F(MenuTest, AcceleratorsSitOnTheirCommands) {
    auto frame = MakeFrame();
    const std::pair<int, const char*> keys[] = {{57600, "Ctrl+N"},
                                                {57601, "Ctrl+O"},
                                                {57603, "Ctrl+S"},
                                                {57607, "Ctrl+P"},
                                                {57643, "Ctrl+Z|Alt+Backspace"},
                                                {57635, "Ctrl+X|Shift+Del"},
                                                {57634, "Ctrl+C|Ctrl+Ins"},
                                                {57637, "Ctrl+V|Shift+Ins"},
                                                {57680, "F6"},
                                                {57681, "Shift+F6"},
                                                {57670, "F1"},
                                                {57669, "Shift+F1"}};
    for (const auto& [id, expected] : keys) {
        QStringList list;
        for (const QKeySequence& k : frame->Action(id)->shortcuts())
            list << k.toString(QKeySequence::PortableText);
        EXPECT_EQ(list.join(QLatin1Char('|')).toStdString(), expected) << id;
    }
    // Next and previous pane have nothing to switch between: disabled, like Undo.
    EXPECT_FALSE(frame->Action(57680)->isEnabled());
    EXPECT_FALSE(frame->Action(57681)->isEnabled());
}

TEST_F(MenuTest, F1AndHelpTopicsOpenTheGuide) {
    auto frame = MakeFrame();
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    frame->activateWindow();
    QTest::keyClick(frame.get(), Qt::Key_F1);
    ASSERT_NE(frame->Help(), nullptr);
    EXPECT_TRUE(frame->Help()->isVisible());
    const QString guide = frame->Help()->Browser()->toPlainText();
    for (const char* topic : {"Connecting a meter", "Start Data Retreival", "Enable Logging",
                              "/dev/ttyUSB0", "ZENTRA_COM1", "dialout", "CSV", "Print"})
        EXPECT_TRUE(guide.contains(QString::fromLatin1(topic))) << topic;
    frame->Help()->close();
    frame->Action(cmd::kHelpFinder)->trigger();
    EXPECT_TRUE(frame->Help()->isVisible());
}

TEST_F(MenuTest, SendIsOfferedOnlyWithAMailProgram) {
    const std::string fake = files_.File("xdg-email");
    const std::string log = files_.File("mail-args");
    {
        std::ofstream script(fake);
        script << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << log << "'\n";
    }
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    ScopedEnv path("PATH", (files_.path() + ":/usr/bin:/bin").c_str());
    auto frame = MakeFrame();
    QAction* send = frame->Action(cmd::kFileSendMail);
    EXPECT_TRUE(send->isEnabled());

    // Sending a never-saved project saves it first, then attaches the saved file.
    const std::string saved = files_.File("mailed.ztr");
    chooser_.savePaths.push_back(saved);
    send->trigger();
    ASSERT_TRUE(std::filesystem::exists(saved));
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(log); }, 5000));
    std::ifstream in(log);
    std::string args((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(args.find("--attach\n" + saved + "\n"), std::string::npos) << args;

    {
        ScopedEnv none("PATH", files_.File("nowhere").c_str());
        QMenu* file = frame->menuBar()->actions().at(0)->menu();
        emit file->aboutToShow();
        EXPECT_FALSE(send->isEnabled());
    }
}

TEST_F(MenuTest, StatusBarShowsIdleTextPortAndLockKeys) {
    auto frame = MakeFrame();
    EXPECT_EQ(frame->IdleText(), "For Help, press F1");
    auto* message = frame->statusBar()->findChild<QLabel*>("messagePane");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(), "For Help, press F1");
    EXPECT_EQ(frame->PortPaneText(), "No Port Open");

    // Lock keys come from the keyboard LEDs: lit caps and scroll, dark num.
    auto led = [&](const char* name, const char* value) {
        std::filesystem::create_directories(files_.File(name));
        std::ofstream(files_.File(name) + "/brightness") << value << "\n";
    };
    // Where no keyboard LED can be read the panes are not shown at all: a blank that
    // never changes would say the keys are off.
    frame->SetLedFolder(files_.path());
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(frame->IndicatorShown(i)) << i;
    led("input3::capslock", "1");
    led("input3::numlock", "0");
    led("input3::scrolllock", "1");
    frame->SetLedFolder(files_.path());
    EXPECT_EQ(frame->IndicatorText(0), "CAP");
    EXPECT_EQ(frame->IndicatorText(1), "");
    EXPECT_EQ(frame->IndicatorText(2), "SCRL");
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(frame->IndicatorShown(i)) << i;

    // A command's prompt covers the idle text while the pointer is on it.
    frame->show();
    QStatusTipEvent prompt(frame->Action(cmd::kFileOpen)->statusTip());
    QApplication::sendEvent(frame.get(), &prompt);
    EXPECT_EQ(frame->statusBar()->currentMessage(), "Open an existing document");
    EXPECT_FALSE(message->isVisible());
    QStatusTipEvent away{QString()};
    QApplication::sendEvent(frame.get(), &away);
    EXPECT_TRUE(message->isVisible());

    // Hiding the status bar through the View menu.
    frame->show();
    frame->Action(cmd::kViewStatusBar)->trigger();
    EXPECT_FALSE(frame->statusBar()->isVisible());
    frame->Action(cmd::kViewToolBar)->trigger();
    EXPECT_FALSE(frame->ToolBar()->isVisible());
    EXPECT_FALSE(frame->Action(cmd::kViewToolBar)->isChecked());
}

TEST(LockKeys, UnreadableMeansUnknownAndAnyKeyboardLightsALock) {
    EXPECT_EQ(ReadLockKeys("/nonexistent/leds"), LockKeyState{}); // all unknown
    TempDir dir;
    for (const char* name : {"input1::numlock", "input2::numlock", "input1::scrolllock"})
        std::filesystem::create_directories(dir.File(name));
    std::ofstream(dir.File("input1::numlock/brightness")) << "0";
    std::ofstream(dir.File("input2::numlock/brightness")) << "255";
    std::ofstream(dir.File("input1::scrolllock/brightness")) << "0";
    std::filesystem::create_directories(dir.File("input2::capslock")); // no brightness file
    const LockKeyState state = ReadLockKeys(dir.path());
    EXPECT_EQ(state.num, std::optional<bool>(true));
    EXPECT_EQ(state.scroll, std::optional<bool>(false));
    EXPECT_EQ(state.caps, std::nullopt);
    // A kept list reads the brightness anew each time.
    const LockLeds leds = FindLockLeds(dir.path());
    std::ofstream(dir.File("input2::numlock/brightness")) << "0";
    EXPECT_EQ(ReadLockKeys(leds).num, std::optional<bool>(false));
}

} // namespace
} // namespace zentra::test

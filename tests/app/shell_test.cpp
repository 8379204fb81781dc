// The program as a whole: start with a file, dropped files, CSV export, about box,
// and a screenshot of the main window for a person to look at.
#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/file_dialogs.h"
#include "app/help_window.h"
#include "app/zentra_app.h"
#include "display/view/zentra_view.h"
#include "tests/app/app_fixture.h"

#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <fstream>

namespace zentra::test {
namespace {

class ShellTestCase : public ShellTest {};

TEST_F(ShellTestCase, CommandLineFileOpensInsteadOfANewDocument) {
    const std::string path = files_.File("site survey.ztr");
    WriteProject(path, "Named on the command line");
    CZentraApp app;
    ASSERT_TRUE(app.InitInstance({"zentra", QString::fromStdString(path)}, &chooser_));
    CMainFrame* frame = app.MainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(), "site survey - Zentra");
    EXPECT_EQ(ProjectName(frame->Controller().Doc()), "Named on the command line");
    EXPECT_EQ(frame->View()->GetDocument(), &frame->Controller().Doc());
    EXPECT_EQ(frame->Controller().Recent().Files().front(), path);
    EXPECT_TRUE(messages_.shown().empty());
}

TEST_F(ShellTestCase, StartWithoutAFileMakesANewLog) {
    CZentraApp app;
    ASSERT_TRUE(app.InitInstance({"zentra"}, &chooser_));
    EXPECT_EQ(app.MainFrame()->windowTitle(), "NewLog - Zentra");
    EXPECT_EQ(FileFromCommandLine({"zentra"}), std::nullopt);
    EXPECT_EQ(FileFromCommandLine({"zentra", "a.ztr", "b.ztr"}),
              std::optional<std::string>("a.ztr"));
}

TEST_F(ShellTestCase, UnopenableCommandLineFileEndsTheStartWithTheReason) {
    const std::string truncated = files_.File("truncated.ztr");
    std::ofstream(truncated) << "short";
    const std::pair<std::string, const char*> cases[] = {{truncated, "bytes"},
                                                         {files_.File("absent.ztr"), "absent.ztr"}};
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        messages_.Clear();
        CZentraApp app;
        EXPECT_FALSE(app.InitInstance({"zentra", QString::fromStdString(path)}, &chooser_));
        EXPECT_EQ(app.MainFrame(), nullptr);
        ASSERT_EQ(messages_.shown().size(), 1u);
        EXPECT_NE(messages_.LastText().find(std::filesystem::path(path).filename().string()),
                  std::string::npos);
        EXPECT_NE(messages_.LastText().find(reason), std::string::npos) << messages_.LastText();
    }
}

TEST_F(ShellTestCase, DroppedProjectFileOpensAndOtherFilesAreRefused) {
    const std::string path = files_.File("dropped.ztr");
    WriteProject(path, "Dropped in");
    const std::string text = files_.File("notes.txt");
    std::ofstream(text) << "hello";
    auto frame = MakeFrame();
    frame->show();

    // A file that is not a project is answered, and nothing else happens.
    EXPECT_FALSE(Drop(frame.get(), {QString::fromStdString(text)}));
    ASSERT_EQ(messages_.shown().size(), 1u);
    EXPECT_EQ(messages_.LastText(),
              "notes.txt is not a Zentra project: only \".ztr\" project files can be opened.");
    EXPECT_EQ(frame->windowTitle(), "NewLog - Zentra");

    messages_.Clear();
    ASSERT_TRUE(Drop(frame.get(), {QString::fromStdString(text), QString::fromStdString(path)}));
    EXPECT_TRUE(messages_.shown().empty());
    EXPECT_EQ(ProjectName(frame->Controller().Doc()), "Dropped in");
    EXPECT_EQ(frame->windowTitle(), "dropped - Zentra");
    EXPECT_EQ(frame->View()->GetDocument(), &frame->Controller().Doc());
    EXPECT_EQ(frame->RecentActions().at(0)->text().toStdString().substr(0, 3), "&1 ");
    EXPECT_TRUE(frame->RecentActions().at(0)->isVisible());
    EXPECT_FALSE(frame->Action(cmd::kFileMruFirst)->isVisible()); // placeholder gone
}

TEST_F(ShellTestCase, RecentFileMenuFillsAndSurvivesARestart) {
    const std::string a = files_.File("a.ztr"), b = files_.File("b&c.ztr");
    WriteProject(a, "A");
    WriteProject(b, "B");
    {
        auto frame = MakeFrame();
        EXPECT_TRUE(frame->Action(cmd::kFileMruFirst)->isVisible());
        EXPECT_FALSE(frame->Action(cmd::kFileMruFirst)->isEnabled());
        chooser_.openPaths = {a, b};
        frame->Action(cmd::kFileOpen)->trigger();
        frame->Action(cmd::kFileOpen)->trigger();
    }
    auto frame = MakeFrame();
    const auto& entries = frame->RecentActions();
    EXPECT_TRUE(entries[0]->isVisible());
    EXPECT_TRUE(entries[1]->isVisible());
    EXPECT_FALSE(entries[2]->isVisible());
    EXPECT_TRUE(entries[0]->text().endsWith("b&&c.ztr")) << entries[0]->text().toStdString();
    EXPECT_EQ(entries[1]->data().toInt(), 57617);
    entries[1]->trigger();
    EXPECT_EQ(ProjectName(frame->Controller().Doc()), "A");
}

TEST_F(ShellTestCase, CsvExportWritesTheChosenNameAsTypedAndReportsFailures) {
    auto frame = MakeFrame();
    const std::string path = files_.File("export-without-ending");
    chooser_.csvPaths.push_back(path);
    frame->Action(cmd::kExportCsv)->trigger();
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(messages_.shown().empty());

    chooser_.csvPaths.push_back(files_.File("no/such/folder/x.csv"));
    frame->Action(cmd::kExportCsv)->trigger();
    EXPECT_EQ(messages_.LastText(), "Cannot Open/Create File");
    EXPECT_EQ(messages_.LastCaption(), "");

    messages_.Clear();
    frame->Action(cmd::kExportCsv)->trigger(); // cancelled: nothing at all
    EXPECT_TRUE(messages_.shown().empty());
    EXPECT_EQ(chooser_.csvCalls, 3);
}

TEST_F(ShellTestCase, CsvDialogStartsWithTheStarPatternAndTreatsItAsAFilter) {
    QtFileChooser dialogs(nullptr);
    QString title, startName, filters;
    bool reopened = false;
    const std::string wanted = files_.File("plant.csv");
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        filters = dialog->nameFilters().join(QLatin1Char('|'));
        startName = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
        // Save pressed on the pattern as it stands: no file of that name is made, the
        // dialog stays for a real name.
        QTimer::singleShot(0, [&] {
            auto* again = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(again, nullptr);
            reopened = true;
            again->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(wanted));
            static_cast<QDialog*>(again)->accept();
        });
        static_cast<QDialog*>(dialog)->accept();
    });
    const auto chosen = dialogs.ChooseCsvPath();
    EXPECT_EQ(title, "Export CSV Data File");
    EXPECT_EQ(filters, "csv Data Files (*.csv)");
    EXPECT_EQ(startName, "*.csv");
    EXPECT_TRUE(reopened);
    EXPECT_EQ(chosen, std::optional<std::string>(wanted));
}

TEST_F(ShellTestCase, SetAsDefaultAsksFirst) {
    auto frame = MakeFrame();
    messages_.QueueAnswer(platform::MessageAnswer::No);
    frame->Action(cmd::kSetAsDefault)->trigger();
    EXPECT_EQ(messages_.LastText(), "Set the current settings as default?");
    EXPECT_EQ(messages_.LastCaption(), "Default Settings");
}

TEST_F(ShellTestCase, AboutBoxShowsVersionAndWorkingDirectory) {
    auto frame = MakeFrame();
    QString title, version, folder;
    QTimer::singleShot(0, [&] {
        auto* dialog = frame->findChild<CAboutDlg*>();
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        version = dialog->findChild<QLabel*>("versionText")->text();
        folder = dialog->WorkingDirectory();
        dialog->accept();
    });
    frame->Action(cmd::kAppAbout)->trigger();
    EXPECT_EQ(title, "About Zentra");
    EXPECT_EQ(version, "Zentra, Version 2.0.0.2");
    EXPECT_EQ(folder.toStdString(), std::filesystem::current_path().string());
}

TEST_F(ShellTestCase, ScreenshotOfTheMainWindow) {
    auto frame = MakeFrame();
    const QImage shot = ShotOfMainWindow(*frame);
    const std::string file = ScreenshotDir() + "/app_main_window.png";
    ASSERT_TRUE(shot.save(QString::fromStdString(file)));
    ASSERT_EQ(shot.size(), frame->size()); // one picture pixel per window pixel
    // The picture shows the status bar's idle text, the view's dividers and page
    // arrows, and the toolbar's buttons.
    auto* idle = frame->findChild<QLabel*>("messagePane");
    const QRect idleArea(idle->mapTo(frame.get(), QPoint(0, 0)), idle->size());
    const int idleInk = TextInk(idle->font(), "For Help, press F1");
    EXPECT_NEAR(DarkPixels(shot, idleArea), idleInk, idleInk / 4);
    const QRect view(frame->View()->mapTo(frame.get(), QPoint(0, 0)), frame->View()->size());
    // The vertical divider, grey under white, runs down the middle.
    const QColor divider(shot.pixel(view.left() + view.width() / 2, view.top() + 100));
    EXPECT_EQ(divider.red(), divider.blue()) << "the background (250, 250, 255) instead";
    const Rect arrow = frame->View()->PreviousPageArrow();
    EXPECT_GT(DarkPixels(shot,
                         QRect(view.left() + arrow.left, view.top() + arrow.top, arrow.Width(),
                               arrow.Height()),
                         220),
              100); // the previous-page arrow, RGB(158, 194, 192)
    const QRect toolBar(frame->ToolBar()->mapTo(frame.get(), QPoint(0, 0)),
                        frame->ToolBar()->size());
    EXPECT_GT(DarkPixels(shot, toolBar), 200);

    // The File menu as it drops down: Print Setup is drawn like the items that work,
    // the empty recent-file line greyed.
    QMenu* fileMenu = frame->menuBar()->actions().at(0)->menu();
    fileMenu->popup(frame->mapToGlobal(QPoint(0, frame->menuBar()->height())));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(fileMenu));
    const QImage menu = fileMenu->grab().toImage();
    EXPECT_TRUE(menu.save(QString::fromStdString(ScreenshotDir() + "/app_file_menu.png")));
    const auto darkIn = [&](int id) {
        return DarkPixels(menu, fileMenu->actionGeometry(frame->Action(id)), 80);
    };
    EXPECT_GT(darkIn(cmd::kFilePrintSetup), darkIn(cmd::kFilePrintPreview) / 2);
    EXPECT_EQ(darkIn(cmd::kFileMruFirst), 0);
    fileMenu->close();

    // The about box: its icon and the version line.
    CAboutDlg about(frame.get());
    about.SetWorkingDirectory(CAboutDlg::CurrentWorkingDirectory());
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    const QImage aboutShot = about.grab().toImage();
    EXPECT_TRUE(aboutShot.save(QString::fromStdString(ScreenshotDir() + "/app_about.png")));
    auto* version = about.findChild<QLabel*>("versionText");
    const int versionInk = TextInk(version->font(), version->text());
    EXPECT_NEAR(DarkPixels(aboutShot, version->geometry()), versionInk, versionInk / 4);

    // The guide: its page of text.
    frame->Action(cmd::kHelpFinder)->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame->Help()));
    const QImage guide = frame->Help()->grab().toImage();
    EXPECT_TRUE(guide.save(QString::fromStdString(ScreenshotDir() + "/app_help.png")));
    EXPECT_GT(DarkPixels(guide, guide.rect()), 3000);
}

// Opens a settings sheet through the menu or the view and closes it with Cancel;
// gives the sheet's caption (empty when no sheet opened).
QString SheetCaption(const std::function<void()>& open) {
    QString caption;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            caption = modal->windowTitle();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        }
    });
    closer.start();
    open();
    closer.stop();
    return caption;
}

TEST_F(ShellTestCase, SettingsCommandsOpenTheirSheetsFromMenuAndView) {
    auto frame = MakeFrame();
    frame->show();
    const std::pair<int, const char*> sheets[] = {{cmd::kProjectSettings, "Project Settings"},
                                                  {cmd::kGraphSettings, "Graph Settings"},
                                                  {cmd::kCommSettings, "Port Settings"}};
    for (const auto& [id, caption] : sheets) {
        if (id == cmd::kCommSettings) {
            // The serial settings first ask whether the link may be interrupted.
            messages_.QueueAnswer(platform::MessageAnswer::Yes);
            messages_.QueueAnswer(platform::MessageAnswer::Yes);
        }
        EXPECT_EQ(SheetCaption([&] { frame->Action(id)->trigger(); }), caption);
        EXPECT_EQ(SheetCaption([&] { frame->View()->OnCommand(id); }), caption);
    }
}

} // namespace
} // namespace zentra::test

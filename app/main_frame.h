// The main window: the menu, the toolbar, the status bar and the view, the routes of
// every command, the question before quitting while a graph is maximised, and the
// opening of dropped project files.
#pragma once

#include "app/document_controller.h"
#include "app/lock_keys.h"
#include "app/window_placement.h"

#include <QHash>
#include <QMainWindow>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace zentra {

class CZentraView;
class HelpWindow;

inline constexpr const char* kQuitCaption = "Quit Application";
inline constexpr const char* kQuitText = "Quit Application: Are You Sure?";
inline constexpr const char* kMailProgram = "xdg-email";
// Said when a drop holds no project file; %s is the first dropped file's name.
inline constexpr const char* kNotAProjectText =
    "%s is not a Zentra project: only \".ztr\" project files can be opened.";

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    // chooser: where file names come from; null for the real file dialogs.
    explicit CMainFrame(FileChooser* chooser = nullptr, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The first document (new, or the named file). False with the reason when the
    // file cannot be opened.
    bool Start(const std::optional<std::string>& path, std::string* reason);

    // Runs a command as the menu, the toolbar, a key or the view sends it.
    void OnCommand(int id);
    // The close request: asks while a graph is maximised, then about unsaved changes.
    // True when the window may close.
    bool QueryClose();

    DocumentController& Controller() { return controller_; }
    CZentraView* View() const { return view_; }
    QToolBar* ToolBar() const { return toolBar_; }
    // The action that carries a command id (the first, for the recent-file entries:
    // the placeholder "Recent File").
    QAction* Action(int id) const { return actions_.value(id); }
    // The recent-file entries in the File menu (visible ones are in use).
    const QList<QAction*>& RecentActions() const { return recentActions_; }
    HelpWindow* Help() const { return help_; }

    // Texts of the status bar's panes.
    QString IdleText() const;
    QString PortPaneText() const;
    QString IndicatorText(int index) const; // 0 CAP, 1 NUM, 2 SCRL; empty while off
    // Whether an indicator pane is shown: only where its key's state can be read.
    bool IndicatorShown(int index) const;

    // Where the lock-key LEDs are read (tests point it at a made-up folder).
    void SetLedFolder(std::filesystem::path folder);
    // Re-reads the port text and the lock keys (the frame does it twice a second).
    void RefreshStatus();

    // Where the window may go: the available area of the screen nearest to a
    // rectangle (tests pretend a screen of their own).
    using ScreenArea = std::function<QRect(const QRect& near)>;
    void SetScreenAreaSource(ScreenArea source);
    // Gives the window the size and place it was closed at (at first the default
    // size, centred), inside the available area of its screen.
    void PlaceOnScreen();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    void BuildAccelerators();
    QAction* MakeAction(const QString& text, int id, bool enabled);
    void RebuildRecentFiles();
    void UpdateTitle();
    void UpdateMailAction();
    void OnExportCsv();
    void OnSendMail();
    void OnAbout();
    void OnHelp();

    std::unique_ptr<FileChooser> ownChooser_;
    FileChooser& chooser_;
    DocumentController controller_;
    CZentraView* view_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QHash<int, QAction*> actions_;
    QList<QAction*> recentActions_;
    QLabel* idle_ = nullptr;
    QLabel* portPane_ = nullptr;
    QLabel* indicators_[3] = {};
    HelpWindow* help_ = nullptr;
    QTimer statusTimer_;
    std::filesystem::path ledFolder_ = kLedFolder;
    LockLeds leds_; // found in ledFolder_; listed again when a lock reads unknown
    ScreenArea screenArea_;
};

} // namespace zentra

#include "app/main_frame.h"

#include "acquisition/port_state.h"
#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/file_dialogs.h"
#include "app/help_window.h"
#include "app/menu_layout.h"
#include "app/survey_report_command.h"
#include "display/view/zentra_view.h"
#include "document/csv_export.h"
#include "document/registry_defaults.h"
#include "document/zentra_doc.h"
#include "platform/message_box.h"
#include "settings/comm_sheet.h"
#include "settings/graph_sheet.h"
#include "settings/project_sheet.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

namespace zentra {
namespace {

constexpr auto kStatusRefresh = std::chrono::milliseconds(500);
constexpr int kRecentTextLength = 60; // characters of a path shown in the File menu

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString IconFor(int id) {
    switch (id) {
    case cmd::kFileNew:
        return QStringLiteral(":/icons/new.svg");
    case cmd::kFileOpen:
        return QStringLiteral(":/icons/open.svg");
    case cmd::kFileSave:
        return QStringLiteral(":/icons/save.svg");
    case cmd::kEditCut:
        return QStringLiteral(":/icons/cut.svg");
    case cmd::kEditCopy:
        return QStringLiteral(":/icons/copy.svg");
    case cmd::kEditPaste:
        return QStringLiteral(":/icons/paste.svg");
    case cmd::kFilePrint:
        return QStringLiteral(":/icons/print.svg");
    case cmd::kAppAbout:
        return QStringLiteral(":/icons/about.svg");
    default:
        return {};
    }
}

// "&3 ~/logs/plant.ztr": the entry's number as its mnemonic, the home folder
// shortened, long paths cut in the middle, ampersands kept as text.
QString RecentEntryText(int n, const std::string& path) {
    QString shown = QDir::toNativeSeparators(QString::fromStdString(path));
    const QString home = QDir::toNativeSeparators(QDir::homePath());
    if (!home.isEmpty() && home != QStringLiteral("/") && shown.startsWith(home + QLatin1Char('/')))
        shown = QLatin1Char('~') + shown.mid(home.size());
    if (shown.size() > kRecentTextLength) {
        const int keep = kRecentTextLength / 2 - 2;
        shown = shown.left(keep) + QStringLiteral("...") + shown.right(keep);
    }
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(n == 10 ? 0 : n).arg(shown);
}

// The local files among dropped URLs.
QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}

// The first ".ztr" file among them.
QString DroppedProject(const QStringList& files) {
    for (const QString& path : files)
        if (path.endsWith(FromView(kFileExtension), Qt::CaseInsensitive))
            return path;
    return {};
}

QRect AvailableScreenArea(const QRect& near) {
    QScreen* screen = near.isValid() ? QGuiApplication::screenAt(near.center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

CMainFrame::CMainFrame(FileChooser* chooser, QWidget* parent)
    : QMainWindow(parent), ownChooser_(chooser ? nullptr : std::make_unique<QtFileChooser>(this)),
      chooser_(chooser ? *chooser : *ownChooser_), controller_(chooser_),
      screenArea_(AvailableScreenArea) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/zentra.svg")));

    view_ = new CZentraView(&controller_.Doc(), this);
    view_->setObjectName(QStringLiteral("view"));
    setCentralWidget(view_);
    connect(view_, &CZentraView::commandRequested, this, &CMainFrame::OnCommand);

    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    BuildAccelerators();
    setAcceptDrops(true);

    controller_.onDocumentChanged = [this](CZentraDoc& doc) { view_->SetDocument(&doc); };
    controller_.onTitleChanged = [this] { UpdateTitle(); };
    controller_.onRecentChanged = [this] { RebuildRecentFiles(); };
    RebuildRecentFiles();
    UpdateTitle();

    statusTimer_.setInterval(kStatusRefresh);
    connect(&statusTimer_, &QTimer::timeout, this, &CMainFrame::RefreshStatus);
    connect(&statusTimer_, &QTimer::timeout, this, [this] { controller_.KeepRecoveryCopy(); });
    statusTimer_.start();
    PlaceOnScreen();
}

CMainFrame::~CMainFrame() {
    // The view goes first: it reads the document, which goes with the controller.
    delete view_;
    view_ = nullptr;
}

bool CMainFrame::Start(const std::optional<std::string>& path, std::string* reason) {
    const bool started = controller_.Start(path, reason);
    UpdateTitle();
    RefreshStatus();
    return started;
}

QAction* CMainFrame::MakeAction(const QString& text, int id, bool enabled) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setEnabled(enabled);
    action->setStatusTip(FromView(CommandPrompt(id)));
    if (const std::string_view tip = CommandTip(id); !tip.empty())
        action->setToolTip(FromView(tip));
    if (const QString icon = IconFor(id); !icon.isEmpty())
        action->setIcon(QIcon(icon));
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    if (!actions_.contains(id))
        actions_.insert(id, action);
    return action;
}

void CMainFrame::BuildMenus() {
    for (const MenuSpec& menuEntry : MainMenuSpec()) {
        QMenu* menu = menuBar()->addMenu(FromView(menuEntry.title));
        menu->setEnabled(menuEntry.enabled);
        for (const MenuItemSpec& item : menuEntry.items) {
            if (item.id == kSeparator) {
                menu->addSeparator();
                continue;
            }
            menu->addAction(MakeAction(FromView(item.text), item.id, item.enabled));
        }
        if (menuEntry.title == "&File")
            fileMenu_ = menu;
    }
    QAction* toolBarItem = actions_.value(cmd::kViewToolBar);
    QAction* statusBarItem = actions_.value(cmd::kViewStatusBar);
    toolBarItem->setCheckable(true);
    statusBarItem->setCheckable(true);
    toolBarItem->setChecked(true);
    statusBarItem->setChecked(true);

    // The recent-file entries sit where the "Recent File" line is, which stays (hidden)
    // as the list's placeholder and shows, disabled, while the list is empty.
    QAction* placeholder = actions_.value(cmd::kFileMruFirst);
    for (int n = 0; n < cmd::kRecentFileCapacity; ++n) {
        auto* entry = new QAction(this);
        entry->setData(cmd::kFileMruFirst + n);
        entry->setStatusTip(FromView(CommandPrompt(cmd::kFileMruFirst)));
        entry->setVisible(false);
        connect(entry, &QAction::triggered, this, [this, n] { OnCommand(cmd::kFileMruFirst + n); });
        fileMenu_->insertAction(placeholder, entry);
        recentActions_.append(entry);
    }
    connect(fileMenu_, &QMenu::aboutToShow, this, &CMainFrame::UpdateMailAction);
    UpdateMailAction();
}

void CMainFrame::BuildToolBar() {
    toolBar_ = new QToolBar(QStringLiteral("Standard"), this);
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setAllowedAreas(Qt::TopToolBarArea);
    toolBar_->setFloatable(false);
    toolBar_->setMovable(true); // the gripper, within the top edge only
    for (int id : ToolBarSpec()) {
        if (id == kSeparator)
            toolBar_->addSeparator();
        else
            toolBar_->addAction(actions_.value(id));
    }
    // The button pictures are SVG; without the SVG image support the buttons show
    // their names instead of blank squares.
    if (!QImageReader::supportedImageFormats().contains("svg"))
        toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    addToolBar(Qt::TopToolBarArea, toolBar_);
    QAction* item = actions_.value(cmd::kViewToolBar);
    connect(toolBar_, &QToolBar::visibilityChanged, item, &QAction::setChecked);
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    idle_ = new QLabel(IdleText(), bar);
    idle_->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(idle_, 1);

    portPane_ = new QLabel(bar);
    portPane_->setObjectName(QStringLiteral("portPane"));
    portPane_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    portPane_->setContentsMargins(4, 0, 4, 0);
    bar->addPermanentWidget(portPane_);

    const char* names[3] = {"capsIndicator", "numIndicator", "scrollIndicator"};
    const std::string_view texts[3] = {kCapsIndicator, kNumIndicator, kScrollIndicator};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QString::fromLatin1(names[i]));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        // Wide enough for the text whether it shows or not, so nothing jumps.
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(FromView(texts[i])) + 12);
        bar->addPermanentWidget(label);
        indicators_[i] = label;
    }
}

void CMainFrame::BuildAccelerators() {
    // Keys of the menu items go on their actions; the keys without a menu item get
    // actions of their own on the window (disabled when nothing handles them).
    QHash<int, QList<QKeySequence>> keys;
    for (const AcceleratorSpec& accelerator : AcceleratorSpecs())
        keys[accelerator.id].append(
            QKeySequence(FromView(accelerator.keys), QKeySequence::PortableText));
    for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
        QAction* action = actions_.value(it.key());
        if (!action) {
            const bool handled = it.key() == cmd::kHelp || it.key() == cmd::kContextHelp;
            action = MakeAction(QString(), it.key(), handled);
            addAction(action);
        }
        action->setShortcuts(it.value());
        action->setShortcutContext(Qt::WindowShortcut);
    }
}

void CMainFrame::RebuildRecentFiles() {
    const auto& files = controller_.Recent().Files();
    for (int n = 0; n < recentActions_.size(); ++n) {
        QAction* entry = recentActions_[n];
        const bool used = std::size_t(n) < files.size();
        entry->setVisible(used);
        if (used) {
            entry->setText(RecentEntryText(n + 1, files[std::size_t(n)]));
            entry->setToolTip(QString::fromStdString(files[std::size_t(n)]));
        }
    }
    actions_.value(cmd::kFileMruFirst)->setVisible(files.empty());
}

void CMainFrame::UpdateTitle() {
    setWindowTitle(QString::fromStdString(controller_.WindowTitle()));
}

void CMainFrame::UpdateMailAction() {
    const bool mail = !QStandardPaths::findExecutable(QString::fromLatin1(kMailProgram)).isEmpty();
    actions_.value(cmd::kFileSendMail)->setEnabled(mail);
}

QString CMainFrame::IdleText() const {
    return FromView(kIdleStatusText);
}

QString CMainFrame::PortPaneText() const {
    return portPane_->text();
}

QString CMainFrame::IndicatorText(int index) const {
    return index >= 0 && index < 3 ? indicators_[index]->text() : QString();
}

bool CMainFrame::IndicatorShown(int index) const {
    return index >= 0 && index < 3 && !indicators_[index]->isHidden();
}

void CMainFrame::SetLedFolder(std::filesystem::path folder) {
    ledFolder_ = std::move(folder);
    leds_ = FindLockLeds(ledFolder_);
    RefreshStatus();
}

void CMainFrame::RefreshStatus() {
    // A pulled adapter is the one thing the port pane must not hide.
    const QString port = PortGone(controller_.Doc()) ? FromView(kAdapterGoneText)
                                                     : QString::fromStdString(view_->StatusText());
    if (portPane_->text() != port)
        portPane_->setText(port);
    // A lock whose state cannot be read here has no pane: a blank that never
    // changes would tell the user the key is off.
    // The LEDs are listed again only while a lock has none that reads (none found yet,
    // or its keyboard was pulled), so a keyboard that appears where none was is found.
    LockKeyState locks = ReadLockKeys(leds_);
    if (!locks.caps || !locks.num || !locks.scroll) {
        leds_ = FindLockLeds(ledFolder_);
        locks = ReadLockKeys(leds_);
    }
    const std::optional<bool> on[3] = {locks.caps, locks.num, locks.scroll};
    const std::string_view texts[3] = {kCapsIndicator, kNumIndicator, kScrollIndicator};
    for (int i = 0; i < 3; ++i) {
        indicators_[i]->setText(on[i].value_or(false) ? FromView(texts[i]) : QString());
        if (indicators_[i]->isHidden() == on[i].has_value())
            indicators_[i]->setVisible(on[i].has_value());
    }
}

void CMainFrame::SetScreenAreaSource(ScreenArea source) {
    screenArea_ = source ? std::move(source) : ScreenArea(AvailableScreenArea);
}

void CMainFrame::PlaceOnScreen() {
    const std::optional<WindowPlacement> stored = LoadWindowPlacement();
    const QRect area = screenArea_(stored ? stored->normal : QRect());
    QRect wanted = stored ? stored->normal : QRect(QPoint(0, 0), kDefaultWindowSize);
    if (!stored && area.isValid())
        wanted = CentredIn(kDefaultWindowSize, area);
    // The frame the desktop draws is known once the window has been shown.
    const QMargins measured(geometry().left() - frameGeometry().left(),
                            geometry().top() - frameGeometry().top(),
                            frameGeometry().right() - geometry().right(),
                            frameGeometry().bottom() - geometry().bottom());
    const QMargins frame = measured.isNull() ? kAssumedFrame : measured;
    setGeometry(area.isValid() ? FitToScreen(wanted, area, frame) : wanted);
    if (stored && stored->maximised)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
    case cmd::kFileNew:
        controller_.NewDocument();
        break;
    case cmd::kFileOpen:
        controller_.OpenDocument();
        break;
    case cmd::kFileSave:
        controller_.Save();
        break;
    case cmd::kFileSaveAs:
        controller_.SaveAs();
        break;
    case cmd::kExportCsv:
        OnExportCsv();
        break;
    case cmd::kSurveyReport:
        OnSurveyReport(controller_.Doc(), chooser_, this);
        break;
    case cmd::kFileSendMail:
        OnSendMail();
        break;
    case cmd::kAppExit:
        close();
        break;
    case cmd::kViewToolBar:
        toolBar_->setVisible(actions_.value(id)->isChecked());
        break;
    case cmd::kViewStatusBar:
        statusBar()->setVisible(actions_.value(id)->isChecked());
        break;
    case cmd::kProjectSettings:
        OnProjectSettings(controller_.Doc(), this);
        view_->DrawView();
        break;
    case cmd::kGraphSettings:
        OnGraphSettings(controller_.Doc(), view_->CurrentPage(), this);
        view_->DrawView();
        break;
    case cmd::kCommSettings:
        OnCommSettings(controller_.Doc(), this);
        view_->DrawView();
        break;
    case cmd::kSetAsDefault:
        OnSetAsDefault(controller_.Doc());
        break;
    case cmd::kFilePrintSetup:
    case cmd::kFilePrint:
    case cmd::kFilePrintDirect:
    case cmd::kFilePrintPreview:
    case cmd::kStartRetrieval:
    case cmd::kRestartRetrieval:
    case cmd::kStopRetrieval:
    case cmd::kEnableLogging:
    case cmd::kToggleMaximise:
    case cmd::kToggleRelativeY:
    case cmd::kToggleRealTime:
    case cmd::kToggleGraphMode:
    case cmd::kToggleProjectPanel:
        view_->OnCommand(id);
        break;
    case cmd::kHelpFinder:
    case cmd::kHelpIndex:
    case cmd::kHelp:
    case cmd::kContextHelp:
        OnHelp();
        break;
    case cmd::kAppAbout:
        OnAbout();
        break;
    default:
        if (id >= cmd::kFileMruFirst && id < cmd::kFileMruFirst + cmd::kRecentFileCapacity)
            controller_.OpenRecent(std::size_t(id - cmd::kFileMruFirst));
        break;
    }
    RefreshStatus();
}

bool CMainFrame::QueryClose() {
    if (view_->MaximisedGraph() != kNotMaximised &&
        !platform::AskYesNo(kQuitText, kQuitCaption, platform::MessageIcon::Question))
        return false;
    return controller_.SaveModified();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (QueryClose()) {
        if (help_)
            help_->close();
        StoreWindowPlacement({normalGeometry(), isMaximized()});
        event->accept();
    } else {
        event->ignore();
    }
}

// Any local file may be dropped: one that is not a project is answered, not met
// with a forbidden cursor and silence.
void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    activateWindow();
    const QString path = DroppedProject(files);
    if (path.isEmpty()) {
        event->ignore(); // nothing was taken
        std::string text = kNotAProjectText;
        text.replace(text.find("%s"), 2, QFileInfo(files.first()).fileName().toStdString());
        platform::ShowMessage(text, {}, platform::MessageButtons::Ok,
                              platform::MessageIcon::Warning);
        return;
    }
    event->acceptProposedAction();
    controller_.OpenPath(path.toStdString());
}

void CMainFrame::OnExportCsv() {
    const auto path = chooser_.ChooseCsvPath();
    if (!path)
        return;
    const CsvExportResult result = ExportCsv(controller_.Doc(), *path);
    if (!result.ok)
        platform::ShowMessage(result.error, {});
}

void CMainFrame::OnSendMail() {
    // The mail carries the project as it is saved: unsaved changes are saved first.
    CZentraDoc& doc = controller_.Doc();
    if ((doc.IsModified() || doc.m_PathName.empty()) && !controller_.Save())
        return;
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(kMailProgram));
    const QString path = QString::fromStdString(controller_.Doc().m_PathName);
    const QStringList arguments{QStringLiteral("--subject"), QFileInfo(path).fileName(),
                                QStringLiteral("--attach"), path};
    if (program.isEmpty() || !QProcess::startDetached(program, arguments))
        platform::ShowMessage("Cannot start the mail program (xdg-email).", {},
                              platform::MessageButtons::Ok, platform::MessageIcon::Error);
}

void CMainFrame::OnAbout() {
    CAboutDlg dialog(this);
    dialog.SetWorkingDirectory(CAboutDlg::CurrentWorkingDirectory());
    dialog.exec();
}

void CMainFrame::OnHelp() {
    if (!help_)
        help_ = new HelpWindow(this);
    help_->ShowTopic();
}

} // namespace zentra

// Numeric identifiers of the main window's commands. The menus, the toolbar and the
// accelerators carry them (QAction::data), so every route can be checked by number.
// The data retrieval and logging ids live with the acquisition cycle.
#pragma once

#include "acquisition/command_ids.h"

namespace zentra::cmd {

// File menu.
inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileSave = 57603;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kFilePrintSetup = 57606;
inline constexpr int kFilePrint = 57607;
inline constexpr int kFilePrintDirect = 57608;
inline constexpr int kFilePrintPreview = 57609;
inline constexpr int kFileSendMail = 57612;
inline constexpr int kFileMruFirst = 57616; // entry n of the recent-file list is 57616 + n
inline constexpr int kRecentFileCapacity = 10;
inline constexpr int kExportCsv = 32798;
inline constexpr int kSurveyReport = 32810; // the report of a load survey
inline constexpr int kAppExit = 57665;

// Edit menu: present for the keys and the toolbar, without a handler.
inline constexpr int kEditUndo = 57643;
inline constexpr int kEditCut = 57635;
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditPaste = 57637;

// View menu: the ids double as the toolbar's and the status bar's own ids.
inline constexpr int kViewToolBar = 59392;
inline constexpr int kViewStatusBar = 59393;

// Settings menu.
inline constexpr int kProjectSettings = 32781;
inline constexpr int kGraphSettings = 32796;
inline constexpr int kCommSettings = 32784;
inline constexpr int kSetAsDefault = 32799;

// Action menu.
inline constexpr int kStartRetrieval = kCmdStartRetrieval;
inline constexpr int kRestartRetrieval = kCmdRestartRetrieval;
inline constexpr int kStopRetrieval = kCmdStopRetrieval;
inline constexpr int kEnableLogging = kCmdEnableLogging;

// View-owned display switches (context menu).
inline constexpr int kToggleMaximise = 32790;
inline constexpr int kToggleRelativeY = 102;
inline constexpr int kToggleRealTime = 103;
inline constexpr int kToggleGraphMode = 104;
inline constexpr int kToggleProjectPanel = 32795;

// Help menu and keys.
inline constexpr int kHelpFinder = 57667;
inline constexpr int kHelpIndex = 57671;
inline constexpr int kHelp = 57670;
inline constexpr int kContextHelp = 57669;
inline constexpr int kAppAbout = 57664;
inline constexpr int kNextPane = 57680;
inline constexpr int kPrevPane = 57681;

// Status bar pane that shows the view's connection text.
inline constexpr int kStatusPortPane = 101;

} // namespace zentra::cmd

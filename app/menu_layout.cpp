#include "app/menu_layout.h"

#include "app/command_ids.h"

#include <array>

namespace zentra {
namespace {

using namespace cmd;
constexpr MenuItemSpec kLine{"", kSeparator, true};

constexpr std::array kFileItems{
    MenuItemSpec{"&New\tCtrl+N", kFileNew},
    MenuItemSpec{"&Open...\tCtrl+O", kFileOpen},
    MenuItemSpec{"&Save\tCtrl+S", kFileSave},
    MenuItemSpec{"Save &As...", kFileSaveAs},
    kLine,
    MenuItemSpec{"&Export as a CSV file", kExportCsv},
    MenuItemSpec{"S&urvey Report...", kSurveyReport},
    kLine,
    MenuItemSpec{"&Print...\tCtrl+P", kFilePrint},
    MenuItemSpec{"Print Pre&view", kFilePrintPreview},
    MenuItemSpec{"P&rint Setup...", kFilePrintSetup},
    kLine,
    MenuItemSpec{"Sen&d...", kFileSendMail},
    kLine,
    MenuItemSpec{"Recent File", kFileMruFirst, false},
    kLine,
    MenuItemSpec{"E&xit", kAppExit},
};

constexpr std::array kEditItems{
    MenuItemSpec{"&Undo\tCtrl+Z", kEditUndo, false},
    kLine,
    MenuItemSpec{"Cu&t\tCtrl+X", kEditCut, false},
    MenuItemSpec{"&Copy\tCtrl+C", kEditCopy, false},
    MenuItemSpec{"&Paste\tCtrl+V", kEditPaste, false},
};

constexpr std::array kViewItems{
    MenuItemSpec{"&Tool Bar", kViewToolBar},
    MenuItemSpec{"&Status Bar", kViewStatusBar},
};

constexpr std::array kSettingsItems{
    MenuItemSpec{"&Project", kProjectSettings},     MenuItemSpec{"&Graphs", kGraphSettings},
    MenuItemSpec{"&Communication", kCommSettings},  kLine,
    MenuItemSpec{"&Set As Default", kSetAsDefault},
};

constexpr std::array kActionItems{
    MenuItemSpec{"&Start Data Retreival", kStartRetrieval},
    MenuItemSpec{"&Restart Data Retreival", kRestartRetrieval},
    MenuItemSpec{"S&top Data Retreival", kStopRetrieval},
    kLine,
    MenuItemSpec{"&Enable Logging", kEnableLogging},
};

constexpr std::array kHelpItems{
    MenuItemSpec{"&Help Topics", kHelpFinder},
    kLine,
    MenuItemSpec{"&About Zentra...", kAppAbout},
};

constexpr std::array kMenus{
    MenuSpec{"&File", true, kFileItems},     MenuSpec{"&Edit", false, kEditItems},
    MenuSpec{"&View", true, kViewItems},     MenuSpec{"&Settings", true, kSettingsItems},
    MenuSpec{"&Action", true, kActionItems}, MenuSpec{"&Help", true, kHelpItems},
};

constexpr std::array kToolBar{kFileNew,   kFileOpen,  kFileSave,  kSeparator, kEditCut, kEditCopy,
                              kEditPaste, kSeparator, kFilePrint, kSeparator, kAppAbout};

constexpr std::array kAccelerators{
    AcceleratorSpec{"Ctrl+N", kFileNew},   AcceleratorSpec{"Ctrl+O", kFileOpen},
    AcceleratorSpec{"Ctrl+S", kFileSave},  AcceleratorSpec{"Ctrl+P", kFilePrint},
    AcceleratorSpec{"Ctrl+Z", kEditUndo},  AcceleratorSpec{"Alt+Backspace", kEditUndo},
    AcceleratorSpec{"Ctrl+X", kEditCut},   AcceleratorSpec{"Shift+Del", kEditCut},
    AcceleratorSpec{"Ctrl+C", kEditCopy},  AcceleratorSpec{"Ctrl+Ins", kEditCopy},
    AcceleratorSpec{"Ctrl+V", kEditPaste}, AcceleratorSpec{"Shift+Ins", kEditPaste},
    AcceleratorSpec{"F6", kNextPane},      AcceleratorSpec{"Shift+F6", kPrevPane},
    AcceleratorSpec{"F1", kHelp},          AcceleratorSpec{"Shift+F1", kContextHelp},
};

struct Prompt {
    int id;
    std::string_view text; // status-bar prompt, "\n", tooltip
};

constexpr std::array kPrompts{
    Prompt{kFileNew, "Create a new document\nNew"},
    Prompt{kFileOpen, "Open an existing document\nOpen"},
    Prompt{kFileSave, "Save the active document\nSave"},
    Prompt{kFileSaveAs, "Save the active document with a new name\nSave As"},
    Prompt{kFilePrintSetup, "Change the printer and printing options\nPrint Setup"},
    Prompt{kFilePrint, "Print the active document\nPrint"},
    Prompt{kFilePrintPreview, "Display full pages\nPrint Preview"},
    Prompt{kFileSendMail, "Send the active document through electronic mail\nSend Mail"},
    Prompt{kFileMruFirst, "Open this document"},
    Prompt{kAppExit, "Quit the application; prompts to save documents\nExit"},
    Prompt{kEditUndo, "Undo the last action\nUndo"},
    Prompt{kEditCut, "Cut the selection and put it on the Clipboard\nCut"},
    Prompt{kEditCopy, "Copy the selection and put it on the Clipboard\nCopy"},
    Prompt{kEditPaste, "Insert Clipboard contents\nPaste"},
    Prompt{kViewToolBar, "Show or hide the toolbar\nToggle ToolBar"},
    Prompt{kViewStatusBar, "Show or hide the status bar\nToggle Status Bar"},
    Prompt{kHelpFinder, "List Help topics\nHelp Topics"},
    Prompt{kHelp, "Display help for current task or command\nHelp"},
    Prompt{kContextHelp, "Display help for clicked on buttons, menus and windows\nHelp"},
    Prompt{kAppAbout, "Display program information, version number and copyright\nAbout"},
    Prompt{kNextPane, "Switch to the next window pane\nNext Pane"},
    Prompt{kPrevPane, "Switch back to the previous window pane\nPrevious Pane"},
};

std::string_view FullPrompt(int id) {
    if (id > kFileMruFirst && id < kFileMruFirst + kRecentFileCapacity)
        id = kFileMruFirst;
    for (const Prompt& p : kPrompts)
        if (p.id == id)
            return p.text;
    return {};
}

} // namespace

std::span<const MenuSpec> MainMenuSpec() {
    return kMenus;
}
std::span<const int> ToolBarSpec() {
    return kToolBar;
}
std::span<const AcceleratorSpec> AcceleratorSpecs() {
    return kAccelerators;
}

std::string_view CommandPrompt(int id) {
    std::string_view full = FullPrompt(id);
    return full.substr(0, full.find('\n'));
}

std::string_view CommandTip(int id) {
    std::string_view full = FullPrompt(id);
    auto nl = full.find('\n');
    return nl == std::string_view::npos ? std::string_view{} : full.substr(nl + 1);
}

} // namespace zentra

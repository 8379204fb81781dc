// The application object: one per process. It names the program to the desktop,
// creates the main window with its first document (a new one, or the file named on
// the command line) and shows it.
#pragma once

#include <QStringList>
#include <memory>
#include <optional>
#include <string>

namespace zentra {

class CMainFrame;
class FileChooser;

// The desktop's id of the program (its desktop entry "zentra.desktop").
inline constexpr const char* kDesktopFileName = "zentra";
inline constexpr const char* kOrganisationName = "Corvane";

// The file named on a command line (arguments as QCoreApplication::arguments gives
// them: the program first), if any. Only a file name is taken; the first one counts.
std::optional<std::string> FileFromCommandLine(const QStringList& arguments);

class CZentraApp {
  public:
    CZentraApp();
    ~CZentraApp();
    CZentraApp(const CZentraApp&) = delete;
    CZentraApp& operator=(const CZentraApp&) = delete;

    // Creates and shows the main window. A file that cannot be opened is reported
    // through the message seam and the start fails (the program then ends).
    // chooser: file names for the main window (null: the real dialogs).
    bool InitInstance(const QStringList& arguments, FileChooser* chooser = nullptr);

    CMainFrame* MainFrame() const { return frame_.get(); }

  private:
    std::unique_ptr<CMainFrame> frame_;
};

} // namespace zentra

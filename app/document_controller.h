// The life of the one document outside any widget: new, open, save and save as, the
// question before unsaved changes are lost, the window title and the recent-file
// list. The main frame asks for file names through FileChooser and rebinds the view
// when the document object changes; tests drive it directly with scripted names and
// scripted answers to the message-box seam.
#pragma once

#include "document/recent_files.h"
#include "document/recovery_file.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zentra {

struct CZentraDoc;

// Where file names come from (dialogs in the program, a script in tests). nullopt:
// the user cancelled.
class FileChooser {
  public:
    virtual ~FileChooser() = default;
    virtual std::optional<std::string> ChooseOpenPath() = 0;
    virtual std::optional<std::string> ChooseSavePath(const std::string& suggested) = 0;
    virtual std::optional<std::string> ChooseCsvPath() = 0;
    // The other files of a survey beside the open project (none chosen: an empty
    // list), starting in the given folder.
    virtual std::optional<std::vector<std::string>> ChooseSurveyFiles(const std::string& folder) {
        (void)folder;
        return std::vector<std::string>{};
    }
};

inline constexpr const char* kSaveChangesText = "Save changes to %s?";

// The title a document shows: "NewLog" for a new one, the file name without its
// ".ztr" ending for one that was opened or saved.
std::string DocumentTitle(const CZentraDoc& doc);
// "<title> - Zentra".
std::string FrameTitle(const CZentraDoc& doc);
// The title for a file path: its name without a ".ztr" ending (any letter case).
std::string TitleForPath(const std::string& path);

class DocumentController {
  public:
    explicit DocumentController(FileChooser& chooser);
    // Closes the document; its destructor stores the serial link settings.
    ~DocumentController();
    DocumentController(const DocumentController&) = delete;
    DocumentController& operator=(const DocumentController&) = delete;

    // The first document: a new one, or the named file. False with the reason when
    // the file cannot be opened (the program then does not start).
    bool Start(const std::optional<std::string>& path, std::string* reason);

    // File New: after the save question, resets the document in place (the meter
    // variant carries over, as it does for every new document). False when the user
    // kept the old one.
    bool NewDocument();
    // File Open: the save question, then a name from the chooser, then the file.
    bool OpenDocument();
    // Opens a named file (recent list, dropped file). A file that cannot be opened is
    // reported and leaves the current document as it was.
    bool OpenPath(const std::string& path);
    // Opens entry n (0-based) of the recent-file list; an entry that cannot be opened
    // is taken off the list.
    bool OpenRecent(std::size_t index);
    // File Save (Save As for a document that has no file yet) and Save As.
    bool Save();
    bool SaveAs();
    // The question before unsaved changes are lost: "Save changes to <title>?". Yes
    // saves (and gives false when the save fails or is cancelled); No discards;
    // Cancel gives false and leaves the document and its recovery copy as they were.
    // True when the caller may go on.
    bool SaveModified();

    // Offers the logging runs that a crash, a kill or a power cut interrupted; the
    // first one the user recovers becomes the document, unsaved. Declined ones are
    // given up. True when one was recovered.
    bool OfferRecovery();
    // Keeps the recovery copy of a running log (the frame calls it twice a second;
    // it writes only when a copy is due).
    void KeepRecoveryCopy();
    const RecoveryWriter& Recovery() const { return recovery_; }

    CZentraDoc& Doc() { return *doc_; }
    const CZentraDoc& Doc() const { return *doc_; }
    std::string WindowTitle() const { return FrameTitle(*doc_); }
    const RecentFileList& Recent() const { return recent_; }

    // Called after the document object was replaced or reset (rebind the view and
    // arm its timer), after the title may have changed, and after the recent list
    // changed.
    std::function<void(CZentraDoc&)> onDocumentChanged;
    std::function<void()> onTitleChanged;
    std::function<void()> onRecentChanged;

  private:
    // Reads a file into a fresh document; the current one is untouched on failure.
    std::unique_ptr<CZentraDoc> Load(const std::string& path, std::string* reason) const;
    // Makes a loaded document the current one (the old one closes its port and goes).
    void Adopt(std::unique_ptr<CZentraDoc> doc, const std::string& path);
    bool SaveTo(const std::string& path);
    void NoteRecent(const std::string& path);
    void NotifyTitle();

    FileChooser& chooser_;
    std::unique_ptr<CZentraDoc> doc_;
    RecentFileList recent_;
    RecoveryWriter recovery_;
    bool recoveryFailureShown_ = false;
};

} // namespace zentra

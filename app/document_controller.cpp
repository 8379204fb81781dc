#include "app/document_controller.h"

#include "app/menu_layout.h"
#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "platform/message_box.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <utility>

namespace zentra {
namespace {

constexpr const char* kFreshTitle = "Untitled";     // a new document the view has not drawn
constexpr const char* kNewDocumentTitle = "NewLog"; // what the view calls it then

bool EndsWithExtension(const std::string& name) {
    const std::string_view ext = kFileExtension;
    if (name.size() <= ext.size())
        return false;
    return std::equal(ext.begin(), ext.end(), name.end() - std::ptrdiff_t(ext.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

std::string StripExtension(const std::string& name) {
    return EndsWithExtension(name) ? name.substr(0, name.size() - kFileExtension.size()) : name;
}

// Paths are kept absolute so that the recent list does not hold the same file twice.
std::string Absolute(const std::string& path) {
    std::error_code ignored;
    const auto absolute = std::filesystem::absolute(path, ignored);
    return absolute.empty() ? path : absolute.lexically_normal().string();
}

void ShowError(const std::string& text) {
    platform::ShowMessage(text, {}, platform::MessageButtons::Ok, platform::MessageIcon::Error);
}

} // namespace

std::string TitleForPath(const std::string& path) {
    return StripExtension(std::filesystem::path(path).filename().string());
}

std::string DocumentTitle(const CZentraDoc& doc) {
    if (doc.m_Title == kFreshTitle || doc.m_Title.empty())
        return kNewDocumentTitle;
    return StripExtension(doc.m_Title);
}

std::string FrameTitle(const CZentraDoc& doc) {
    return DocumentTitle(doc) + " - " + std::string(kApplicationTitle);
}

DocumentController::DocumentController(FileChooser& chooser)
    : chooser_(chooser), doc_(std::make_unique<CZentraDoc>()) {
    recent_.Load();
}

// The document goes with the controller once the user has answered the save
// question: its recovery copy is no longer wanted.
DocumentController::~DocumentController() {
    recovery_.Discard();
}

bool DocumentController::Start(const std::optional<std::string>& path, std::string* reason) {
    // The new document first: it brings the stored serial settings, which a file that
    // cannot be opened must not overwrite when its half-made document goes away.
    doc_->OnNewDocument();
    if (path) {
        const std::string absolute = Absolute(*path);
        std::string why;
        auto loaded = Load(absolute, &why);
        if (!loaded) {
            if (reason)
                *reason = why;
            return false;
        }
        Adopt(std::move(loaded), absolute);
        return true;
    }
    if (onDocumentChanged)
        onDocumentChanged(*doc_);
    NotifyTitle();
    return true;
}

bool DocumentController::SaveModified() {
    if (!doc_->IsModified())
        return true;
    const std::string name = doc_->m_PathName.empty() ? DocumentTitle(*doc_) : doc_->m_PathName;
    std::string text = kSaveChangesText;
    text.replace(text.find("%s"), 2, name);
    switch (platform::ShowMessage(text, {}, platform::MessageButtons::YesNoCancel,
                                  platform::MessageIcon::Warning)) {
    case platform::MessageAnswer::Yes:
        return Save();
    case platform::MessageAnswer::No:
        return true; // the changes are given up
    default:
        return false; // Cancel (also Escape and the close button): nothing changes
    }
}

bool DocumentController::NewDocument() {
    if (!SaveModified())
        return false;
    // The same document object starts over, as a single-document program does: the
    // defaults, the graph defaults and the stored defaults; the port is closed.
    recovery_.Discard();
    // A run logged in the new document belongs to no file yet: its recovery copy must
    // not name the file the last project was saved to.
    recovery_.SetSavePath({});
    doc_->OnNewDocument();
    if (onDocumentChanged)
        onDocumentChanged(*doc_);
    NotifyTitle();
    return true;
}

bool DocumentController::OpenDocument() {
    const auto path = chooser_.ChooseOpenPath();
    if (!path)
        return false;
    return OpenPath(*path);
}

bool DocumentController::OpenPath(const std::string& path) {
    if (!SaveModified())
        return false;
    const std::string absolute = Absolute(path);
    std::string why;
    auto loaded = Load(absolute, &why);
    if (!loaded) {
        ShowError(why);
        return false;
    }
    Adopt(std::move(loaded), absolute);
    return true;
}

bool DocumentController::OpenRecent(std::size_t index) {
    if (index >= recent_.Files().size())
        return false;
    const std::string path = recent_.Files()[index];
    if (!SaveModified())
        return false;
    std::string why;
    auto loaded = Load(path, &why);
    if (!loaded) {
        ShowError(why);
        recent_.Remove(path);
        if (onRecentChanged)
            onRecentChanged();
        return false;
    }
    Adopt(std::move(loaded), path);
    return true;
}

bool DocumentController::Save() {
    if (doc_->m_PathName.empty())
        return SaveAs();
    return SaveTo(doc_->m_PathName);
}

bool DocumentController::SaveAs() {
    const std::string suggested = doc_->m_PathName.empty()
                                      ? DocumentTitle(*doc_) + std::string(kFileExtension)
                                      : doc_->m_PathName;
    const auto path = chooser_.ChooseSavePath(suggested);
    if (!path)
        return false;
    return SaveTo(Absolute(*path));
}

std::unique_ptr<CZentraDoc> DocumentController::Load(const std::string& path,
                                                     std::string* reason) const {
    auto fresh = std::make_unique<CZentraDoc>();
    // Should the file be refused, this document goes away and stores its serial
    // settings: let those be the current ones, not construction values.
    fresh->m_Comms = doc_->m_Comms;
    fresh->m_ModbusNode = doc_->m_ModbusNode;
    const FileResult result = OnOpenDocument(*fresh, path);
    if (!result.ok) {
        if (reason)
            *reason = result.error;
        return nullptr;
    }
    return fresh;
}

void DocumentController::Adopt(std::unique_ptr<CZentraDoc> doc, const std::string& path) {
    recovery_.Discard();
    recovery_.SetSavePath(path);
    std::unique_ptr<CZentraDoc> previous = std::exchange(doc_, std::move(doc));
    // The view moves to the new document before the old one goes, so it never holds
    // a pointer to a destroyed document. The old one closes its port if it held one.
    if (onDocumentChanged)
        onDocumentChanged(*doc_);
    previous.reset();
    NoteRecent(path);
    NotifyTitle();
}

bool DocumentController::SaveTo(const std::string& path) {
    const FileResult result = OnSaveDocument(*doc_, path);
    if (!result.ok) {
        ShowError(result.error);
        return false;
    }
    recovery_.SetSavePath(path);
    recovery_.Saved(*doc_);
    NoteRecent(path);
    NotifyTitle();
    return true;
}

bool DocumentController::OfferRecovery() {
    for (const InterruptedRun& run : FindInterruptedRuns()) {
        auto claim = RecoveryClaim::Take(run);
        if (!claim)
            continue; // another program is offering it
        if (!platform::AskYesNo(RecoveryQuestion(run), kRecoveryCaption,
                                platform::MessageIcon::Warning)) {
            claim->Remove();
            continue;
        }
        auto recovered = std::make_unique<CZentraDoc>();
        recovered->m_Comms = doc_->m_Comms;
        recovered->m_ModbusNode = doc_->m_ModbusNode;
        if (const FileResult loaded = claim->Load(*recovered); !loaded.ok) {
            ShowError(loaded.error);
            continue; // left for a later start
        }
        recovery_.Discard();
        std::unique_ptr<CZentraDoc> previous = std::exchange(doc_, std::move(recovered));
        if (onDocumentChanged)
            onDocumentChanged(*doc_);
        previous.reset();
        // This program keeps the copy now, until the user saves or gives it up.
        recovery_.SetSavePath(run.savePath);
        recovery_.WriteNow(*doc_);
        claim->Remove();
        NotifyTitle();
        return true;
    }
    return false;
}

void DocumentController::KeepRecoveryCopy() {
    if (recovery_.Update(*doc_) == RecoveryStep::Failed && !recoveryFailureShown_) {
        recoveryFailureShown_ = true; // once per program: the log itself goes on
        platform::ShowMessage(recovery_.LastError() +
                                  " The log goes on, but a crash would lose it: save the "
                                  "project now and then.",
                              {}, platform::MessageButtons::Ok, platform::MessageIcon::Warning);
    }
}

void DocumentController::NoteRecent(const std::string& path) {
    recent_.Add(path);
    if (onRecentChanged)
        onRecentChanged();
}

void DocumentController::NotifyTitle() {
    if (onTitleChanged)
        onTitleChanged();
}

} // namespace zentra

// The file dialogs of the main window: open and save a project, and choose the name
// of a CSV export.
#pragma once

#include "app/document_controller.h"

class QWidget;

namespace zentra {

inline constexpr const char* kCsvDialogTitle = "Export CSV Data File";
inline constexpr const char* kCsvFilter = "csv Data Files (*.csv)";
inline constexpr const char* kCsvInitialName = "*.csv";
inline constexpr const char* kSurveyFilesTitle =
    "Survey Report: the Other Files of the Survey (none for this project alone)";

class QtFileChooser : public FileChooser {
  public:
    explicit QtFileChooser(QWidget* parent) : parent_(parent) {}

    std::optional<std::string> ChooseOpenPath() override;
    // Adds ".ztr" to a name typed without an ending.
    std::optional<std::string> ChooseSavePath(const std::string& suggested) override;
    // The name is used exactly as typed; an existing file is replaced only after the
    // user agreed.
    std::optional<std::string> ChooseCsvPath() override;
    // Any number of project files; cancelled: nullopt.
    std::optional<std::vector<std::string>> ChooseSurveyFiles(const std::string& folder) override;

  private:
    QWidget* parent_;
};

} // namespace zentra

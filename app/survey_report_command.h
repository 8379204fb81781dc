// File -> Survey Report...: the report of the open project, with the other files of
// its survey the user adds, shown in the print preview, from which it is printed or
// saved as PDF ("Print to File (PDF)").
#pragma once

#include "tools/report/survey_figures.h"

#include <optional>

class QWidget;

namespace zentra {

struct CZentraDoc;
class FileChooser;

inline constexpr const char* kSurveyReportCaption = "Survey Report";

// Asks for the other files, then works the figures out. Nothing when the user
// cancelled; a file that cannot be read or files that do not belong together are
// reported through the message seam.
std::optional<report::SurveyReport> PrepareSurveyReport(const CZentraDoc& doc,
                                                        FileChooser& chooser);

// The print preview of a report (modal).
void PreviewSurveyReport(const report::SurveyReport& report, QWidget* parent);

// Both, as the menu command does them.
void OnSurveyReport(const CZentraDoc& doc, FileChooser& chooser, QWidget* parent);

} // namespace zentra

// Copies between the document and the two pages of the "Project Settings" sheet, and
// the timing check made when the sheet is closed with OK.
#pragma once

#include "document/zentra_doc.h"
#include "settings/log_setup_data.h"
#include "settings/project_page_data.h"

namespace zentra {

ProjectPageData ProjectToPage(const CZentraDoc& doc);
void PageToProject(const ProjectPageData& page, CZentraDoc& doc);

LogSetupData LogSetupToPage(const CZentraDoc& doc);
void PageToLogSetup(const LogSetupData& page, CZentraDoc& doc);

enum class TimingCheck { Ok, TimingError, StorageError };

// Compares the values the logging page computed as it closed.
TimingCheck CheckTiming(const LogSetupData& page);

// Texts and captions of the two timing messages.
inline constexpr const char* kTimingErrorText =
    "Logging Frequency Setting is longer than Duration Setting";
inline constexpr const char* kTimingErrorCaption = "Timing Error";
inline constexpr const char* kStorageErrorText = "The maximum number of samples has been exceded";
inline constexpr const char* kStorageErrorCaption = "Storage Error";

// Everything OK does once the values pass: m_LoggingSetUp, then both pages' fields.
void StoreProjectSettings(const ProjectPageData& project, const LogSetupData& log, CZentraDoc& doc);

} // namespace zentra

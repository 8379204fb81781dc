// The "Project Settings" sheet (menu command 32781): the "Project Description" and
// "Logging Setup" pages over the document's project and logging fields.
#pragma once

#include "settings/project_transfer.h"

#include <functional>

class QWidget;

namespace zentra {

class PropertySheet;

inline constexpr int kProjectPageIndex = 0;
inline constexpr int kLogSetupPageIndex = 1;

// Runs a built sheet and returns QDialog::Accepted or Rejected. The program runs it
// modally (exec); tests drive the sheet's controls and press its buttons instead.
using SheetRunner = std::function<int(PropertySheet&)>;

// Shows the sheet and, on OK with valid timing, stores both pages in the document.
// Timing that cannot be logged is reported ("Timing Error", "Storage Error") and the
// sheet opens again on the logging page with the values as the user left them.
// Returns true when the document was changed; Cancel changes nothing.
bool OnProjectSettings(CZentraDoc& doc, QWidget* parent);
bool OnProjectSettings(CZentraDoc& doc, QWidget* parent, const SheetRunner& run);

} // namespace zentra

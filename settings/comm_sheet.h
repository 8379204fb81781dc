// The "Port Settings" sheet (view command 32784): refused for an archived file, asked
// for since it closes the document's port, then the "Comms" page over the document's
// serial link. OK hands the page's open port to the document; any other ending closes
// it. The caller redraws the view afterwards.
#pragma once

#include <functional>

class QWidget;

namespace zentra {

struct CZentraDoc;
class PropertySheet;

inline constexpr int kCommSettingsCommand = 32784;

// Runs a built sheet and returns QDialog::Accepted or Rejected. The program runs it
// modally (exec); tests drive the page and press the sheet's buttons instead.
using CommSheetRunner = std::function<int(PropertySheet&)>;

void OnCommSettings(CZentraDoc& doc, QWidget* parent);
void OnCommSettings(CZentraDoc& doc, QWidget* parent, const CommSheetRunner& run);

} // namespace zentra

// The "Graph Settings" sheet (menu command 32796): three Graphs pages for graphs 1-4,
// 5-8 and 9-12. OK stores all three pages in the document; Cancel changes nothing.
// The caller repaints the view whichever way the sheet ended.
#pragma once

#include <functional>

class QWidget;

namespace zentra {

struct CZentraDoc;
class PropertySheet;

// Runs a built sheet and returns QDialog::Accepted or Rejected (the same runner the
// other settings sheets take). The program runs it modally (exec); tests drive the
// sheet's controls and press its buttons instead.
using SheetRunner = std::function<int(PropertySheet&)>;

// currentPage is the view's graph page (0..2); its page of the sheet opens first.
void OnGraphSettings(CZentraDoc& doc, int currentPage, QWidget* parent);
// Returns true when OK stored the pages.
bool OnGraphSettings(CZentraDoc& doc, int currentPage, QWidget* parent, const SheetRunner& run);

} // namespace zentra

#include "settings/graph_sheet.h"

#include "document/zentra_doc.h"

#include "settings/graph_page.h"
#include "settings/property_sheet.h"

#include <QDialog>

#include <algorithm>

namespace zentra {

void OnGraphSettings(CZentraDoc& doc, int currentPage, QWidget* parent) {
    OnGraphSettings(doc, currentPage, parent, [](PropertySheet& sheet) { return sheet.exec(); });
}

bool OnGraphSettings(CZentraDoc& doc, int currentPage, QWidget* parent, const SheetRunner& run) {
    // The pages' copies outlive the sheet: destroying a page carries its edits into them.
    std::array<GraphPageData, kGraphPages> copies;
    bool accepted = false;
    {
        PropertySheet sheet(QStringLiteral("Graph Settings"), parent);
        std::array<GraphPP*, kGraphPages> pages{};
        for (int k = 0; k < kGraphPages; ++k) {
            auto& copy = copies[static_cast<std::size_t>(k)];
            copy.LoadFromGraphs(k, doc);
            pages[static_cast<std::size_t>(k)] = new GraphPP(copy);
            const int first = kGraphsPerPage * k + 1;
            sheet.AddPage(
                pages[static_cast<std::size_t>(k)],
                QStringLiteral("Graphs %1 - %2").arg(first).arg(first + kGraphsPerPage - 1));
        }
        sheet.SetActivePage(std::clamp(currentPage, 0, kGraphPages - 1));

        accepted = run(sheet) == QDialog::Accepted;
        if (accepted)
            for (GraphPP* page : pages)
                page->OnOK();
    }
    if (!accepted)
        return false;
    for (int k = 0; k < kGraphPages; ++k)
        copies[static_cast<std::size_t>(k)].StoreToGraphs(k, doc);
    // The graph set-up is saved with the project: closing asks to save it.
    doc.SetModifiedFlag(true);
    return true;
}

} // namespace zentra

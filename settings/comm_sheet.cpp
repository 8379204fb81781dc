#include "settings/comm_sheet.h"

#include "document/zentra_doc.h"
#include "platform/message_box.h"
#include "settings/comm_page.h"
#include "settings/property_sheet.h"

#include <QDialog>

namespace zentra {
namespace {

QString FromView(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void OnCommSettings(CZentraDoc& doc, QWidget* parent) {
    OnCommSettings(doc, parent, [](PropertySheet& sheet) { return sheet.exec(); });
}

void OnCommSettings(CZentraDoc& doc, QWidget* parent, const CommSheetRunner& run) {
    if (doc.m_ArchivedFile) {
        platform::ShowMessage(comm_text::kArchived, comm_text::kArchivedCaption,
                              platform::MessageButtons::Ok, platform::MessageIcon::Information);
        return;
    }
    if (!platform::AskYesNo(comm_text::kTerminateQuestion, comm_text::kWarningCaption,
                            platform::MessageIcon::Warning))
        return;

    PropertySheet sheet(FromView(comm_text::kSheetCaption), parent);
    // The document's port is closed before the page probes the ports.
    const CommPageData data = CommToPage(doc);
    auto* page = new PortSetupPP(data);
    sheet.AddPage(page, FromView(comm_text::kPageTitle));

    if (run(sheet) == QDialog::Accepted) {
        CommFromPage(page->Result(), page->TakePort(), page->Connected(), doc);
        return;
    }
    PortHandle port = page->TakePort();
    CommCancelled(port, doc);
}

} // namespace zentra

#include "settings/project_sheet.h"

#include "platform/message_box.h"
#include "settings/log_setup_page.h"
#include "settings/project_page.h"
#include "settings/property_sheet.h"

#include <QDialog>

namespace zentra {

bool OnProjectSettings(CZentraDoc& doc, QWidget* parent) {
    return OnProjectSettings(doc, parent, [](PropertySheet& sheet) { return sheet.exec(); });
}

bool OnProjectSettings(CZentraDoc& doc, QWidget* parent, const SheetRunner& run) {
    ProjectPageData project = ProjectToPage(doc);
    LogSetupData log = LogSetupToPage(doc);
    int activePage = kProjectPageIndex;

    for (;;) {
        PropertySheet sheet(QStringLiteral("Project Settings"), parent);
        auto* projectPage = new ProjectPP(project);
        auto* logPage = new LogSetupPP(log);
        sheet.AddPage(projectPage, QStringLiteral("Project Description"));
        sheet.AddPage(logPage, QStringLiteral("Logging Setup"));
        sheet.SetActivePage(activePage);

        if (run(sheet) != QDialog::Accepted)
            return false;

        // The pages as the user left them: kept for a second round if the timing fails.
        project = projectPage->Result();
        log = logPage->Result();

        const TimingCheck check = CheckTiming(log);
        if (check == TimingCheck::Ok) {
            StoreProjectSettings(project, log, doc);
            // Edited texts and timing belong to the project: closing asks to save them.
            doc.SetModifiedFlag(true);
            return true;
        }
        if (check == TimingCheck::TimingError)
            platform::ShowMessage(kTimingErrorText, kTimingErrorCaption,
                                  platform::MessageButtons::Ok, platform::MessageIcon::Warning);
        else
            platform::ShowMessage(kStorageErrorText, kStorageErrorCaption,
                                  platform::MessageButtons::Ok, platform::MessageIcon::Warning);
        activePage = kLogSetupPageIndex;
    }
}

} // namespace zentra

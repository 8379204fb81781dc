#include "app/survey_report_command.h"

#include "app/document_controller.h"
#include "document/zentra_doc.h"
#include "platform/message_box.h"
#include "tools/report/pdf/report_pdf.h"
#include "tools/report/survey_report.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <filesystem>

namespace zentra {

std::optional<report::SurveyReport> PrepareSurveyReport(const CZentraDoc& doc,
                                                        FileChooser& chooser) {
    const std::string folder = doc.m_PathName.empty()
                                   ? std::string()
                                   : std::filesystem::path(doc.m_PathName).parent_path().string();
    const auto others = chooser.ChooseSurveyFiles(folder);
    if (!others)
        return std::nullopt;
    // A roll of many files takes a moment to read.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    report::ReportResult built =
        report::BuildSurveyReport(report::PartsWithOpenProject(doc, *others), {});
    QGuiApplication::restoreOverrideCursor();
    if (!built.ok) {
        platform::ShowMessage("Cannot make the survey report: " + built.error, kSurveyReportCaption,
                              platform::MessageButtons::Ok, platform::MessageIcon::Warning);
        return std::nullopt;
    }
    return std::move(built.report);
}

void PreviewSurveyReport(const report::SurveyReport& report, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(QString::fromStdString(report.title));
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QString::fromLatin1(kSurveyReportCaption));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&report](QPrinter* target) { report::PaintSurveyReport(*target, report); });
    dialog.resize(900, 1000);
    dialog.exec();
}

void OnSurveyReport(const CZentraDoc& doc, FileChooser& chooser, QWidget* parent) {
    if (const auto report = PrepareSurveyReport(doc, chooser))
        PreviewSurveyReport(*report, parent);
}

} // namespace zentra

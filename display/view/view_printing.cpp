// Printing of the main view: the window's picture, captured just before printing, is
// scaled onto one page. One printer is kept for the whole session, so that what Print
// Setup and the print dialog choose (printer, paper, orientation) holds for the next
// print and preview.
#include "display/view/zentra_view.h"
#include "platform/message_box.h"

#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace zentra {
namespace {

constexpr const char* kNoPrinterText = "Cannot print: no printer is set up. Choose a printer "
                                       "or \"Print to File (PDF)\" in the print dialog.";

// Why a painter could not begin on the printer, in the user's terms.
std::string PrintFailureText(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        const std::string file = printer.outputFileName().toStdString();
        if (file.empty())
            return kNoPrinterText;
        return "Cannot print to the file " + file +
               ": it cannot be created (check the folder and its permissions).";
    }
    const std::string name = printer.printerName().toStdString();
    if (name.empty())
        return kNoPrinterText;
    return "Cannot print on " + name + ": the printer cannot be opened.";
}

} // namespace

QPrinter& CZentraView::Printer() {
    if (!m_Printer)
        m_Printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_Printer;
}

void CZentraView::OnPreparePrinting(bool preview) {
    // A preview captures the picture itself (print preview command).
    if (preview)
        return;
    DrawView();
    CapturePrintImage(m_Picture, m_PrintImage, 0, 0, width(), height());
}

PrintResult CZentraView::PrintPage(QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer))
        return {false, PrintFailureText(printer)};
    // As on screen, the page first redraws the window, then the captured picture is
    // scaled onto it: the full page width, three quarters of an inch shorter than
    // the picture's own aspect would make it.
    DrawView();
    const int w = width();
    const int h = height();
    const Rect source{0, 0, w, h};
    const Rect destination =
        PrintDestination(w, h, printer.width(), printer.logicalDpiX(), printer.logicalDpiY());
    DrawPrintImage(painter, source, destination, m_PrintImage);
    if (!painter.end())
        return {false, PrintFailureText(printer)};
    return {};
}

void CZentraView::OnEndPrinting() {
    m_PrintImage.Release();
}

PrintResult CZentraView::PrintTo(QPrinter& printer) {
    OnPreparePrinting(false);
    PrintResult printed = PrintPage(printer);
    OnEndPrinting();
    return printed;
}

void CZentraView::ReportPrintFailure(const PrintResult& result) const {
    if (!result)
        platform::ShowMessage(result.error, {}, platform::MessageButtons::Ok,
                              platform::MessageIcon::Error);
}

void CZentraView::OnFilePrint() {
    OnPreparePrinting(false);
    QPrintDialog dialog(&Printer(), this);
    PrintResult printed;
    if (dialog.exec() == QDialog::Accepted)
        printed = PrintPage(Printer());
    OnEndPrinting();
    ReportPrintFailure(printed);
}

void CZentraView::OnFilePrintDirect() {
    ReportPrintFailure(PrintTo(Printer()));
}

void CZentraView::OnFilePrintPreview() {
    DrawView();
    CapturePrintImage(m_Picture, m_PrintImage, 0, 0, width(), height());
    // The preview shows the kept printer's paper and orientation; printing from it
    // goes to that printer.
    QPrintPreviewDialog dialog(&Printer(), this);
    PrintResult printed;
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this, &printed](QPrinter* printer) { printed = PrintPage(*printer); });
    dialog.exec();
    OnEndPrinting();
    ReportPrintFailure(printed);
}

void CZentraView::OnFilePrintSetup() {
    // Qt's page set-up: paper and orientation of the kept printer (the
    // print dialog chooses the printer itself and keeps it the same way).
    QPageSetupDialog dialog(&Printer(), this);
    dialog.exec();
}

} // namespace zentra

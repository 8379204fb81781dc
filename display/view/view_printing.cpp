// Printing of the main view: the window's picture, captured just before printing, is
// scaled onto one page.
#include "display/view/zentra_view.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace zentra {

void CZentraView::OnPreparePrinting(bool preview) {
    // A preview captures the picture itself (print preview command).
    if (preview)
        return;
    DrawView();
    CapturePrintImage(m_Picture, m_PrintImage, 0, 0, width(), height());
}

bool CZentraView::PrintPage(QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
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
    painter.end();
    return true;
}

void CZentraView::OnEndPrinting() {
    m_PrintImage.Release();
}

bool CZentraView::PrintTo(QPrinter& printer) {
    OnPreparePrinting(false);
    const bool printed = PrintPage(printer);
    OnEndPrinting();
    return printed;
}

void CZentraView::OnFilePrint() {
    QPrinter printer(QPrinter::HighResolution);
    OnPreparePrinting(false);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        PrintPage(printer);
    OnEndPrinting();
}

void CZentraView::OnFilePrintDirect() {
    QPrinter printer(QPrinter::HighResolution);
    OnPreparePrinting(false);
    PrintPage(printer);
    OnEndPrinting();
}

void CZentraView::OnFilePrintPreview() {
    DrawView();
    CapturePrintImage(m_Picture, m_PrintImage, 0, 0, width(), height());
    QPrintPreviewDialog dialog(this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* printer) { PrintPage(*printer); });
    dialog.exec();
    OnEndPrinting();
}

} // namespace zentra

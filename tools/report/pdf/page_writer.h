// Flowing text, headings and tables on the pages of a paged device (a PDF writer or a
// printer): a cursor goes down the page and a new page begins where the next piece
// would not fit. Lengths are in millimetres; the device's resolution turns them into
// its own units.
#pragma once

#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace zentra::report {

// The report's one typeface at a size in points, without ligatures.
QFont ReportFont(double points, bool bold = false);

struct TableColumn {
    QString heading;
    double widthShare = 1; // of the page width, relative to the other columns
    Qt::Alignment align = Qt::AlignLeft;
};

class PageWriter {
  public:
    PageWriter(QPainter& painter, QPagedPaintDevice& device, QString footer);

    double Mm(double mm) const { return mm * dotsPerMm_; }
    QRectF Page() const { return QRectF(0, 0, device_.width(), device_.height()); }
    double Width() const { return device_.width(); }
    double Remaining() const { return bottom_ - y_; }
    double Y() const { return y_; }
    void Skip(double mm) { y_ += Mm(mm); }

    QFont Font(double points, bool bold = false) const;

    void NewPage();
    // Starts a new page unless this much (device units) still fits.
    void EnsureSpace(double height);

    void Title(const QString& text, const QString& subtitle);
    void Heading(const QString& text);
    void Paragraph(const QString& text, double points = 9.5, bool bold = false);
    // Label: value lines, two columns.
    void Facts(const std::vector<std::pair<QString, QString>>& facts);
    // A table; its headings repeat on every page it runs onto.
    void Table(const std::vector<TableColumn>& columns, const std::vector<QStringList>& rows);
    // A picture of the given height drawn by paint into its rectangle.
    void Picture(double heightMm, const std::function<void(QPainter&, const QRectF&)>& paint);

    int Pages() const { return page_; }

  private:
    void Footer();
    double LineHeight(const QFont& font) const;

    QPainter& painter_;
    QPagedPaintDevice& device_;
    QString footer_;
    double dotsPerMm_;
    double y_ = 0, bottom_ = 0;
    int page_ = 1;
};

} // namespace zentra::report

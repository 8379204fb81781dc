#include "tools/report/pdf/page_writer.h"

#include <QFontMetricsF>

#include <algorithm>

namespace zentra::report {
namespace {

constexpr double kFooterMm = 8;
constexpr double kCellPadMm = 1.2;
const QColor kRule(150, 150, 150);
const QColor kHeadingColour(20, 60, 120);
const QColor kStripe(238, 242, 248);

} // namespace

PageWriter::PageWriter(QPainter& painter, QPagedPaintDevice& device, QString footer)
    : painter_(painter), device_(device), footer_(std::move(footer)),
      dotsPerMm_(device.logicalDpiY() / 25.4) {
    bottom_ = device_.height() - Mm(kFooterMm);
    Footer();
}

QFont ReportFont(double points, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    // No ligatures: "fi" stays two letters for whoever searches or copies the text.
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont PageWriter::Font(double points, bool bold) const {
    return ReportFont(points, bold);
}

double PageWriter::LineHeight(const QFont& font) const {
    return QFontMetricsF(font, &device_).lineSpacing();
}

void PageWriter::Footer() {
    painter_.save();
    painter_.setFont(Font(7.5));
    painter_.setPen(QColor(90, 90, 90));
    const QRectF band(0, device_.height() - Mm(kFooterMm - 2), Width(), Mm(kFooterMm - 2));
    painter_.drawLine(QPointF(0, band.top()), QPointF(Width(), band.top()));
    painter_.drawText(band, Qt::AlignLeft | Qt::AlignBottom, footer_);
    painter_.drawText(band, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("Page %1").arg(page_));
    painter_.restore();
}

void PageWriter::NewPage() {
    device_.newPage();
    ++page_;
    y_ = 0;
    Footer();
}

void PageWriter::EnsureSpace(double height) {
    if (y_ > 0 && y_ + height > bottom_)
        NewPage();
}

void PageWriter::Title(const QString& text, const QString& subtitle) {
    const QFont big = Font(20, true);
    const QFont small = Font(11);
    painter_.save();
    painter_.setPen(kHeadingColour);
    painter_.setFont(big);
    const QRectF box(0, y_, Width(), LineHeight(big) * 3);
    QRectF used;
    painter_.drawText(box, Qt::AlignLeft | Qt::TextWordWrap, text, &used);
    y_ += used.height() + Mm(1);
    painter_.setPen(Qt::black);
    painter_.setFont(small);
    painter_.drawText(QRectF(0, y_, Width(), LineHeight(small)), Qt::AlignLeft, subtitle);
    y_ += LineHeight(small) + Mm(2);
    painter_.setPen(QPen(kHeadingColour, Mm(0.5)));
    painter_.drawLine(QPointF(0, y_), QPointF(Width(), y_));
    painter_.restore();
    y_ += Mm(4);
}

void PageWriter::Heading(const QString& text) {
    const QFont font = Font(13, true);
    // A heading never ends a page alone: it keeps a few lines below it.
    EnsureSpace(LineHeight(font) + Mm(25));
    if (y_ > 0)
        y_ += Mm(3);
    painter_.save();
    painter_.setFont(font);
    painter_.setPen(kHeadingColour);
    painter_.drawText(QRectF(0, y_, Width(), LineHeight(font)), Qt::AlignLeft, text);
    y_ += LineHeight(font);
    painter_.setPen(QPen(kHeadingColour, Mm(0.25)));
    painter_.drawLine(QPointF(0, y_), QPointF(Width(), y_));
    painter_.restore();
    y_ += Mm(2);
}

void PageWriter::Paragraph(const QString& text, double points, bool bold) {
    const QFont font = Font(points, bold);
    painter_.save();
    painter_.setFont(font);
    const QRectF bound =
        painter_.boundingRect(QRectF(0, 0, Width(), 1e9), Qt::AlignLeft | Qt::TextWordWrap, text);
    EnsureSpace(std::min(bound.height(), bottom_));
    painter_.drawText(QRectF(0, y_, Width(), bound.height()), Qt::AlignLeft | Qt::TextWordWrap,
                      text);
    painter_.restore();
    y_ += bound.height() + Mm(1.5);
}

void PageWriter::Facts(const std::vector<std::pair<QString, QString>>& facts) {
    const QFont label = Font(9.5, true);
    const QFont value = Font(9.5);
    const double labelWidth = Mm(45);
    painter_.save();
    for (const auto& [name, text] : facts) {
        painter_.setFont(value);
        const QRectF bound = painter_.boundingRect(QRectF(0, 0, Width() - labelWidth, 1e9),
                                                   Qt::AlignLeft | Qt::TextWordWrap, text);
        const double h = std::max(bound.height(), LineHeight(value));
        EnsureSpace(h);
        painter_.setFont(label);
        painter_.drawText(QRectF(0, y_, labelWidth, h), Qt::AlignLeft | Qt::AlignTop, name);
        painter_.setFont(value);
        painter_.drawText(QRectF(labelWidth, y_, Width() - labelWidth, h),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
        y_ += h + Mm(0.6);
    }
    painter_.restore();
    y_ += Mm(1.5);
}

void PageWriter::Table(const std::vector<TableColumn>& columns,
                       const std::vector<QStringList>& rows) {
    double shares = 0;
    for (const TableColumn& c : columns)
        shares += c.widthShare;
    std::vector<double> x{0};
    for (const TableColumn& c : columns)
        x.push_back(x.back() + Width() * c.widthShare / shares);
    const QFont head = Font(8, true);
    const QFont body = Font(8);
    const double pad = Mm(kCellPadMm);
    const double rowHeight = LineHeight(body) + pad;
    const double headHeight = LineHeight(head) + pad;

    auto drawHead = [&] {
        painter_.save();
        painter_.setFont(head);
        painter_.fillRect(QRectF(0, y_, Width(), headHeight), QColor(220, 228, 240));
        for (std::size_t c = 0; c < columns.size(); ++c)
            painter_.drawText(QRectF(x[c] + pad, y_, x[c + 1] - x[c] - 2 * pad, headHeight),
                              columns[c].align | Qt::AlignVCenter, columns[c].heading);
        y_ += headHeight;
        painter_.setPen(QPen(kRule, 0));
        painter_.drawLine(QPointF(0, y_), QPointF(Width(), y_));
        painter_.restore();
    };
    EnsureSpace(headHeight + 3 * rowHeight);
    drawHead();
    painter_.save();
    painter_.setFont(body);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (y_ + rowHeight > bottom_) {
            painter_.restore();
            NewPage();
            drawHead();
            painter_.save();
            painter_.setFont(body);
        }
        if (r % 2 == 1)
            painter_.fillRect(QRectF(0, y_, Width(), rowHeight), kStripe);
        for (std::size_t c = 0; c < columns.size() && c < std::size_t(rows[r].size()); ++c)
            painter_.drawText(QRectF(x[c] + pad, y_, x[c + 1] - x[c] - 2 * pad, rowHeight),
                              columns[c].align | Qt::AlignVCenter, rows[r][qsizetype(c)]);
        y_ += rowHeight;
    }
    painter_.setPen(QPen(kRule, 0));
    painter_.drawLine(QPointF(0, y_), QPointF(Width(), y_));
    painter_.restore();
    y_ += Mm(3);
}

void PageWriter::Picture(double heightMm,
                         const std::function<void(QPainter&, const QRectF&)>& paint) {
    const double h = std::min(Mm(heightMm), bottom_);
    EnsureSpace(h);
    painter_.save();
    paint(painter_, QRectF(0, y_, Width(), h));
    painter_.restore();
    y_ += h + Mm(4);
}

} // namespace zentra::report

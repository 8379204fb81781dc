#include "display/view/view_text.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cmath>

namespace zentra {
namespace {

constexpr int kReferencePixelSize = 100;
constexpr double kNarrowestAdvance = 0.25;

// Pixel size (em height) per pixel of line height for the default face, measured once.
double EmPerLineHeight() {
    static const double ratio = [] {
        QFont font;
        font.setPixelSize(kReferencePixelSize);
        const int height = QFontMetrics(font).height();
        return height > 0 ? static_cast<double>(kReferencePixelSize) / height : 1.0;
    }();
    return ratio;
}

} // namespace

QFont CellFont(int cellHeight, int weight, bool italic) {
    QFont font;
    const int pixelSize = static_cast<int>(std::max(1, cellHeight) * EmPerLineHeight());
    font.setPixelSize(std::max(1, pixelSize));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    font.setItalic(italic);
    font.setKerning(false);
    return font;
}

double MinCharAdvance(const QFont& font) {
    const QFontMetricsF metrics(font);
    double narrowest = metrics.horizontalAdvance(QChar(' '));
    for (char16_t c = 0x21; c < 0x7f; ++c)
        narrowest = std::min(narrowest, metrics.horizontalAdvance(QChar(c)));
    return std::max(kNarrowestAdvance, narrowest);
}

std::size_t VisibleLength(int width, double minAdvance) {
    const double advance = std::max(kNarrowestAdvance, minAdvance);
    return static_cast<std::size_t>(std::ceil(std::max(0, width) / advance)) + 1;
}

std::string_view VisiblePart(std::string_view text, int width, TextAlign align, double minAdvance) {
    const std::size_t limit = VisibleLength(width, minAdvance);
    if (text.size() <= limit)
        return text;
    switch (align) {
    case TextAlign::Left:
        return text.substr(0, limit);
    case TextAlign::Right:
        return text.substr(text.size() - limit);
    case TextAlign::Centre:
        return text.substr((text.size() - limit) / 2, limit);
    }
    return text;
}

void DrawTextLine(QPainter& painter, const Rect& rect, TextAlign align, std::string_view text,
                  double minAdvance) {
    if (rect.Width() <= 0 || rect.Height() <= 0 || text.empty())
        return;
    const std::string_view shown = VisiblePart(text, rect.Width(), align, minAdvance);
    int flags = Qt::TextSingleLine | Qt::AlignTop;
    switch (align) {
    case TextAlign::Left:
        flags |= Qt::AlignLeft;
        break;
    case TextAlign::Right:
        flags |= Qt::AlignRight;
        break;
    case TextAlign::Centre:
        flags |= Qt::AlignHCenter;
        break;
    }
    painter.drawText(rect.ToQRect(), flags,
                     QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size())));
}

} // namespace zentra

// Checks of what a screenshot shows, for the Qt tests: dark pixels in an area, the
// ink a text must leave, and whether every label of a window is drawn whole.
#pragma once

#include "tests/support/test_support.h"

#include <QColor>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStringList>
#include <QWidget>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace zentra::test {

// Pixels darker than `lightness` (0..255) inside an area of a picture: text, lines
// and icons against the program's light backgrounds.
inline int DarkPixels(const QImage& image, const QRect& area, int lightness = 110) {
    int n = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            n += QColor(image.pixel(x, y)).lightness() < lightness ? 1 : 0;
    return n;
}

// The dark pixels a text leaves when drawn in black with the given font: what a
// picture showing that text must hold, give or take the anti-aliasing.
inline int TextInk(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(text) + 4, metrics.height() + 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    painter.end();
    return DarkPixels(image, image.rect());
}

// The texts of the shown, enabled one-line labels under `root` whose ink in the
// picture of root differs by more than a quarter from the text's own: cut, covered
// or missing. Empty when every label is drawn whole.
inline QStringList LabelsNotDrawnWhole(const QWidget& root, const QImage& shot) {
    QStringList wrong;
    for (const QLabel* label : root.findChildren<QLabel*>()) {
        const QString text = label->text();
        if (!label->isVisibleTo(&root) || !label->isEnabled() || label->wordWrap() ||
            text.isEmpty() || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('<')))
            continue;
        const QRect area(label->mapTo(&root, QPoint(0, 0)), label->size());
        const int expected = TextInk(label->font(), text);
        if (std::abs(DarkPixels(shot, area) - expected) > expected / 4)
            wrong << text;
    }
    return wrong;
}

// Gives a window its preferred size and checks that it fits a 1366 x 768 screen with
// room left for a title bar and a task bar.
inline void ExpectFitsSmallScreen(QWidget& window) {
    window.resize(window.sizeHint());
    EXPECT_LE(window.width(), 1366);
    EXPECT_LE(window.height(), 700);
}

// Saves a picture as `file` in the screenshot folder.
inline void SaveShot(const QImage& shot, const std::string& file) {
    EXPECT_TRUE(shot.save(QString::fromStdString(ScreenshotDir() + "/" + file))) << file;
}

// Saves the window's picture as `file` in the screenshot folder and checks that every
// label is drawn whole in it; the picture, for further checks.
inline QImage ExpectShotDrawnWhole(QWidget& window, const char* file) {
    const QImage shot = window.grab().toImage();
    SaveShot(shot, file);
    EXPECT_EQ(LabelsNotDrawnWhole(window, shot), QStringList()) << file;
    return shot;
}

} // namespace zentra::test

// The report's pictures, drawn as vectors: a time chart (one or more series over the
// survey, mean line with the band of lowest to highest in each bucket, broken at
// gaps) and the daily overlay (kW Sum against the time of day, one line per day).
// Axes carry their units, the time axis local clock times and dates.
#pragma once

#include "tools/report/survey_figures.h"

#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <vector>

namespace zentra::report {

struct ChartLine {
    QString label;
    QColor colour;
    const std::vector<PlotPoint>* points = nullptr; // x: seconds from `from`
};

// dotsPerMm: the device's resolution, for line widths and text sizes.
void DrawTimeChart(QPainter& painter, const QRectF& area, double dotsPerMm, const QString& title,
                   const QString& unit, std::int64_t from, std::int64_t to,
                   const std::vector<ChartLine>& lines, bool fromZero);

void DrawDayOverlay(QPainter& painter, const QRectF& area, double dotsPerMm, const QString& title,
                    const QString& unit, const std::vector<DayCurve>& days);

// A step of 1, 2, 2.5 or 5 times a power of ten giving about `ticks` divisions.
double NiceStep(double range, int ticks);

} // namespace zentra::report

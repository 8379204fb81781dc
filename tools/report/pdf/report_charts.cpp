#include "tools/report/pdf/report_charts.h"

#include "tools/report/local_clock.h"
#include "tools/report/pdf/page_writer.h"
#include "tools/report/report_units.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

namespace zentra::report {
namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::array<std::int64_t, 13> kTimeSteps{
    60, 300, 900, 1800, 3600, 7200, 10800, 21600, 43200, kDay, 2 * kDay, 7 * kDay, 14 * kDay};
constexpr int kMaxTimeTicks = 8;
constexpr int kListedDays = 12; // more days than this are told apart by a colour scale
const QColor kGrid(215, 215, 215);
const QColor kAxis(60, 60, 60);
const std::array<QColor, kListedDays> kDayColours{
    QColor(31, 119, 180),  QColor(255, 127, 14), QColor(44, 160, 44),   QColor(214, 39, 40),
    QColor(148, 103, 189), QColor(140, 86, 75),  QColor(227, 119, 194), QColor(127, 127, 127),
    QColor(188, 189, 34),  QColor(23, 190, 207), QColor(0, 0, 128),     QColor(128, 0, 0)};

struct Frame {
    QRectF plot;
    double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
    double X(double x) const { return plot.left() + (x - xMin) / (xMax - xMin) * plot.width(); }
    double Y(double y) const { return plot.bottom() - (y - yMin) / (yMax - yMin) * plot.height(); }
};

QString AxisNumber(double v, double step) {
    int decimals = 0;
    while (decimals < 4 && std::fabs(step * std::pow(10.0, decimals) -
                                     std::round(step * std::pow(10.0, decimals))) > 1e-6)
        ++decimals;
    return QString::number(v, 'f', decimals);
}

// Title above the plot, y labels and grid; returns the frame with its y range.
Frame DrawFrame(QPainter& p, const QRectF& area, double mm, const QString& title,
                const QString& unit, double lo, double hi, bool fromZero) {
    if (!(hi > lo)) { // one value, or none: a band around it
        const double pad = std::max(1.0, std::fabs(lo) * 0.05);
        lo -= pad;
        hi += pad;
    }
    if (fromZero) {
        lo = std::min(lo, 0.0);
        hi = std::max(hi, 0.0);
    } else {
        const double pad = (hi - lo) * 0.05;
        lo -= pad;
        hi += pad;
    }
    const double step = NiceStep(hi - lo, 6);
    lo = std::floor(lo / step) * step;
    hi = std::ceil(hi / step) * step;

    Frame f;
    f.plot = QRectF(area.left() + 17 * mm, area.top() + 9 * mm, area.width() - 20 * mm,
                    area.height() - 20 * mm);
    f.yMin = lo;
    f.yMax = hi;
    p.setFont(ReportFont(10, true));
    p.setPen(Qt::black);
    p.drawText(QRectF(area.left(), area.top(), area.width(), 6 * mm), Qt::AlignLeft | Qt::AlignTop,
               title);
    p.setFont(ReportFont(7));
    for (double v = lo; v <= hi + step / 2; v += step) {
        const double y = f.Y(v);
        p.setPen(QPen(kGrid, 0.15 * mm));
        p.drawLine(QPointF(f.plot.left(), y), QPointF(f.plot.right(), y));
        p.setPen(kAxis);
        p.drawText(QRectF(area.left(), y - 3 * mm, 15.5 * mm, 6 * mm),
                   Qt::AlignRight | Qt::AlignVCenter,
                   AxisNumber(std::fabs(v) < step / 1e6 ? 0 : v, step));
    }
    // The unit, turned along the axis.
    p.save();
    p.translate(area.left() + 2.5 * mm, f.plot.center().y());
    p.rotate(-90);
    p.setFont(ReportFont(8, true));
    p.drawText(QRectF(-25 * mm, -3 * mm, 50 * mm, 6 * mm), Qt::AlignCenter, unit);
    p.restore();
    return f;
}

void DrawBox(QPainter& p, const Frame& f, double mm) {
    p.setPen(QPen(kAxis, 0.25 * mm));
    p.setBrush(Qt::NoBrush);
    p.drawRect(f.plot);
}

void DrawLegend(QPainter& p, const QRectF& area, double mm, const std::vector<ChartLine>& lines) {
    p.setFont(ReportFont(7.5));
    const QFontMetricsF metrics(p.font(), p.device());
    double x = area.right();
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const double w = metrics.horizontalAdvance(it->label);
        x -= w;
        p.setPen(Qt::black);
        p.drawText(QRectF(x, area.top() + 3.5 * mm, w + mm, 5 * mm),
                   Qt::AlignLeft | Qt::AlignVCenter, it->label);
        x -= 7 * mm;
        p.setPen(QPen(it->colour, 0.8 * mm));
        const double y = area.top() + 6 * mm;
        p.drawLine(QPointF(x, y), QPointF(x + 5.5 * mm, y));
        x -= 4 * mm;
    }
}

// The mean line, and the lowest-to-highest band behind it, segment by segment.
void DrawSeries(QPainter& p, const Frame& f, double mm, const ChartLine& line, double xOffset) {
    const auto& pts = *line.points;
    std::size_t begin = 0;
    while (begin < pts.size()) {
        std::size_t end = begin + 1;
        while (end < pts.size() && !pts[end].breakBefore)
            ++end;
        QPainterPath band, mean;
        bool spread = false;
        for (std::size_t i = begin; i < end; ++i) {
            const QPointF top(f.X(pts[i].x + xOffset), f.Y(pts[i].max));
            const QPointF mid(f.X(pts[i].x + xOffset), f.Y(pts[i].mean));
            spread = spread || pts[i].max > pts[i].min;
            i == begin ? band.moveTo(top) : band.lineTo(top);
            i == begin ? mean.moveTo(mid) : mean.lineTo(mid);
        }
        if (spread) {
            for (std::size_t i = end; i-- > begin;)
                band.lineTo(QPointF(f.X(pts[i].x + xOffset), f.Y(pts[i].min)));
            band.closeSubpath();
            QColor light = line.colour;
            light.setAlpha(60);
            p.setPen(Qt::NoPen);
            p.setBrush(light);
            p.drawPath(band);
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(line.colour, 0.35 * mm, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        if (end - begin == 1)
            p.drawPoint(mean.currentPosition());
        else
            p.drawPath(mean);
        begin = end;
    }
}

void NoData(QPainter& p, const Frame& f, const QString& text) {
    p.setPen(kAxis);
    p.setFont(ReportFont(9));
    p.drawText(f.plot, Qt::AlignCenter, text);
}

std::int64_t WallToTime(std::int64_t wall, std::int64_t near) {
    const std::int64_t guess = wall - UtcOffsetAt(near);
    return wall - UtcOffsetAt(guess);
}

// Time ticks on the local clock: whole minutes or hours of the wall clock, or local
// midnights for steps of days.
void DrawTimeAxis(QPainter& p, const Frame& f, double mm, std::int64_t from, std::int64_t to) {
    const std::int64_t span = std::max<std::int64_t>(to - from, 1);
    std::int64_t step = kTimeSteps.back();
    for (std::int64_t s : kTimeSteps)
        if (span / s <= kMaxTimeTicks) {
            step = s;
            break;
        }
    std::vector<std::int64_t> ticks;
    if (step >= kDay) {
        const int every = int(step / kDay);
        int n = 0;
        for (DayNumber d = DayNumberOf(from); DayStart(d) <= to; d = NextDay(d))
            if (DayStart(d) >= from && n++ % every == 0)
                ticks.push_back(DayStart(d));
        if (ticks.empty())
            ticks.push_back(from);
    } else {
        const std::int64_t wallFrom = from + UtcOffsetAt(from);
        for (std::int64_t wall = (wallFrom + step - 1) / step * step;; wall += step) {
            const std::int64_t t = WallToTime(wall, from);
            if (t > to)
                break;
            if (t >= from && (ticks.empty() || t > ticks.back()))
                ticks.push_back(t);
        }
    }
    p.setFont(ReportFont(7));
    DayNumber shownDay = 0;
    for (std::int64_t t : ticks) {
        const double x = f.X(double(t - from));
        p.setPen(QPen(kGrid, 0.15 * mm));
        p.drawLine(QPointF(x, f.plot.top()), QPointF(x, f.plot.bottom()));
        p.setPen(kAxis);
        const QRectF first(x - 12 * mm, f.plot.bottom() + 0.8 * mm, 24 * mm, 3.5 * mm);
        const QRectF second = first.translated(0, 3.3 * mm);
        const DayNumber day = DayNumberOf(t);
        const QString date = QString::fromStdString(ReportDay(day)).left(5);
        if (step >= kDay) {
            p.drawText(first, Qt::AlignCenter, date);
        } else {
            p.drawText(first, Qt::AlignCenter, QString::fromStdString(ReportClock(t)));
            if (day != shownDay)
                p.drawText(second, Qt::AlignCenter, date);
        }
        shownDay = day;
    }
    p.setFont(ReportFont(7.5, true));
    p.drawText(
        QRectF(f.plot.left(), f.plot.bottom() + 7.5 * mm, f.plot.width(), 4 * mm), Qt::AlignCenter,
        QStringLiteral("local time, %1 to %2")
            .arg(QString::fromStdString(ReportTime(from)), QString::fromStdString(ReportTime(to))));
}

} // namespace

double NiceStep(double range, int ticks) {
    if (!(range > 0) || !std::isfinite(range))
        return 1;
    const double raw = range / std::max(ticks, 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (raw <= m * power * (1 + 1e-9))
            return m * power;
    return 10 * power;
}

void DrawTimeChart(QPainter& p, const QRectF& area, double mm, const QString& title,
                   const QString& unit, std::int64_t from, std::int64_t to,
                   const std::vector<ChartLine>& lines, bool fromZero) {
    double lo = INFINITY, hi = -INFINITY;
    for (const ChartLine& line : lines)
        for (const PlotPoint& pt : *line.points)
            if (std::isfinite(pt.min) && std::isfinite(pt.max)) {
                lo = std::min(lo, pt.min);
                hi = std::max(hi, pt.max);
            }
    const bool any = lo <= hi;
    Frame f = DrawFrame(p, area, mm, title, unit, any ? lo : 0, any ? hi : 1, fromZero);
    f.xMin = 0;
    f.xMax = double(std::max<std::int64_t>(to - from, 1));
    DrawTimeAxis(p, f, mm, from, to);
    p.save();
    p.setClipRect(f.plot.adjusted(-mm, -mm, mm, mm));
    for (const ChartLine& line : lines)
        DrawSeries(p, f, mm, line, 0.0);
    p.restore();
    if (!any)
        NoData(p, f, QStringLiteral("No samples to draw"));
    DrawBox(p, f, mm);
    DrawLegend(p, area, mm, lines);
}

void DrawDayOverlay(QPainter& p, const QRectF& area, double mm, const QString& title,
                    const QString& unit, const std::vector<DayCurve>& days) {
    double lo = INFINITY, hi = -INFINITY;
    for (const DayCurve& d : days)
        for (const PlotPoint& pt : d.points)
            if (std::isfinite(pt.mean)) {
                lo = std::min(lo, pt.mean);
                hi = std::max(hi, pt.mean);
            }
    const bool any = lo <= hi;
    const bool listed = days.size() <= std::size_t(kListedDays);
    QRectF chart = area;
    if (listed && !days.empty())
        chart.setRight(area.right() - 24 * mm);
    Frame f = DrawFrame(p, chart, mm, title, unit, any ? lo : 0, any ? hi : 1, true);
    f.xMin = 0;
    f.xMax = double(kDay);
    p.setFont(ReportFont(7));
    for (int h = 0; h <= 24; h += 3) {
        const double x = f.X(h * 3600.0);
        p.setPen(QPen(kGrid, 0.15 * mm));
        p.drawLine(QPointF(x, f.plot.top()), QPointF(x, f.plot.bottom()));
        p.setPen(kAxis);
        p.drawText(QRectF(x - 8 * mm, f.plot.bottom() + 0.8 * mm, 16 * mm, 3.5 * mm),
                   Qt::AlignCenter, QStringLiteral("%1:00").arg(h, 2, 10, QLatin1Char('0')));
    }
    p.setFont(ReportFont(7.5, true));
    p.drawText(QRectF(f.plot.left(), f.plot.bottom() + 7.5 * mm, f.plot.width(), 4 * mm),
               Qt::AlignCenter, QStringLiteral("local time of day"));

    auto colourOf = [&](std::size_t i) {
        if (listed)
            return kDayColours[i % kDayColours.size()];
        const double share = days.size() > 1 ? double(i) / double(days.size() - 1) : 0.0;
        return QColor::fromHsvF(0.66 * (1.0 - share), 0.85, 0.8); // blue (first) to red (last)
    };
    p.save();
    p.setClipRect(f.plot.adjusted(-mm, -mm, mm, mm));
    for (std::size_t i = 0; i < days.size(); ++i) {
        // The daily overlay shows the bucket means only: a band per day would bury the lines.
        std::vector<PlotPoint> means = days[i].points;
        for (PlotPoint& pt : means)
            pt.min = pt.max = pt.mean;
        ChartLine line{QString(), colourOf(i), &means};
        DrawSeries(p, f, mm * 0.7, line, 0.0);
    }
    p.restore();
    if (!any)
        NoData(p, f, QStringLiteral("No samples to draw"));
    DrawBox(p, f, mm);

    p.setFont(ReportFont(7));
    if (listed) {
        for (std::size_t i = 0; i < days.size(); ++i) {
            const double y = f.plot.top() + double(i) * 4.2 * mm;
            p.setPen(QPen(colourOf(i), 0.8 * mm));
            p.drawLine(QPointF(chart.right() + 3 * mm, y + 2 * mm),
                       QPointF(chart.right() + 7 * mm, y + 2 * mm));
            p.setPen(Qt::black);
            const std::int64_t start = DayStart(days[i].day);
            const QString name =
                QString::fromLatin1(kWeekdayNames[std::size_t(LocalTime(start).tm_wday)]);
            p.drawText(QRectF(chart.right() + 8 * mm, y, 20 * mm, 4 * mm),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       name + QLatin1Char(' ') +
                           QString::fromStdString(ReportDay(days[i].day)).left(5));
        }
    } else if (!days.empty()) {
        p.setPen(Qt::black);
        p.drawText(QRectF(f.plot.left(), area.top() + 3.5 * mm, f.plot.width(), 5 * mm),
                   Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("%1 days: blue %2 ... red %3")
                       .arg(days.size())
                       .arg(QString::fromStdString(ReportDay(days.front().day)),
                            QString::fromStdString(ReportDay(days.back().day))));
    }
}

} // namespace zentra::report

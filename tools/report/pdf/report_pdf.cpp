#include "tools/report/pdf/report_pdf.h"

#include "comms/meter.h"
#include "tools/report/local_clock.h"
#include "tools/report/pdf/page_writer.h"
#include "tools/report/pdf/report_charts.h"
#include "tools/report/report_units.h"

#include <QFile>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace zentra::report {
namespace {

constexpr double kChartHeightMm = 115;
const QColor kKwColour(200, 30, 30);
const QColor kKvaColour(30, 90, 200);
const std::array<QColor, 3> kPhaseColours{QColor(190, 40, 40), QColor(40, 40, 40),
                                          QColor(40, 90, 200)};

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
QString Time(std::int64_t t) {
    return Q(ReportTime(t));
}
QString Num(double v) {
    return Q(NumberText(v));
}
QString WithUnit(double v, const std::string& unit) {
    return unit.empty() ? Num(v) : Num(v) + QLatin1Char(' ') + Q(unit);
}

QString PeriodText(const SurveyReport& r) {
    QString text = Q(DurationText(r.periodS));
    if (r.periodsDiffer)
        text += QStringLiteral(" (the shortest: the files were logged at different periods)");
    return text;
}

void Cover(PageWriter& w, const SurveyReport& r) {
    w.Title(r.title.empty() ? QStringLiteral("Survey report") : Q(r.title),
            QStringLiteral("Load survey report"));
    if (!r.meter.description.empty())
        w.Paragraph(Q(r.meter.description));

    w.Heading(QStringLiteral("Project and meter"));
    const SurveyMeter& m = r.meter;
    const std::string_view typeName = SystemTypeName(int(m.systemTypeNumber));
    std::vector<std::pair<QString, QString>> meter{
        {QStringLiteral("Project"), Q(m.projectName)},
        {QStringLiteral("Meter model"), QString::number(m.model)},
        {QStringLiteral("Firmware version"),
         QStringLiteral(".%1 (meter variant %2%3)")
             .arg(int(std::lround(double(m.versionFraction) * 100)), 2, 10, QLatin1Char('0'))
             .arg(m.variant)
             .arg(m.shortList ? QStringLiteral(", reduced list of readings") : QString())},
        {QStringLiteral("Modbus node"), QString::number(m.node)},
        {QStringLiteral("System type"),
         typeName.empty()
             ? QString::number(m.systemTypeNumber)
             : QStringLiteral("%1 (%2)").arg(m.systemTypeNumber).arg(Q(std::string(typeName)))},
        {QStringLiteral("System voltage"), WithUnit(m.systemVoltage, "V")},
        {QStringLiteral("System current"), WithUnit(m.systemCurrent, "A")},
    };
    w.Facts(meter);

    w.Heading(QStringLiteral("Survey"));
    std::vector<std::pair<QString, QString>> survey;
    if (r.from && r.to) {
        survey.push_back({QStringLiteral("From"), Time(*r.from)});
        survey.push_back({QStringLiteral("To"), Time(*r.to)});
        survey.push_back({QStringLiteral("Length"), Q(DurationText(*r.to - *r.from))});
    }
    survey.push_back({QStringLiteral("Logging period"), PeriodText(r)});
    survey.push_back({QStringLiteral("Samples"), QString::number(r.samples)});
    survey.push_back({QStringLiteral("Files"), QString::number(r.files.size())});
    survey.push_back({QStringLiteral("Gaps"),
                      r.gaps.empty() ? QStringLiteral("none (no step longer than 1.5 periods)")
                                     : QString::number(r.gaps.size())});
    w.Facts(survey);
    if (r.samples == 0)
        w.Paragraph(QStringLiteral("The survey holds no samples: there is nothing to report but "
                                   "the project and the meter."),
                    10, true);
    else if (r.samples == 1)
        w.Paragraph(
            QStringLiteral("The survey holds one sample: its values are listed, but "
                           "demand, energy used and the pictures need two samples at least."),
            10, true);
    if (r.backwardSteps > 0)
        w.Paragraph(
            QStringLiteral("%1 samples are stamped earlier than the sample before them (the "
                           "computer's clock was set back); no energy is counted over those steps.")
                .arg(r.backwardSteps));

    std::vector<QStringList> files;
    for (const SurveyFile& f : r.files)
        files.push_back({Q(f.name), f.count > 0 ? Time(f.first) : QStringLiteral("-"),
                         f.count > 0 ? Time(f.last) : QStringLiteral("-"), QString::number(f.count),
                         Q(DurationText(f.periodS))});
    w.Heading(QStringLiteral("Files"));
    w.Table({{QStringLiteral("File"), 3},
             {QStringLiteral("First sample"), 2},
             {QStringLiteral("Last sample"), 2},
             {QStringLiteral("Samples"), 1, Qt::AlignRight},
             {QStringLiteral("Period"), 1, Qt::AlignRight}},
            files);

    if (!r.gaps.empty()) {
        std::vector<QStringList> gaps;
        for (const Gap& g : r.gaps)
            gaps.push_back({Time(g.from), Time(g.to), Q(DurationText(g.to - g.from))});
        w.Heading(QStringLiteral("Gaps"));
        w.Paragraph(QStringLiteral("Each gap runs from the last sample before it to the first "
                                   "sample after it."),
                    8.5);
        w.Table({{QStringLiteral("Last sample before"), 2},
                 {QStringLiteral("First sample after"), 2},
                 {QStringLiteral("Length"), 1.5, Qt::AlignRight}},
                gaps);
    }
}

void Summary(PageWriter& w, const SurveyReport& r) {
    w.NewPage();
    w.Heading(QStringLiteral("Summary of the logged readings"));
    w.Paragraph(QStringLiteral("Every reading the project logged; samples stored as NaN are "
                               "skipped and counted."),
                8.5);
    std::vector<QStringList> rows;
    for (const ReadingSummary& s : r.readings) {
        if (s.count == 0) {
            rows.push_back({Q(s.label), Q(s.unit), QStringLiteral("-"), QString(),
                            QStringLiteral("-"), QStringLiteral("-"), QString(),
                            QStringLiteral("0"), QString::number(s.nanCount)});
            continue;
        }
        rows.push_back({Q(s.label), Q(s.unit), Num(s.min), Time(s.minAt), Num(s.mean), Num(s.max),
                        Time(s.maxAt), QString::number(s.count), QString::number(s.nanCount)});
    }
    w.Table({{QStringLiteral("Reading"), 1.9},
             {QStringLiteral("Unit"), 0.7},
             {QStringLiteral("Minimum"), 1.1, Qt::AlignRight},
             {QStringLiteral("at"), 2.2},
             {QStringLiteral("Mean"), 1.1, Qt::AlignRight},
             {QStringLiteral("Maximum"), 1.1, Qt::AlignRight},
             {QStringLiteral("at"), 2.2},
             {QStringLiteral("Samples"), 1, Qt::AlignRight},
             {QStringLiteral("NaN"), 0.7, Qt::AlignRight}},
            rows);
}

void Demand(PageWriter& w, const SurveyReport& r) {
    w.Heading(QStringLiteral("Maximum demand (%1 min intervals)").arg(r.demandMinutes));
    if (r.samples < 2) {
        w.Paragraph(QStringLiteral("Not available: the survey holds fewer than two samples."));
        return;
    }
    if (r.demand.empty() && r.periodS > std::int64_t{r.demandMinutes} * 60) {
        w.Paragraph(QStringLiteral("Not available: the logging period (%1) is longer than the "
                                   "demand interval.")
                        .arg(Q(DurationText(r.periodS))));
        return;
    }
    if (r.demand.empty()) {
        w.Paragraph(QStringLiteral("Not available: no %1 minute interval is covered by samples "
                                   "from its start to its end.")
                        .arg(r.demandMinutes));
        return;
    }
    std::vector<std::pair<QString, QString>> facts;
    for (const DemandFigure& d : r.demand)
        facts.push_back(
            {Q(d.label), QStringLiteral("%1 %2 in the interval ending %3")
                             .arg(Num(d.max), d.label == "kW Sum" ? "kW" : "kVA", Time(d.at))});
    w.Facts(facts);
    w.Paragraph(QStringLiteral(
                    "Intervals are aligned to the clock. %1 intervals are covered by "
                    "samples; %2 partial intervals (the survey's ends, around gaps) are left out.")
                    .arg(r.completeIntervals)
                    .arg(r.partialIntervals),
                8.5);
    std::vector<QStringList> rows;
    int rank = 1;
    for (const DemandInterval& d : r.topTen)
        rows.push_back({QString::number(rank++), Time(d.end - std::int64_t{r.demandMinutes} * 60),
                        Time(d.end), Num(d.kw),
                        std::isnan(d.kva) ? QStringLiteral("-") : Num(d.kva)});
    w.Table({{QStringLiteral("Rank"), 0.6, Qt::AlignRight},
             {QStringLiteral("Interval from"), 2},
             {QStringLiteral("to"), 2},
             {QStringLiteral("kW Sum (kW)"), 1.3, Qt::AlignRight},
             {QStringLiteral("kVA Sum (kVA)"), 1.3, Qt::AlignRight}},
            rows);
}

void Energy(PageWriter& w, const SurveyReport& r) {
    w.Heading(QStringLiteral("Energy"));
    if (r.samples < 2) {
        w.Paragraph(QStringLiteral("Not available: the survey holds fewer than two samples."));
        return;
    }
    std::vector<QStringList> rows;
    for (const EnergyFigure& e : r.energy)
        rows.push_back({Q(e.label), WithUnit(e.first, e.unit), Time(e.firstAt),
                        WithUnit(e.last, e.unit), Time(e.lastAt), WithUnit(e.used, e.unit)});
    if (!rows.empty())
        w.Table({{QStringLiteral("Counter"), 1.4},
                 {QStringLiteral("First"), 1.3, Qt::AlignRight},
                 {QStringLiteral("at"), 2},
                 {QStringLiteral("Last"), 1.3, Qt::AlignRight},
                 {QStringLiteral("at"), 2},
                 {QStringLiteral("Used"), 1.3, Qt::AlignRight}},
                rows);
    else
        w.Paragraph(QStringLiteral("No energy counter is logged."));
    if (r.kwhIntegrated) {
        QString text = QStringLiteral("kW Sum integrated over the samples (trapezoids between "
                                      "neighbouring samples, none across gaps): %1 kWh.")
                           .arg(Num(*r.kwhIntegrated));
        for (const EnergyFigure& e : r.energy)
            if (e.label == "kWHr (Imp)" && std::fabs(e.used) > 0)
                text +=
                    QStringLiteral(" The counter kWHr (Imp) used %1 kWh: the integral is %2 of it.")
                        .arg(Num(e.used), Q(PercentText(*r.kwhIntegrated / e.used * 100.0)));
        if (!r.gaps.empty())
            text += QStringLiteral(" The counters also count what was used during the gaps; the "
                                   "integral does not.");
        w.Paragraph(text);
    }
}

void VoltageCurrent(PageWriter& w, const SurveyReport& r) {
    w.Heading(QStringLiteral("Voltage and current"));
    auto voltage = [&](const std::optional<Extreme>& e) {
        if (!e)
            return QStringLiteral("not logged");
        QString text =
            QStringLiteral("%1 V (%2) at %3").arg(Num(e->value), Q(e->phase), Time(e->at));
        if (e->percent)
            text += QStringLiteral(", %1 of the system voltage %2 V")
                        .arg(Q(PercentText(*e->percent)), Num(r.meter.systemVoltage));
        return text;
    };
    auto unbalance = [&](const std::optional<Extreme>& e, const QString& none) {
        if (!e)
            return none;
        return QStringLiteral("%1 (%2 furthest from the mean) at %3")
            .arg(Q(PercentText(e->value)), Q(e->phase), Time(e->at));
    };
    const bool threePhase = r.meter.shortList == false;
    w.Facts({{QStringLiteral("Lowest phase voltage"), voltage(r.voltageLow)},
             {QStringLiteral("Highest phase voltage"), voltage(r.voltageHigh)},
             {QStringLiteral("Voltage unbalance"),
              unbalance(r.voltageUnbalance,
                        threePhase ? QStringLiteral("no sample with three phase voltages")
                                   : QStringLiteral("not logged (one phase only)"))},
             {QStringLiteral("Current unbalance"),
              unbalance(r.currentUnbalance,
                        threePhase ? QStringLiteral("no sample with enough current on the phases")
                                   : QStringLiteral("not logged (one phase only)"))}});
    w.Paragraph(QStringLiteral("Unbalance: the largest deviation of a phase from the three phases' "
                               "mean, as a % of that mean. Current unbalance leaves out samples "
                               "whose mean current is below %1 of the system current.")
                    .arg(Q(PercentText(kUnbalanceCurrentShare * 100))),
                8.5);
}

void Daily(PageWriter& w, const SurveyReport& r) {
    if (r.days.empty())
        return;
    w.Heading(QStringLiteral("Day by day"));
    std::vector<QStringList> rows;
    for (const DayRow& d : r.days)
        rows.push_back({Q(ReportDay(d.day)), d.kwMax ? Num(d.kwMax->value) : QStringLiteral("-"),
                        d.kwMax ? Q(ReportTime(d.kwMax->at)).mid(11) : QString(),
                        r.samples >= 2 ? Num(d.kwh) : QStringLiteral("-"),
                        d.vMin ? Num(*d.vMin) : QStringLiteral("-"),
                        d.vMax ? Num(*d.vMax) : QStringLiteral("-")});
    w.Table({{QStringLiteral("Day"), 1.4},
             {QStringLiteral("kW Sum max (kW)"), 1.4, Qt::AlignRight},
             {QStringLiteral("at"), 1, Qt::AlignRight},
             {QStringLiteral("Energy (kWh)"), 1.4, Qt::AlignRight},
             {QStringLiteral("Lowest V"), 1.2, Qt::AlignRight},
             {QStringLiteral("Highest V"), 1.2, Qt::AlignRight}},
            rows);
    w.Paragraph(QStringLiteral("Energy: kW Sum integrated over the part of the survey on that day. "
                               "Voltages: the lowest and highest of the phase voltages."),
                8.5);
}

std::vector<ChartLine> Lines(const std::vector<PlotSeries>& series,
                             const std::vector<QColor>& colours) {
    std::vector<ChartLine> lines;
    for (std::size_t i = 0; i < series.size(); ++i)
        lines.push_back({Q(series[i].label), colours[i % colours.size()], &series[i].points});
    return lines;
}

void Pictures(PageWriter& w, const SurveyReport& r) {
    if (r.samples < 2 || !r.from || !r.to)
        return;
    const double mm = w.Mm(1);
    const std::int64_t from = *r.from, to = *r.to;
    w.NewPage();
    w.Heading(QStringLiteral("Pictures"));
    const auto profile = Lines(r.profile, {kKwColour, kKvaColour});
    w.Picture(kChartHeightMm, [&](QPainter& p, const QRectF& area) {
        DrawTimeChart(p, area, mm, QStringLiteral("Load profile: kW Sum and kVA Sum"),
                      QStringLiteral("kW, kVA"), from, to, profile, true);
    });
    w.Picture(kChartHeightMm, [&](QPainter& p, const QRectF& area) {
        DrawDayOverlay(p, area, mm, QStringLiteral("Daily overlay: kW Sum by time of day"),
                       QStringLiteral("kW"), r.overlay);
    });
    const std::vector<QColor> phases(kPhaseColours.begin(), kPhaseColours.end());
    const auto volts = Lines(r.voltages, phases);
    w.Picture(kChartHeightMm, [&](QPainter& p, const QRectF& area) {
        DrawTimeChart(p, area, mm, QStringLiteral("Phase voltages"), QStringLiteral("V"), from, to,
                      volts, false);
    });
    const auto amps = Lines(r.currents, phases);
    w.Picture(kChartHeightMm, [&](QPainter& p, const QRectF& area) {
        DrawTimeChart(p, area, mm, QStringLiteral("Phase currents"), QStringLiteral("A"), from, to,
                      amps, true);
    });
}

} // namespace

int PaintSurveyReport(QPagedPaintDevice& device, const SurveyReport& r) {
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    painter.setRenderHint(QPainter::Antialiasing);
    QString footer = QStringLiteral("Zentra survey report");
    if (!r.title.empty())
        footer += QStringLiteral(": ") + Q(r.title);
    if (r.from && r.to)
        footer += QStringLiteral(", %1 to %2")
                      .arg(Q(ReportDay(DayNumberOf(*r.from))), Q(ReportDay(DayNumberOf(*r.to))));
    PageWriter w(painter, device, footer);
    Cover(w, r);
    Summary(w, r);
    Demand(w, r);
    Energy(w, r);
    VoltageCurrent(w, r);
    Daily(w, r);
    Pictures(w, r);
    const int pages = w.Pages();
    return painter.end() ? pages : 0;
}

bool WriteReportPdf(const SurveyReport& report, const std::string& path, std::string* error,
                    int* pages) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = "Cannot write \"" + path + "\": " + file.errorString().toStdString() + ".";
        return false;
    }
    int painted = 0;
    {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
        pdf.setResolution(600);
        pdf.setTitle(QString::fromStdString(report.title));
        pdf.setCreator(QStringLiteral("zentra-report"));
        painted = PaintSurveyReport(pdf, report);
    }
    file.close();
    if (painted == 0 || file.error() != QFileDevice::NoError) {
        if (error)
            *error = "Cannot write \"" + path + "\": " +
                     (painted == 0 ? std::string("the PDF could not be drawn")
                                   : file.errorString().toStdString()) +
                     ".";
        return false;
    }
    if (pages)
        *pages = painted;
    return true;
}

} // namespace zentra::report

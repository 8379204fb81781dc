// What a load survey found: every figure of the survey report, worked out from the
// stored samples and their times alone. Plain structs; the PDF and JSON writers only
// print them. Times are seconds since 1970-01-01 UTC (shown in local time); powers in
// kW / kVA, energies in kWh / kVArh, voltages in V, currents in A.
#pragma once

#include "records/calendar.h"
#include "records/readings_catalogue.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zentra::report {

inline constexpr double kGapPeriods = 1.5; // a step longer than this many periods is a gap
inline constexpr int kTopIntervals = 10;
inline constexpr int kDefaultDemandMinutes = 15;
// Current unbalance is left out while the phases carry almost nothing: below this
// share of the meter's system current the ratio measures noise, not the load.
inline constexpr double kUnbalanceCurrentShare = 0.05;

// One file of the survey (or the open project of the desktop program).
struct SurveyFile {
    std::string name;                 // file name as shown (no folder)
    std::string path;                 // empty for the open project when it was never saved
    std::int64_t first = 0, last = 0; // first and last sample times (count > 0)
    std::int32_t count = 0;
    std::int64_t periodS = 0;
};

// The meter and the project, from the first file.
struct SurveyMeter {
    std::string projectName, description;
    double node = 0, model = 0, systemVoltage = 0, systemCurrent = 0, systemTypeNumber = 0;
    float versionFraction = 0;
    std::int32_t variant = 1; // m_SystemType
    bool shortList = false;
};

// A missing stretch: no sample between from and to (the samples either side).
struct Gap {
    std::int64_t from = 0, to = 0;
};

struct ReadingSummary {
    ReadingIndex index = 0;
    std::string label, unit;
    std::int64_t count = 0;    // samples used
    std::int64_t nanCount = 0; // samples stored as NaN, skipped
    double min = 0, mean = 0, max = 0;
    std::int64_t minAt = 0, maxAt = 0;
};

// The mean of one clock-aligned demand interval; kva is NaN without "kVA Sum".
struct DemandInterval {
    std::int64_t end = 0; // the interval's end (its start is end - demand length)
    double kw = 0, kva = 0;
};

struct DemandFigure {
    std::string label; // "kW Sum" or "kVA Sum"
    double max = 0;
    std::int64_t at = 0; // end of the interval
};

struct EnergyFigure {
    std::string label, unit; // "kWHr (Imp)", "kWh"
    double first = 0, last = 0, used = 0;
    std::int64_t firstAt = 0, lastAt = 0;
};

// An extreme with its time; phase names the reading it came from ("V 2").
struct Extreme {
    double value = 0;
    std::int64_t at = 0;
    std::string phase;
    std::optional<double> percent; // of the system voltage, when that is known
};

struct DayRow {
    DayNumber day = 0;
    std::optional<Extreme> kwMax;
    double kwh = 0; // kW Sum integrated over the part of the survey on this day
    std::optional<double> vMin, vMax;
};

// The pictures: a series reduced to buckets along the time axis (x in seconds from
// the survey start, or of the day for the overlay), each with the mean, lowest and
// highest sample in it; a new segment starts after a gap.
struct PlotPoint {
    double x = 0, mean = 0, min = 0, max = 0;
    bool breakBefore = false;
};
struct PlotSeries {
    std::string label, unit;
    std::vector<PlotPoint> points;
};
struct DayCurve {
    DayNumber day = 0;
    std::vector<PlotPoint> points; // x: seconds of the local day
};

struct SurveyReport {
    std::string title;
    SurveyMeter meter;
    std::vector<SurveyFile> files;
    std::int64_t samples = 0;
    std::optional<std::int64_t> from, to;
    std::int64_t periodS = 0; // the logging period (the shortest, if files differ)
    bool periodsDiffer = false;
    std::vector<Gap> gaps;
    std::int64_t backwardSteps = 0; // samples stamped before the one before them

    std::vector<ReadingSummary> readings;

    int demandMinutes = kDefaultDemandMinutes;
    std::vector<DemandFigure> demand;   // kW Sum first; kVA Sum when logged and found
    std::vector<DemandInterval> topTen; // by kW Sum
    std::int64_t completeIntervals = 0, partialIntervals = 0;

    std::vector<EnergyFigure> energy;
    std::optional<double> kwhIntegrated;

    std::optional<Extreme> voltageLow, voltageHigh;
    std::optional<Extreme> voltageUnbalance, currentUnbalance; // value in %

    std::vector<DayRow> days;

    std::vector<PlotSeries> profile;  // kW Sum, kVA Sum
    std::vector<PlotSeries> voltages; // V 1, V 2, V 3
    std::vector<PlotSeries> currents; // I 1, I 2, I 3
    std::vector<DayCurve> overlay;    // kW Sum, one curve per day
};

} // namespace zentra::report

#include "tools/report/survey_accumulator.h"

#include "tools/report/report_units.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zentra::report {
namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double kSecondsPerHour = 3600.0;
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr ReadingIndex kKvaSum = 11;
constexpr std::array<ReadingIndex, 3> kPhaseVoltages{4, 5, 6};
constexpr std::array<ReadingIndex, 3> kPhaseCurrents{7, 8, 9};
constexpr std::array<ReadingIndex, 2> kEnergyCounters{14, 15};

std::int64_t FloorMod(std::int64_t a, std::int64_t b) {
    const std::int64_t r = a % b;
    return r < 0 ? r + b : r;
}

// The largest deviation of a phase from the three phases' mean, as a % of that mean,
// and the phase it is on; nothing when a phase is missing or the mean is not above
// minMean.
std::optional<std::pair<double, int>> Unbalance(const std::array<double, 3>& v, double minMean) {
    if (std::isnan(v[0]) || std::isnan(v[1]) || std::isnan(v[2]))
        return std::nullopt;
    const double mean = (v[0] + v[1] + v[2]) / 3.0;
    if (!(mean > minMean) || !(mean > 0.0))
        return std::nullopt;
    int phase = 0;
    for (int k = 1; k < 3; ++k)
        if (std::fabs(v[std::size_t(k)] - mean) > std::fabs(v[std::size_t(phase)] - mean))
            phase = k;
    return std::pair{std::fabs(v[std::size_t(phase)] - mean) / mean * 100.0, phase};
}

void KeepHigher(std::optional<Extreme>& e, double value, std::int64_t at, ReadingIndex index) {
    if (!e || value > e->value)
        e = Extreme{value, at, std::string(ReadingLabel(index)), std::nullopt};
}
void KeepLower(std::optional<Extreme>& e, double value, std::int64_t at, ReadingIndex index) {
    if (!e || value < e->value)
        e = Extreme{value, at, std::string(ReadingLabel(index)), std::nullopt};
}

} // namespace

SurveyAccumulator::SurveyAccumulator(const SurveyMeter& meter, const std::vector<SurveyFile>& files,
                                     int demandMinutes)
    : meter_(meter), files_(files), columnOf_(kHorsePowerReading + 1, -1), demand_(demandMinutes) {
    const auto list = ColumnsFor(meter.variant);
    for (std::size_t c = 0; c < list.size(); ++c) {
        columnOf_[std::size_t(list[c])] = int(c);
        columns_.push_back({list[c], int(c) + 1, list[c] > kBlockReadings});
        summaries_.push_back(
            {list[c], std::string(ReadingLabel(list[c])), std::string(ReadingUnit(list[c]))});
    }
    // h.p. is worked out from the record's "kW Sum".
    for (Column& column : columns_)
        if (column.derived)
            column.element = columnOf_[kReadingKwSum] + 1;
    sums_.assign(columns_.size(), 0.0);
    energy_.resize(kEnergyCounters.size());

    bool any = false;
    for (const SurveyFile& f : files) {
        if (f.count == 0)
            continue;
        from_ = any ? std::min(from_, f.first) : f.first;
        to_ = any ? std::max(to_, f.last) : f.last;
        any = true;
    }
    const double span = double(to_ - from_);
    for (ReadingIndex r : {kReadingKwSum, kKvaSum})
        if (columnOf_[std::size_t(r)] >= 0)
            profile_.emplace_back(0.0, span, kProfileBuckets);
    for (ReadingIndex r : kPhaseVoltages)
        if (columnOf_[std::size_t(r)] >= 0)
            voltages_.emplace_back(0.0, span, kProfileBuckets);
    for (ReadingIndex r : kPhaseCurrents)
        if (columnOf_[std::size_t(r)] >= 0)
            currents_.emplace_back(0.0, span, kProfileBuckets);
}

double SurveyAccumulator::Value(const StoredSample& s, int column) const {
    const Column& c = columns_[std::size_t(column)];
    if (c.element < 1 || c.element >= kSampleValues || (s.nanMask >> c.element) & 1u)
        return kNotANumber;
    const double v = (*s.values)[std::size_t(c.element)];
    return c.derived ? HorsePowerOf(v) : v;
}

double SurveyAccumulator::ValueOf(const StoredSample& s, ReadingIndex index) const {
    const int column = columnOf_[std::size_t(index)];
    return column < 0 ? kNotANumber : Value(s, column);
}

DayRow& SurveyAccumulator::RowFor(std::int64_t time) {
    if (!days_.empty() && time >= dayStart_ && time < dayEnd_)
        return days_[dayIndex_];
    const DayNumber day = DayNumberOf(time);
    auto at = std::lower_bound(days_.begin(), days_.end(), day,
                               [](const DayRow& row, DayNumber d) { return row.day < d; });
    if (at == days_.end() || at->day != day)
        at = days_.insert(at, DayRow{day, std::nullopt, 0.0, std::nullopt, std::nullopt});
    dayIndex_ = std::size_t(at - days_.begin());
    dayStart_ = DayStart(day);
    dayEnd_ = DayStart(NextDay(day));
    return days_[dayIndex_];
}

// The trapezoid from (ta, pa) to (tb, pb), shared out among the local days it
// spans at the straight line's value at each midnight.
void SurveyAccumulator::AddEnergy(std::int64_t ta, double pa, std::int64_t tb, double pb) {
    const double whole = (pa + pb) / 2.0 * double(tb - ta) / kSecondsPerHour;
    kwh_ = kwh_.value_or(0.0) + whole;
    std::int64_t t0 = ta;
    double p0 = pa;
    for (;;) {
        DayRow& row = RowFor(t0);
        const std::int64_t end = dayEnd_;
        if (tb <= end || end <= t0) {
            row.kwh += (p0 + pb) / 2.0 * double(tb - t0) / kSecondsPerHour;
            return;
        }
        const double pm = pa + (pb - pa) * double(end - ta) / double(tb - ta);
        row.kwh += (p0 + pm) / 2.0 * double(end - t0) / kSecondsPerHour;
        t0 = end;
        p0 = pm;
    }
}

void SurveyAccumulator::Add(const StoredSample& s) {
    const std::int64_t period = files_[s.file].periodS;
    bool afterGap = false;
    if (havePrevious_) {
        const std::int64_t step = s.time - previousTime_;
        if (step < 0) {
            ++backward_; // the clock was set back: no step to integrate over
            haveKw_ = false;
        } else if (double(step) > kGapPeriods * double(std::max(period, previousPeriod_))) {
            gaps_.push_back({previousTime_, s.time});
            afterGap = true;
            haveKw_ = false;
        }
    }
    havePrevious_ = true;
    previousTime_ = s.time;
    previousPeriod_ = period;
    ++samples_;

    for (std::size_t c = 0; c < columns_.size(); ++c) {
        const double v = Value(s, int(c));
        ReadingSummary& r = summaries_[c];
        if (std::isnan(v)) {
            ++r.nanCount;
            continue;
        }
        if (r.count == 0 || v < r.min) {
            r.min = v;
            r.minAt = s.time;
        }
        if (r.count == 0 || v > r.max) {
            r.max = v;
            r.maxAt = s.time;
        }
        sums_[c] += v;
        ++r.count;
    }

    const double kw = ValueOf(s, kReadingKwSum);
    const double kva = ValueOf(s, kKvaSum);
    if (!std::isnan(kw)) {
        if (haveKw_ && s.time > kwTime_)
            AddEnergy(kwTime_, kw_, s.time, kw);
        haveKw_ = true;
        kwTime_ = s.time;
        kw_ = kw;
    }

    DayRow& row = RowFor(s.time);
    const DayNumber day = row.day;
    if (!std::isnan(kw) && (!row.kwMax || kw > row.kwMax->value))
        row.kwMax = Extreme{kw, s.time, std::string(ReadingLabel(kReadingKwSum)), std::nullopt};
    std::array<double, 3> volts{kNotANumber, kNotANumber, kNotANumber};
    std::array<double, 3> amps{kNotANumber, kNotANumber, kNotANumber};
    for (std::size_t k = 0; k < 3; ++k) {
        volts[k] = ValueOf(s, kPhaseVoltages[k]);
        amps[k] = ValueOf(s, kPhaseCurrents[k]);
        if (std::isnan(volts[k]))
            continue;
        row.vMin = row.vMin ? std::min(*row.vMin, volts[k]) : volts[k];
        row.vMax = row.vMax ? std::max(*row.vMax, volts[k]) : volts[k];
        KeepLower(vLow_, volts[k], s.time, kPhaseVoltages[k]);
        KeepHigher(vHigh_, volts[k], s.time, kPhaseVoltages[k]);
    }
    if (auto u = Unbalance(volts, 0.0))
        KeepHigher(vUnbalance_, u->first, s.time, kPhaseVoltages[std::size_t(u->second)]);
    const double minCurrent = std::isfinite(meter_.systemCurrent) && meter_.systemCurrent > 0
                                  ? kUnbalanceCurrentShare * meter_.systemCurrent
                                  : 0.0;
    if (auto u = Unbalance(amps, minCurrent))
        KeepHigher(iUnbalance_, u->first, s.time, kPhaseCurrents[std::size_t(u->second)]);

    for (std::size_t k = 0; k < kEnergyCounters.size(); ++k) {
        const double v = ValueOf(s, kEnergyCounters[k]);
        if (std::isnan(v))
            continue;
        auto& e = energy_[k];
        if (!e)
            e = EnergyFigure{std::string(ReadingLabel(kEnergyCounters[k])),
                             std::string(ReadingUnit(kEnergyCounters[k])),
                             v,
                             v,
                             0.0,
                             s.time,
                             s.time};
        e->last = v;
        e->lastAt = s.time;
    }

    demand_.Add(s.time, kw, kva, afterGap, period, clock_);

    const double x = double(s.time - from_);
    std::size_t p = 0;
    for (ReadingIndex r : {kReadingKwSum, kKvaSum})
        if (columnOf_[std::size_t(r)] >= 0)
            profile_[p++].Add(x, ValueOf(s, r), afterGap);
    for (std::size_t k = 0, v = 0, i = 0; k < 3; ++k) {
        if (columnOf_[std::size_t(kPhaseVoltages[k])] >= 0)
            voltages_[v++].Add(x, volts[k], afterGap);
        if (columnOf_[std::size_t(kPhaseCurrents[k])] >= 0)
            currents_[i++].Add(x, amps[k], afterGap);
    }
    const double secondOfDay = double(FloorMod(clock_.WallSeconds(s.time), kSecondsPerDay));
    auto curve = overlay_.try_emplace(day, 0.0, double(kSecondsPerDay), kOverlayBuckets).first;
    curve->second.Add(secondOfDay, kw, afterGap);
}

void SurveyAccumulator::Finish(SurveyReport& report) {
    demand_.Finish();
    report.samples = samples_;
    if (samples_ > 0) {
        report.from = from_;
        report.to = to_;
    }
    report.gaps = gaps_;
    report.backwardSteps = backward_;
    report.readings = summaries_;
    for (std::size_t c = 0; c < summaries_.size(); ++c)
        if (summaries_[c].count > 0)
            report.readings[c].mean = sums_[c] / double(summaries_[c].count);

    report.voltageLow = vLow_;
    report.voltageHigh = vHigh_;
    const double nominal = meter_.systemVoltage;
    for (std::optional<Extreme>* e : {&report.voltageLow, &report.voltageHigh})
        if (*e && std::isfinite(nominal) && nominal > 0)
            (*e)->percent = (*e)->value / nominal * 100.0;
    report.voltageUnbalance = vUnbalance_;
    report.currentUnbalance = iUnbalance_;
    if (samples_ > 0)
        report.days = days_;

    // Demand, energy and the pictures need a stretch of time: two samples at least.
    if (samples_ < 2)
        return;
    const auto& intervals = demand_.Complete();
    report.completeIntervals = std::int64_t(intervals.size());
    report.partialIntervals = demand_.Partial();
    const DemandInterval* kwPeak = nullptr;
    const DemandInterval* kvaPeak = nullptr;
    for (const DemandInterval& d : intervals) {
        if (!std::isnan(d.kw) && (!kwPeak || d.kw > kwPeak->kw))
            kwPeak = &d;
        if (!std::isnan(d.kva) && (!kvaPeak || d.kva > kvaPeak->kva))
            kvaPeak = &d;
    }
    if (kwPeak)
        report.demand.push_back(
            {std::string(ReadingLabel(kReadingKwSum)), kwPeak->kw, kwPeak->end});
    if (kvaPeak)
        report.demand.push_back({std::string(ReadingLabel(kKvaSum)), kvaPeak->kva, kvaPeak->end});
    std::vector<DemandInterval> ranked;
    for (const DemandInterval& d : intervals)
        if (!std::isnan(d.kw))
            ranked.push_back(d);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const DemandInterval& a, const DemandInterval& b) { return a.kw > b.kw; });
    if (ranked.size() > std::size_t(kTopIntervals))
        ranked.resize(std::size_t(kTopIntervals));
    report.topTen = ranked;

    for (auto& e : energy_)
        if (e) {
            e->used = e->last - e->first;
            report.energy.push_back(*e);
        }
    report.kwhIntegrated = kwh_;

    const std::array<ReadingIndex, 2> profileReadings{kReadingKwSum, kKvaSum};
    std::size_t p = 0;
    for (ReadingIndex r : profileReadings)
        if (columnOf_[std::size_t(r)] >= 0)
            report.profile.push_back({std::string(ReadingLabel(r)), std::string(ReadingUnit(r)),
                                      profile_[p++].Points()});
    for (std::size_t k = 0, v = 0, i = 0; k < 3; ++k) {
        if (columnOf_[std::size_t(kPhaseVoltages[k])] >= 0)
            report.voltages.push_back(
                {std::string(ReadingLabel(kPhaseVoltages[k])), "V", voltages_[v++].Points()});
        if (columnOf_[std::size_t(kPhaseCurrents[k])] >= 0)
            report.currents.push_back(
                {std::string(ReadingLabel(kPhaseCurrents[k])), "A", currents_[i++].Points()});
    }
    for (const auto& [day, buckets] : overlay_)
        report.overlay.push_back({day, buckets.Points()});
}

} // namespace zentra::report

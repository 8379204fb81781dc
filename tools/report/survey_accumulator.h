// Works out the figures of a survey from its samples, taken one at a time in survey
// order: nothing but the running figures is kept, whatever the survey's length.
#pragma once

#include "tools/report/demand_intervals.h"
#include "tools/report/local_clock.h"
#include "tools/report/plot_buckets.h"
#include "tools/report/survey_figures.h"
#include "tools/report/survey_source.h"

#include <map>
#include <optional>
#include <vector>

namespace zentra::report {

inline constexpr int kProfileBuckets = 1000;
inline constexpr int kOverlayBuckets = 480; // three minutes each

class SurveyAccumulator {
  public:
    SurveyAccumulator(const SurveyMeter& meter, const std::vector<SurveyFile>& files,
                      int demandMinutes);

    void Add(const StoredSample& sample);
    // Writes every figure into the report (its title, meter and files are left alone).
    void Finish(SurveyReport& report);

  private:
    struct Column {
        ReadingIndex index = 0;
        int element = 0; // element of the record; for h.p. that of "kW Sum"
        bool derived = false;
    };
    double Value(const StoredSample& s, int column) const;
    double ValueOf(const StoredSample& s, ReadingIndex index) const;
    void AddEnergy(std::int64_t ta, double pa, std::int64_t tb, double pb);
    DayRow& RowFor(std::int64_t time);
    void NoteExtremes(const StoredSample& s);

    SurveyMeter meter_;
    const std::vector<SurveyFile>& files_;
    std::vector<Column> columns_;
    std::vector<int> columnOf_; // reading index -> column, -1 when not logged
    LocalClock clock_;

    std::int64_t samples_ = 0;
    bool havePrevious_ = false;
    std::int64_t previousTime_ = 0, previousPeriod_ = 0;
    std::vector<Gap> gaps_;
    std::int64_t backward_ = 0;

    std::vector<ReadingSummary> summaries_;
    std::vector<double> sums_;

    DemandIntervals demand_;
    std::vector<std::optional<EnergyFigure>> energy_; // kWHr (Imp), kVArHr (Imp)

    bool haveKw_ = false; // the last valid kW Sum since the last gap
    std::int64_t kwTime_ = 0;
    double kw_ = 0;
    std::optional<double> kwh_;

    std::optional<Extreme> vLow_, vHigh_, vUnbalance_, iUnbalance_;

    std::vector<DayRow> days_;
    std::size_t dayIndex_ = 0;
    std::int64_t dayStart_ = 0, dayEnd_ = 0;

    std::int64_t from_ = 0, to_ = 0;
    std::vector<PlotBuckets> profile_, voltages_, currents_;
    std::map<DayNumber, PlotBuckets> overlay_;
};

} // namespace zentra::report

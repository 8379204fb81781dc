// Demand intervals as utilities bill them: the mean of "kW Sum" (and "kVA Sum") over
// fixed intervals aligned to the local clock (for 15 minutes: :00, :15, :30, :45).
// An interval counts only when the samples cover it: its first sample no more than
// one period after its start, its last no more than one period before its end, and no
// gap inside, and a logging period no longer than the interval; the others (the survey's first and
// last, those around a gap) are counted as partial and left out.
#pragma once

#include "tools/report/local_clock.h"
#include "tools/report/survey_figures.h"

#include <cstdint>
#include <vector>

namespace zentra::report {

class DemandIntervals {
  public:
    explicit DemandIntervals(int minutes) : lengthS_(std::int64_t{minutes} * 60) {}

    // One stored sample, in time order. kw / kva are NaN when not stored or NaN;
    // afterGap: a gap lies between this sample and the one before; periodS: the
    // logging period of its file.
    void Add(std::int64_t time, double kw, double kva, bool afterGap, std::int64_t periodS,
             LocalClock& clock);
    // Closes the last interval.
    void Finish();

    const std::vector<DemandInterval>& Complete() const { return complete_; }
    std::int64_t Partial() const { return partial_; }

  private:
    void Close();

    std::int64_t lengthS_;
    bool open_ = false;
    std::int64_t key_ = 0, offset_ = 0; // wall-clock interval number and the UTC offset
    std::int64_t first_ = 0, last_ = 0, periodS_ = 0;
    bool gap_ = false;
    double kwSum_ = 0, kvaSum_ = 0;
    std::int64_t kwCount_ = 0, kvaCount_ = 0;
    std::vector<DemandInterval> complete_;
    std::int64_t partial_ = 0;
};

} // namespace zentra::report

// A series reduced for drawing: the x range cut into a fixed number of buckets, each
// keeping the mean, lowest and highest value that fell into it, so that a week of
// one-second samples draws as a thousand points with its peaks intact. With fewer
// samples than buckets every point is a sample as it was stored.
#pragma once

#include "tools/report/survey_figures.h"

#include <vector>

namespace zentra::report {

class PlotBuckets {
  public:
    PlotBuckets(double x0, double span, int count);

    // One sample in x order; value NaN for a sample without one. afterGap: a gap lies
    // before this sample, so the line breaks there (unless the gap is inside a bucket).
    void Add(double x, double value, bool afterGap);
    std::vector<PlotPoint> Points() const;

  private:
    struct Bucket {
        double xSum = 0, sum = 0, min = 0, max = 0;
        long count = 0;
        bool breakBefore = false;
    };
    double x0_, span_;
    std::vector<Bucket> buckets_;
    int lastBucket_ = -1;
    bool pendingBreak_ = false;
};

} // namespace zentra::report

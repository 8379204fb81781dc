#include "tools/report/plot_buckets.h"

#include <algorithm>
#include <cmath>

namespace zentra::report {

PlotBuckets::PlotBuckets(double x0, double span, int count)
    : x0_(x0), span_(span > 0 ? span : 1.0), buckets_(std::size_t(std::max(count, 1))) {}

void PlotBuckets::Add(double x, double value, bool afterGap) {
    pendingBreak_ = pendingBreak_ || afterGap;
    if (std::isnan(value))
        return;
    const double position = (x - x0_) / span_ * double(buckets_.size());
    const int index = std::clamp(int(std::floor(position)), 0, int(buckets_.size()) - 1);
    Bucket& b = buckets_[std::size_t(index)];
    if (pendingBreak_ && lastBucket_ >= 0 && index != lastBucket_)
        b.breakBefore = true;
    pendingBreak_ = false;
    lastBucket_ = index;
    if (b.count == 0) {
        b.min = b.max = value;
    } else {
        b.min = std::min(b.min, value);
        b.max = std::max(b.max, value);
    }
    b.xSum += x;
    b.sum += value;
    ++b.count;
}

std::vector<PlotPoint> PlotBuckets::Points() const {
    std::vector<PlotPoint> points;
    for (const Bucket& b : buckets_) {
        if (b.count == 0)
            continue;
        const double n = double(b.count);
        points.push_back({b.xSum / n, b.sum / n, b.min, b.max, b.breakBefore || points.empty()});
    }
    return points;
}

} // namespace zentra::report

#include "tools/report/demand_intervals.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zentra::report {
namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

void DemandIntervals::Add(std::int64_t time, double kw, double kva, bool afterGap,
                          std::int64_t periodS, LocalClock& clock) {
    // The interval is numbered on the wall clock, and told apart by the offset too, so
    // that the hour a summer-time change repeats gives intervals of its own.
    const std::int64_t offset = clock.OffsetAt(time);
    const std::int64_t key = FloorDiv(time + offset, lengthS_);
    if (!open_ || key != key_ || offset != offset_) {
        Close();
        open_ = true;
        key_ = key;
        offset_ = offset;
        first_ = time;
        gap_ = false;
        periodS_ = 0;
        kwSum_ = kvaSum_ = 0;
        kwCount_ = kvaCount_ = 0;
    } else if (afterGap) {
        gap_ = true;
    }
    last_ = time;
    periodS_ = std::max(periodS_, periodS);
    if (!std::isnan(kw)) {
        kwSum_ += kw;
        ++kwCount_;
    }
    if (!std::isnan(kva)) {
        kvaSum_ += kva;
        ++kvaCount_;
    }
}

void DemandIntervals::Finish() {
    Close();
}

void DemandIntervals::Close() {
    if (!open_)
        return;
    open_ = false;
    const std::int64_t start = key_ * lengthS_ - offset_;
    const std::int64_t end = start + lengthS_;
    // A period longer than the interval cannot tell its mean: one sample is no mean.
    const bool covered =
        !gap_ && periodS_ <= lengthS_ && first_ - start <= periodS_ && end - last_ <= periodS_;
    if (!covered || (kwCount_ == 0 && kvaCount_ == 0)) {
        ++partial_;
        return;
    }
    complete_.push_back({end, kwCount_ > 0 ? kwSum_ / double(kwCount_) : kNotANumber,
                         kvaCount_ > 0 ? kvaSum_ / double(kvaCount_) : kNotANumber});
}

} // namespace zentra::report

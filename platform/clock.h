// The one source of "now" for the whole program. Tests replace it with a fixed or
// hand-stepped clock so that nothing depends on the wall clock.
#pragma once

#include <cstdint>
#include <functional>

namespace zentra::platform {

// Seconds since 1970-01-01 00:00:00 UTC.
using TimeSeconds = std::int64_t;

// Current calendar time through the seam (the system clock unless replaced).
TimeSeconds Now();

// Replaces the clock; an empty function restores the system clock.
void SetClock(std::function<TimeSeconds()> clock);

// A clock that stays where it is put; tests step it by hand.
class ManualClock {
  public:
    explicit ManualClock(TimeSeconds start);
    ~ManualClock();
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    void Set(TimeSeconds t) { now_ = t; }
    void Advance(TimeSeconds seconds) { now_ += seconds; }
    TimeSeconds Get() const { return now_; }

  private:
    TimeSeconds now_;
};

} // namespace zentra::platform

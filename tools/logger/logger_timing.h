// The time of a screenless run: timer 1 as a deadline on the steady clock, a clock
// that runs faster when the acquisition second is shortened (tests), and waits that
// a stop request (Ctrl+C, SIGTERM) cuts short within kStopPollSlice.
#pragma once

#include "acquisition/acquisition_timer.h"

#include <atomic>
#include <chrono>

namespace zentra::logger {

using SteadyClock = std::chrono::steady_clock;

inline constexpr std::chrono::milliseconds kStopPollSlice{50}; // how often a wait looks at stop

// Timer 1 as a deadline; a shortened second (tickMs < 1000) scales every period.
class DeadlineTimer final : public AcquisitionTimer {
  public:
    explicit DeadlineTimer(int tickMs) : tickMs_(tickMs) {}
    // Re-arming at the tick period keeps a steady cadence from the previous deadline,
    // so the time a tick spends reading does not push every later tick back (which
    // would skip a second every so often). A run that fell behind starts afresh.
    int Arm(int id, std::chrono::milliseconds period) override;
    void Kill(int) override { armed_ = false; }
    bool armed() const { return armed_; }
    SteadyClock::time_point deadline() const { return deadline_; }

  private:
    int tickMs_;
    SteadyClock::time_point deadline_{};
    bool armed_ = false;
};

// A clock whose seconds last tickMs of real time, started at the real now; installed
// through the clock seam for its lifetime when active and tickMs is not 1000.
class ScaledClock {
  public:
    ScaledClock(bool active, int tickMs);
    ~ScaledClock();
    ScaledClock(const ScaledClock&) = delete;
    ScaledClock& operator=(const ScaledClock&) = delete;

  private:
    bool active_;
};

// Waits until the timer is due; false when a stop was asked for meanwhile.
bool WaitForTick(const DeadlineTimer& timer, const std::atomic<bool>& stop);

// Waits this long; false when a stop was asked for meanwhile.
bool WaitUnlessStopped(std::chrono::milliseconds span, const std::atomic<bool>& stop);

} // namespace zentra::logger

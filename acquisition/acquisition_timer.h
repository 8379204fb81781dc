// The timer that drives the acquisition cycle. The view implements it with a real
// window timer; the command-line logger and the tests implement it with a deadline
// they poll or step by hand.
#pragma once

#include <chrono>

namespace zentra {

inline constexpr int kAcquisitionTimerId = 1;
inline constexpr std::chrono::milliseconds kTickPeriod{1000};

class AcquisitionTimer {
  public:
    virtual ~AcquisitionTimer() = default;
    // Arms (or re-arms, replacing any earlier period) the timer with this identifier;
    // returns the identifier the timer events will carry.
    virtual int Arm(int id, std::chrono::milliseconds period) = 0;
    // Stops the timer with this identifier; no further events until it is armed again.
    virtual void Kill(int id) = 0;
};

} // namespace zentra

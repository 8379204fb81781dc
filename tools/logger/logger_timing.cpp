#include "tools/logger/logger_timing.h"

#include "platform/clock.h"

#include <algorithm>
#include <thread>

namespace zentra::logger {
namespace {

using std::chrono::milliseconds;

bool WaitUntil(SteadyClock::time_point until, const std::atomic<bool>& stop) {
    while (!stop.load()) {
        const auto now = SteadyClock::now();
        if (now >= until)
            return true;
        std::this_thread::sleep_for(std::min<SteadyClock::duration>(until - now, kStopPollSlice));
    }
    return false;
}

} // namespace

int DeadlineTimer::Arm(int id, milliseconds period) {
    const auto now = SteadyClock::now();
    const auto scaled = std::chrono::duration_cast<SteadyClock::duration>(period * tickMs_) / 1000;
    auto next = now + scaled;
    if (armed_ && period == kTickPeriod && deadline_ + scaled > now)
        next = deadline_ + scaled;
    deadline_ = next;
    armed_ = true;
    return id;
}

ScaledClock::ScaledClock(bool active, int tickMs) : active_(active && tickMs != 1000) {
    if (!active_)
        return;
    const platform::TimeSeconds base = platform::Now();
    const SteadyClock::time_point start = SteadyClock::now();
    platform::SetClock([base, start, tickMs] {
        const auto elapsed =
            std::chrono::duration_cast<milliseconds>(SteadyClock::now() - start).count();
        return base + elapsed / tickMs;
    });
}

ScaledClock::~ScaledClock() {
    if (active_)
        platform::SetClock({});
}

bool WaitForTick(const DeadlineTimer& timer, const std::atomic<bool>& stop) {
    return WaitUntil(timer.deadline(), stop);
}

bool WaitUnlessStopped(milliseconds span, const std::atomic<bool>& stop) {
    return WaitUntil(SteadyClock::now() + span, stop);
}

} // namespace zentra::logger

#include "platform/clock.h"

#include <ctime>
#include <utility>

namespace zentra::platform {
namespace {
std::function<TimeSeconds()>& ClockSlot() {
    static std::function<TimeSeconds()> slot;
    return slot;
}
} // namespace

TimeSeconds Now() {
    if (const auto& clock = ClockSlot())
        return clock();
    return static_cast<TimeSeconds>(std::time(nullptr));
}

void SetClock(std::function<TimeSeconds()> clock) {
    ClockSlot() = std::move(clock);
}

ManualClock::ManualClock(TimeSeconds start) : now_(start) {
    SetClock([this] { return now_; });
}

ManualClock::~ManualClock() {
    SetClock({});
}

} // namespace zentra::platform

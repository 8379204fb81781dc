// The fuzz targets' "now" and time zone, so that what the code under test stamps or
// shows as a date comes out the same on every run.
#pragma once

#include "platform/clock.h"

#include <cstdlib>

namespace zentra::fuzz {

inline constexpr platform::TimeSeconds kFuzzNow{1'357'394'589}; // Sat 5 Jan 2013 14:03:09 UTC

inline void FixTime() {
    platform::SetClock([] { return kFuzzNow; });
    setenv("TZ", "Europe/London", 1);
}

} // namespace zentra::fuzz

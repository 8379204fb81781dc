// Whether the meter answers the running cycle. A meter can stop answering while its
// link stays up (a gateway whose meter hangs, a device server whose RS-485 side is
// cut): the port is fine, no sample comes, and only the missed replies tell. The view
// notes every tick here and the status pane says since when the meter has been
// silent, until readings come back.
#pragma once

#include "acquisition/acquisition_cycle.h"

#include <cstdint>
#include <optional>

namespace zentra {

// Readings replies missed in a row before the meter counts as not answering: one
// lost reply is routine on a noisy line.
inline constexpr int kMissesBeforeSilent = 3;

class MeterSilence {
  public:
    // After a tick at `now` (seconds since 1970). A readings reply means the meter
    // answers; a tick that read no reply while readings were being asked for
    // (lastRequest, the document's m_LastRequest after the tick) is one more miss.
    // Other ticks change nothing.
    void Note(const TickOutcome& tick, std::int32_t lastRequest, std::int64_t now);
    // Forgets everything (no cycle runs, or another port was taken up).
    void Reset();
    // The last readings reply's time, or the first miss's when none came, once
    // kMissesBeforeSilent replies in a row were missed; nothing while it answers.
    std::optional<std::int64_t> SilentSince() const;

  private:
    int missed_ = 0;
    std::optional<std::int64_t> lastAnswer_;
    std::int64_t firstMiss_ = 0;
};

} // namespace zentra

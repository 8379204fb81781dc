#include "display/view/meter_silence.h"

#include "comms/meter.h"

namespace zentra {

void MeterSilence::Note(const TickOutcome& tick, std::int32_t lastRequest, std::int64_t now) {
    if (tick.filed == kFcReadings) {
        missed_ = 0;
        lastAnswer_ = now;
        return;
    }
    if (!tick.exchanged || tick.filed != kReplyNone || lastRequest != kFcReadings)
        return;
    if (missed_ == 0)
        firstMiss_ = now;
    if (missed_ < kMissesBeforeSilent)
        ++missed_;
}

void MeterSilence::Reset() {
    *this = MeterSilence{};
}

std::optional<std::int64_t> MeterSilence::SilentSince() const {
    if (missed_ < kMissesBeforeSilent)
        return std::nullopt;
    return lastAnswer_.value_or(firstMiss_);
}

} // namespace zentra

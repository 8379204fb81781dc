// Identification of the meter before a screenless run, as Connect on the
// Communication page does it: its identity is asked for (three tries), its model
// number checked against the float byte order, and its variant taken (which decides
// the logged columns).
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>

namespace zentra {
struct CZentraDoc;
}

namespace zentra::logger {

enum class Identified {
    Yes,     // the document holds the meter's model, version fraction and variant
    Failed,  // the meter did not answer, or answered in another byte order (err says)
    Stopped, // a stop request came first
};

// Waits out the latency between request and reply in slices, so a stop request is
// honoured within a fraction of a second however long the latency is.
// The identity as the live outlets show it: the firmware version ("1.010") and the
// serial number as the Communication page shows it (empty when the reply had none).
struct IdentityTexts {
    std::string version;
    std::string serial;
};

Identified IdentifyMeter(CZentraDoc& doc, const std::string& port, const std::atomic<bool>& stop,
                         std::ostream& out, std::ostream& err, IdentityTexts* texts = nullptr);

} // namespace zentra::logger

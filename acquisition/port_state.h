// Whether the serial adapter behind the document's port is still there. A pulled USB
// adapter leaves the document holding a dead handle: every read and write on it then
// ends at once (a missing reply, so the cycle, the logging state and the samples carry
// on), and the status bar says so until the user reconnects on the Communication page.
#pragma once

#include <string_view>

namespace zentra {

struct CZentraDoc;

// Shown for a pulled USB adapter and a dropped gateway connection alike: the port
// layer below knows which, the status pane does not need to.
inline constexpr std::string_view kAdapterGoneText =
    "Link to the meter lost: reconnect it, then use Settings -> Communication";

// True while the document holds a port whose device has gone (hang-up or I/O error).
bool PortGone(const CZentraDoc& doc);

} // namespace zentra

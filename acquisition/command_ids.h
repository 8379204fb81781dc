// Numeric identifiers of the data retrieval and logging commands, as the menus,
// the toolbar and the view's pop-up menu send them.
#pragma once

namespace zentra {

inline constexpr int kCmdStartRetrieval = 105;     // "Start Data Retrieval"
inline constexpr int kCmdEnableLogging = 32785;    // "Enable Logging"
inline constexpr int kCmdStopRetrieval = 32787;    // "Stop Data Retrieval"
inline constexpr int kCmdRestartRetrieval = 32797; // "Restart Data Retrieval"

} // namespace zentra

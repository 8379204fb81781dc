// Numeric identifiers of the commands the main view takes, from its pop-up menu, the
// main menu and the toolbar. The data retrieval and logging ids live with the
// acquisition cycle.
#pragma once

#include "acquisition/command_ids.h"

namespace zentra::view_cmd {

// Display switches handled by the view itself.
inline constexpr int kToggleMaximise = 32790;     // "Maximize Graph" / "Tile Graph"
inline constexpr int kToggleRelativeY = 102;      // "Absolute Y Scale" / "Relative Y Scale"
inline constexpr int kToggleRealTime = 103;       // "Log View" / "Real Time View"
inline constexpr int kToggleGraphMode = 104;      // "Data View" / "Graph View"
inline constexpr int kToggleProjectPanel = 32795; // "Hide/Show Project Details"

// Printing, handled by the view.
inline constexpr int kPrint = 57607;
inline constexpr int kPrintDirect = 57608;
inline constexpr int kPrintPreview = 57609;
inline constexpr int kPrintSetup = 57606;

// Commands the view passes on to the main window (settings sheets, export, defaults).
inline constexpr int kProjectSettings = 32781;
inline constexpr int kGraphSettings = 32796;
inline constexpr int kCommunications = 32784;
inline constexpr int kExportCsv = 32798;
inline constexpr int kSetAsDefault = 32799;

// Status bar pane that carries the view's connection text.
inline constexpr int kStatusPortPane = 101;

} // namespace zentra::view_cmd

// The four commands that start and stop data retrieval and logging, with their
// messages and questions, the project lock and the state changes they make.
#pragma once

#include "acquisition/acquisition_cycle.h"

#include <string_view>

namespace zentra {

// Texts and captions of the commands' messages.
namespace acquisition_text {
inline constexpr std::string_view kPortNotSetUp =
    "Program's Port Parameters Are Not Setup Yet: See The Settings Menu";
inline constexpr std::string_view kCommunicationError = "Communication Error";
inline constexpr std::string_view kAlreadyStoring = "Program Already Storing Data";
inline constexpr std::string_view kError = "Error";
inline constexpr std::string_view kNotActive = "Program Not Active";
inline constexpr std::string_view kNotActiveStop = "Program Not Active:";
inline constexpr std::string_view kProjectWarning = "Project Warning";
inline constexpr std::string_view kStopLockedQuestion =
    "The project is locked. If you stop logging now you won't be able to restart it. Do you "
    "want to continue and end logging?";
inline constexpr std::string_view kProjectLocked =
    "This project is locked. It either terminated properly or was stopped before the logging "
    "period had expired: you won't be able to restart it";
inline constexpr std::string_view kLoggingNotSetUpQuestion =
    "Logging parameters have not been set up yet. Do you still want to start logging?";
} // namespace acquisition_text

// Each returns true when the command went ahead, false when a message or a "No"
// stopped it.

// Start Data Retrieval (105).
bool OnStartRetrieval(CZentraDoc& doc, AcquisitionState& state, AcquisitionTimer& timer);
// Restart Data Retrieval (32797): stops the timer, then starts retrieval again.
bool OnRestartRetrieval(CZentraDoc& doc, AcquisitionState& state, AcquisitionTimer& timer);
// Stop Data Retrieval (32787): ends logging and closes the port; the timer runs on.
bool OnStopRetrieval(CZentraDoc& doc);
// Enable Logging (32785): locks the project and starts logging (and retrieval).
bool OnEnableLogging(CZentraDoc& doc, AcquisitionState& state, AcquisitionTimer& timer);

// Runs the command with this identifier if it is one of the four; returns whether the
// identifier was one of them (whatever the command then decided).
bool HandleAcquisitionCommand(int commandId, CZentraDoc& doc, AcquisitionState& state,
                              AcquisitionTimer& timer);

} // namespace zentra

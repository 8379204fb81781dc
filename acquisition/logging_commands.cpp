#include "acquisition/logging_commands.h"

#include "acquisition/command_ids.h"
#include "comms/serial_link.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "records/calendar.h"

namespace zentra {
namespace text = acquisition_text;
using platform::MessageButtons;
using platform::MessageIcon;

namespace {
void ShowError(std::string_view message, std::string_view caption) {
    platform::ShowMessage(message, caption, MessageButtons::Ok, MessageIcon::Error);
}
} // namespace

bool OnStartRetrieval(CZentraDoc& doc, AcquisitionState& state, AcquisitionTimer& timer) {
    if (!doc.m_Comms.portSetUp) {
        ShowError(text::kPortNotSetUp, text::kCommunicationError);
        return false;
    }
    if (doc.m_RetrievalActive) {
        ShowError(text::kAlreadyStoring, text::kError);
        return false;
    }
    StartRetrieval(doc, state, timer);
    return true;
}

bool OnRestartRetrieval(CZentraDoc& doc, AcquisitionState& state, AcquisitionTimer& timer) {
    if (!doc.m_RetrievalActive) {
        ShowError(text::kNotActive, text::kError);
        return false;
    }
    timer.Kill(state.timerId);
    StartRetrieval(doc, state, timer);
    return true;
}

bool OnStopRetrieval(CZentraDoc& doc) {
    if (!doc.m_RetrievalActive) {
        ShowError(text::kNotActiveStop, text::kError);
        return false;
    }
    if (doc.m_Locked &&
        !platform::AskYesNo(text::kStopLockedQuestion, text::kProjectWarning, MessageIcon::Warning))
        return false;
    EndLogging(doc); // also when logging was not running
    if (doc.m_PortHandle != kInvalidPort)
        ClosePort(doc.m_PortHandle);
    doc.m_PortHandle = kInvalidPort;
    doc.m_RetrievalActive = 0;
    doc.m_Comms.portSetUp = 0;
    return true;
}

bool OnEnableLogging(CZentraDoc& doc, AcquisitionState& state, AcquisitionTimer& timer) {
    const std::int64_t now = platform::Now();
    if (!doc.m_Comms.portSetUp) {
        ShowError(text::kPortNotSetUp, text::kCommunicationError);
        return false;
    }
    if (doc.m_Locked) {
        platform::ShowMessage(text::kProjectLocked, text::kProjectWarning, MessageButtons::Ok,
                              MessageIcon::Warning);
        return false;
    }
    if (!doc.m_LoggingSetUp && !platform::AskYesNo(text::kLoggingNotSetUpQuestion,
                                                   text::kProjectWarning, MessageIcon::Warning))
        return false;
    if (doc.m_StartImmediately) {
        doc.m_TickCountdown = 0;
        const std::tm local = LocalTime(now);
        doc.m_StartHour = local.tm_hour;
        doc.m_StartMinute = local.tm_min;
        doc.m_StartSecond = local.tm_sec;
        doc.m_StartDate = DayNumberOf(now);
        doc.m_LoggingStartTime = now;
    }
    doc.m_Locked = 1;
    // A run that begins is not finished, even if an earlier Stop (without logging)
    // marked the project so; otherwise a save during this run would keep that
    // earlier end time.
    doc.m_Finished = 0;
    doc.SetModifiedFlag(true);
    doc.m_LoggingActive = 1;
    if (!doc.m_RetrievalActive)
        StartRetrieval(doc, state, timer);
    return true;
}

bool HandleAcquisitionCommand(int commandId, CZentraDoc& doc, AcquisitionState& state,
                              AcquisitionTimer& timer) {
    switch (commandId) {
    case kCmdStartRetrieval:
        OnStartRetrieval(doc, state, timer);
        return true;
    case kCmdRestartRetrieval:
        OnRestartRetrieval(doc, state, timer);
        return true;
    case kCmdStopRetrieval:
        OnStopRetrieval(doc);
        return true;
    case kCmdEnableLogging:
        OnEnableLogging(doc, state, timer);
        return true;
    default:
        return false;
    }
}

} // namespace zentra

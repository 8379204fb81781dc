#include "display/view/context_menu.h"

#include "display/view/view_commands.h"
#include "document/zentra_doc.h"
#include "platform/net_address.h"
#include "records/calendar.h"

#include <cstdio>
#include <cstring>

namespace zentra {
namespace {

std::string FieldText(const CommText& text) {
    return std::string(text.data(), strnlen(text.data(), text.size()));
}

// An address is a host name at most, but the map may hold a long one: the pane keeps
// its head so the rest of the line still shows.
constexpr std::size_t kAddressShown = 60;

std::string ShownAddress(const std::string& device) {
    if (device.size() <= kAddressShown)
        return device;
    return device.substr(0, kAddressShown - 3) + "...";
}

// "14:03:09" for a moment of today, "Jan 04 2013 23:59:58" for an earlier one.
std::string MomentText(std::int64_t time) {
    const GetSystemDate moment(time);
    if (DayNumberOf(time) == TodayDayNumber())
        return moment.m_Clock.data();
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %s %s", moment.m_MonthName.data(), moment.m_Day.data(),
                  moment.m_Year.data(), moment.m_Clock.data());
    return text;
}

} // namespace

std::vector<MenuEntry> ContextMenuEntries(const CZentraDoc& doc, int selectedGraph,
                                          bool maximised) {
    const Graph defaults{};
    const Graph& graph = (selectedGraph >= 0 && selectedGraph < kGraphCount)
                             ? doc.m_Graphs[static_cast<std::size_t>(selectedGraph)]
                             : defaults;
    std::vector<MenuEntry> entries{
        {view_cmd::kProjectSettings, "Project Settings"},
        {view_cmd::kGraphSettings, "Graph Settings"},
        {view_cmd::kCommunications, "Communications"},
        {},
        {view_cmd::kToggleProjectPanel,
         doc.m_ShowProject ? "Hide Project Details" : "Show Project Details"},
        {},
        {view_cmd::kToggleMaximise, maximised ? "Tile Graph" : "Maximize Graph"},
        {view_cmd::kToggleRelativeY, graph.m_RelativeY ? "Absolute Y Scale" : "Relative Y Scale"},
    };
    // A project read from a file has no live readings to switch to.
    if (doc.m_ArchivedFile == 0)
        entries.push_back(
            {view_cmd::kToggleRealTime, graph.m_RealTime ? "Log View" : "Real Time View"});
    entries.push_back({view_cmd::kToggleGraphMode, graph.m_GraphMode ? "Data View" : "Graph View"});
    entries.push_back({});
    if (doc.m_RetrievalActive) {
        entries.push_back({kCmdStopRetrieval, "Stop Data Retrieval"});
        entries.push_back({kCmdRestartRetrieval, "Restart Data Retrieval"});
    } else {
        entries.push_back({kCmdStartRetrieval, "Start Data Retrieval"});
    }
    entries.push_back({});
    entries.push_back({kCmdEnableLogging, "Enable Logging"});
    entries.push_back({});
    entries.push_back({view_cmd::kPrint, "Print..."});
    entries.push_back({view_cmd::kPrintPreview, "Print Preview"});
    return entries;
}

std::string StatusText(const CZentraDoc& doc, const PortStatus& status) {
    if (doc.m_Comms.portSetUp == 0)
        return "No Port Open";
    std::string text = "Port:" + FieldText(doc.m_Comms.port);
    if (platform::IsNetAddressForm(status.device))
        text += " Address: " + ShownAddress(status.device) + " ";
    else
        text += " Baud: " + FieldText(doc.m_Comms.baud) +
                " Parity: " + FieldText(doc.m_Comms.parity) + ": ";
    if (doc.m_LoggingActive)
        text += "(Logging)";
    if (status.silentSince)
        text += std::string(doc.m_LoggingActive ? " " : "") + "(Meter Not Answering Since " +
                MomentText(*status.silentSince) + ")";
    return text;
}

} // namespace zentra

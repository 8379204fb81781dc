#include "display/view/context_menu.h"

#include "display/view/view_commands.h"
#include "document/zentra_doc.h"

#include <cstdio>
#include <cstring>

namespace zentra {
namespace {

std::string FieldText(const CommText& text) {
    return std::string(text.data(), strnlen(text.data(), text.size()));
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

std::string StatusText(const CZentraDoc& doc) {
    if (doc.m_Comms.portSetUp == 0)
        return "No Port Open";
    char text[128];
    std::snprintf(text, sizeof text, "Port:%s Baud: %s Parity: %s: %s",
                  FieldText(doc.m_Comms.port).c_str(), FieldText(doc.m_Comms.baud).c_str(),
                  FieldText(doc.m_Comms.parity).c_str(), doc.m_LoggingActive ? "(Logging)" : "");
    return text;
}

} // namespace zentra

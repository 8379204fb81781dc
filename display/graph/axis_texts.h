// The time texts at the two ends of a graph's time axis and the date under it. They
// are kept in the document (one set for real-time graphs, one for log graphs) and
// recomputed while the axis is drawn.
#pragma once

namespace zentra {

struct CZentraDoc;
struct Graph;

// Real-time axis: ends at now and starts the graph's time base earlier. Only while the
// port is set up; otherwise the texts stay as they are.
void UpdateLiveAxisTexts(CZentraDoc& doc, const Graph& graph);

// Log axis, once samples exist and the window has moved, logging has finished or the
// graph is browsing history: the times of the newest and the oldest sample the window
// shows (before the first or after the last sample, counted on from it one logging
// period a step), so a time when nothing was logged is never labelled as logged.
// Uses the graph's m_SecondsPerDiv, m_LastIndex and m_ScrollOffset.
void UpdateLogAxisTexts(CZentraDoc& doc, const Graph& graph);

} // namespace zentra

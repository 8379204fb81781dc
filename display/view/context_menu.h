// The view's pop-up menu as plain data (texts, command ids, separators), and the
// connection text for the status bar.
#pragma once

#include <string>
#include <vector>

namespace zentra {

struct CZentraDoc;

// One menu line; id 0 is a separator.
struct MenuEntry {
    int id = 0;
    std::string text;
    bool IsSeparator() const { return id == 0; }
    friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

// The pop-up menu's items in order. selectedGraph is the graph the per-graph switches
// act on; the texts name what each switch will change to.
std::vector<MenuEntry> ContextMenuEntries(const CZentraDoc& doc, int selectedGraph, bool maximised);

// "No Port Open" until the port is set up, then the port, baud and parity texts of
// the serial link with "(Logging)" while logging runs.
std::string StatusText(const CZentraDoc& doc);

} // namespace zentra

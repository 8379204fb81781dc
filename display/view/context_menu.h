// The view's pop-up menu as plain data (texts, command ids, separators), and the
// connection text for the status bar.
#pragma once

#include <cstdint>
#include <optional>
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

// What the status pane says besides the document's own settings.
struct PortStatus {
    std::string device;                      // what the port name stands for here
    std::optional<std::int64_t> silentSince; // the meter has not answered since then
};

// "No Port Open" until the port is set up, then the port with the baud and parity
// texts of the serial link (for a network device its address instead, which those
// do not reach), "(Logging)" while logging runs and, while the meter does not
// answer, since when: "(Meter Not Answering Since 14:03:09)", with the date when
// that was not today.
std::string StatusText(const CZentraDoc& doc, const PortStatus& status = {});

} // namespace zentra

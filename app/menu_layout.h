// The main menu, the toolbar and the accelerator table as plain data: every item's
// text (mnemonic and shown keys included), command id and initial state. The main
// frame builds its widgets from these tables; the tests read them back from the
// widgets.
#pragma once

#include <span>
#include <string_view>

namespace zentra {

inline constexpr int kSeparator = 0; // id of a separator line in the tables

struct MenuItemSpec {
    std::string_view text; // "\t" separates the shown keys
    int id = kSeparator;
    bool enabled = true;
};

struct MenuSpec {
    std::string_view title;
    bool enabled = true; // false: the whole menu cannot be opened
    std::span<const MenuItemSpec> items;
};

// The six menus in their order.
std::span<const MenuSpec> MainMenuSpec();

// Toolbar buttons in their order (kSeparator for a gap).
std::span<const int> ToolBarSpec();

// One accelerator: keys in QKeySequence's portable text form.
struct AcceleratorSpec {
    std::string_view keys;
    int id = 0;
};
std::span<const AcceleratorSpec> AcceleratorSpecs();

// The standard status-bar prompt of a framework command, and its tooltip after the
// newline; empty for the program's own commands.
std::string_view CommandPrompt(int id);
std::string_view CommandTip(int id);

// The idle text of the message pane and the lock-key indicator texts.
inline constexpr std::string_view kIdleStatusText = "For Help, press F1";
inline constexpr std::string_view kCapsIndicator = "CAP";
inline constexpr std::string_view kNumIndicator = "NUM";
inline constexpr std::string_view kScrollIndicator = "SCRL";

inline constexpr std::string_view kApplicationTitle = "Zentra";
inline constexpr std::string_view kFileFilter = "Zentra Files (*.ztr)";
inline constexpr std::string_view kFileExtension = ".ztr";

} // namespace zentra

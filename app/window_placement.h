// Where the main window opens: inside the screen's available area (what panels and
// docks leave free), at the size and place it had when it was last closed. The
// placement is kept in the settings store under "Software\Corvane\Zentra\Window" as
// the value "Placement": five little-endian int32, the left, top, width and height of
// the window's inside (without the frame the desktop draws around it), then 1 when it
// was maximised, else 0.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>
#include <optional>
#include <string_view>

namespace zentra {

inline constexpr std::string_view kWindowKey = "Software\\Corvane\\Zentra\\Window";
inline constexpr std::string_view kPlacementValue = "Placement";
inline constexpr std::size_t kPlacementSize = 20; // bytes

// The size of the window's inside at the first start, screen permitting.
inline constexpr QSize kDefaultWindowSize{1024, 740};
// The desktop's frame around the window (title bar above, borders) while the real one
// is not yet known, that is before the window has been shown.
inline constexpr QMargins kAssumedFrame{8, 40, 8, 8};
// A stored extent or position beyond this many pixels is not a window's.
inline constexpr int kPlacementLimit = 1'000'000;

struct WindowPlacement {
    QRect normal; // the inside when neither maximised nor minimised
    bool maximised = false;
    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

// The stored placement; nullopt when none is stored or the stored bytes do not
// describe a window (wrong size, an empty or absurd rectangle).
std::optional<WindowPlacement> LoadWindowPlacement();
// Stores the placement; false when the store could not be written.
bool StoreWindowPlacement(const WindowPlacement& placement);

// The inside rectangle nearest to `wanted` whose frame lies wholly inside `available`:
// shrunk only as far as the area needs, then moved as little as possible.
QRect FitToScreen(const QRect& wanted, const QRect& available, const QMargins& frame);
// A rectangle of the given size centred in the area.
QRect CentredIn(const QSize& size, const QRect& available);

} // namespace zentra

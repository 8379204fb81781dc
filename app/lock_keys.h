// State of the Caps Lock, Num Lock and Scroll Lock keys for the status bar. Qt has
// no portable way to ask; on Linux the keyboard LEDs under /sys/class/leds mirror
// the locks (one folder per keyboard, named "input<N>::capslock" and so on), so a
// lock counts as on when any keyboard shows its LED lit. Where no keyboard offers a
// readable LED for a lock (a remote session, a virtual machine, a keyboard without
// that LED) its state is unknown.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace zentra {

struct LockKeyState {
    // nullopt: the state cannot be read here.
    std::optional<bool> caps;
    std::optional<bool> num;
    std::optional<bool> scroll;
    friend bool operator==(const LockKeyState&, const LockKeyState&) = default;
};

inline constexpr const char* kLedFolder = "/sys/class/leds";

// The LED folders of each lock under the given folder. Listing them is the dearer
// part of a reading, so the status bar keeps the list and reads only the brightness.
struct LockLeds {
    std::vector<std::filesystem::path> caps;
    std::vector<std::filesystem::path> num;
    std::vector<std::filesystem::path> scroll;
};
LockLeds FindLockLeds(const std::filesystem::path& ledFolder = kLedFolder);

// Reads the listed LEDs; a lock none of whose LEDs can be read is unknown.
LockKeyState ReadLockKeys(const LockLeds& leds);
// Lists and reads the LEDs under the folder; all unknown when it does not exist.
LockKeyState ReadLockKeys(const std::filesystem::path& ledFolder = kLedFolder);

} // namespace zentra

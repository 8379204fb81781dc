// State of the Caps Lock, Num Lock and Scroll Lock keys for the status bar. Qt has
// no portable way to ask; on Linux the keyboard LEDs under /sys/class/leds mirror
// the locks (one folder per keyboard, named "input<N>::capslock" and so on), so a
// lock counts as on when any keyboard shows its LED lit.
#pragma once

#include <filesystem>

namespace zentra {

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
    friend bool operator==(const LockKeyState&, const LockKeyState&) = default;
};

inline constexpr const char* kLedFolder = "/sys/class/leds";

// Reads the LEDs under the given folder; all off when it does not exist.
LockKeyState ReadLockKeys(const std::filesystem::path& ledFolder = kLedFolder);

} // namespace zentra

// The user's own map from port names to devices (COM1 .. COM9 -> device path), kept
// in the settings store under "Software\Corvane\Zentra\Ports" as the values "COM1" ..
// "COM9", each holding the device path's bytes (an empty value: the name stands for
// no device). The serial layer consults it after the ZENTRA_COMn environment
// variables and before the devices it detects.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zentra {

inline constexpr std::string_view kPortMapKey = "Software\\Corvane\\Zentra\\Ports";
inline constexpr std::size_t kDevicePathCapacity = 4096; // bytes of one stored path

// True for an empty path, an absolute one without NUL or line breaks, of at most
// kDevicePathCapacity bytes, or a valid network address (platform/net_address.h).
bool IsUsableDevicePath(std::string_view devicePath);

// The stored device of COMn (n = 1..9); nullopt when none is stored, the number is
// out of range or the stored bytes are not a usable path.
std::optional<std::string> StoredPortDevice(int comNumber);

// Stores (or, for nullopt, removes) the device of COMn. False for a number out of
// range, an unusable path or a failed write.
bool StorePortDevice(int comNumber, const std::optional<std::string>& devicePath);

// Installs the stored map as the serial layer's user map. It is read at each look-up,
// so later changes take effect at once.
void InstallPortMap();

} // namespace zentra

// Which device each of the port names COM1..COM9 stands for on this machine.
//
// A device is a path or a network address (tcp://HOST:PORT, modbus-tcp://HOST:PORT).
// In order: the environment variable ZENTRA_COM1..ZENTRA_COM9 (a device; set but
// empty means "no device"), then the user's own map (installed by the settings store),
// then the serial devices found here, in a stable order, filling the remaining names.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentra::platform {

inline constexpr int kComPortCount = 9;

// 1..9 for "COM1".."COM9" (exactly), 0 for any other name.
int ComNumber(std::string_view portName);

// The user's map: device path for a COM number, or nothing to fall through.
using PortMapLookup = std::function<std::optional<std::string>(int comNumber)>;
// Installs the user's map; an empty function removes it.
void SetPortMapLookup(PortMapLookup lookup);

// Lists the serial devices found on the machine: /dev/ttyUSB*, /dev/ttyACM*, then the
// /dev/ttyS* that have hardware behind them, each group in numeric order.
std::vector<std::string> DetectSerialDevices();

// Replaces device detection (tests); an empty function restores DetectSerialDevices.
void SetDeviceScan(std::function<std::vector<std::string>()> scan);

// Device of every name, COM1 first (empty where no device is assigned).
std::array<std::optional<std::string>, kComPortCount> PortDeviceTable();

// Device path that COMn stands for, if any (comNumber 1..9).
std::optional<std::string> PortDevicePath(int comNumber);

} // namespace zentra::platform

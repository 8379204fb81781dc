// The serial link to the meter: probing which of COM1..COM9 exist and opening one
// with the configured line settings. The port handle is the only connection object.
#pragma once

#include "comms/comm_settings.h"

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace zentra {

using PortHandle = int;
inline constexpr PortHandle kInvalidPort = -1;

using PortAvailability = std::array<bool, kPortCount>; // COM1 first

inline constexpr std::size_t kQueueSize = 1000; // driver queue sizes, bytes

// One flag per COM1..COM9: set when the port's device is present (a device that could
// be opened and was closed again; a network address without connecting).
PortAvailability EnumeratePorts();

// Builds "COM1: baud=38400 parity=N data=8 stop=1" from the settings.
std::string BuildDefinitionText(const CommSettings& settings);

// Opens and configures the named port; closes any handle the caller still holds
// first. Returns the handle or kInvalidPort; *busy is 1 while the port is being opened.
PortHandle OpenPort(const CommSettings& settings, const PortAvailability& available,
                    PortHandle& held, int* busy = nullptr);

// Closes a held handle and sets the holder's copy to kInvalidPort.
void ClosePort(PortHandle& handle);

// Why the last OpenPort on this thread failed, in words a user can act on
// (empty after a success).
std::string LastOpenFailure();

// The device a port name stands for on this machine ("COM1" -> "/dev/ttyUSB0"), if any.
std::optional<std::string> PortDevice(std::string_view portName);

// True once the device behind an open handle has gone (adapter pulled): reads then
// return nothing at once until the holder closes the handle.
bool PortGone(PortHandle handle);

} // namespace zentra

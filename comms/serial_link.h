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

// Every flag set: for a program that opens one named port and leaves the others
// alone (probing them would open each one), so that the open itself says what is wrong.
PortAvailability OnlyThisPort();

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

// A device as messages show it: at most kShownDeviceChars characters, a longer one
// cut with "..." (a device text comes from the environment or the store, any length).
inline constexpr std::size_t kShownDeviceChars = 100;
std::string ShownDevice(std::string_view device);

// "COM1 (tcp://192.0.2.10:4001)", or "COM1" when the name stands for no device.
std::string PortAndDevice(std::string_view portName);

// The failure of the last OpenPort of the port, as a sentence for a program's
// messages: "cannot open COM1 (tcp://...): cannot reach ..." where the reason is a
// detail of the port, otherwise the reason as it stands ("COM1 (...) is busy: ...").
// Names the port once.
std::string OpenFailureSentence(std::string_view portName);

// True when the port name stands for a network address (tcp://, modbus-tcp://),
// valid or not.
bool IsNetworkPort(std::string_view portName);

// What to tell the user when the device behind an open port has gone: for a network
// port "COM1 (tcp://...): the device closed the connection. Check ...", for a serial
// one "COM1 (/dev/ttyUSB0) has gone. Check that the adapter is plugged in."
std::string PortGoneText(std::string_view portName);

// Modbus exceptions a gateway (not the meter) sends: no path to the meter (10), and
// no answer from the meter behind it (11).
inline constexpr int kExceptionGatewayPath = 10;
inline constexpr int kExceptionGatewayNoAnswer = 11;

// "the gateway got no answer from the meter behind it" and the like for the two
// gateway exceptions, with what to check; empty for any other code.
std::string GatewayExceptionText(int exceptionCode);

// True once the device behind an open handle has gone (adapter pulled): reads then
// return nothing at once until the holder closes the handle.
bool PortGone(PortHandle handle);

} // namespace zentra

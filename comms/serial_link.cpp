#include "comms/serial_link.h"

#include "platform/net_address.h"
#include "platform/serial_port.h"
#include "platform/serial_ports.h"

#include <cstring>

namespace zentra {
namespace {

thread_local std::string tLastOpenFailure;

std::string Text(const CommText& field) {
    return std::string(field.data(), strnlen(field.data(), field.size()));
}

// "N", "O" or "E"; nothing for a parity text that is none of the three, which leaves
// the definition text unusable.
const char* ParityLetter(const std::string& parity) {
    if (parity == "NONE")
        return "N";
    if (parity == "ODD")
        return "O";
    if (parity == "EVEN")
        return "E";
    return "";
}

std::string DeviceNote(const std::string& port, const std::string& device) {
    return device.empty() ? port : port + " (" + ShownDevice(device) + ")";
}

std::string OpenFailureText(const std::string& port, const std::string& device,
                            const platform::SerialOpenResult& result) {
    const std::string where = DeviceNote(port, device);
    if (!result.detail.empty())
        return where + ": " + result.detail;
    switch (result.error) {
    case platform::SerialOpenError::NoSuchDevice:
        return where + ": no such device. Check that the adapter is plugged in.";
    case platform::SerialOpenError::Busy:
        return where + " is busy: it is open in another program or window.";
    case platform::SerialOpenError::PermissionDenied:
        return where + ": permission denied. Your user must be in the dialout group: run "
                       "\"sudo usermod -aG dialout $USER\", then log out and in again.";
    case platform::SerialOpenError::NotSerial:
        return where + " is not a serial device.";
    default:
        return where + " cannot be opened: " + std::strerror(result.systemError) + ".";
    }
}

} // namespace

std::string BuildDefinitionText(const CommSettings& settings) {
    return Text(settings.port) + ": baud=" + Text(settings.baud) +
           " parity=" + ParityLetter(Text(settings.parity)) + " data=" + Text(settings.dataBits) +
           " stop=" + Text(settings.stopBits);
}

PortAvailability OnlyThisPort() {
    PortAvailability available;
    available.fill(true);
    return available;
}

PortAvailability EnumeratePorts() {
    PortAvailability available;
    available.fill(true);
    const auto devices = platform::PortDeviceTable();
    for (int i = 0; i < kPortCount; ++i) {
        if (!devices[i]) {
            available[i] = false;
            continue;
        }
        // The serial layer says what counts as present; OpenPort makes the connection.
        available[i] = platform::SerialDevicePresent(*devices[i]);
    }
    return available;
}

PortHandle OpenPort(const CommSettings& settings, const PortAvailability& available,
                    PortHandle& held, int* busy) {
    tLastOpenFailure.clear();
    ClosePort(held);

    const std::string port = Text(settings.port);
    const int number = platform::ComNumber(port);
    if (number > 0 && !available[number - 1]) {
        tLastOpenFailure = port + " was not found when the ports were last listed.";
        return kInvalidPort;
    }
    const std::string definition = BuildDefinitionText(settings);

    if (busy)
        *busy = 1;
    // The busy flag covers the open and set-up only; it is down again whatever the
    // outcome, so a failed open does not leave the caller marked busy.
    auto fail = [&](PortHandle handle, std::string reason) {
        platform::CloseSerialDevice(handle);
        tLastOpenFailure = std::move(reason);
        if (busy)
            *busy = 0;
        return kInvalidPort;
    };

    const auto device = number > 0 ? platform::PortDevicePath(number) : std::nullopt;
    if (!device)
        return fail(kInvalidPort, port + ": no serial device is assigned to this port.");
    const auto opened = platform::OpenSerialDevice(*device);
    if (opened.fd < 0)
        return fail(kInvalidPort, OpenFailureText(port, *device, opened));

    // Driver queues are the kernel's own; nothing to size. RTS only while sending: the
    // serial layer chose the kernel's RS-485 mode or drives RTS itself.

    const auto line = platform::ParseDefinitionText(definition);
    if (!line)
        return fail(opened.fd, DeviceNote(port, *device) +
                                   ": the line settings cannot be applied (" + definition + ").");
    // Like the set-state call it stands for, a refusal here is not fatal.
    (void)platform::ApplyLineSettings(opened.fd, *line);
    // The read time-outs are fixed in the serial layer (20 ms gap, 1 ms per byte + 1 ms);
    // a reply is awaited no longer than the latency plus that total after its request.
    platform::SetReplyLatency(opened.fd, std::chrono::milliseconds(LatencyMilliseconds(settings)));

    if (busy)
        *busy = 0;
    return opened.fd;
}

void ClosePort(PortHandle& handle) {
    if (handle != kInvalidPort)
        platform::CloseSerialDevice(handle);
    handle = kInvalidPort;
}

std::string LastOpenFailure() {
    return tLastOpenFailure;
}

std::optional<std::string> PortDevice(std::string_view portName) {
    return platform::PortDevicePath(platform::ComNumber(portName));
}

std::string ShownDevice(std::string_view device) {
    constexpr std::string_view kCut = "...";
    if (device.size() <= kShownDeviceChars)
        return std::string(device);
    return std::string(device.substr(0, kShownDeviceChars - kCut.size())) + std::string(kCut);
}

std::string PortAndDevice(std::string_view portName) {
    const auto device = PortDevice(portName);
    return DeviceNote(std::string(portName), device.value_or(std::string()));
}

std::string OpenFailureSentence(std::string_view portName) {
    const std::string why = LastOpenFailure();
    const std::string where = PortAndDevice(portName);
    if (why.empty())
        return "cannot open " + where;
    if (why.starts_with(where + ": ") || why.starts_with(std::string(portName) + ": "))
        return "cannot open " + why;
    return why;
}

bool IsNetworkPort(std::string_view portName) {
    const auto device = PortDevice(portName);
    return device && platform::IsNetAddressForm(*device);
}

std::string PortGoneText(std::string_view portName) {
    if (IsNetworkPort(portName))
        return PortAndDevice(portName) +
               ": the device closed the connection. Check that it accepts connections from "
               "this computer, and that no other program is connected to it (many gateways "
               "take one connection at a time).";
    return PortAndDevice(portName) + " has gone. Check that the adapter is plugged in.";
}

std::string GatewayExceptionText(int exceptionCode) {
    switch (exceptionCode) {
    case kExceptionGatewayPath:
        return "the gateway has no path to the meter (exception 10). Check the gateway's "
               "routing of this node number to its serial port";
    case kExceptionGatewayNoAnswer:
        return "the gateway got no answer from the meter behind it (exception 11). Check the "
               "meter's power and its wiring to the gateway, the node number, and the "
               "gateway's serial settings";
    default:
        return {};
    }
}

bool PortGone(PortHandle handle) {
    return platform::PortGone(handle);
}

} // namespace zentra

#include "document/port_map.h"

#include "document/reg_funcs.h"
#include "platform/net_address.h"
#include "platform/serial_ports.h"

#include <cstdint>
#include <span>

namespace zentra {
namespace {

bool InRange(int comNumber) {
    return comNumber >= 1 && comNumber <= platform::kComPortCount;
}

std::string ValueName(int comNumber) {
    return "COM" + std::to_string(comNumber);
}

} // namespace

bool IsUsableDevicePath(std::string_view devicePath) {
    if (devicePath.empty())
        return true;
    if (platform::IsNetAddressForm(devicePath))
        return platform::ParseNetAddress(devicePath).has_value();
    return devicePath.size() <= kDevicePathCapacity && devicePath.front() == '/' &&
           devicePath.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

std::optional<std::string> StoredPortDevice(int comNumber) {
    if (!InRange(comNumber))
        return std::nullopt;
    const RegKey key = RegFuncs().OpenKey(kPortMapKey);
    if (!key)
        return std::nullopt;
    const auto bytes = platform::ReadSettingsValue(*key, ValueName(comNumber), kDevicePathCapacity);
    if (!bytes)
        return std::nullopt;
    std::string path(bytes->begin(), bytes->end());
    if (!IsUsableDevicePath(path))
        return std::nullopt;
    return path;
}

bool StorePortDevice(int comNumber, const std::optional<std::string>& devicePath) {
    if (!InRange(comNumber) || (devicePath && !IsUsableDevicePath(*devicePath)))
        return false;
    const RegFuncs reg;
    const RegKey key = reg.OpenKey(kPortMapKey);
    if (!key)
        return false;
    if (!devicePath)
        return platform::DeleteSettingsValue(*key, ValueName(comNumber));
    const auto* data = reinterpret_cast<const std::uint8_t*>(devicePath->data());
    return reg.SetValue(key, ValueName(comNumber), std::span(data, devicePath->size()));
}

void InstallPortMap() {
    platform::SetPortMapLookup(StoredPortDevice);
}

} // namespace zentra

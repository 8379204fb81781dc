#include "platform/serial_ports.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zentra::platform {
namespace {

std::mutex gMapMutex;
PortMapLookup gUserMap;
std::function<std::vector<std::string>()> gDeviceScan;

// Trailing decimal number of a device name ("ttyUSB10" -> 10), for a numeric order.
long TrailingNumber(const std::string& name) {
    std::size_t i = name.size();
    while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9')
        --i;
    if (i == name.size())
        return -1;
    return std::strtol(name.c_str() + i, nullptr, 10);
}

std::vector<std::string> DevicesWithPrefix(const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
            TrailingNumber(name) >= 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return TrailingNumber(a) < TrailingNumber(b);
    });
    return names;
}

// The kernel makes ttyS0..ttyS31 whether or not a UART is there; only ports whose UART
// type is known (not PORT_UNKNOWN) are real. sysfs tells without opening the port
// (opening raises DTR and RTS on real hardware); the ioctl is the fallback.
bool HasHardware(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path sys = "/sys/class/tty/" + name;
    if (!std::filesystem::exists(sys / "device", ec))
        return false;
    if (std::FILE* file = std::fopen((sys / "type").c_str(), "r")) {
        int type = PORT_UNKNOWN;
        const bool read = std::fscanf(file, "%d", &type) == 1;
        std::fclose(file);
        if (read)
            return type != PORT_UNKNOWN;
    }
    const std::string path = "/dev/" + name;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    serial_struct info{};
    const bool known = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return known;
}

std::optional<std::string> FromEnvironment(int comNumber) {
    const std::string name = "ZENTRA_COM" + std::to_string(comNumber);
    if (const char* value = std::getenv(name.c_str()))
        return std::string(value);
    return std::nullopt;
}

} // namespace

int ComNumber(std::string_view portName) {
    if (portName.size() == 4 && portName.substr(0, 3) == "COM" && portName[3] >= '1' &&
        portName[3] <= '9')
        return portName[3] - '0';
    return 0;
}

void SetPortMapLookup(PortMapLookup lookup) {
    std::lock_guard lock(gMapMutex);
    gUserMap = std::move(lookup);
}

void SetDeviceScan(std::function<std::vector<std::string>()> scan) {
    std::lock_guard lock(gMapMutex);
    gDeviceScan = std::move(scan);
}

std::vector<std::string> DetectSerialDevices() {
    std::vector<std::string> devices;
    for (const char* prefix : {"ttyUSB", "ttyACM"})
        for (const auto& name : DevicesWithPrefix(prefix))
            devices.push_back("/dev/" + name);
    for (const auto& name : DevicesWithPrefix("ttyS"))
        if (HasHardware(name))
            devices.push_back("/dev/" + name);
    return devices;
}

std::array<std::optional<std::string>, kComPortCount> PortDeviceTable() {
    PortMapLookup userMap;
    std::function<std::vector<std::string>()> scan;
    {
        std::lock_guard lock(gMapMutex);
        userMap = gUserMap;
        scan = gDeviceScan;
    }
    std::array<std::optional<std::string>, kComPortCount> table;
    std::array<bool, kComPortCount> claimed{};
    for (int n = 1; n <= kComPortCount; ++n) {
        auto path = FromEnvironment(n);
        if (!path && userMap)
            path = userMap(n);
        if (!path)
            continue;
        claimed[n - 1] = true;
        if (!path->empty())
            table[n - 1] = std::move(path);
    }
    // Devices found here fill the names nobody claimed, skipping devices already named.
    const std::vector<std::string> found = scan ? scan() : DetectSerialDevices();
    auto next = found.begin();
    for (int i = 0; i < kComPortCount; ++i) {
        if (claimed[i])
            continue;
        while (next != found.end() && std::find(table.begin(), table.end(),
                                                std::optional<std::string>(*next)) != table.end())
            ++next;
        if (next == found.end())
            break;
        table[i] = *next++;
    }
    return table;
}

std::optional<std::string> PortDevicePath(int comNumber) {
    if (comNumber < 1 || comNumber > kComPortCount)
        return std::nullopt;
    return PortDeviceTable()[comNumber - 1];
}

} // namespace zentra::platform

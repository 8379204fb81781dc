// Line settings: the definition text and the termios framing it stands for.
#include "platform/serial_port.h"

#include <algorithm>

#include <termios.h>

namespace zentra::platform {
namespace {

std::optional<speed_t> SpeedFor(int baud) {
    switch (baud) {
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return std::nullopt;
    }
}

// Strict decimal integer of the whole text.
std::optional<int> ParseInt(std::string_view text) {
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameKey(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Upper(x) == Upper(y); });
}

} // namespace

std::optional<LineSettings> ParseDefinitionText(std::string_view text) {
    // Drop the "COMn:" prefix.
    if (const auto colon = text.find(':'); colon != std::string_view::npos)
        text.remove_prefix(colon + 1);
    std::optional<int> baud, data, stop;
    std::optional<char> parity;
    while (!text.empty()) {
        const auto start = text.find_first_not_of(' ');
        if (start == std::string_view::npos)
            break;
        text.remove_prefix(start);
        const auto end = std::min(text.find(' '), text.size());
        const std::string_view token = text.substr(0, end);
        text.remove_prefix(end);
        const auto eq = token.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        const std::string_view key = token.substr(0, eq);
        const std::string_view value = token.substr(eq + 1);
        if (SameKey(key, "baud")) {
            baud = ParseInt(value);
            if (!baud || !SpeedFor(*baud))
                return std::nullopt;
        } else if (SameKey(key, "parity")) {
            if (value.size() != 1)
                return std::nullopt;
            const char p = Upper(value[0]);
            if (p != 'N' && p != 'O' && p != 'E')
                return std::nullopt;
            parity = p;
        } else if (SameKey(key, "data")) {
            data = ParseInt(value);
            if (!data || *data < 5 || *data > 8)
                return std::nullopt;
        } else if (SameKey(key, "stop")) {
            stop = ParseInt(value);
            if (!stop || (*stop != 1 && *stop != 2))
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (!baud || !parity || !data || !stop)
        return std::nullopt;
    return LineSettings{*baud, *parity, *data, *stop};
}

bool ApplyLineSettings(int fd, const LineSettings& settings) {
    const auto speed = SpeedFor(settings.baud);
    if (!speed)
        return false;
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    switch (settings.dataBits) {
    case 5:
        tio.c_cflag |= CS5;
        break;
    case 6:
        tio.c_cflag |= CS6;
        break;
    case 7:
        tio.c_cflag |= CS7;
        break;
    default:
        tio.c_cflag |= CS8;
        break;
    }
    if (settings.parity == 'O')
        tio.c_cflag |= PARENB | PARODD;
    else if (settings.parity == 'E')
        tio.c_cflag |= PARENB;
    if (settings.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // Reads are framed by poll(), never by the line discipline.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, *speed);
    ::cfsetospeed(&tio, *speed);
    const bool applied = LineCalls().setAttributes(fd, tio) == 0;
    // A speed change away from 0 baud raises RTS again.
    LowerRtsIdle(fd, PortRtsControl(fd));
    return applied;
}

} // namespace zentra::platform

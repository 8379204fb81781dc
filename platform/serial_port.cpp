#include "platform/serial_port.h"

#include "platform/mbap.h"
#include "platform/net_port.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace zentra::platform {
namespace {

using Clock = std::chrono::steady_clock;

struct PortState {
    bool gone = false;
    SerialStatus lastRead = SerialStatus::Ok;
    PortKind kind = PortKind::Device;
    std::uint16_t transaction = 0; // Modbus TCP: id of the last request sent
};

// Per-port state, looked up by descriptor. Ports are used from one thread at a time,
// but the simulator and tests run on other threads, so the table is locked.
std::mutex gPortsMutex;
std::unordered_map<int, PortState> gPorts;

void Remember(int fd, PortKind kind = PortKind::Device) {
    std::lock_guard lock(gPortsMutex);
    gPorts[fd] = PortState{};
    gPorts[fd].kind = kind;
}

PortKind KindOf(int fd) {
    std::lock_guard lock(gPortsMutex);
    const auto it = gPorts.find(fd);
    return it == gPorts.end() ? PortKind::Device : it->second.kind;
}

// Modbus TCP: the request under the port's next transaction id. Empty when the frame
// is not an RTU frame with a valid CRC, which cannot be converted.
std::vector<std::uint8_t> ToModbusTcp(int fd, const std::uint8_t* data, std::size_t length) {
    std::lock_guard lock(gPortsMutex);
    PortState& state = gPorts[fd];
    return RtuToMbap(data, length, ++state.transaction);
}

// Modbus TCP: the RTU frame of the reply to the last request, in place; 0 for a
// missing reply. A read that filled the whole buffer stays as it is (an overrun).
std::size_t FromModbusTcp(int fd, std::uint8_t* buffer, std::size_t maxBytes, std::size_t count) {
    std::uint16_t expected = 0;
    {
        std::lock_guard lock(gPortsMutex);
        const auto it = gPorts.find(fd);
        if (it == gPorts.end() || it->second.kind != PortKind::ModbusTcp)
            return count;
        expected = it->second.transaction;
    }
    if (count == 0 || count >= maxBytes)
        return count;
    return MbapToRtu(buffer, count, expected, buffer, maxBytes);
}

// A socket takes send() so that a peer that has gone gives EPIPE, not SIGPIPE.
ssize_t WriteSome(int fd, PortKind kind, const std::uint8_t* data, std::size_t length) {
    return kind == PortKind::Device ? ::write(fd, data, length) : SendSome(fd, data, length);
}

void Forget(int fd) {
    std::lock_guard lock(gPortsMutex);
    gPorts.erase(fd);
}

void MarkGone(int fd) {
    std::lock_guard lock(gPortsMutex);
    if (auto it = gPorts.find(fd); it != gPorts.end())
        it->second.gone = true;
}

void NoteRead(int fd, SerialStatus status) {
    std::lock_guard lock(gPortsMutex);
    if (auto it = gPorts.find(fd); it != gPorts.end())
        it->second.lastRead = status;
}

bool IsGoneError(int error) {
    return error == EIO || error == ENXIO || error == ENODEV ||
           // a network port's connection: reset, closed, or found dead by keep-alive
           error == ECONNRESET || error == EPIPE || error == ENOTCONN || error == ETIMEDOUT;
}

SerialOpenError ClassifyOpenError(int error) {
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
    case EIO: // a serial node with no hardware behind it
        return SerialOpenError::NoSuchDevice;
    case EBUSY:
    case EWOULDBLOCK:
        return SerialOpenError::Busy;
    case EACCES:
    case EPERM:
        return SerialOpenError::PermissionDenied;
    default:
        return SerialOpenError::Other;
    }
}

SerialOpenResult Failed(int fd, SerialOpenError error, int systemError) {
    if (fd >= 0)
        ::close(fd);
    return SerialOpenResult{-1, error, systemError, {}};
}

// Milliseconds -> timespec for ppoll; never negative.
timespec ToTimespec(Clock::duration d) {
    if (d < Clock::duration::zero())
        d = Clock::duration::zero();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

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

SerialOpenResult OpenSerialDevice(const std::string& path) {
    if (path.empty())
        return SerialOpenResult{-1, SerialOpenError::NoSuchDevice, ENOENT, {}};
    if (IsNetAddressForm(path)) {
        auto connected = ConnectNetPort(path);
        if (connected.fd >= 0)
            Remember(connected.fd, ParseNetAddress(path)->kind);
        return connected;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Failed(-1, ClassifyOpenError(errno), errno);
    if (!::isatty(fd))
        return Failed(fd, SerialOpenError::NotSerial, ENOTTY);
    // The lock is what keeps a second holder out, root included.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        return Failed(fd, error == EWOULDBLOCK ? SerialOpenError::Busy : ClassifyOpenError(error),
                      error);
    }
    // Also tell the tty layer, so programs that do not take the lock are kept out too.
    (void)::ioctl(fd, TIOCEXCL);
    ::tcflush(fd, TCIOFLUSH);
    Remember(fd);
    return SerialOpenResult{fd, SerialOpenError::None, 0, {}};
}

void CloseSerialDevice(int fd) {
    if (fd < 0)
        return;
    // TIOCEXCL stays on the tty while any other descriptor keeps it open; clear it so
    // the next holder is not refused.
    (void)::ioctl(fd, TIOCNXCL);
    Forget(fd);
    ::close(fd);
}

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
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool RequestRs485RtsOnSend(int fd) {
    serial_rs485 rs485{};
    rs485.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    return ::ioctl(fd, TIOCSRS485, &rs485) == 0;
}

std::chrono::milliseconds ReadTotalTimeout(std::size_t maxBytes) {
    return kReadTotalTimeoutMultiplier * static_cast<long>(maxBytes) + kReadTotalTimeoutConstant;
}

SerialTransfer ReadSerial(int fd, std::uint8_t* buffer, std::size_t maxBytes) {
    SerialTransfer result;
    if (fd < 0) {
        result.status = SerialStatus::Error;
        result.systemError = EBADF;
        return result;
    }
    if (PortGone(fd)) {
        result.status = SerialStatus::HangUp;
        NoteRead(fd, result.status);
        return result;
    }
    const auto start = Clock::now();
    const auto totalDeadline = start + ReadTotalTimeout(maxBytes);
    auto lastByte = start;
    auto finish = [&](SerialStatus status, int error = 0) {
        result.status = status;
        result.systemError = error;
        if (status == SerialStatus::HangUp)
            MarkGone(fd);
        NoteRead(fd, status);
        return result;
    };
    while (result.count < maxBytes) {
        const auto now = Clock::now();
        auto deadline = totalDeadline;
        if (result.count > 0)
            deadline = std::min(deadline, lastByte + kReadIntervalTimeout);
        if (now >= deadline)
            break;
        pollfd pfd{fd, POLLIN, 0};
        const timespec wait = ToTimespec(deadline - now);
        const int ready = ::ppoll(&pfd, 1, &wait, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return finish(SerialStatus::Error, errno);
        }
        if (ready == 0)
            continue; // the deadline is re-checked at the top
        if (pfd.revents & POLLNVAL)
            return finish(SerialStatus::Error, EBADF);
        if (pfd.revents & POLLIN) {
            const ssize_t n = ::read(fd, buffer + result.count, maxBytes - result.count);
            if (n > 0) {
                result.count += static_cast<std::size_t>(n);
                lastByte = Clock::now();
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n < 0 && !IsGoneError(errno))
                return finish(SerialStatus::Error, errno);
            // Readable but end of file, EIO or ENXIO: the other end is gone.
            return finish(SerialStatus::HangUp, n < 0 ? errno : 0);
        }
        if (pfd.revents & (POLLHUP | POLLERR))
            return finish(SerialStatus::HangUp, EIO);
    }
    // A Modbus TCP port hands back the RTU frame its reply carries, or nothing.
    result.count = FromModbusTcp(fd, buffer, maxBytes, result.count);
    return finish(result.count == 0 ? SerialStatus::TimedOut : SerialStatus::Ok);
}

SerialTransfer WriteSerial(int fd, const std::uint8_t* data, std::size_t length) {
    SerialTransfer result;
    if (fd < 0) {
        result.status = SerialStatus::Error;
        result.systemError = EBADF;
        return result;
    }
    // Gone stays gone: a socket whose peer has closed would still take the first write.
    if (PortGone(fd)) {
        result.status = SerialStatus::HangUp;
        result.systemError = EPIPE;
        return result;
    }
    // A Modbus TCP port sends the frame in its own framing; the caller sees its own count.
    const PortKind kind = KindOf(fd);
    const std::size_t asked = length;
    std::vector<std::uint8_t> wire;
    if (kind == PortKind::ModbusTcp) {
        wire = ToModbusTcp(fd, data, length);
        if (wire.empty()) {
            result.status = SerialStatus::Error;
            result.systemError = EINVAL;
            return result;
        }
        data = wire.data();
        length = wire.size();
    }
    const auto deadline = Clock::now() + kWriteTimeout;
    while (result.count < length) {
        const ssize_t n = WriteSome(fd, kind, data + result.count, length - result.count);
        if (n > 0) {
            result.count += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            result.systemError = errno;
            result.status = IsGoneError(errno) ? SerialStatus::HangUp : SerialStatus::Error;
            if (result.status == SerialStatus::HangUp)
                MarkGone(fd);
            return result;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            result.status = SerialStatus::Error;
            result.systemError = ETIMEDOUT;
            return result;
        }
        pollfd pfd{fd, POLLOUT, 0};
        const timespec wait = ToTimespec(deadline - now);
        if (::ppoll(&pfd, 1, &wait, nullptr) > 0 && (pfd.revents & (POLLHUP | POLLERR))) {
            result.status = SerialStatus::HangUp;
            result.systemError = EIO;
            MarkGone(fd);
            return result;
        }
    }
    if (result.count == length)
        result.count = asked;
    return result;
}

bool ClearSerialError(int fd) {
    if (fd >= 0 && KindOf(fd) != PortKind::Device)
        return DiscardSocketInput(fd);
    return fd >= 0 && ::tcflush(fd, TCIFLUSH) == 0;
}

bool PortGone(int fd) {
    std::lock_guard lock(gPortsMutex);
    const auto it = gPorts.find(fd);
    return it != gPorts.end() && it->second.gone;
}

SerialStatus LastReadStatus(int fd) {
    std::lock_guard lock(gPortsMutex);
    const auto it = gPorts.find(fd);
    return it == gPorts.end() ? SerialStatus::Ok : it->second.lastRead;
}

bool SerialDevicePresent(const std::string& path) {
    if (IsNetAddressForm(path))
        return true;
    const auto opened = OpenSerialDevice(path);
    CloseSerialDevice(opened.fd);
    return opened.fd >= 0;
}

} // namespace zentra::platform

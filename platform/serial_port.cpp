#include "platform/serial_port.h"

#include "platform/mbap.h"
#include "platform/net_port.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace zentra::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Modbus TCP: how many requests still awaiting a reply are remembered. A gateway slower
// than the requests come may answer one that the reader gave up on; that reply still
// counts, as it does on an RTU line.
constexpr std::size_t kAwaitedTransactions = 8;

// Room for the RTU frame of one MBAP reply while a read looks for it (a 253-byte PDU,
// the unit id and the CRC).
constexpr std::size_t kMbapScratch = 256;

// Transaction ids of requests sent and not yet answered, oldest first.
class AwaitedIds {
  public:
    void Add(std::uint16_t id) {
        if (count_ == ids_.size()) {
            std::move(ids_.begin() + 1, ids_.end(), ids_.begin());
            --count_;
        }
        ids_[count_++] = id;
    }
    void Remove(std::uint16_t id) {
        const auto end = ids_.begin() + static_cast<std::ptrdiff_t>(count_);
        const auto it = std::find(ids_.begin(), end, id);
        if (it == end)
            return;
        std::move(it + 1, end, it);
        --count_;
    }
    std::span<const std::uint16_t> Ids() const { return {ids_.data(), count_}; }

  private:
    std::array<std::uint16_t, kAwaitedTransactions> ids_{};
    std::size_t count_ = 0;
};

struct PortState {
    bool gone = false;
    SerialStatus lastRead = SerialStatus::Ok;
    PortKind kind = PortKind::Device;
    std::uint16_t transaction = 0; // Modbus TCP: id of the last request sent
    AwaitedIds awaited;            // Modbus TCP: ids whose replies still count
    RtsControl rts = RtsControl::None;
    std::chrono::milliseconds replyLatency = kDefaultReplyLatency;
    std::optional<Clock::time_point> lastSent; // end of the last write that moved bytes
};

// Per-port state, looked up by descriptor. Ports are used from one thread at a time,
// but the simulator and tests run on other threads, so the table is locked.
std::mutex gPortsMutex;
std::unordered_map<int, PortState> gPorts;

void Remember(int fd, PortKind kind, RtsControl rts) {
    std::lock_guard lock(gPortsMutex);
    gPorts[fd] = PortState{};
    gPorts[fd].kind = kind;
    gPorts[fd].rts = rts;
}

PortKind KindOf(int fd) {
    std::lock_guard lock(gPortsMutex);
    const auto it = gPorts.find(fd);
    return it == gPorts.end() ? PortKind::Device : it->second.kind;
}

// A Modbus TCP port's RTU frame of a reply to one of the awaited requests, in place;
// length 0 for a missing reply. A read that filled the whole buffer stays as it is (an
// overrun).
MbapReply FromModbusTcp(std::uint8_t* buffer, std::size_t maxBytes, std::size_t count,
                        const AwaitedIds& awaited) {
    if (count == 0 || count >= maxBytes)
        return MbapReply{count, 0};
    return MbapReplyToRtu(buffer, count, awaited.Ids(), false, buffer, maxBytes);
}

// A socket takes send() so that a peer that has gone gives EPIPE, not SIGPIPE.
ssize_t WriteSome(int fd, PortKind kind, const std::uint8_t* data, std::size_t length) {
    return kind == PortKind::Device ? LineCalls().write(fd, data, length)
                                    : SendSome(fd, data, length);
}

void Forget(int fd) {
    std::lock_guard lock(gPortsMutex);
    gPorts.erase(fd);
}

// The port's state as a read or write starts (empty for a descriptor this layer does
// not know), under one lock. A write that will go out on a Modbus TCP port takes the
// next transaction id here.
std::optional<PortState> StateFor(int fd, bool forWrite) {
    std::lock_guard lock(gPortsMutex);
    const auto it = gPorts.find(fd);
    if (it == gPorts.end())
        return std::nullopt;
    if (forWrite && !it->second.gone && it->second.kind == PortKind::ModbusTcp) {
        ++it->second.transaction;
        it->second.awaited.Add(it->second.transaction);
    }
    return it->second;
}

// What a read or write leaves behind, under one lock. Only for a descriptor this layer
// knows (opened here, or given a latency): one that its owner closes behind our back
// must leave no state for the next with its number.
// `answered`: the Modbus TCP transaction the read took a reply to. `hungUp`: the device
// went while the read was taking a reply, which is reported by the next read.
void NoteRead(int fd, SerialStatus status, std::optional<std::uint16_t> answered, bool hungUp) {
    std::lock_guard lock(gPortsMutex);
    if (auto it = gPorts.find(fd); it != gPorts.end()) {
        it->second.gone = it->second.gone || status == SerialStatus::HangUp || hungUp;
        it->second.lastRead = status;
        if (answered)
            it->second.awaited.Remove(*answered);
    }
}

void NoteWritten(int fd, const SerialTransfer& result, Clock::time_point when) {
    std::lock_guard lock(gPortsMutex);
    if (auto it = gPorts.find(fd); it != gPorts.end()) {
        it->second.gone = it->second.gone || result.status == SerialStatus::HangUp;
        if (result.count > 0)
            it->second.lastSent = when;
    }
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

} // namespace

SerialOpenResult OpenSerialDevice(const std::string& path) {
    if (path.empty())
        return SerialOpenResult{-1, SerialOpenError::NoSuchDevice, ENOENT, {}};
    if (IsNetAddressForm(path)) {
        auto connected = ConnectNetPort(path);
        if (connected.fd >= 0)
            Remember(connected.fd, ParseNetAddress(path)->kind, RtsControl::None);
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
    // Only now that the port is ours: RTS down before anything else happens on it.
    const RtsControl rts = SetUpRtsControl(fd);
    ::tcflush(fd, TCIOFLUSH);
    Remember(fd, PortKind::Device, rts);
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

RtsControl PortRtsControl(int fd) {
    std::lock_guard lock(gPortsMutex);
    const auto it = gPorts.find(fd);
    return it == gPorts.end() ? RtsControl::None : it->second.rts;
}

void SetReplyLatency(int fd, std::chrono::milliseconds latency) {
    std::lock_guard lock(gPortsMutex);
    // A descriptor not opened here (a network port) gets an entry of its own, so the
    // reply window applies to it too; it is forgotten by CloseSerialDevice.
    gPorts[fd].replyLatency = std::max(latency, std::chrono::milliseconds::zero());
}

std::chrono::milliseconds ReadTotalTimeout(std::size_t maxBytes) {
    return kReadTotalTimeoutMultiplier * static_cast<long>(maxBytes) + kReadTotalTimeoutConstant;
}

namespace {

// What a framed read found, beyond the transfer itself.
struct FramedRead {
    SerialTransfer transfer;
    std::optional<std::uint16_t> answered; // Modbus TCP: the transaction it took a reply to
    bool hungUp = false;                   // the device went just after a whole reply
};

// Whether the bytes in hand begin with a whole frame; if so the buffer holds just that
// frame (a Modbus TCP reply converted to its RTU frame) and the count is its length.
bool TakeWholeFrame(std::uint8_t* buffer, std::size_t maxBytes, FrameLength frame,
                    const std::optional<PortState>& port, FramedRead& read) {
    std::size_t& count = read.transfer.count;
    if (port && port->kind == PortKind::ModbusTcp) {
        std::array<std::uint8_t, kMbapScratch> rtu{};
        const MbapReply reply =
            MbapReplyToRtu(buffer, count, port->awaited.Ids(), true, rtu.data(), rtu.size());
        if (reply.length == 0 || reply.length >= maxBytes ||
            (frame && frame(rtu.data(), reply.length) != reply.length))
            return false;
        std::copy_n(rtu.begin(), reply.length, buffer);
        count = reply.length;
        read.answered = reply.transaction;
        return true;
    }
    if (!frame)
        return false;
    const std::size_t length = frame(buffer, count);
    if (length == 0 || length > count)
        return false;
    count = length;
    return true;
}

// The framed read itself: waits for a first byte until firstByteBy, then takes bytes
// until kReadIntervalTimeout passes without one, totalBy passes, maxBytes are in or
// (with `frame`) a whole frame is. Bytes already waiting are read even when firstByteBy
// has passed.
FramedRead ReadFramed(int fd, std::uint8_t* buffer, std::size_t maxBytes,
                      Clock::time_point firstByteBy, Clock::time_point totalBy,
                      const std::optional<PortState>& port, FrameLength frame) {
    FramedRead read;
    SerialTransfer& result = read.transfer;
    const bool mbap = port && port->kind == PortKind::ModbusTcp;
    auto lastByte = Clock::time_point{};
    auto finish = [&](SerialStatus status, int error = 0) {
        result.status = status;
        result.systemError = error;
        return read;
    };
    // The device has gone: a whole reply that came before counts, and the hang-up is
    // reported by the next read; without one the read ends as a hang-up.
    auto hangUp = [&](int error) {
        if (result.count > 0 && (mbap || frame) &&
            TakeWholeFrame(buffer, maxBytes, frame, port, read)) {
            result.wholeFrame = frame != nullptr;
            read.hungUp = true;
            return finish(SerialStatus::Ok);
        }
        if (mbap)
            result.count = 0; // MBAP bytes are never handed up as they are
        return finish(SerialStatus::HangUp, error);
    };
    while (result.count < maxBytes) {
        const auto deadline =
            result.count == 0 ? firstByteBy : std::min(totalBy, lastByte + kReadIntervalTimeout);
        pollfd pfd{fd, POLLIN, 0};
        const timespec wait = ToTimespec(deadline - Clock::now());
        const int ready = ::ppoll(&pfd, 1, &wait, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return finish(SerialStatus::Error, errno);
        }
        if (ready == 0) {
            if (Clock::now() >= deadline)
                break;
            continue;
        }
        if (pfd.revents & POLLNVAL)
            return finish(SerialStatus::Error, EBADF);
        if (pfd.revents & POLLIN) {
            const ssize_t n = ::read(fd, buffer + result.count, maxBytes - result.count);
            if (n > 0) {
                result.count += static_cast<std::size_t>(n);
                lastByte = Clock::now();
                // The reply is in: no need to wait for the gap that follows it.
                if (frame && TakeWholeFrame(buffer, maxBytes, frame, port, read)) {
                    result.wholeFrame = true;
                    return finish(SerialStatus::Ok);
                }
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n < 0 && !IsGoneError(errno))
                return finish(SerialStatus::Error, errno);
            // Readable but end of file, EIO or ENXIO: the other end is gone.
            return hangUp(n < 0 ? errno : 0);
        }
        if (pfd.revents & (POLLHUP | POLLERR))
            return hangUp(EIO);
    }
    // A Modbus TCP port hands back the RTU frame its reply carries, or nothing.
    if (mbap) {
        const MbapReply reply = FromModbusTcp(buffer, maxBytes, result.count, port->awaited);
        result.count = reply.length;
        if (reply.length > 0 && reply.length < maxBytes)
            read.answered = reply.transaction;
    }
    return finish(result.count == 0 ? SerialStatus::TimedOut : SerialStatus::Ok);
}

// Hands all bytes to the driver, or as many as it takes within kWriteTimeout.
SerialTransfer WriteAll(int fd, const std::uint8_t* data, std::size_t length,
                        const std::optional<PortState>& port) {
    SerialTransfer result;
    // Gone stays gone: a socket whose peer has closed would still take the first write.
    if (port && port->gone) {
        result.status = SerialStatus::HangUp;
        result.systemError = EPIPE;
        return result;
    }
    // A Modbus TCP port sends the frame in its own framing; the caller sees its own count.
    const PortKind kind = port ? port->kind : PortKind::Device;
    const std::size_t asked = length;
    std::vector<std::uint8_t> wire;
    if (kind == PortKind::ModbusTcp) {
        // Empty when the frame is not an RTU frame with a valid CRC, which cannot be converted.
        wire = RtuToMbap(data, length, port->transaction);
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
            return result;
        }
    }
    if (result.count == length)
        result.count = asked;
    return result;
}

bool DiscardInput(int fd, PortKind kind) {
    if (kind != PortKind::Device)
        return DiscardSocketInput(fd);
    return ::tcflush(fd, TCIFLUSH) == 0;
}

SerialTransfer BadHandle() {
    return SerialTransfer{0, SerialStatus::Error, EBADF};
}

} // namespace

SerialTransfer ReadSerial(int fd, std::uint8_t* buffer, std::size_t maxBytes, FrameLength frame) {
    if (fd < 0)
        return BadHandle();
    const std::optional<PortState> port = StateFor(fd, false);
    FramedRead read;
    read.transfer = SerialTransfer{0, SerialStatus::HangUp, 0};
    if (!port || !port->gone) {
        const auto totalBy = Clock::now() + ReadTotalTimeout(maxBytes);
        // The first byte is awaited until the reply window of the last request closes.
        auto firstByteBy = totalBy;
        if (port && port->lastSent)
            firstByteBy = std::min(
                *port->lastSent + port->replyLatency + ReadTotalTimeout(maxBytes), totalBy);
        read = ReadFramed(fd, buffer, maxBytes, firstByteBy, totalBy, port, frame);
    }
    NoteRead(fd, read.transfer.status, read.answered, read.hungUp);
    return read.transfer;
}

SerialTransfer WriteSerial(int fd, const std::uint8_t* data, std::size_t length) {
    if (fd < 0)
        return BadHandle();
    const std::optional<PortState> port = StateFor(fd, true);
    // Nothing that came before the request is its reply: on a shared line a late answer
    // to another request would otherwise be taken for it.
    if (port && !port->gone)
        (void)DiscardInput(fd, port->kind);
    const RtsControl rts = port ? port->rts : RtsControl::None;
    BeginTransmit(fd, rts);
    const SerialTransfer result = WriteAll(fd, data, length, port);
    // Also after a failed write: RTS never stays up.
    EndTransmit(fd, rts);
    // The request has left (drained, with direction control by hand): its window opens.
    NoteWritten(fd, result, Clock::now());
    return result;
}

bool WaitForInput(int fd, std::chrono::milliseconds wait) {
    if (fd < 0)
        return false;
    const auto until = Clock::now() + wait;
    for (;;) {
        pollfd pfd{fd, POLLIN, 0};
        const timespec left = ToTimespec(until - Clock::now());
        const int ready = ::ppoll(&pfd, 1, &left, nullptr);
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

bool ClearSerialError(int fd) {
    return fd >= 0 && DiscardInput(fd, KindOf(fd));
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

// RS-485 direction control. A two-wire converter whose driver enable follows RTS hears
// the meter only while RTS is down, so RTS must be up exactly while a request is on the
// line. The kernel's RS-485 mode does that where the driver offers it; otherwise RTS is
// lowered as soon as the port is open and raised around each write by hand, down again
// once the last bit has left. A device without modem lines (a pseudo-terminal, a
// network socket) needs neither and is not an error. Also the seam of the system calls
// that set up and drive the line.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <utility>

#include <sys/types.h>
#include <termios.h>

namespace zentra::platform {

using namespace std::chrono_literals;

// How often the transmitter is looked at while a request leaves: a fraction of a
// character even at 115200 baud (one character: 95 us).
inline constexpr std::chrono::microseconds kTransmitterPoll{100us};
// A request that has not left by then never will (a few bytes take 20 ms at 4800 baud);
// RTS goes down anyway.
inline constexpr std::chrono::milliseconds kTransmitLimit{1000ms};

enum class RtsControl {
    None,     // no modem lines: nothing to drive
    Kernel,   // the driver raises RTS for each transmission and drops it after
    Software, // raised, written, drained and lowered here, around each write
};

// The system calls behind line settings, direction control and writing. Each returns
// what the system call returns (-1 with errno set on failure). Tests replace them to
// record what reaches the line and in which order.
struct SerialLineCalls {
    std::function<int(int fd, const termios& settings)> setAttributes; // tcsetattr, TCSANOW
    // TIOCSRS485 asking for RTS on send and off after; 0 only when the driver took it.
    std::function<int(int fd)> enableRs485;
    std::function<int(int fd, int lines)> raiseLines; // TIOCMBIS, lines as TIOCM_* bits
    std::function<int(int fd, int lines)> lowerLines; // TIOCMBIC
    // TIOCSERGETLSR: 1 once the transmitter is empty (the last bit has left), 0 while it
    // is not, -1 where the driver does not report its line status (USB adapters).
    std::function<int(int fd)> transmitterEmpty;
    std::function<int(int fd)> drain; // tcdrain: until the last bit has left
    std::function<ssize_t(int fd, const void* data, std::size_t length)> write;
};

// Installs replacements; an empty member (and SetSerialLineCalls({})) means the system's
// own call.
void SetSerialLineCalls(SerialLineCalls calls);

// The calls in force.
const SerialLineCalls& LineCalls();

// Installs calls for its lifetime, the system's own again after.
class ScopedSerialLineCalls {
  public:
    explicit ScopedSerialLineCalls(SerialLineCalls calls) { SetSerialLineCalls(std::move(calls)); }
    ~ScopedSerialLineCalls() { SetSerialLineCalls({}); }
    ScopedSerialLineCalls(const ScopedSerialLineCalls&) = delete;
    ScopedSerialLineCalls& operator=(const ScopedSerialLineCalls&) = delete;
};

// For a port just opened: the kernel's RS-485 mode where the driver takes it, else RTS
// lowered by hand (Software), else None. Leaves RTS down whichever it is.
RtsControl SetUpRtsControl(int fd);

// Around the bytes of one request. Software: raise RTS before; after, wait until the
// last bit has left the line, then lower RTS at once, so a meter answering 3.5
// character times later is heard. tcdrain alone checks in whole kernel ticks (4 ms or
// more, longer than 3.5 characters at 9600 baud and up), so the transmitter is watched
// every kTransmitterPoll where the driver reports it, and tcdrain serves where it does
// not. Nothing for the other two.
void BeginTransmit(int fd, RtsControl control);
void EndTransmit(int fd, RtsControl control);

// Puts RTS down again where it is driven by hand (after a change of line settings,
// which may raise it). Nothing for the other two.
void LowerRtsIdle(int fd, RtsControl control);

} // namespace zentra::platform

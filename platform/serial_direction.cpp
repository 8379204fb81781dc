#include "platform/serial_direction.h"

#include <cerrno>
#include <thread>

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace zentra::platform {
namespace {

int SystemEnableRs485(int fd) {
    serial_rs485 wanted{};
    // RTS up while sending, down after (SER_RS485_RTS_AFTER_SEND clear), no delays.
    wanted.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    if (::ioctl(fd, TIOCSRS485, &wanted) != 0)
        return -1;
    // Some drivers accept the call and leave the mode off; only what is read back counts.
    serial_rs485 now{};
    if (::ioctl(fd, TIOCGRS485, &now) != 0 || !(now.flags & SER_RS485_ENABLED)) {
        errno = ENOTTY;
        return -1;
    }
    return 0;
}

int SystemSetAttributes(int fd, const termios& settings) {
    return ::tcsetattr(fd, TCSANOW, &settings);
}

int SystemRaiseLines(int fd, int lines) {
    return ::ioctl(fd, TIOCMBIS, &lines);
}

int SystemLowerLines(int fd, int lines) {
    return ::ioctl(fd, TIOCMBIC, &lines);
}

int SystemTransmitterEmpty(int fd) {
    int status = 0;
    if (::ioctl(fd, TIOCSERGETLSR, &status) != 0)
        return -1;
    return (status & TIOCSER_TEMT) ? 1 : 0;
}

int SystemDrain(int fd) {
    return ::tcdrain(fd);
}

ssize_t SystemWrite(int fd, const void* data, std::size_t length) {
    return ::write(fd, data, length);
}

SerialLineCalls WithDefaults(SerialLineCalls calls) {
    const auto orSystem = [](auto& call, auto system) {
        if (!call)
            call = system;
    };
    orSystem(calls.setAttributes, SystemSetAttributes);
    orSystem(calls.enableRs485, SystemEnableRs485);
    orSystem(calls.raiseLines, SystemRaiseLines);
    orSystem(calls.lowerLines, SystemLowerLines);
    orSystem(calls.transmitterEmpty, SystemTransmitterEmpty);
    orSystem(calls.drain, SystemDrain);
    orSystem(calls.write, SystemWrite);
    return calls;
}

SerialLineCalls gCalls = WithDefaults({});

// Returns once the last bit of what was written has left the line, or kTransmitLimit
// after it was called.
void WaitUntilSent(int fd) {
    const SerialLineCalls& calls = LineCalls();
    const auto giveUp = std::chrono::steady_clock::now() + kTransmitLimit;
    for (;;) {
        const int empty = calls.transmitterEmpty(fd);
        if (empty > 0)
            return;
        if (empty < 0) {
            while (calls.drain(fd) != 0 && errno == EINTR) {
            }
            return;
        }
        if (std::chrono::steady_clock::now() >= giveUp)
            return;
        std::this_thread::sleep_for(kTransmitterPoll);
    }
}

} // namespace

void SetSerialLineCalls(SerialLineCalls calls) {
    gCalls = WithDefaults(std::move(calls));
}

const SerialLineCalls& LineCalls() {
    return gCalls;
}

RtsControl SetUpRtsControl(int fd) {
    const SerialLineCalls& calls = LineCalls();
    if (calls.enableRs485(fd) == 0)
        return RtsControl::Kernel;
    // The tty layer raised RTS on open; with it up the converter would drive the line
    // and the meter's replies never get in. A refusal means there are no modem lines.
    if (calls.lowerLines(fd, TIOCM_RTS) == 0)
        return RtsControl::Software;
    return RtsControl::None;
}

void BeginTransmit(int fd, RtsControl control) {
    if (control == RtsControl::Software)
        (void)LineCalls().raiseLines(fd, TIOCM_RTS);
}

void EndTransmit(int fd, RtsControl control) {
    if (control != RtsControl::Software)
        return;
    WaitUntilSent(fd);
    // Lowered whatever the wait ended on: RTS must never stay up after a request.
    (void)LineCalls().lowerLines(fd, TIOCM_RTS);
}

void LowerRtsIdle(int fd, RtsControl control) {
    if (control == RtsControl::Software)
        (void)LineCalls().lowerLines(fd, TIOCM_RTS);
}

} // namespace zentra::platform

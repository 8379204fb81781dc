// RS-485 direction control through the line-call seam: a recorder plays the adapter's
// driver and modem lines and notes every call in order. A pseudo-terminal stands in
// for the device so that the port opens for real.
#include "platform/serial_port.h"
#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include <sys/ioctl.h>

namespace zentra::platform {
namespace {

// What the adapter's driver offers.
struct Driver {
    bool kernelRs485 = false; // takes TIOCSRS485
    bool modemLines = true;   // has an RTS line
    std::size_t chunk = 64;   // bytes taken per write call
    bool writeFails = false;  // every write fails with EIO (adapter gone)
    int busyPolls = -1;       // transmitter reported busy this often after each write,
                              // then empty; -1: not reported (tcdrain is the only wait)
};

class LineRecorder {
  public:
    // Not copied: the installed calls point at this recorder (and the seam is not copyable).
    explicit LineRecorder(Driver driver) : driver_(driver), installed_(Recording()) {}

    // The calls since the last Take, in order, separated by commas.
    std::string Take() { return std::exchange(calls_, {}); }
    bool RtsUp() const { return rtsUp_; }
    Driver& driver() { return driver_; }

  private:
    SerialLineCalls Recording() {
        SerialLineCalls calls;
        calls.setAttributes = [this](int, const termios&) {
            Note("termios");
            return 0;
        };
        calls.enableRs485 = [this](int) {
            Note("rs485");
            return driver_.kernelRs485 ? 0 : Refuse();
        };
        calls.raiseLines = [this](int, int lines) { return Lines(lines, true); };
        calls.lowerLines = [this](int, int lines) { return Lines(lines, false); };
        calls.transmitterEmpty = [this](int) {
            if (driver_.busyPolls < 0)
                return Refuse();
            const bool busy = busy_++ < driver_.busyPolls;
            Note(busy ? "busy" : "sent");
            return busy ? 0 : 1;
        };
        calls.drain = [this](int) {
            Note("drain");
            return 0;
        };
        calls.write = [this](int, const void*, std::size_t length) -> ssize_t {
            if (driver_.writeFails) {
                Note("write failed");
                errno = EIO;
                return -1;
            }
            busy_ = 0;
            const std::size_t taken = std::min(length, driver_.chunk);
            Note("write " + std::to_string(taken));
            return static_cast<ssize_t>(taken);
        };
        return calls;
    }
    void Note(const std::string& call) { calls_ += (calls_.empty() ? "" : ", ") + call; }
    int Refuse() {
        errno = ENOTTY;
        return -1;
    }
    int Lines(int lines, bool up) {
        if (lines != TIOCM_RTS)
            ADD_FAILURE() << "modem lines other than RTS touched: " << lines;
        if (!driver_.modemLines) {
            Note(up ? "rts up refused" : "rts down refused");
            return Refuse();
        }
        rtsUp_ = up;
        Note(up ? "rts up" : "rts down");
        return 0;
    }

    Driver driver_;
    std::string calls_;
    bool rtsUp_ = true; // the tty layer raises RTS when a port is opened
    int busy_ = 0;      // transmitter polls since the last write
    ScopedSerialLineCalls installed_;
};

struct DirectionCase {
    const char* name;
    Driver driver;
    RtsControl control;
    const char* atOpen;         // OpenSerialDevice
    const char* atLineSettings; // ApplyLineSettings
    const char* perRequest;     // WriteSerial of an 8-byte frame
};

void PrintTo(const DirectionCase& c, std::ostream* out) {
    *out << c.name;
}

class Direction : public ::testing::TestWithParam<DirectionCase> {};

TEST_P(Direction, RtsIsUpOnlyWhileARequestIsOnTheLine) {
    const DirectionCase& c = GetParam();
    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    LineRecorder line(c.driver);

    const auto opened = OpenSerialDevice(pty.SlavePath());
    ASSERT_GE(opened.fd, 0);
    EXPECT_EQ(line.Take(), c.atOpen);
    EXPECT_EQ(PortRtsControl(opened.fd), c.control);
    ASSERT_TRUE(ApplyLineSettings(opened.fd, LineSettings{38400, 'N', 8, 1}));
    EXPECT_EQ(line.Take(), c.atLineSettings);
    // Idle: by hand, the converter must be listening; otherwise RTS is the driver's.
    if (c.control == RtsControl::Software) {
        EXPECT_FALSE(line.RtsUp()) << "RTS up while idle";
    }

    const std::uint8_t frame[] = {1, 3, 0, 0, 0, 0x40, 0x44, 0x3A};
    for (int request = 0; request < 2; ++request) {
        const auto sent = WriteSerial(opened.fd, frame, sizeof frame);
        EXPECT_EQ(sent.status, SerialStatus::Ok);
        EXPECT_EQ(sent.count, sizeof frame);
        EXPECT_EQ(line.Take(), c.perRequest) << "request " << request;
        if (c.control == RtsControl::Software) {
            EXPECT_FALSE(line.RtsUp()) << "RTS left up after request " << request;
        }
    }
    CloseSerialDevice(opened.fd);
}

const DirectionCase kDrivers[] = {
    // Most USB adapters and plain UARTs: RS-485 mode refused, RTS driven by hand.
    {"ByHand", Driver(), RtsControl::Software, "rs485, rts down", "termios, rts down",
     "rts up, write 8, drain, rts down"},
    // A frame the driver takes in pieces: RTS stays up until the last piece drains.
    {"ByHandInPieces", Driver{.chunk = 3}, RtsControl::Software, "rs485, rts down",
     "termios, rts down", "rts up, write 3, write 3, write 2, drain, rts down"},
    // A UART that reports its transmitter: watched instead of tcdrain's coarse wait.
    {"ByHandWatchingTheTransmitter", Driver{.busyPolls = 2}, RtsControl::Software,
     "rs485, rts down", "termios, rts down", "rts up, write 8, busy, busy, sent, rts down"},
    // The driver's RS-485 mode switches RTS itself.
    {"Kernel", Driver{.kernelRs485 = true}, RtsControl::Kernel, "rs485", "termios", "write 8"},
    // A pseudo-terminal or socket: no modem lines, no error, a plain write.
    {"NoModemLines", Driver{.modemLines = false}, RtsControl::None, "rs485, rts down refused",
     "termios", "write 8"},
};

INSTANTIATE_TEST_SUITE_P(Drivers, Direction, ::testing::ValuesIn(kDrivers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DirectionByHand, AFailedWriteStillLowersRts) {
    test::PtyPair pty;
    LineRecorder line(Driver{});
    const auto opened = OpenSerialDevice(pty.SlavePath());
    ASSERT_GE(opened.fd, 0);
    line.Take();
    line.driver().writeFails = true;
    const std::uint8_t frame[] = {1, 0x11, 0xC0, 0x2C};
    const auto sent = WriteSerial(opened.fd, frame, sizeof frame);
    EXPECT_EQ(sent.count, 0u);
    EXPECT_EQ(sent.status, SerialStatus::HangUp);
    EXPECT_EQ(line.Take(), "rts up, write failed, drain, rts down");
    EXPECT_FALSE(line.RtsUp());
    CloseSerialDevice(opened.fd);
}

} // namespace
} // namespace zentra::platform

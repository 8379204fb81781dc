// The termios/poll serial layer against a raw pseudo-terminal.
#include "platform/serial_port.h"
#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace zentra::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::PtyPair;

TEST(DefinitionText, ParsesTheFourFields) {
    const std::pair<const char*, LineSettings> good[] = {
        {"COM1: baud=38400 parity=N data=8 stop=1", {38400, 'N', 8, 1}},
        {"COM9: baud=4800 parity=E data=7 stop=2", {4800, 'E', 7, 2}},
        {"COM2: baud=115200 parity=O data=8 stop=1", {115200, 'O', 8, 1}},
    };
    for (const auto& [text, want] : good)
        EXPECT_EQ(ParseDefinitionText(text), want) << text;
    // "parity=" is what a parity text that is none of NONE/ODD/EVEN builds.
    for (const char* bad :
         {"COM1: baud=38400 parity= data=8 stop=1", "COM1: baud=38400 parity=M data=8 stop=1",
          "COM1: baud=38401 parity=N data=8 stop=1", "COM1: baud=1200 parity=N data=8 stop=1",
          "COM1: baud= parity=N data=8 stop=1", "COM1: baud=38400 parity=N data=9 stop=1",
          "COM1: baud=38400 parity=N data=8 stop=3", "COM1: baud=38400 parity=N data=8 stop=1.5",
          "COM1: baud=38400 parity=N data=8", "COM1: baud=38400 parity=N data=8 stop=1 speed=9"})
        EXPECT_FALSE(ParseDefinitionText(bad)) << bad;
}

TEST(SerialOpen, MissingDeviceAndNonTerminal) {
    auto missing = OpenSerialDevice("/dev/zentra-no-such-device");
    EXPECT_EQ(missing.fd, -1);
    EXPECT_EQ(missing.error, SerialOpenError::NoSuchDevice);
    auto notTty = OpenSerialDevice("/dev/null");
    EXPECT_EQ(notTty.fd, -1);
    EXPECT_EQ(notTty.error, SerialOpenError::NotSerial);
}

TEST(SerialOpen, SecondOpenIsRefusedUntilTheFirstCloses) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    auto first = OpenSerialDevice(pty.SlavePath());
    ASSERT_GE(first.fd, 0);
    auto second = OpenSerialDevice(pty.SlavePath());
    EXPECT_EQ(second.fd, -1);
    EXPECT_EQ(second.error, SerialOpenError::Busy);

    // Another process is refused too (root is not stopped by TIOCEXCL alone).
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto other = OpenSerialDevice(pty.SlavePath());
        _exit(other.fd < 0 && other.error == SerialOpenError::Busy ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    CloseSerialDevice(first.fd);
    auto again = OpenSerialDevice(pty.SlavePath());
    EXPECT_GE(again.fd, 0);
    CloseSerialDevice(again.fd);
}

class SerialRead : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        auto opened = OpenSerialDevice(pty.SlavePath());
        ASSERT_GE(opened.fd, 0);
        fd = opened.fd;
        ASSERT_TRUE(ApplyLineSettings(fd, LineSettings{38400, 'N', 8, 1}));
    }
    void TearDown() override { CloseSerialDevice(fd); }

    PtyPair pty;
    int fd = -1;
    std::uint8_t buffer[1000]{};
};

TEST_F(SerialRead, LineSettingsApplyRawFraming) {
    ASSERT_TRUE(ApplyLineSettings(fd, LineSettings{19200, 'E', 8, 2}));
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
    // A pseudo-terminal has no modem lines: nothing to drive, and no error.
    EXPECT_EQ(PortRtsControl(fd), RtsControl::None);
}

// A silent read of N bytes lasts 1 ms per byte plus 1 ms: no less, and not much more.
TEST_F(SerialRead, NothingArrivingEndsAtTheTotalTimeOut) {
    for (const auto& [bytes, total] : {std::pair{10u, 11ms}, std::pair{300u, 301ms}}) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(ReadTotalTimeout(bytes), total);
        const auto start = Clock::now();
        const auto got = ReadSerial(fd, buffer, bytes);
        const auto elapsed = Clock::now() - start;
        EXPECT_EQ(got.count, 0u);
        EXPECT_EQ(got.status, SerialStatus::TimedOut);
        EXPECT_GE(elapsed, total);
        EXPECT_LT(elapsed, total + 100ms);
    }
    EXPECT_FALSE(PortGone(fd));
}

// Told nothing of its frames, the read cannot know a waiting reply is complete: it ends
// 20 ms after the last byte.
TEST_F(SerialRead, AWaitingBurstIsReadWholeAndEndsOnTheGap) {
    const std::vector<std::uint8_t> burst{1, 2, 3, 4, 5, 6, 7, 8, 9};
    pty.Send(burst);
    const auto start = Clock::now();
    const auto got = ReadSerial(fd, buffer, 512);
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(got.status, SerialStatus::Ok);
    ASSERT_EQ(got.count, burst.size());
    EXPECT_TRUE(std::equal(burst.begin(), burst.end(), buffer));
    EXPECT_GE(elapsed, 20ms);
    EXPECT_LT(elapsed, 20ms + 100ms);
}

// A reply paused for 10 ms in the middle is still one reply. Should this machine stall
// the sending thread so long that the pause really reached the gap, try again.
TEST_F(SerialRead, APauseShorterThanTheGapDoesNotSplitTheRead) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        Clock::duration pause{};
        std::thread far([&] {
            pty.Send({1, 2, 3, 4});
            const auto first = Clock::now();
            std::this_thread::sleep_for(10ms);
            pty.Send({5, 6, 7});
            pause = Clock::now() - first;
        });
        const auto got = ReadSerial(fd, buffer, 512);
        far.join();
        if (pause >= 18ms) {
            ReadSerial(fd, buffer, 512); // the stray second half
            continue;
        }
        EXPECT_EQ(got.count, 7u);
        return;
    }
    GTEST_SKIP() << "the sending thread never paused for less than 18 ms";
}

TEST_F(SerialRead, ReadStopsAtTheRequestedCount) {
    pty.Send(std::vector<std::uint8_t>(40, 0x55));
    EXPECT_EQ(ReadSerial(fd, buffer, 16).count, 16u);
    EXPECT_TRUE(ClearSerialError(fd));
    // The clear discarded the rest of the input.
    EXPECT_EQ(ReadSerial(fd, buffer, 16).count, 0u);
}

TEST_F(SerialRead, APauseLongerThanTheGapSplitsTheRead) {
    std::thread far([this] {
        pty.Send({1, 2, 3});
        std::this_thread::sleep_for(40ms);
        pty.Send({4, 5});
    });
    const auto first = ReadSerial(fd, buffer, 512);
    const auto second = ReadSerial(fd, buffer + first.count, 512);
    far.join();
    EXPECT_EQ(first.count, 3u);
    EXPECT_EQ(second.count, 2u);
}

// The reply window: 100 ms latency, then 1 ms per byte + 1 ms of a 100-byte read, from
// the end of the request's write. Read one latency after sending, as the Communication
// page does, a reply that comes late within the window is still heard; a window that
// forgot the latency would have closed before the read began.
TEST_F(SerialRead, ReadOneLatencyAfterTheRequestAReplyLateInItsWindowIsHeard) {
    SetReplyLatency(fd, 100ms);
    const std::uint8_t request[] = {1, 0x11, 0xC0, 0x2C};
    ASSERT_EQ(WriteSerial(fd, request, sizeof request).count, sizeof request);
    const auto sent = Clock::now();
    std::thread meter([&] {
        std::this_thread::sleep_until(sent + 150ms);
        pty.Send({1, 0x11, 2, 3, 4});
    });
    std::this_thread::sleep_until(sent + 100ms);
    const auto got = ReadSerial(fd, buffer, 100);
    meter.join();
    EXPECT_EQ(got.count, 5u);
}

// Once the window has closed a read waits for nothing, yet still takes what is waiting.
TEST_F(SerialRead, PastTheReplyWindowAReadTakesWhatWaitsWithoutWaiting) {
    SetReplyLatency(fd, 0ms);
    const std::uint8_t request[] = {1, 0x11, 0xC0, 0x2C};
    ASSERT_EQ(WriteSerial(fd, request, sizeof request).count, sizeof request);
    std::this_thread::sleep_for(101ms + 20ms); // the whole window of a 100-byte read
    auto start = Clock::now();
    const auto silent = ReadSerial(fd, buffer, 100);
    EXPECT_LT(Clock::now() - start, 50ms); // its own total would be 101 ms
    EXPECT_EQ(silent.count, 0u);
    EXPECT_EQ(silent.status, SerialStatus::TimedOut);

    pty.Send({1, 0x11, 2, 3, 4}); // a reply that came after all
    start = Clock::now();
    const auto late = ReadSerial(fd, buffer, 100);
    EXPECT_EQ(late.count, 5u);
    EXPECT_GE(Clock::now() - start, 20ms); // framed by the gap as always
}

TEST_F(SerialRead, HangUpIsReportedAtOnceAndRemembered) {
    pty.CloseMaster();
    const auto start = Clock::now();
    const auto got = ReadSerial(fd, buffer, 512);
    const auto again = ReadSerial(fd, buffer, 512);
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(got.count, 0u);
    EXPECT_EQ(got.status, SerialStatus::HangUp);
    EXPECT_EQ(again.status, SerialStatus::HangUp);
    EXPECT_TRUE(PortGone(fd));
    EXPECT_EQ(LastReadStatus(fd), SerialStatus::HangUp);
    // Two reads of 512 would take over a second if the hang-up went unnoticed.
    EXPECT_LT(elapsed, ReadTotalTimeout(512));
    const std::uint8_t byte = 1;
    EXPECT_EQ(WriteSerial(fd, &byte, 1).status, SerialStatus::HangUp);
}

TEST_F(SerialRead, WriteReachesTheFarEnd) {
    const std::uint8_t frame[] = {1, 3, 0, 0, 0, 0x40, 0x44, 0x3A};
    const auto sent = WriteSerial(fd, frame, sizeof frame);
    EXPECT_EQ(sent.status, SerialStatus::Ok);
    EXPECT_EQ(sent.count, sizeof frame);
    EXPECT_EQ(pty.Received(200ms), std::vector<std::uint8_t>(frame, frame + sizeof frame));
}

TEST(SerialInvalidHandle, FailsWithoutWaiting) {
    std::uint8_t buffer[8];
    const auto start = Clock::now();
    EXPECT_EQ(ReadSerial(-1, buffer, 8).status, SerialStatus::Error);
    EXPECT_LT(Clock::now() - start, ReadTotalTimeout(8));
    EXPECT_EQ(WriteSerial(-1, buffer, 8).count, 0u);
    EXPECT_FALSE(ClearSerialError(-1));
    EXPECT_FALSE(PortGone(-1));
}

} // namespace
} // namespace zentra::platform

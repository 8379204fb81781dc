// Probing and opening ports by name, against pseudo-terminals standing in for devices;
// and the reply window as a tick uses it.
#include "comms/meter.h"
#include "comms/serial_link.h"
#include "platform/serial_direction.h"
#include "tests/support/pty_pair.h"
#include "tests/support/sim_port.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include <termios.h>

namespace zentra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Contains;
using test::PtyPair;
using test::ScopedPortMap;

void Set(CommText& field, const char* text) {
    field.fill('\0');
    std::strncpy(field.data(), text, field.size() - 1);
}

TEST(DefinitionText, BuiltFromTheSettings) {
    CommSettings s;
    EXPECT_EQ(BuildDefinitionText(s), "COM1: baud=38400 parity=N data=8 stop=1");
    Set(s.port, "COM4");
    Set(s.baud, "9600");
    Set(s.parity, "EVEN");
    Set(s.stopBits, "2");
    EXPECT_EQ(BuildDefinitionText(s), "COM4: baud=9600 parity=E data=8 stop=2");
    Set(s.parity, "ODD");
    EXPECT_EQ(BuildDefinitionText(s), "COM4: baud=9600 parity=O data=8 stop=2");
    Set(s.parity, "MARK"); // none of the three: no letter at all
    EXPECT_EQ(BuildDefinitionText(s), "COM4: baud=9600 parity= data=8 stop=2");
}

class OpenPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ports.Assign(1, pty.SlavePath());
        available.fill(true);
    }
    ScopedPortMap ports;
    PtyPair pty;
    CommSettings settings;
    PortAvailability available{};
};

TEST_F(OpenPortTest, NoDevicesMeansNoPortIsAvailable) {
    ScopedPortMap none; // nothing assigned, nothing found
    for (bool flag : EnumeratePorts())
        EXPECT_FALSE(flag);
}

TEST_F(OpenPortTest, OpensClearsTheBusyFlagAndClosesTheCallersOldHandleFirst) {
    PortHandle held = kInvalidPort;
    int busy = 7;
    held = OpenPort(settings, available, held, &busy);
    ASSERT_NE(held, kInvalidPort);
    EXPECT_EQ(busy, 0);
    EXPECT_EQ(LastOpenFailure(), "");
    EXPECT_EQ(PortDevice("COM1"), pty.SlavePath());
    EXPECT_FALSE(PortGone(held));
    // Reopening the same device through the same holder works: the old handle went first.
    PortHandle again = OpenPort(settings, available, held);
    EXPECT_EQ(held, kInvalidPort);
    ASSERT_NE(again, kInvalidPort);
    ClosePort(again);
    EXPECT_EQ(again, kInvalidPort);
}

TEST_F(OpenPortTest, APortHeldElsewhereIsBusyAndUnavailable) {
    PortHandle held = kInvalidPort;
    PortHandle first = OpenPort(settings, available, held);
    ASSERT_NE(first, kInvalidPort);
    PortHandle otherHolder = kInvalidPort;
    int busy = 0;
    EXPECT_EQ(OpenPort(settings, available, otherHolder, &busy), kInvalidPort);
    EXPECT_TRUE(Contains(LastOpenFailure(), "busy")) << LastOpenFailure();
    EXPECT_EQ(busy, 0);
    EXPECT_FALSE(EnumeratePorts()[0]);
    ClosePort(first);
    EXPECT_TRUE(EnumeratePorts()[0]);
}

TEST_F(OpenPortTest, MissingDeviceFailsWithTheReason) {
    ports.Assign(2, "/dev/zentra-unplugged");
    Set(settings.port, "COM2");
    PortHandle held = kInvalidPort;
    EXPECT_EQ(OpenPort(settings, available, held), kInvalidPort);
    EXPECT_TRUE(Contains(LastOpenFailure(), "no such device")) << LastOpenFailure();
    EXPECT_TRUE(Contains(LastOpenFailure(), "/dev/zentra-unplugged"));

    Set(settings.port, "COM3"); // nothing assigned at all
    EXPECT_EQ(OpenPort(settings, available, held), kInvalidPort);
    EXPECT_FALSE(LastOpenFailure().empty());

    Set(settings.port, "COM12"); // not one of the nine names
    EXPECT_EQ(OpenPort(settings, available, held), kInvalidPort);
}

TEST_F(OpenPortTest, APortFlaggedUnavailableIsNotTried) {
    available[0] = false;
    PortHandle held = kInvalidPort;
    EXPECT_EQ(OpenPort(settings, available, held), kInvalidPort);
    EXPECT_TRUE(Contains(LastOpenFailure(), "COM1")) << LastOpenFailure();
}

// What OpenPort applies to the line, as the device receives it (a pseudo-terminal
// would not keep the parity bits, so the settings are caught on their way).
TEST_F(OpenPortTest, ParityStopBitsAndSpeedReachTheLine) {
    struct Case {
        const char *parity, *stop, *baud;
        tcflag_t flags; // of PARENB, PARODD and CSTOPB
        speed_t speed;
    };
    const Case cases[] = {
        {"NONE", "1", "38400", 0, B38400},
        {"EVEN", "1", "9600", PARENB, B9600},
        {"ODD", "1", "19200", PARENB | PARODD, B19200},
        {"EVEN", "2", "4800", PARENB | CSTOPB, B4800},
        {"NONE", "2", "115200", CSTOPB, B115200},
    };
    std::optional<termios> applied;
    platform::SerialLineCalls calls;
    calls.setAttributes = [&](int fd, const termios& tio) {
        applied = tio;
        return ::tcsetattr(fd, TCSANOW, &tio);
    };
    const platform::ScopedSerialLineCalls recording(calls);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.parity) + " stop " + c.stop + " baud " + c.baud);
        Set(settings.parity, c.parity);
        Set(settings.stopBits, c.stop);
        Set(settings.baud, c.baud);
        applied.reset();
        PortHandle held = kInvalidPort;
        PortHandle port = OpenPort(settings, available, held);
        ASSERT_NE(port, kInvalidPort) << LastOpenFailure();
        ClosePort(port);
        ASSERT_TRUE(applied);
        EXPECT_EQ(applied->c_cflag & (PARENB | PARODD | CSTOPB), c.flags);
        EXPECT_EQ(applied->c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(cfgetospeed(&*applied), c.speed);
        EXPECT_EQ(cfgetispeed(&*applied), c.speed);
    }
}

TEST_F(OpenPortTest, UnusableLineSettingsFailAndReleaseThePort) {
    PortHandle held = kInvalidPort;
    Set(settings.parity, "MARK");
    EXPECT_EQ(OpenPort(settings, available, held), kInvalidPort);
    EXPECT_TRUE(Contains(LastOpenFailure(), "line settings")) << LastOpenFailure();
    Set(settings.parity, "NONE");
    Set(settings.baud, "12345");
    EXPECT_EQ(OpenPort(settings, available, held), kInvalidPort);
    // The failed attempts did not leave the device held.
    Set(settings.baud, "115200");
    PortHandle port = OpenPort(settings, available, held);
    EXPECT_NE(port, kInvalidPort);
    ClosePort(port);
}

// A readings reply to node 1 (fc 4, 48 floats of zero).
std::vector<std::uint8_t> ReadingsReply() {
    std::vector<std::uint8_t> frame{1, 4, 4 * 48};
    frame.resize(3 + 4 * 48);
    return test::WithCrc(frame);
}

PortHandle Open(const char* port, const char* latency) {
    CommSettings settings;
    Set(settings.port, port);
    Set(settings.latency, latency);
    PortAvailability available;
    available.fill(true);
    PortHandle held = kInvalidPort;
    return OpenPort(settings, available, held);
}

// The reply window through OpenPort and K760modbus, as a tick uses them: a request sent
// on one tick, its reply read on the next, one second later. Both meters are asked at
// the same moment and read once the default window (200 ms latency + 513 ms) has
// closed. The silent one costs the tick no wait; the slow one, whose user set a
// latency of 1000 ms, is still heard 850 ms after the request.
TEST(ReplyWindow, ASilentMeterCostsATickNoWaitASlowOneKeepsItsLatency) {
    test::ScopedPortMap ports;
    test::PtyPair silent, slow;
    ASSERT_TRUE(silent.ok() && slow.ok());
    ports.Assign(1, silent.SlavePath());
    ports.Assign(2, slow.SlavePath());
    PortHandle silentPort = Open("COM1", "200");
    PortHandle slowPort = Open("COM2", "1000");
    ASSERT_NE(silentPort, kInvalidPort) << LastOpenFailure();
    ASSERT_NE(slowPort, kInvalidPort) << LastOpenFailure();

    EXPECT_GT(K760modbus(silentPort, 1, BigEndian).RequestReadings(), 0u);
    EXPECT_GT(K760modbus(slowPort, 1, BigEndian).RequestReadings(), 0u);
    const auto sent = Clock::now();
    std::thread meter([&] {
        std::this_thread::sleep_until(sent + 850ms);
        slow.Send(ReadingsReply());
    });
    std::this_thread::sleep_until(sent + 750ms);

    const auto tick = Clock::now();
    K760modbus quiet(silentPort, 1, BigEndian);
    quiet.ReceiveReply();
    EXPECT_LT(Clock::now() - tick, 200ms) << "a silent tick blocked the window";
    EXPECT_EQ(quiet.replyFunction, kReplyNone);

    K760modbus late(slowPort, 1, BigEndian);
    late.ReceiveReply();
    meter.join();
    EXPECT_EQ(late.replyFunction, kFcReadings);
    ClosePort(silentPort);
    ClosePort(slowPort);
}

} // namespace
} // namespace zentra

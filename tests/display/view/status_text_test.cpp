// The status pane's connection text and the count of missed replies behind its
// "not answering" part.
#include "display/view/context_menu.h"
#include "display/view/meter_silence.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <memory>
#include <optional>
#include <string>

namespace zentra {
namespace {

constexpr std::int64_t kNow = 1357394589; // Sat Jan 05 14:03:09 2013 (GMT)
constexpr std::int32_t kReadingsFc = 4, kInformationFc = 3;

struct StatusCase {
    const char* name;
    std::uint8_t logging;
    std::string device;
    std::optional<std::int64_t> silentSince;
    std::string expected;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.name;
}

class StatusTextTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusTextTest, SaysThePortItsLinkAndWhetherTheMeterAnswers) {
    const StatusCase& c = GetParam();
    platform::ManualClock clock{kNow};
    auto doc = std::make_unique<CZentraDoc>();
    doc->OnNewDocument();
    std::snprintf(doc->m_Comms.port.data(), doc->m_Comms.port.size(), "COM2");
    doc->m_Comms.portSetUp = 1;
    doc->m_LoggingActive = c.logging;
    EXPECT_EQ(StatusText(*doc, {c.device, c.silentSince}), c.expected);
}

const std::string kLongAddress = "modbus-tcp://" + std::string(200, 'h') + ":502";

INSTANTIATE_TEST_SUITE_P(
    Status, StatusTextTest,
    ::testing::Values(
        StatusCase{
            "Serial", 1, "/dev/ttyUSB0", {}, "Port:COM2 Baud: 38400 Parity: NONE: (Logging)"},
        StatusCase{"NoDevice", 0, "", {}, "Port:COM2 Baud: 38400 Parity: NONE: "},
        StatusCase{"Gateway",
                   1,
                   "modbus-tcp://192.0.2.10:502",
                   {},
                   "Port:COM2 Address: modbus-tcp://192.0.2.10:502 (Logging)"},
        StatusCase{"DeviceServer",
                   0,
                   "tcp://[2001:db8::5]:4001",
                   {},
                   "Port:COM2 Address: tcp://[2001:db8::5]:4001 "},
        StatusCase{"LongAddressIsCut",
                   0,
                   kLongAddress,
                   {},
                   "Port:COM2 Address: modbus-tcp://" + std::string(44, 'h') + "... "},
        StatusCase{"SilentWhileLogging", 1, "modbus-tcp://192.0.2.10:502", kNow - 40,
                   "Port:COM2 Address: modbus-tcp://192.0.2.10:502 (Logging) (Meter Not "
                   "Answering Since 14:02:29)"},
        StatusCase{"SilentNotLogging", 0, "/dev/ttyUSB0", kNow - 3,
                   "Port:COM2 Baud: 38400 Parity: NONE: (Meter Not Answering Since 14:03:06)"},
        StatusCase{"SilentSinceYesterday", 1, "/dev/ttyUSB0", kNow - 15 * 3600,
                   "Port:COM2 Baud: 38400 Parity: NONE: (Logging) (Meter Not Answering Since "
                   "Jan 04 2013 23:03:09)"}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return info.param.name; });

TEST(StatusTextTest, NoPortOpenSaysOnlyThat) {
    auto doc = std::make_unique<CZentraDoc>();
    doc->OnNewDocument();
    EXPECT_EQ(StatusText(*doc, {"modbus-tcp://192.0.2.10:502", kNow}), "No Port Open");
}

// What one tick left: a readings reply, nothing read while readings were asked for,
// or something else.
TickOutcome Readings() {
    TickOutcome tick;
    tick.exchanged = true;
    tick.filed = kReadingsFc;
    return tick;
}
TickOutcome Missed() {
    TickOutcome tick;
    tick.exchanged = true;
    return tick;
}

TEST(MeterSilence, ThreeMissedRepliesInARowSinceTheLastAnswer) {
    MeterSilence silence;
    silence.Note(Readings(), kReadingsFc, 100);
    silence.Note(Missed(), kReadingsFc, 101);
    silence.Note(Missed(), kReadingsFc, 102);
    EXPECT_EQ(silence.SilentSince(), std::nullopt); // two: a noisy line
    silence.Note(Missed(), kReadingsFc, 103);
    EXPECT_EQ(silence.SilentSince(), 100);
    for (std::int64_t t = 104; t < 200; ++t)
        silence.Note(Missed(), kReadingsFc, t);
    EXPECT_EQ(silence.SilentSince(), 100);
    silence.Note(Readings(), kReadingsFc, 200); // readings again: cleared at once
    EXPECT_EQ(silence.SilentSince(), std::nullopt);
    silence.Note(Missed(), kReadingsFc, 201);
    silence.Note(Missed(), kReadingsFc, 202);
    EXPECT_EQ(silence.SilentSince(), std::nullopt); // the count started over
    silence.Note(Missed(), kReadingsFc, 203);
    EXPECT_EQ(silence.SilentSince(), 200);
}

TEST(MeterSilence, OnlyMissedReadingsCount) {
    MeterSilence silence;
    TickOutcome information = Readings();
    information.filed = kInformationFc;
    TickOutcome noPort;
    for (int i = 0; i < 5; ++i) {
        silence.Note(Missed(), kInformationFc, 10 + i); // the start-up requests
        silence.Note(noPort, kReadingsFc, 10 + i);      // no port: nothing was read
        silence.Note(information, kReadingsFc, 10 + i);
    }
    EXPECT_EQ(silence.SilentSince(), std::nullopt);
    // A meter that never answered is silent since the first miss.
    for (std::int64_t t = 50; t < 53; ++t)
        silence.Note(Missed(), kReadingsFc, t);
    EXPECT_EQ(silence.SilentSince(), 50);
    silence.Reset();
    EXPECT_EQ(silence.SilentSince(), std::nullopt);
}

} // namespace
} // namespace zentra

// The four retrieval and logging commands: their messages, questions, the project
// lock and the state changes, with scripted answers and a recording timer.
#include "acquisition/acquisition_cycle.h"
#include "acquisition/command_ids.h"
#include "acquisition/logging_commands.h"
#include "platform/clock.h"
#include "records/calendar.h"
#include "tests/acquisition/acquisition_test_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace zentra {
namespace {

using platform::MessageAnswer;
using std::chrono::milliseconds;

constexpr platform::TimeSeconds kNow = test::kStart;
constexpr const char* kNoPortParameters =
    "Program's Port Parameters Are Not Setup Yet: See The Settings Menu";
constexpr const char* kProjectLocked =
    "This project is locked. It either terminated properly or was stopped before the "
    "logging period had expired: you won't be able to restart it";
constexpr const char* kLoggingNotSetUp =
    "Logging parameters have not been set up yet. Do you still want to start logging?";
constexpr const char* kStopLocked =
    "The project is locked. If you stop logging now you won't be able to restart it. Do "
    "you want to continue and end logging?";

struct CommandsTest : ::testing::Test, test::CycleRig {
    void ExpectMessage(std::string_view message, std::string_view caption) {
        ASSERT_EQ(messages.shown().size(), 1u);
        EXPECT_EQ(messages.LastText(), message);
        EXPECT_EQ(messages.LastCaption(), caption);
    }
    // A descriptor standing in for the open port, so closing it can be seen.
    int OpenStandInPort() {
        const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        EXPECT_GE(fd, 0);
        doc->m_PortHandle = fd;
        doc->m_Comms.portSetUp = 1;
        return fd;
    }
};

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

TEST_F(CommandsTest, EnableLoggingOnALockedProjectShowsTheLockAndChangesNothing) {
    doc->m_Comms.portSetUp = 1;
    doc->m_Locked = 1;
    doc->m_Finished = 1;
    doc->m_TickCountdown = 17;
    doc->m_StartHour = 3;
    doc->m_LoggingStartTime = 42;
    doc->m_LiveValues[5][5] = 1.5;

    EXPECT_FALSE(OnEnableLogging(*doc, state, timer));
    ExpectMessage(kProjectLocked, "Project Warning");
    EXPECT_EQ((std::array<std::int64_t, 6>{doc->m_LoggingActive, doc->m_RetrievalActive,
                                           doc->m_Finished, doc->m_TickCountdown, doc->m_StartHour,
                                           doc->m_LoggingStartTime}),
              (std::array<std::int64_t, 6>{0, 0, 1, 17, 3, 42}));
    EXPECT_EQ(doc->m_LiveValues[5][5], 1.5);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(timer.armed.empty());
}

TEST_F(CommandsTest, StartAndEnableLoggingNeedThePortParameters) {
    EXPECT_FALSE(OnEnableLogging(*doc, state, timer));
    ExpectMessage(kNoPortParameters, "Communication Error");
    messages.Clear();
    EXPECT_FALSE(OnStartRetrieval(*doc, state, timer));
    ExpectMessage(kNoPortParameters, "Communication Error");
    EXPECT_EQ(doc->m_Locked, 0);
    EXPECT_EQ(doc->m_RetrievalActive, 0);
    EXPECT_TRUE(timer.armed.empty());
}

TEST_F(CommandsTest, EnableLoggingWithImmediateStartTakesNowLocksAndStartsRetrieval) {
    doc->m_Comms.portSetUp = 1;
    doc->m_TickCountdown = 9;
    doc->m_LiveValues[0][1] = 5.0;
    EXPECT_TRUE(OnEnableLogging(*doc, state, timer));
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(doc->m_TickCountdown, 0);
    EXPECT_EQ(
        (std::array{doc->m_StartDate, doc->m_StartHour, doc->m_StartMinute, doc->m_StartSecond}),
        (std::array{20130105, LocalTime(kNow).tm_hour, 3, 9}));
    EXPECT_EQ(doc->m_LoggingStartTime, kNow);
    EXPECT_EQ((std::array<int, 3>{doc->m_Locked, doc->m_LoggingActive, doc->m_Finished}),
              (std::array<int, 3>{1, 1, 0}));
    EXPECT_TRUE(doc->IsModified());
    // StartRetrieval: ring cleared, start-up requests queued, timer at the latency.
    EXPECT_EQ(doc->m_RetrievalActive, 1);
    EXPECT_EQ(doc->m_LiveValues[0][1], 0.0);
    EXPECT_EQ(doc->m_LiveIndex, 0);
    EXPECT_EQ(doc->m_LastRequest, 66);
    ASSERT_EQ(state.requestQueue.count, 2);
    EXPECT_EQ(state.requestQueue.kinds[0], kRequestMeterInfo);
    EXPECT_EQ(state.requestQueue.kinds[1], kRequestReadings);
    ASSERT_EQ(timer.armed.size(), 1u);
    EXPECT_EQ(timer.armed[0].id, kAcquisitionTimerId);
    EXPECT_EQ(timer.armed[0].period, milliseconds(200));
    EXPECT_EQ(state.timerId, kAcquisitionTimerId);
}

TEST_F(CommandsTest, EnableLoggingWithDelayedStartKeepsTheSetUpTimes) {
    doc->m_Comms.portSetUp = 1;
    doc->m_StartImmediately = 0;
    doc->m_StartDate = 20130201;
    doc->m_StartHour = 6;
    doc->m_StartMinute = 30;
    doc->m_StartSecond = 0;
    doc->m_TickCountdown = 4;
    EXPECT_TRUE(OnEnableLogging(*doc, state, timer));
    EXPECT_EQ((std::array{doc->m_StartDate, doc->m_StartHour, doc->m_StartMinute}),
              (std::array{20130201, 6, 30}));
    EXPECT_EQ(doc->m_TickCountdown, 4);
    EXPECT_EQ(doc->m_LoggingStartTime, 0);
    EXPECT_EQ(doc->m_LoggingActive, 1); // logging itself begins now
}

TEST_F(CommandsTest, EnableLoggingAsksWhenTheLoggingSetUpWasNotConfirmed) {
    doc->m_Comms.portSetUp = 1;
    doc->m_LoggingSetUp = 0;
    messages.QueueAnswer(MessageAnswer::No);
    EXPECT_FALSE(OnEnableLogging(*doc, state, timer));
    ExpectMessage(kLoggingNotSetUp, "Project Warning");
    EXPECT_EQ(messages.shown()[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(doc->m_Locked, 0);
    EXPECT_EQ(doc->m_LoggingActive, 0);

    messages.Clear();
    messages.QueueAnswer(MessageAnswer::Yes);
    EXPECT_TRUE(OnEnableLogging(*doc, state, timer));
    EXPECT_EQ(doc->m_Locked, 1);
    EXPECT_EQ(doc->m_LoggingActive, 1);
}

TEST_F(CommandsTest, EnableLoggingWhileRetrievingKeepsTheRingAndTheTimer) {
    doc->m_Comms.portSetUp = 1;
    ASSERT_TRUE(OnStartRetrieval(*doc, state, timer));
    doc->m_LiveValues[3][3] = 7.0;
    doc->m_LiveIndex = 4;
    ASSERT_TRUE(OnEnableLogging(*doc, state, timer));
    EXPECT_EQ(timer.armed.size(), 1u);
    EXPECT_EQ(doc->m_LiveValues[3][3], 7.0);
    EXPECT_EQ(doc->m_LiveIndex, 4);
}

TEST_F(CommandsTest, StartWhileRetrievingAndRestartOrStopWhileIdleAreRefused) {
    doc->m_Comms.portSetUp = 1;
    EXPECT_FALSE(OnRestartRetrieval(*doc, state, timer));
    ExpectMessage("Program Not Active", "Error");
    messages.Clear();
    EXPECT_FALSE(OnStopRetrieval(*doc));
    ExpectMessage("Program Not Active:", "Error");
    messages.Clear();
    EXPECT_EQ(doc->m_Finished, 0);
    ASSERT_TRUE(OnStartRetrieval(*doc, state, timer));
    EXPECT_FALSE(OnStartRetrieval(*doc, state, timer));
    ExpectMessage("Program Already Storing Data", "Error");
    EXPECT_EQ(timer.armed.size(), 1u);
}

TEST_F(CommandsTest, RestartStopsTheTimerThenStartsAgain) {
    doc->m_Comms.portSetUp = 1;
    doc->m_Comms.latency = {'1', '5', '0'};
    ASSERT_TRUE(OnStartRetrieval(*doc, state, timer));
    state.timerId = 1;
    state.requestQueue.Pop();
    state.requestQueue.Pop();
    doc->m_LiveValues[10][2] = 3.0;
    doc->m_LiveIndex = 11;
    ASSERT_TRUE(OnRestartRetrieval(*doc, state, timer));
    EXPECT_EQ(timer.killed, std::vector<int>{1});
    ASSERT_EQ(timer.armed.size(), 2u);
    EXPECT_EQ(timer.armed[1].period, milliseconds(150));
    EXPECT_EQ(doc->m_LiveValues[10][2], 0.0);
    EXPECT_EQ(doc->m_LiveIndex, 0);
    EXPECT_EQ(state.requestQueue.count, 2);
    EXPECT_EQ(doc->m_RetrievalActive, 1);
}

TEST_F(CommandsTest, StopOnAnUnlockedProjectClosesThePortSilentlyAndStartThenAsksForIt) {
    const int fd = OpenStandInPort();
    ASSERT_TRUE(OnStartRetrieval(*doc, state, timer));
    EXPECT_TRUE(OnStopRetrieval(*doc));
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_FALSE(IsOpen(fd));
    EXPECT_EQ(doc->m_PortHandle, kInvalidPort);
    // Retrieval, port set-up, logging, finished: EndLogging runs even without a run.
    EXPECT_EQ((std::array<int, 4>{doc->m_RetrievalActive, doc->m_Comms.portSetUp,
                                  doc->m_LoggingActive, doc->m_Finished}),
              (std::array<int, 4>{0, 0, 0, 1}));
    EXPECT_EQ(doc->m_LoggingEndTime, kNow);
    EXPECT_TRUE(timer.killed.empty()); // the timer keeps running

    EXPECT_FALSE(OnStartRetrieval(*doc, state, timer));
    ExpectMessage(kNoPortParameters, "Communication Error");
    EXPECT_EQ(doc->m_RetrievalActive, 0);

    // Enable Logging after this plain Stop starts an unfinished run.
    doc->m_Comms.portSetUp = 1;
    ASSERT_TRUE(OnEnableLogging(*doc, state, timer));
    EXPECT_EQ(doc->m_Finished, 0);
}

TEST_F(CommandsTest, StopOnALockedProjectAsksFirst) {
    const int fd = OpenStandInPort();
    ASSERT_TRUE(OnEnableLogging(*doc, state, timer));
    messages.QueueAnswer(MessageAnswer::No);
    EXPECT_FALSE(OnStopRetrieval(*doc));
    ExpectMessage(kStopLocked, "Project Warning");
    EXPECT_EQ(doc->m_LoggingActive, 1);
    EXPECT_EQ(doc->m_RetrievalActive, 1);
    EXPECT_TRUE(IsOpen(fd));

    messages.QueueAnswer(MessageAnswer::Yes);
    clock.Advance(90);
    EXPECT_TRUE(OnStopRetrieval(*doc));
    EXPECT_EQ((std::array<int, 3>{doc->m_LoggingActive, doc->m_Finished, doc->m_Locked}),
              (std::array<int, 3>{0, 1, 1}));
    EXPECT_EQ(doc->m_LoggingEndTime, kNow + 90);
    EXPECT_EQ(doc->m_ProjectEndDate, 20130105);
    EXPECT_FALSE(IsOpen(fd));

    // Finished and locked: logging cannot be enabled again, even with a new port.
    messages.Clear();
    doc->m_Comms.portSetUp = 1;
    EXPECT_FALSE(OnEnableLogging(*doc, state, timer));
    ExpectMessage(kProjectLocked, "Project Warning");
}

TEST_F(CommandsTest, CommandIdsReachTheirHandlers) {
    EXPECT_EQ(kCmdStartRetrieval, 105);
    EXPECT_EQ(kCmdRestartRetrieval, 32797);
    EXPECT_EQ(kCmdStopRetrieval, 32787);
    EXPECT_EQ(kCmdEnableLogging, 32785);
    EXPECT_TRUE(HandleAcquisitionCommand(kCmdRestartRetrieval, *doc, state, timer));
    EXPECT_EQ(messages.LastText(), "Program Not Active");
    EXPECT_TRUE(HandleAcquisitionCommand(kCmdStopRetrieval, *doc, state, timer));
    EXPECT_EQ(messages.LastText(), "Program Not Active:");
    EXPECT_TRUE(HandleAcquisitionCommand(kCmdEnableLogging, *doc, state, timer));
    EXPECT_EQ(messages.LastCaption(), "Communication Error");
    doc->m_Comms.portSetUp = 1;
    EXPECT_TRUE(HandleAcquisitionCommand(kCmdStartRetrieval, *doc, state, timer));
    EXPECT_EQ(doc->m_RetrievalActive, 1);
    messages.Clear();
    EXPECT_FALSE(HandleAcquisitionCommand(32798, *doc, state, timer));
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(CommandsTest, WithoutAnOpenPortATickOnlyRedrawsAndReArms) {
    int redraws = 0;
    doc->m_Comms.portSetUp = 1;
    ASSERT_TRUE(OnStartRetrieval(*doc, state, timer)); // port -1: the write fails silently
    const TickOutcome tick =
        AcquisitionTick(*doc, state, timer, kAcquisitionTimerId, [&] { ++redraws; });
    EXPECT_FALSE(tick.exchanged);
    EXPECT_EQ(redraws, 1);
    ASSERT_EQ(timer.armed.size(), 2u);
    EXPECT_EQ(timer.armed[1].period, milliseconds(1000));
    EXPECT_EQ(state.requestQueue.count, 2); // nothing taken from the queue

    // Another timer's event with a port open: no exchange either.
    OpenStandInPort();
    const TickOutcome other = AcquisitionTick(*doc, state, timer, 2, [&] { ++redraws; });
    EXPECT_FALSE(other.exchanged);
    EXPECT_EQ(redraws, 2);
    EXPECT_EQ(state.requestQueue.count, 2);
}

} // namespace
} // namespace zentra

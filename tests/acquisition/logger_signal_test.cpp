// zentra-log as a service manager sees it: a stop (SIGTERM, Ctrl+C) is honoured within
// about a second while the meter is still being identified, however long the latency.
#include "tests/acquisition/logger_process.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace zentra {
namespace {

using namespace std::chrono_literals;

TEST(LoggerSignals, AStopDuringIdentificationEndsTheProgramAtOnce) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        test::TempDir dir;
        sim::MeterSimulator simulator;
        ASSERT_TRUE(simulator.Start()) << simulator.Error();
        // A latency of ten minutes: identification waits that long for each reply.
        test::LoggerProcess logger({"COM1", "--period", "1s", "--latency", "600000", "--samples",
                                    "5", "--out", dir.File("run.ztr")},
                                   test::LoggerEnvironment(dir.path(), simulator.DevicePath()));
        ASSERT_TRUE(logger.started()) << test::LoggerProgram();
        ASSERT_TRUE(logger.WaitForText("Port:", 20s)) << logger.Output() << logger.Errors();
        const auto asked = std::chrono::steady_clock::now();
        logger.Signal(signal);
        EXPECT_EQ(logger.Wait(5s), 0) << logger.Output() << logger.Errors();
        EXPECT_LT(std::chrono::steady_clock::now() - asked, 2s);
        EXPECT_NE(logger.Output().find("Stopped before logging began"), std::string::npos)
            << logger.Output();
        EXPECT_FALSE(std::filesystem::exists(dir.File("run.ztr")));
    }
}

} // namespace
} // namespace zentra

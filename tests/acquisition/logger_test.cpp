// zentra-log: its command line, its failures, and whole runs against the in-process
// meter simulator in accelerated time (a 50 ms "second"); and as a service manager
// sees it, a stop honoured at once while the meter is still being identified.
#include "tests/acquisition/logger_run_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

namespace zentra::logger {
namespace {

ParsedArguments Parse(std::initializer_list<const char*> args) {
    return ParseArguments(std::vector<std::string>(args.begin(), args.end()));
}

TEST(LoggerOptions, ReadsAFullCommandLine) {
    const auto parsed =
        Parse({"com2",          "--period", "5m",     "--samples", "60",        "--out",  "run.ztr",
               "--csv=run.csv", "--node",   "17",     "--order",   "3",         "--baud", "9600",
               "--parity",      "even",     "--stop", "2",         "--latency", "150ms"});
    ASSERT_EQ(parsed.error, "");
    const LoggerOptions& o = parsed.options;
    EXPECT_EQ(o.port + " " + o.out + " " + o.csv.value_or("-") + " " + o.baud.value_or("-") + " " +
                  o.parity.value_or("-") + " " + o.stop.value_or("-"),
              "COM2 run.ztr run.csv 9600 EVEN 2");
    EXPECT_EQ((std::array<std::int64_t, 8>{o.period, o.periodMultiplier, o.samples,
                                           o.node.value_or(-1), o.order.value_or(-1),
                                           o.latencyMs.value_or(-1), o.tickMs, o.giveUpSeconds}),
              (std::array<std::int64_t, 8>{5, 60, 60, 17, 3, 150, 1000, 600}));

    const auto plain = Parse({"COM1", "--period", "30", "--samples", "1", "-o", "a.ztr"});
    ASSERT_EQ(plain.error, "");
    EXPECT_EQ(plain.options.period, 30);
    EXPECT_EQ(plain.options.periodMultiplier, 1);
    EXPECT_FALSE(plain.options.node.has_value()); // left to the new project's values
    EXPECT_EQ(Parse({"COM1", "--period", "2h", "--samples", "7200", "--out", "a"})
                  .options.periodMultiplier,
              3600);
    EXPECT_TRUE(Parse({"COM1", "--help"}).help);
    EXPECT_NE(UsageText().find("--period"), std::string::npos);

    const auto roll = Parse({"COM1", "--period", "1m", "--out", "s.ztr", "--roll", "--for", "7d",
                             "--give-up", "2h", "--until", "2026-03-02 10:05"});
    ASSERT_EQ(roll.error, "");
    EXPECT_TRUE(roll.options.roll);
    EXPECT_EQ(roll.options.samples, 7200); // a roll's projects are full ones unless told
    EXPECT_EQ(roll.options.forSeconds, 7 * 86400);
    EXPECT_EQ(roll.options.giveUpSeconds, 7200);
    EXPECT_EQ(roll.options.until, March2At10() + 300);
    const auto t =
        Parse({"COM1", "--period=1s", "--out=a", "--roll", "--for=90", "--until=2026-03-02T10:05"});
    EXPECT_EQ(t.options.forSeconds, 90);
    EXPECT_EQ(t.options.until, March2At10() + 300);
}

TEST(LoggerOptions, RefusesWrongCommandLinesWithAReason) {
    std::vector<std::vector<std::string>> wrong{
        {"--period", "1s", "--samples", "5", "--out", "a.ztr"},
        {"COM0", "--period", "1s", "--samples", "5", "--out", "a.ztr"},
        {"/dev/ttyUSB0", "--period", "1s", "--samples", "5", "--out", "a.ztr"},
        {"COM1", "--samples", "5", "--out", "a.ztr"},
        {"COM1", "--period", "0s", "--samples", "5", "--out", "a.ztr"},
        {"COM1", "--period", "1d", "--samples", "5", "--out", "a.ztr"},
        {"COM1", "--period", "1s", "--samples", "7201", "--out", "a.ztr"},
        {"COM1", "--period", "1s", "--samples", "0", "--out", "a.ztr"},
        {"COM1", "--period", "1s", "--out", "a.ztr"}, // only a roll may leave out --samples
        {"COM1", "--period", "1s", "--samples", "5"},
    };
    // A good command line with one wrong addition.
    for (const std::vector<std::string>& extra : std::vector<std::vector<std::string>>{
             {"--node", "248"},
             {"--order", "4"},
             {"--baud", "1200"},
             {"--parity", "MARK"},
             {"--stop", "3"},
             {"--latency", "-1"},
             {"--csv", "a.ztr"},
             {"--bogus"},
             {"COM2"},
             {"--out"},
             {"--roll", "--for", "0"},
             {"--roll", "--for", "7w"},
             {"--roll", "--for", "d"},
             {"--roll", "--give-up", "-5m"},
             {"--roll", "--until", "2026-02-29 10:00"}, // 2026 is no leap year
             {"--roll", "--until", "2026-03-02 24:00"},
             {"--roll", "--until", "2026-03-02 10:5"},
             {"--roll", "--until", "02/03/2026 10:05"},
             {"--roll", "--until"}}) {
        wrong.push_back({"COM1", "--period", "1s", "--samples", "5", "--out", "a.ztr"});
        wrong.back().insert(wrong.back().end(), extra.begin(), extra.end());
    }
    for (const auto& args : wrong)
        EXPECT_FALSE(ParseArguments(args).error.empty()) << ::testing::PrintToString(args);
    std::ostringstream out, err;
    const std::atomic<bool> stop{false};
    EXPECT_EQ(LoggerMain({"COM1", "--samples", "9999"}, out, err, stop), kExitUsage);
    EXPECT_NE(err.str().find("Try 'zentra-log --help'"), std::string::npos);
    EXPECT_EQ(LoggerMain({"--help"}, out, err, stop), kExitOk);
    EXPECT_NE(out.str().find("Usage: zentra-log"), std::string::npos);
}

TEST_F(LoggerRun, SixtyOneSecondSamplesEndInAProjectWithSixtyRecords) {
    ASSERT_EQ(Run({"--samples", "60", "--csv", dir.File("run.csv")}), kExitOk) << err.text();
    auto doc = ReadBack();
    EXPECT_EQ((std::array<int, 5>{doc->m_SampleCount, doc->m_Samples, doc->m_Locked,
                                  doc->m_Finished, doc->m_SystemType}),
              (std::array<int, 5>{60, 60, 1, 1, 1}));
    EXPECT_EQ(doc->m_ModelNumber, 760.0);
    for (int n = 1; n < 60; ++n)
        EXPECT_GE(doc->m_SampleTimes[static_cast<std::size_t>(n)],
                  doc->m_SampleTimes[static_cast<std::size_t>(n - 1)]);
    EXPECT_LE(doc->m_LoggingStartTime, doc->m_SampleTimes[0]);
    EXPECT_GE(doc->m_LoggingEndTime, doc->m_SampleTimes[59]);
    // The simulated meter runs at about 230 V per phase.
    EXPECT_GT(doc->m_SampleValues[30][4], 100.0);
    EXPECT_EQ(test::Occurrences(test::FileText(dir.File("run.csv")), "\n"), 7u + 60u);
    EXPECT_NE(out.text().find("sample 60/60"), std::string::npos);
    EXPECT_NE(out.text().find("Saved 60 samples"), std::string::npos);
}

TEST_F(LoggerRun, AStopRequestEndsLoggingAndStillSaves) {
    out.Watch([&](const std::string& text) {
        if (text.find("sample 3/") != std::string::npos)
            stop = true;
    });
    ASSERT_EQ(Run({"--samples", "60"}), kExitOk) << err.text();
    auto doc = ReadBack();
    EXPECT_GE(doc->m_SampleCount, 3);
    EXPECT_LE(doc->m_SampleCount, 4); // a tick that wrote two records
    EXPECT_EQ(doc->m_Finished, 1);
    EXPECT_NE(out.text().find("Stopped after"), std::string::npos);
}

TEST_F(LoggerRun, APulledAdapterKeepsTheRunWaitingAndAStopSavesWhatWasLogged) {
    out.Watch([&](const std::string& text) {
        if (text.find("sample 2/") != std::string::npos)
            simulator->CloseMaster();
    });
    err.Watch([&](const std::string& text) {
        if (text.find("has gone") != std::string::npos)
            stop = true;
    });
    ASSERT_EQ(Run({"--samples", "60"}), kExitOk) << err.text();
    EXPECT_GE(ReadBack()->m_SampleCount, 2);
}

TEST_F(LoggerRun, RefusesToOverwriteAProjectUnlessForced) {
    { std::ofstream(dir.File("run.ztr")) << "keep me"; }
    EXPECT_EQ(Run({"--samples", "2"}), kExitFailure);
    EXPECT_NE(err.text().find("already exists"), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(dir.File("run.ztr")), 7u);
    EXPECT_EQ(Run({"--samples", "2", "--force"}), kExitOk) << err.text();
    EXPECT_EQ(ReadBack()->m_SampleCount, 2);
}

TEST_F(LoggerRun, SaysWhyWhenThePortOrTheMeterFails) {
    for (const auto& [option, value, says] :
         {std::tuple{"--node", "9", "no answer from node 9 on COM1"},
          std::tuple{"--order", "1", "Endian and/or Word Swapping incorrectly set"}}) {
        EXPECT_EQ(Run({"--samples", "2", option, value}), kExitFailure);
        EXPECT_NE(err.text().find(says), std::string::npos) << err.text();
        EXPECT_FALSE(std::filesystem::exists(dir.File("run.ztr")));
    }

    com1.emplace("ZENTRA_COM1", dir.File("no-such-device").c_str());
    EXPECT_EQ(Run({"--samples", "2"}), kExitFailure);
    EXPECT_NE(err.text().find("cannot open COM1"), std::string::npos) << err.text();
}

class ShortListLoggerRun : public LoggerRun {
    sim::SimOptions SimOptionsFor() override {
        sim::SimOptions options;
        options.identity.version = 1.03f; // variant 3: the reduced parameter set
        return options;
    }
};

TEST_F(ShortListLoggerRun, AReducedMeterIsLoggedWithTheShortList) {
    ASSERT_EQ(Run({"--samples", "3"}), kExitOk) << err.text();
    auto doc = ReadBack();
    EXPECT_EQ(doc->m_SystemType, 3);
    EXPECT_EQ(doc->m_SampleCount, 3);
    EXPECT_GT(doc->m_SampleValues[0][1], 100.0); // "V 1"
    for (std::size_t e = 9; e < kSampleValues; ++e)
        EXPECT_EQ(doc->m_SampleValues[0][e], 0.0);
}

TEST(LoggerSignals, AStopDuringIdentificationEndsTheProgramAtOnce) {
    using namespace std::chrono_literals;
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
} // namespace zentra::logger

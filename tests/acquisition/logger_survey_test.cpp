// zentra-log as a survey tool: rolling over from project to project with every sample
// once, the CSV written as the run goes, the end of a survey, a meter that stops
// answering, outputs that cannot be written, and the user's stored settings.
#include "document/csv_export.h"
#include "document/registry_defaults.h"
#include "platform/settings_tree.h"
#include "tests/acquisition/logger_run_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace zentra::logger {
namespace {

namespace fs = std::filesystem;

using test::FileText;

TEST(LoggerOptions, TheManPageDescribesEveryOptionOfTheHelp) {
    std::string page = FileText(std::string(ZENTRA_SOURCE_DIR) + "/packaging/man/zentra-log.1");
    ASSERT_FALSE(page.empty());
    for (auto at = page.find("\\-"); at != std::string::npos; at = page.find("\\-", at))
        page.erase(at, 1); // roff's \- is a plain hyphen
    const std::string help = UsageText();
    for (auto at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
        const auto end = help.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
        const std::string option = help.substr(at, end - at);
        EXPECT_NE(page.find(option), std::string::npos) << option;
    }
    EXPECT_NE(page.find("the meter stopped answering"), std::string::npos); // exit status 3
}

struct RollCase {
    const char* period;
    std::int64_t periodSeconds;
    int samples;
    const char* runFor; // ends the run while the third file fills
};

TEST_F(LoggerRun, ARollGoesOnFileAfterFileWithEverySampleOnceAtItsPeriod) {
    for (const RollCase& c : {RollCase{"1s", 1, 4, "13s"}, RollCase{"3s", 3, 2, "17s"}}) {
        SCOPED_TRACE(c.period);
        const std::string folder = dir.File(c.period);
        fs::create_directory(folder);
        ASSERT_EQ(RunStepped({"--period", c.period, "--samples", std::to_string(c.samples),
                              "--roll", "--for", c.runFor, "--quiet", "--out",
                              folder + "/survey.ztr", "--csv", folder + "/survey.csv"}),
                  kExitOk)
            << err.text();
        EXPECT_FALSE(fs::exists(folder + "/survey-0004.ztr"));
        EXPECT_FALSE(fs::exists(folder + "/survey-0004.csv"));

        std::vector<std::int64_t> times;
        std::int64_t previousLast = 0;
        for (const char* name : {"survey", "survey-0002", "survey-0003"}) {
            SCOPED_TRACE(name);
            const auto doc = ReadBack(std::string(c.period) + "/" + name + ".ztr");
            EXPECT_EQ(doc->m_Locked, 1);
            EXPECT_EQ(doc->m_Finished, 1);
            EXPECT_EQ(doc->m_Samples, c.samples);
            EXPECT_EQ(doc->m_Period * doc->m_PeriodMultiplier, c.periodSeconds);
            if (name != std::string("survey-0003")) {
                EXPECT_EQ(doc->m_SampleCount, c.samples); // full, then the next one began
            }
            ASSERT_GE(doc->m_SampleCount, 1);
            ASSERT_LE(doc->m_SampleCount, c.samples);
            if (previousLast != 0) { // each project begins as the one before it ends
                EXPECT_EQ(doc->m_LoggingStartTime, previousLast);
            }
            for (int n = 0; n < doc->m_SampleCount; ++n)
                times.push_back(doc->m_SampleTimes[static_cast<std::size_t>(n)]);
            previousLast = times.back();
            // The CSV written as the run went is the export of the saved project.
            EXPECT_EQ(FileText(folder + "/" + name + ".csv"), BuildCsvText(*doc));
        }
        // Across the boundaries as within a file: one sample every period, none twice.
        for (std::size_t i = 1; i < times.size(); ++i)
            EXPECT_EQ(times[i] - times[i - 1], c.periodSeconds) << "sample " << i;
        EXPECT_GT(times.front(), March2At10());
        EXPECT_LT(times.back(), March2At10() + std::stoi(c.runFor));
        EXPECT_NE(out.text().find("Saved " + std::to_string(c.samples) + " samples to " + folder +
                                  "/survey-0002.ztr"),
                  std::string::npos)
            << out.text();
    }
}

TEST_F(LoggerRun, ARollKeepsTheFilesThatExistAndARunEndingAtABoundaryWritesNoEmptyOne) {
    { std::ofstream(dir.File("run.ztr")) << "an earlier survey"; }
    // Two full projects of three samples; the stop comes as the third begins.
    out.Watch([&](const std::string& text) {
        if (text.find("Logging into " + dir.File("run-0004.ztr")) != std::string::npos)
            stop = true;
    });
    ASSERT_EQ(RunStepped({"--samples", "3", "--roll", "-q", "--csv", dir.File("run.csv")}), kExitOk)
        << err.text();
    EXPECT_EQ(FileText(dir.File("run.ztr")), "an earlier survey");
    EXPECT_FALSE(fs::exists(dir.File("run.csv")));
    EXPECT_NE(out.text().find("the run begins with " + dir.File("run-0002.ztr")), std::string::npos)
        << out.text();
    EXPECT_EQ(ReadBack("run-0002.ztr")->m_SampleCount, 3);
    EXPECT_EQ(ReadBack("run-0003.ztr")->m_SampleCount, 3);
    EXPECT_TRUE(fs::exists(dir.File("run-0003.csv")));
    EXPECT_FALSE(fs::exists(dir.File("run-0004.ztr"))) << out.text();
    EXPECT_FALSE(fs::exists(dir.File("run-0004.csv")));
}

TEST_F(LoggerRun, TheRunEndsAtItsUntilTimeAndRefusesOneThatHasPassed) {
    // The clock moves 30 s a tick: the run ends at 10:05 after ten ticks.
    ASSERT_EQ(RunStepped({"--samples", "7200", "--until", "2026-03-02 10:05"}, 30), kExitOk)
        << err.text();
    const auto doc = ReadBack();
    ASSERT_GE(doc->m_SampleCount, 1);
    EXPECT_LE(doc->m_SampleCount, 8);
    EXPECT_LT(doc->m_SampleTimes[static_cast<std::size_t>(doc->m_SampleCount - 1)],
              March2At10() + 300);
    EXPECT_NE(out.text().find("end is reached"), std::string::npos) << out.text();

    EXPECT_EQ(RunStepped(
                  {"--samples", "5", "--until", "2026-03-02 09:59", "--out", dir.File("late.ztr")}),
              kExitUsage);
    EXPECT_NE(err.text().find("has passed"), std::string::npos) << err.text();
    EXPECT_FALSE(fs::exists(dir.File("late.ztr")));
}

TEST_F(LoggerRun, AMeterThatStopsAnsweringEndsTheRunWithStatusThreeAndItIsSaved) {
    out.Watch([&](const std::string& text) {
        if (text.find("sample 3/") != std::string::npos)
            simulator->SetFaults(sim::SimFaults{.dropEvery = 1});
    });
    EXPECT_EQ(RunStepped({"--samples", "100", "--give-up", "5s"}), kExitMeterSilent);
    EXPECT_NE(err.text().find("has not answered for 5 s"), std::string::npos) << err.text();
    const auto doc = ReadBack();
    EXPECT_GE(doc->m_SampleCount, 3);
    EXPECT_LE(doc->m_SampleCount, 4);
    EXPECT_EQ(doc->m_Finished, 1);
}

TEST_F(LoggerRun, AFolderIsRefusedAsAnOutputBeforeLoggingStarts) {
    fs::create_directory(dir.File("runs"));
    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{"--out", dir.File("runs")},
                                               {"--out", dir.File("runs"), "--force"},
                                               {"--out", dir.File("runs") + "/"},
                                               {"--csv", dir.File("runs"), "--force"},
                                               {"--out", dir.File("runs"), "--roll"}}) {
        std::vector<std::string> args{"--samples", "2"};
        args.insert(args.end(), wrong.begin(), wrong.end());
        EXPECT_EQ(Run(args), kExitFailure) << ::testing::PrintToString(args);
    }
    EXPECT_NE(err.text().find("is a folder"), std::string::npos) << err.text();
    EXPECT_EQ(out.text().find("Port:"), std::string::npos); // refused before the port opened
    EXPECT_TRUE(fs::is_empty(dir.File("runs")));
}

// The bytes and the file of a stored value (a rewrite, even of the same bytes,
// replaces the file).
struct StoredValue {
    std::optional<std::vector<std::uint8_t>> bytes;
    ino_t inode = 0;
    bool operator==(const StoredValue&) const = default;
};

StoredValue Stored(const std::string& name) {
    const auto key = platform::OpenSettingsKey(kIniKey);
    StoredValue value;
    if (!key)
        return value;
    value.bytes = platform::ReadSettingsValue(*key, name, 1000);
    struct stat info {};
    if (::stat((key->folder / name).c_str(), &info) == 0)
        value.inode = info.st_ino;
    return value;
}

TEST_F(LoggerRun, TheUsersStoredLinkIsNeitherRewrittenNorCreated) {
    {
        // Defaults as the desktop program leaves them: its own port set up, node 7.
        CZentraDoc stored;
        std::snprintf(stored.m_Comms.latency.data(), stored.m_Comms.latency.size(), "350");
        stored.m_Comms.portSetUp = 1;
        stored.m_ModbusNode = 7.0;
    }
    const StoredValue comms = Stored("CommsSettings");
    const StoredValue node = Stored("ModbusNode");
    ASSERT_TRUE(comms.bytes && node.bytes);
    ASSERT_EQ(Run({"--samples", "2", "--node", "1", "--baud", "38400"}), kExitOk) << err.text();
    EXPECT_TRUE(Stored("CommsSettings") == comms);
    EXPECT_TRUE(Stored("ModbusNode") == node);

    const auto key = platform::OpenSettingsKey(kIniKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(platform::DeleteSettingsValue(*key, "CommsSettings"));
    ASSERT_TRUE(platform::DeleteSettingsValue(*key, "ModbusNode"));
    ASSERT_EQ(Run({"--samples", "1", "--out", dir.File("second.ztr")}), kExitOk) << err.text();
    EXPECT_FALSE(Stored("CommsSettings").bytes);
    EXPECT_FALSE(Stored("ModbusNode").bytes);
}

} // namespace
} // namespace zentra::logger

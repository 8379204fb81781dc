// zentra-log killed outright (SIGKILL, no save) loses at most the samples since its last
// recovery copy; the next start recovers it, each sample byte for byte what the meter
// sent. In a roll the same holds for the project being logged, and its CSV holds every
// sample logged before the kill.
#include "acquisition/acquisition_cycle.h"
#include "document/csv_export.h"
#include "document/project_file.h"
#include "document/recovery_file.h"
#include "document/zentra_doc.h"
#include "tests/acquisition/logger_process.h"
#include "tests/support/test_support.h"
#include "tools/logger/logger_recovery.h"
#include "tools/logger/logger_run.h"
#include "tools/sim/meter_model.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace zentra {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kSamplesBeforeKill = 90;

class RecoveryAfterKill : public ::testing::Test {
  protected:
    test::TempDir dir_;
    // The meter's clock advances one second per readings reply, so the values of
    // reply j are those of second j: the test can rebuild every reply.
    std::atomic<int> readingsReplies_{0};
    sim::MeterSimulator simulator_{Options()};

    sim::SimOptions Options() {
        sim::SimOptions options;
        options.clock = [this] { return static_cast<double>(readingsReplies_++); };
        return options;
    }
    void SetUp() override { ASSERT_TRUE(simulator_.Start()) << simulator_.Error(); }

    std::string State() const { return dir_.File("state"); }

    // The record the logger builds from readings reply j (full list, standard layout).
    std::vector<SampleRecord> ExpectedRecords(int replies) const {
        auto reference = std::make_unique<CZentraDoc>();
        reference->m_SystemType = 1;
        sim::MeterModel model;
        std::vector<SampleRecord> records(static_cast<std::size_t>(replies));
        for (int j = 0; j < replies; ++j) {
            const auto values = model.Readings(static_cast<double>(j));
            ReadingsBlock block{};
            for (std::size_t p = 0; p < block.size(); ++p)
                block[p] = static_cast<double>(values[p]);
            BuildRecord(*reference, block, kBlockReadings, records[static_cast<std::size_t>(j)]);
        }
        return records;
    }
};

bool SameBytes(const SampleRecord& a, const SampleRecord& b) {
    return std::memcmp(a.data(), b.data(), sizeof(SampleRecord)) == 0;
}

TEST_F(RecoveryAfterKill, TheNextStartRecoversTheLoggedSamplesByteForByte) {
    const std::string out = dir_.File("run.ztr");
    test::LoggerProcess logger(test::QuickRunArgs({"--samples", "7200", "--out", out}),
                               test::LoggerEnvironment(dir_.path(), simulator_.DevicePath()));
    ASSERT_TRUE(logger.started()) << test::LoggerProgram();
    ASSERT_TRUE(logger.WaitForText("sample " + std::to_string(kSamplesBeforeKill) + "/", 60s))
        << logger.Output() << logger.Errors();
    const int shown = logger.LastSampleShown();
    logger.Signal(SIGKILL);
    EXPECT_EQ(logger.Wait(10s), -1); // killed, not exited
    EXPECT_FALSE(fs::exists(out));   // it never saved

    // The next start of zentra-log (here a short run of its own) recovers first.
    const test::ScopedEnv state("XDG_STATE_HOME", State().c_str());
    const test::ScopedEnv config("XDG_CONFIG_HOME", dir_.File("config").c_str());
    const test::ScopedEnv com1("ZENTRA_COM1", simulator_.DevicePath().c_str());
    const std::atomic<bool> stop{false};
    std::ostringstream nextOut, nextErr;
    ASSERT_EQ(logger::LoggerMain(
                  test::QuickRunArgs({"--samples", "2", "--quiet", "--out", dir_.File("next.ztr")}),
                  nextOut, nextErr, stop),
              logger::kExitOk)
        << nextErr.str();
    const std::string recoveredPath = dir_.File("run-recovered.ztr");
    EXPECT_NE(nextOut.str().find("of an interrupted run to " + recoveredPath), std::string::npos)
        << nextOut.str();
    EXPECT_TRUE(FindInterruptedRuns(fs::path(State()) / "zentra").empty());

    auto recovered = std::make_unique<CZentraDoc>();
    const FileResult opened = OnOpenDocument(*recovered, recoveredPath);
    ASSERT_TRUE(opened.ok) << opened.error;
    const int count = recovered->m_SampleCount;
    RecordProperty("shown_before_kill", shown);
    RecordProperty("recovered", count);
    EXPECT_GE(count, shown - kRecoveryEverySamples);
    EXPECT_LE(count, readingsReplies_.load());
    EXPECT_EQ(recovered->m_Locked, 1);
    EXPECT_EQ(recovered->m_SystemType, 1);

    // Each sample is the record of one readings reply, in order; a one-second gap is
    // filled with a copy of the same record at the same time.
    const auto expected = ExpectedRecords(readingsReplies_.load());
    std::size_t reply = 0;
    for (int n = 0; n < count; ++n) {
        const auto& record = recovered->m_SampleValues[static_cast<std::size_t>(n)];
        const auto time = recovered->m_SampleTimes[static_cast<std::size_t>(n)];
        if (n > 0) {
            const auto previousTime = recovered->m_SampleTimes[static_cast<std::size_t>(n - 1)];
            ASSERT_GE(time, previousTime) << "sample " << n;
            if (time == previousTime &&
                SameBytes(record, recovered->m_SampleValues[static_cast<std::size_t>(n - 1)]))
                continue;
            ++reply;
        }
        while (reply < expected.size() && !SameBytes(record, expected[reply]))
            ++reply;
        ASSERT_LT(reply, expected.size()) << "sample " << n << " is no reply the meter sent";
    }
    for (int n = count; n < kMaxSamples; ++n)
        ASSERT_EQ(recovered->m_SampleTimes[static_cast<std::size_t>(n)], 0) << n;
}

using test::FileText;
using test::Occurrences;

TEST_F(RecoveryAfterKill, AKilledRollKeepsItsSavedFilesAndItsCsvHoldsWhatWasLogged) {
    const std::string out = dir_.File("survey.ztr");
    const auto env = test::LoggerEnvironment(dir_.path(), simulator_.DevicePath());
    test::LoggerProcess logger(test::QuickRunArgs({"--samples", "40", "--roll", "--out", out,
                                                   "--csv", dir_.File("survey.csv")}),
                               env);
    ASSERT_TRUE(logger.started()) << test::LoggerProgram();
    // Into the third project, three samples in: 37 ticks (almost 2 s) before that
    // project could be complete, so a busy machine cannot let it finish before the kill.
    ASSERT_TRUE(logger.WaitForText("Logging into " + dir_.File("survey-0003.ztr"), 60s))
        << logger.Output() << logger.Errors();
    const auto third = logger.Output().size();
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (Occurrences(logger.Output().substr(third), "\nsample ") < 3 &&
           std::chrono::steady_clock::now() < until)
        logger.Drain(20ms);
    logger.Signal(SIGKILL);
    EXPECT_EQ(logger.Wait(10s), -1);
    const int shown = static_cast<int>(Occurrences(logger.Output().substr(third), "\nsample "));
    EXPECT_FALSE(fs::exists(dir_.File("survey-0003.ztr")));

    // The two full projects are saved, each with its CSV export beside it.
    for (const char* name : {"survey", "survey-0002"}) {
        auto doc = std::make_unique<CZentraDoc>();
        ASSERT_TRUE(OnOpenDocument(*doc, dir_.File(std::string(name) + ".ztr")).ok) << name;
        EXPECT_EQ(doc->m_SampleCount, 40);
        EXPECT_EQ(FileText(dir_.File(std::string(name) + ".csv")), BuildCsvText(*doc)) << name;
    }

    // The third is recovered beside the file it was to be.
    const test::ScopedEnv state("XDG_STATE_HOME", State().c_str());
    std::ostringstream nextOut, nextErr;
    const std::atomic<bool> stop{false};
    ASSERT_EQ(logger::LoggerMain({"--recover"}, nextOut, nextErr, stop), logger::kExitOk)
        << nextErr.str();
    auto recovered = std::make_unique<CZentraDoc>();
    ASSERT_TRUE(OnOpenDocument(*recovered, dir_.File("survey-0003-recovered.ztr")).ok)
        << nextOut.str();
    const int count = recovered->m_SampleCount;
    ASSERT_GE(count, 1);

    // The CSV written before the kill: the export of the recovered samples, then the
    // rows logged after the last recovery copy, one for every sample shown.
    const std::string csv = FileText(dir_.File("survey-0003.csv"));
    const std::string exported = BuildCsvText(*recovered);
    RecordProperty("csv_rows_after_kill", static_cast<int>(Occurrences(csv, "\r\n")) - 7);
    RecordProperty("recovered_samples", count);
    EXPECT_EQ(csv.substr(0, exported.size()), exported);
    EXPECT_GE(Occurrences(csv, "\r\n") - 7, static_cast<std::size_t>(std::max(shown, count)));
}

TEST(LoggerRecovery, RecoveredRunsAreSavedBesideTheirFileAndNeverOverAnother) {
    test::TempDir dir;
    InterruptedRun run;
    run.savePath = dir.File("site/pump.ztr");
    EXPECT_EQ(logger::RecoveredPathFor(run, "/elsewhere"), dir.File("site/pump-recovered.ztr"));
    fs::create_directories(dir.File("site"));
    std::ofstream(dir.File("site/pump-recovered.ztr")) << "an earlier recovery";
    EXPECT_EQ(logger::RecoveredPathFor(run, "/elsewhere"), dir.File("site/pump-recovered-2.ztr"));
    run.savePath.clear(); // a desktop project that was never saved
    EXPECT_EQ(logger::RecoveredPathFor(run, dir.path()), dir.File("recovered.ztr"));

    const test::ScopedUserFolders folders;
    std::ostringstream out, err;
    const std::atomic<bool> stop{false};
    EXPECT_EQ(logger::LoggerMain({"--recover"}, out, err, stop), logger::kExitOk);
    EXPECT_EQ(out.str(), "No interrupted run to recover\n");
}

} // namespace
} // namespace zentra

// zentra-log started again, as a service is after a stop, a kill or a reboot: a survey
// carries on to the end its first start fixed and logs nothing once it has ended; the
// roll begins after the files that are there and says which ones; outputs that are one
// file under two names are refused before the port opens.
#include "document/recovery_file.h"
#include "tests/acquisition/logger_run_fixture.h"
#include "tools/logger/survey_record.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace zentra::logger {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::FileText;

std::int64_t LastSampleTime(const CZentraDoc& doc) {
    return doc.m_SampleTimes[static_cast<std::size_t>(doc.m_SampleCount - 1)];
}

struct SurveyCase {
    const char* name;
    std::vector<std::string> end; // the survey's end on the command line
    std::int64_t step;            // clock seconds per tick
    std::int64_t restartAt;       // the second start, seconds after 10:00
    std::int64_t endsAt;          // the survey's end, seconds after 10:00
    const char* endText;
};

TEST_F(LoggerRun, ARestartedSurveyCarriesOnToTheEndOfItsFirstStartAndThenLogsNothing) {
    for (const SurveyCase& c : {
             SurveyCase{"for", {"--for", "20s"}, 1, 7, 20, "Mar 02 2026 10:00:20"},
             SurveyCase{
                 "until", {"--until", "2026-03-02 10:01"}, 5, 30, 60, "Mar 02 2026 10:01:00"},
             SurveyCase{"both",
                        {"--for", "1h", "--until", "2026-03-02 10:01"},
                        5,
                        30,
                        60,
                        "Mar 02 2026 10:01:00"},
         }) {
        SCOPED_TRACE(c.name);
        const std::string folder = dir.File(c.name);
        fs::create_directory(folder);
        std::vector<std::string> args{"--samples", "100", "--roll", "--out", folder + "/s.ztr"};
        args.insert(args.end(), c.end.begin(), c.end.end());

        // The first start, stopped (as by systemctl stop) after three samples.
        stop = false;
        out.Watch([&](const std::string& text) {
            if (text.find("sample 3/") != std::string::npos)
                stop = true;
        });
        ASSERT_EQ(RunStepped(args, c.step), kExitOk) << err.text();
        out.Watch({});
        stop = false;
        EXPECT_EQ(test::Occurrences(out.text(), std::string("until ") + c.endText), 1u)
            << out.text();

        // Started again before the end: the same end, not one counted from now.
        ASSERT_EQ(RunStepped(args, c.step, March2At10() + c.restartAt), kExitOk) << err.text();
        EXPECT_EQ(test::Occurrences(out.text(), std::string("until ") + c.endText), 2u)
            << out.text();
        const auto second = ReadBack(std::string(c.name) + "/s-0002.ztr");
        ASSERT_GE(second->m_SampleCount, 1);
        EXPECT_GT(second->m_SampleTimes[0], March2At10() + c.restartAt);
        EXPECT_LT(LastSampleTime(*second), March2At10() + c.endsAt);

        // Started after the end (the next boot): nothing logged, status 0.
        const std::size_t ports = test::Occurrences(out.text(), "Port:");
        ASSERT_EQ(RunStepped(args, c.step, March2At10() + c.endsAt + 600), kExitOk) << err.text();
        EXPECT_NE(out.text().find(std::string("the survey ended at ") + c.endText),
                  std::string::npos)
            << out.text();
        EXPECT_EQ(test::Occurrences(out.text(), "Port:"), ports); // the port was not opened
        EXPECT_FALSE(fs::exists(folder + "/s-0003.ztr"));
        out.Clear();
    }
}

TEST_F(LoggerRun, APastUntilIsACommandLineErrorOnlyForASurveyThatHasNotBegun) {
    fs::create_directory(dir.File("begun"));
    { std::ofstream(dir.File("begun/s.ztr")) << "the survey's first project"; }
    const std::vector<std::string> past{"--samples", "5", "--roll", "--until", "2026-03-02 09:59"};
    struct Case {
        const char* out;
        int status;
        const char* says;
    };
    for (const Case& c :
         {Case{"fresh/s.ztr", kExitUsage, "has passed"},
          Case{"begun/s.ztr", kExitOk, "the survey ended at Mar 02 2026 09:59:00"}}) {
        SCOPED_TRACE(c.out);
        fs::create_directories(fs::path(dir.File(c.out)).parent_path());
        std::vector<std::string> args = past;
        args.insert(args.end(), {"--out", dir.File(c.out)});
        EXPECT_EQ(RunStepped(args), c.status);
        EXPECT_NE((out.text() + err.text()).find(c.says), std::string::npos)
            << out.text() << err.text();
        EXPECT_EQ(out.text().find("Port:"), std::string::npos);
    }
    EXPECT_EQ(FileText(dir.File("begun/s.ztr")), "the survey's first project");
}

struct TakenCase {
    const char* name;
    std::vector<const char*> present; // files of number 1 made before the start
    bool csv;
    const char* says;
};

TEST_F(LoggerRun, ARollRestartSaysWhichFilesAreThereAndBeginsAfterThem) {
    for (const TakenCase& c : {
             TakenCase{"csv", {"s.csv"}, true, "s.csv exists"},
             TakenCase{"recovered", {"s-recovered.ztr"}, false, "s-recovered.ztr exists"},
             TakenCase{"all",
                       {"s.ztr", "s.csv", "s-recovered.ztr"},
                       true,
                       "s.ztr, s.csv and s-recovered.ztr exist"},
         }) {
        SCOPED_TRACE(c.name);
        const std::string folder = dir.File(c.name);
        fs::create_directory(folder);
        for (const char* file : c.present)
            std::ofstream(folder + "/" + file) << "kept";
        std::vector<std::string> args{"--samples", "2", "--roll", "-q", "--out", folder + "/s.ztr"};
        if (c.csv)
            args.insert(args.end(), {"--csv", folder + "/s.csv"});
        stop = false;
        out.Watch([&](const std::string& text) {
            if (text.find("Saved 2 samples to " + folder + "/s-0002.ztr") != std::string::npos)
                stop = true;
        });
        ASSERT_EQ(RunStepped(args), kExitOk) << err.text();
        out.Watch({});
        std::string says = c.says;
        for (const char* file : {"s.ztr", "s.csv", "s-recovered.ztr"})
            if (const auto at = says.find(file); at != std::string::npos)
                says.replace(at, std::strlen(file), folder + "/" + file);
        EXPECT_NE(out.text().find(says + "; the run begins with " + folder + "/s-0002.ztr"),
                  std::string::npos)
            << out.text();
        EXPECT_EQ(ReadBack(std::string(c.name) + "/s-0002.ztr")->m_SampleCount, 2);
        for (const char* file : c.present)
            EXPECT_EQ(FileText(folder + "/" + file), "kept") << file;
        out.Clear();
    }
}

TEST_F(LoggerRun, OutputsThatAreOneFileUnderTwoNamesAreRefusedBeforeThePortOpens) {
    fs::create_directories(dir.File("sub"));
    { std::ofstream(dir.File("old.ztr")) << "an earlier project"; }
    ASSERT_EQ(::link(dir.File("old.ztr").c_str(), dir.File("hard.csv").c_str()), 0);
    fs::create_symlink(dir.File("f2.ztr"), dir.File("link.csv")); // to a file not yet there
    const std::string recoveryCopy = (RecoveryFolder() / "recovery-1.ztr").string();
    fs::create_directories(RecoveryFolder());
    const std::string here = fs::current_path().string();
    fs::current_path(dir.path());
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    for (const Case& c : std::vector<Case>{
             {{"--out", "f2.ztr", "--csv", "./f2.ztr"}, "are the same file"},
             {{"--out", "f2.ztr", "--csv", "sub/../f2.ztr"}, "are the same file"},
             {{"--out", "f2.ztr", "--csv", "link.csv"}, "are the same file"},
             {{"--out", "old.ztr", "--csv", "hard.csv", "--force"}, "are the same file"},
             {{"--out", "s.ztr", "--roll", "--for", "1h", "--csv", "s-survey.txt"},
              "are the same file"},
             {{"--out", recoveryCopy}, "recovery copy"},
             {{"--out", "f2.ztr", "--csv", recoveryCopy}, "recovery copy"},
         }) {
        std::vector<std::string> args{"--samples", "4"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(::testing::PrintToString(args));
        err.Clear();
        EXPECT_EQ(Run(args), kExitUsage);
        EXPECT_NE(err.text().find(c.says), std::string::npos) << err.text();
    }
    fs::current_path(here);
    EXPECT_EQ(out.text().find("Port:"), std::string::npos) << out.text();
    EXPECT_EQ(FileText(dir.File("old.ztr")), "an earlier project");
    for (const char* name : {"f2.ztr", "s.ztr", "s-survey.txt"})
        EXPECT_FALSE(fs::exists(dir.File(name))) << name;
    EXPECT_FALSE(fs::exists(recoveryCopy));
}

TEST(SurveyRecord, OnlyAWholeStartLineIsTakenFromTheFile) {
    struct Case {
        std::string text;
        std::optional<std::int64_t> start;
    };
    for (const Case& c : std::vector<Case>{
             {"# zentra-log\nstart 1772445600 Mar 02 2026 10:00:00\nend 1772446200 x\n",
              1772445600},
             {"end 1772446200\nstart 1772445600", 1772445600},
             {"start 7", 7},
             {"", std::nullopt},
             {"end 1772446200\n", std::nullopt},
             {"start \n", std::nullopt},
             {"start -5\n", std::nullopt},
             {"start 0\n", std::nullopt},
             {"start 12x\n", std::nullopt},
             {"start 99999999999999999999999\n", std::nullopt},
             {" start 7\n", std::nullopt},
             {std::string("start 7\0\n", 9), std::nullopt},
         }) {
        EXPECT_EQ(ParseSurveyStart(c.text), c.start) << ::testing::PrintToString(c.text);
    }
}

// As the service manager does it: killed outright early in a survey, started again.
TEST(LoggerService, ASurveyKilledAndStartedAgainEndsWhenItsFirstStartSaid) {
    sim::MeterSimulator simulator;
    ASSERT_TRUE(simulator.Start()) << simulator.Error();
    const test::TempDir dir;
    const auto env = test::LoggerEnvironment(dir.path(), simulator.DevicePath());
    const auto args = test::QuickRunArgs(
        {"--roll", "--for", "40s", "--out", dir.File("s.ztr"), "--csv", dir.File("s.csv")});
    std::string until;
    {
        test::LoggerProcess first(args, env);
        ASSERT_TRUE(first.WaitForText("sample 2/", 20s)) << first.Output() << first.Errors();
        first.Signal(SIGKILL);
        first.Wait(10s);
        const auto at = first.Output().find(" until ");
        ASSERT_NE(at, std::string::npos) << first.Output();
        until = first.Output().substr(at, first.Output().find(',', at) - at);
    }
    test::LoggerProcess second(args, env);
    EXPECT_EQ(second.Wait(30s), 0) << second.Output() << second.Errors();
    EXPECT_NE(second.Output().find(until), std::string::npos) << until << "\n" << second.Output();
    EXPECT_NE(second.Output().find(dir.File("s.csv") + " and " + dir.File("s-recovered.ztr") +
                                   " exist; the run begins with " + dir.File("s-0002.ztr")),
              std::string::npos)
        << second.Output();
    EXPECT_NE(second.Output().find("end is reached"), std::string::npos) << second.Output();
}

} // namespace
} // namespace zentra::logger

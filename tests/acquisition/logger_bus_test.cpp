// zentra-log surveying several meters on one simulated bus, in stepped time: each
// meter's file holds its own values one period apart, a meter that falls silent shows
// the gap and never holds the others back, one silent at the start begins its own
// file when it answers, and a pulled adapter or a dropped gateway keeps what was
// logged for every meter. Command lines that cannot be a survey are refused (exit 2).
#include "records/readings_catalogue.h"
#include "tests/acquisition/logger_run_fixture.h"
#include "tools/logger/bus_schedule.h"
#include "tools/logger/survey_plan.h"
#include "tools/logger/survey_run.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace zentra::logger {
namespace {

// The band of phase current I1 a node's simulated meter reads (A).
struct Band {
    double low, high;
};
const std::map<int, Band> kI1Band = {
    {1, {34, 62}}, {5, {434, 462}}, {12, {1134, 1162}}, {20, {1934, 1962}}};

int I1Element(const CZentraDoc& doc) {
    const auto columns = ColumnsFor(doc.m_SystemType);
    const auto it = std::find(columns.begin(), columns.end(), 7);
    return static_cast<int>(it - columns.begin()) + 1;
}

class BusRun : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::optional<sim::MeterSimulator> simulator;
    std::optional<test::ScopedEnv> com1;
    WatchedStream out, err;
    std::atomic<bool> stop{false};
    int ticks = 0;

    void StartBus(sim::SimOptions options) {
        simulator.emplace(std::move(options));
        ASSERT_TRUE(simulator->Start()) << simulator->Error();
        com1.emplace("ZENTRA_COM1", simulator->DevicePath().c_str());
    }
    // A survey whose clock stands at March2At10() and moves a second before every
    // round; `atTick` runs before round n.
    int RunStepped(std::vector<std::string> args, std::function<void(int)> atTick = {},
                   std::int64_t start = March2At10()) {
        std::vector<std::string> all{"COM1", "--period",  "1s",       "--latency", "0", "--tick-ms",
                                     "10",   "--out-dir", dir.path(), "--give-up", "1h"};
        all.insert(all.end(), args.begin(), args.end());
        const ParsedArguments parsed = ParseArguments(all);
        EXPECT_EQ(parsed.error, "");
        platform::ManualClock clock(start);
        RunHooks hooks;
        hooks.scaleClock = false;
        hooks.beforeTick = [&] {
            clock.Advance(1);
            if (atTick)
                atTick(++ticks);
        };
        return RunSurvey(PlanFromOptions(parsed.options), out, err, stop, hooks);
    }
    std::unique_ptr<CZentraDoc> ReadBack(const std::string& name) {
        auto doc = std::make_unique<CZentraDoc>();
        const FileResult opened = OnOpenDocument(*doc, dir.File(name));
        EXPECT_TRUE(opened.ok) << name << ": " << opened.error;
        return doc;
    }
    // The steps between consecutive sample times, and whether every I1 is the node's.
    static std::vector<std::int64_t> Steps(const CZentraDoc& doc) {
        std::vector<std::int64_t> steps;
        for (int n = 1; n < doc.m_SampleCount; ++n)
            steps.push_back(doc.m_SampleTimes[n] - doc.m_SampleTimes[n - 1]);
        return steps;
    }
    static void ExpectOwnValues(const CZentraDoc& doc, int node) {
        const Band band = kI1Band.at(node);
        const int element = I1Element(doc);
        for (int n = 0; n < doc.m_SampleCount; ++n) {
            const double i1 = doc.m_SampleValues[n][element];
            ASSERT_TRUE(i1 >= band.low && i1 <= band.high)
                << "node " << node << " sample " << n << " I1 " << i1;
        }
    }
};

TEST_F(BusRun, TwoAnsweringMetersKeepTheirPeriodWhileAThirdFallsSilentAndShowsTheGap) {
    sim::SimOptions options;
    options.nodes = {1, 5, 12};
    StartBus(options);
    // Node 5 is silent from round 20 to round 35.
    const int code = RunStepped(
        {"--meter", "main=1", "--meter", "spare=5", "--meter", "pump=12", "--samples", "60"},
        [&](int tick) {
            if (tick == 20)
                simulator->SetSilent(5, true);
            if (tick == 35)
                simulator->SetSilent(5, false);
        });
    ASSERT_EQ(code, kExitOk) << err.text();
    struct Case {
        const char* file;
        int node;
    };
    for (const Case c : {Case{"main.ztr", 1}, Case{"pump.ztr", 12}}) {
        SCOPED_TRACE(c.file);
        const auto doc = ReadBack(c.file);
        ASSERT_EQ(doc->m_SampleCount, 60);
        for (const std::int64_t step : Steps(*doc))
            ASSERT_EQ(step, 1);
        ExpectOwnValues(*doc, c.node);
    }
    const auto spare = ReadBack("spare.ztr");
    ASSERT_EQ(spare->m_SampleCount, 60);
    ExpectOwnValues(*spare, 5);
    const auto steps = Steps(*spare);
    const auto gaps = std::count_if(steps.begin(), steps.end(), [](auto s) { return s != 1; });
    EXPECT_EQ(gaps, 1);
    const std::int64_t gap = *std::max_element(steps.begin(), steps.end());
    EXPECT_GE(gap, 15);          // silent for 15 rounds
    EXPECT_LE(gap, 15 + 10 + 2); // asked again within 10 s of answering
    EXPECT_NE(err.text().find("spare: no reply from the meter"), std::string::npos) << err.text();
}

TEST_F(BusRun, AMeterSilentAtTheStartDoesNotHoldTheOthersBackAndBeginsWhenItAnswers) {
    sim::SimOptions options;
    options.nodes = {1, 12};
    options.silentNodes = {12};
    StartBus(options);
    const int code = RunStepped(
        {"--meter", "main=1", "--meter", "pump=12", "--samples", "30", "--csv"}, [&](int tick) {
            if (tick == 15)
                simulator->SetSilent(12, false);
        });
    ASSERT_EQ(code, kExitOk) << err.text();
    const auto main = ReadBack("main.ztr");
    const auto pump = ReadBack("pump.ztr");
    ASSERT_EQ(main->m_SampleCount, 30);
    ASSERT_EQ(pump->m_SampleCount, 30);
    EXPECT_LE(main->m_SampleTimes[0], March2At10() + 3); // layout, information, readings
    EXPECT_GE(pump->m_SampleTimes[0], March2At10() + 15);
    EXPECT_LE(pump->m_SampleTimes[0], March2At10() + 15 + 10 + 3);
    for (const auto* doc : {main.get(), pump.get()})
        for (const std::int64_t step : Steps(*doc))
            ASSERT_EQ(step, 1);
    ExpectOwnValues(*pump, 12);
    EXPECT_TRUE(std::filesystem::exists(dir.File("pump.csv")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("main.csv")));
}

TEST_F(BusRun, ARestartedSurveyCarriesOnToTheEndOfItsFirstStartAndThenLogsNothing) {
    sim::SimOptions options;
    options.nodes = {1, 5};
    StartBus(options);
    struct Case {
        const char* name;
        std::vector<std::string> end;
        std::int64_t restartAt, endsAt; // seconds after the first start
        const char* endText;
    };
    for (const Case& c :
         {Case{"for", {"--for", "20s"}, 7, 20, "Mar 02 2026 10:00:20"},
          Case{"until", {"--until", "2026-03-02 10:01"}, 30, 60, "Mar 02 2026 10:01:00"}}) {
        SCOPED_TRACE(c.name);
        for (const char* file : {"a.ztr", "b.ztr", "a-0002.ztr", "b-0002.ztr", "survey.txt"})
            std::filesystem::remove(dir.File(file));
        std::vector<std::string> args{"--meter", "a=1",       "--meter", "b=5",
                                      "--roll",  "--samples", "100"};
        args.insert(args.end(), c.end.begin(), c.end.end());
        const std::string until = std::string("until ") + c.endText;

        // The first start, stopped (as by systemctl stop) after three rounds.
        stop = false;
        ticks = 0;
        ASSERT_EQ(RunStepped(args, [&](int tick) { stop = stop || tick == 3; }), kExitOk)
            << err.text();
        EXPECT_EQ(test::Occurrences(out.text(), until), 2u) << out.text(); // a's and b's
        EXPECT_TRUE(std::filesystem::exists(dir.File("survey.txt")));

        // Started again before the end: the same end for both, not one counted from now.
        stop = false;
        ASSERT_EQ(RunStepped(args, {}, March2At10() + c.restartAt), kExitOk) << err.text();
        EXPECT_EQ(test::Occurrences(out.text(), until), 4u) << out.text();
        for (const char* file : {"a-0002.ztr", "b-0002.ztr"}) {
            SCOPED_TRACE(file);
            const auto second = ReadBack(file);
            ASSERT_GE(second->m_SampleCount, 1);
            EXPECT_GT(second->m_SampleTimes[0], March2At10() + c.restartAt);
            EXPECT_LT(second->m_SampleTimes[second->m_SampleCount - 1], March2At10() + c.endsAt);
        }

        // Started after the end (the next boot): nothing logged, status 0, no port.
        const std::size_t ports = test::Occurrences(out.text(), "Port:");
        ASSERT_EQ(RunStepped(args, {}, March2At10() + c.endsAt + 600), kExitOk) << err.text();
        EXPECT_NE(out.text().find(std::string("the survey ended at ") + c.endText),
                  std::string::npos)
            << out.text();
        EXPECT_EQ(test::Occurrences(out.text(), "Port:"), ports);
        EXPECT_FALSE(std::filesystem::exists(dir.File("a-0003.ztr")));
        out.Clear();
    }
}

TEST_F(BusRun, ALineTooSlowForEveryMeterEachSecondSpreadsItsRequestsButNotTheSamples) {
    sim::SimOptions options;
    options.nodes = {1, 5, 12, 20};
    StartBus(options);
    // 4800 baud carries the readings of 2 meters a second (205 bytes and two silences
    // of 3.5 characters, 442 ms each); a 5 s period needs one reply in five.
    const int code = RunStepped({"--baud", "4800", "--period", "5s", "--samples", "6", "--meter",
                                 "a=1", "--meter", "b=5", "--meter", "c=12", "--meter", "d=20"},
                                [](int) {}); // counts the rounds
    ASSERT_EQ(code, kExitOk) << err.text();
    EXPECT_EQ(test::Occurrences(err.text(), "carries the readings of about 2 meters a second"), 1u)
        << err.text();
    EXPECT_NE(err.text().find("their live readings are spread over the seconds"), std::string::npos)
        << err.text();
    for (const auto& [file, node] :
         {std::pair{"a.ztr", 1}, {"b.ztr", 5}, {"c.ztr", 12}, {"d.ztr", 20}}) {
        SCOPED_TRACE(file);
        const auto doc = ReadBack(file);
        ASSERT_EQ(doc->m_SampleCount, 6);
        for (const std::int64_t step : Steps(*doc))
            ASSERT_EQ(step, 5);
        ExpectOwnValues(*doc, node);
    }
    // Every meter asked each second would be 4 requests a round; identity, layout and
    // information at the start are 3 per meter.
    EXPECT_LE(simulator->RequestsSeen(), static_cast<std::uint64_t>(3 * ticks + 12))
        << ticks << " rounds";
}

TEST_F(BusRun, AMeterAskedAsTheSecondTurnsKeepsItsSamplesOnePeriodApart) {
    sim::SimOptions options;
    options.nodes = {1, 5, 12};
    StartBus(options);
    const ParsedArguments parsed = ParseArguments(
        {"COM1", "--period", "1s", "--latency", "0", "--tick-ms", "10", "--out-dir", dir.path(),
         "--meter", "a=1", "--meter", "b=5", "--meter", "c=12", "--samples", "30", "--quiet"});
    ASSERT_EQ(parsed.error, "");
    // The wall clock's second turns during every other round, after the line has
    // carried two requests of it: the third meter is read in the next second then.
    std::int64_t roundStart = March2At10();
    std::uint64_t seenAtStart = 0;
    int round = 0;
    platform::SetClock([&] {
        const bool turned = round % 2 == 0 && simulator->RequestsSeen() >= seenAtStart + 2;
        return roundStart + (turned ? 1 : 0);
    });
    RunHooks hooks;
    hooks.scaleClock = false;
    hooks.beforeTick = [&] {
        ++round;
        roundStart = March2At10() + round;
        seenAtStart = simulator->RequestsSeen();
    };
    const int code = RunSurvey(PlanFromOptions(parsed.options), out, err, stop, hooks);
    platform::SetClock({});
    ASSERT_EQ(code, kExitOk) << err.text();
    for (const char* file : {"a.ztr", "b.ztr", "c.ztr"}) {
        SCOPED_TRACE(file);
        const auto doc = ReadBack(file);
        ASSERT_EQ(doc->m_SampleCount, 30);
        for (const std::int64_t step : Steps(*doc))
            ASSERT_EQ(step, 1);
    }
}

TEST(BusTurns, DueMetersAlwaysAskAndTheOthersTakeTurnsWhileTheRoundHasRoom) {
    struct Case {
        const char* name;
        std::vector<TurnClaim> claims;
        int room;
        std::size_t next;
        std::vector<bool> turns;
        std::size_t nextAfter;
    };
    const TurnClaim due{true, true}, live{true, false}, quiet{false, false};
    const Case cases[] = {
        {"room for all", {live, live, live}, 3, 0, {true, true, true}, 0},
        {"two of four from the start",
         {live, live, live, live},
         2,
         0,
         {true, true, false, false},
         2},
        {"going round", {live, live, live, live}, 2, 3, {true, false, false, true}, 1},
        {"due ones first", {live, due, live, due}, 3, 0, {true, true, false, true}, 1},
        {"due ones beyond the room", {due, due, due, live}, 2, 0, {true, true, true, false}, 0},
        {"quiet takes no room", {quiet, live, quiet, live}, 2, 0, {false, true, false, true}, 0},
        {"no room", {live, live}, 0, 1, {false, false}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t next = c.next;
        EXPECT_EQ(ChooseTurns(c.claims, c.room, next), c.turns);
        EXPECT_EQ(next, c.nextAfter);
    }
}

struct Outage {
    const char* name;
    sim::SimTransport transport;
};

class BusOutage : public BusRun, public ::testing::WithParamInterface<Outage> {};

TEST_P(BusOutage, KeepsWhatWasLoggedForEveryMeter) {
    sim::SimOptions options;
    options.nodes = {1, 5, 12};
    options.transport = GetParam().transport;
    StartBus(options);
    const int code = RunStepped(
        {"--meter", "a=1", "--meter", "b=5", "--meter", "c=12", "--samples", "100"}, [&](int tick) {
            if (tick == 12) {
                if (GetParam().transport == sim::SimTransport::Pty)
                    simulator->CloseMaster();
                else
                    simulator->DropClient();
            }
            if (tick == 20)
                stop = true;
        });
    EXPECT_EQ(code, kExitOk) << err.text();
    for (const auto& [file, node] : {std::pair{"a.ztr", 1}, {"b.ztr", 5}, {"c.ztr", 12}}) {
        SCOPED_TRACE(file);
        const auto doc = ReadBack(file);
        EXPECT_GE(doc->m_SampleCount, 9);
        ExpectOwnValues(*doc, node);
    }
}

INSTANTIATE_TEST_SUITE_P(Links, BusOutage,
                         ::testing::Values(Outage{"PulledAdapter", sim::SimTransport::Pty},
                                           Outage{"DroppedGateway", sim::SimTransport::ModbusTcp}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BusCommandLine, RefusesWhatCannotBeASurvey) {
    const std::vector<std::string> base{"COM1", "--period", "1s", "--samples", "5"};
    struct Case {
        std::vector<std::string> extra;
        const char* says;
    };
    const Case cases[] = {
        {{"--meter", "a b=1", "--out-dir", "d"}, "NAME=NODE"},
        {{"--meter", "../x=1", "--out-dir", "d"}, "NAME=NODE"},
        {{"--meter", "a=0", "--out-dir", "d"}, "1 to 247"},
        {{"--meter", "a=1,order=4", "--out-dir", "d"}, "order="},
        {{"--meter", "a=1", "--meter", "a=2", "--out-dir", "d"}, "given twice"},
        {{"--meter", "a=1", "--meter", "b=1", "--out-dir", "d"}, "node 1 is given to both"},
        {{"--meter", "a=1", "--out-dir", "d", "--out", "x.ztr"}, "--out names one meter"},
        {{"--meter", "a=1"}, "--out-dir"},
        {{"--meter", "a=1", "--out-dir", "d", "--csv", "x.csv"}, "--csv takes no file name"},
        {{"--meter", "a=1", "--out-dir", "d", "--node", "3"}, "--node is for one meter"},
        {{"--out-dir", "d", "--out", "x.ztr"}, "--out-dir is for several meters"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = base;
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const ParsedArguments parsed = ParseArguments(args);
        EXPECT_NE(parsed.error.find(c.says), std::string::npos)
            << testing::PrintToString(c.extra) << " -> " << parsed.error;
    }
    const ParsedArguments good =
        ParseArguments({"COM1", "--meter", "main-1=1", "--meter", "pump_2=12,order=2", "--period",
                        "1s", "--roll", "--out-dir", "d", "--csv"});
    ASSERT_EQ(good.error, "");
    ASSERT_EQ(good.options.meters.size(), 2u);
    EXPECT_EQ(good.options.meters[1].node, 12);
    EXPECT_EQ(good.options.meters[1].order, 2);
    EXPECT_TRUE(good.options.csvEach);
}

} // namespace
} // namespace zentra::logger

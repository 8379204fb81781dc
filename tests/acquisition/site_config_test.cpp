// The survey's configuration file: what a site's file becomes, every wrong key, type
// or value refused with its line before any port opens, and two links served each on
// its own, so that a gateway that never answers does not hold back the other line.
#include "tests/acquisition/logger_run_fixture.h"
#include "tools/logger/config/config_main.h"
#include "tools/logger/config/outlet_config.h"
#include "tools/logger/config/site_config.h"
#include "tools/logger/survey_run.h"

#include <filesystem>
#include <fstream>

namespace zentra::logger {
namespace {

constexpr const char* kCabinet = R"(# cabinet 3
period = "5m"
roll = true
for = "7d"
give-up = "1h"
out-dir = "/var/lib/zentra/cabinet-3"
csv = true

[[link]]
port = "/dev/ttyUSB0"
baud = 9600
parity = "even"
stop = 2
latency = 50

  [[link.meter]]
  name = "main"
  node = 1

  [[link.meter]]
  name = "pump"
  node = 12
  order = 2

[[link]]
port = "modbus-tcp://192.0.2.10:502"
latency = 800
meter = [ { name = "chiller", node = 3 } ]

[mqtt]
url = "mqtt://broker/site"
every = "sample"
)";

TEST(SiteConfig, ACabinetFileBecomesItsPlan) {
    const ConfigResult read = ParseSiteConfig(kCabinet, "site.toml");
    ASSERT_TRUE(read.plan) << read.error;
    const SurveyPlan& plan = *read.plan;
    EXPECT_EQ(plan.run.period, 5);
    EXPECT_EQ(plan.run.periodMultiplier, 60);
    EXPECT_TRUE(plan.run.roll);
    EXPECT_EQ(plan.run.samples, 7200); // a roll's projects are full ones
    EXPECT_EQ(plan.run.forSeconds, 7 * 86400);
    EXPECT_EQ(plan.run.giveUpSeconds, 3600);
    EXPECT_EQ(plan.outDir, "/var/lib/zentra/cabinet-3");
    EXPECT_TRUE(plan.csv);
    ASSERT_EQ(plan.links.size(), 2u);
    const LinkPlan& cable = plan.links[0];
    EXPECT_EQ(cable.port, "/dev/ttyUSB0");
    EXPECT_EQ(cable.baud, "9600");
    EXPECT_EQ(cable.parity, "EVEN");
    EXPECT_EQ(cable.stop, "2");
    EXPECT_EQ(cable.latencyMs, 50);
    ASSERT_EQ(cable.meters.size(), 2u);
    EXPECT_EQ(cable.meters[1].name, "pump");
    EXPECT_EQ(cable.meters[1].node, 12);
    EXPECT_EQ(cable.meters[1].order, 2);
    EXPECT_FALSE(cable.meters[0].order);
    const LinkPlan& gateway = plan.links[1];
    EXPECT_EQ(gateway.port, "modbus-tcp://192.0.2.10:502");
    EXPECT_EQ(gateway.latencyMs, 800);
    ASSERT_EQ(gateway.meters.size(), 1u);
    EXPECT_EQ(gateway.meters[0].name, "chiller");
    EXPECT_EQ(gateway.meters[0].node, 3);
    // The outlets' section is carried as it stands.
    ASSERT_EQ(plan.sections.size(), 1u);
    EXPECT_EQ(plan.sections[0].name, "mqtt");
    EXPECT_EQ(plan.sections[0].line, 30);
    ASSERT_EQ(plan.sections[0].entries.size(), 2u);
    EXPECT_EQ(plan.sections[0].entries[0].key, "url");
    EXPECT_EQ(plan.sections[0].entries[0].value, "mqtt://broker/site");
    EXPECT_EQ(plan.sections[0].entries[1].value, "sample");
    EXPECT_EQ(plan.sections[0].entries[1].line, 32);
    // ... and read into the options the command line fills.
    EXPECT_EQ(plan.run.mqtt, "mqtt://broker/site");
    EXPECT_TRUE(plan.run.mqttEverySample);
    EXPECT_TRUE(plan.run.mqttDiscovery);
    EXPECT_FALSE(plan.run.http);
}

TEST(SiteConfig, TheOutletsSectionsBecomeTheOptionsOfTheirCommandLine) {
    const std::string survey =
        "period = \"1s\"\nsamples = 60\nout-dir = \"d\"\n"
        "[[link]]\nport = \"COM1\"\nmeter = [ { name = \"a\", node = 1 } ]\n";
    struct Case {
        const char* sections;
        std::optional<std::string> mqtt, ca, passwordFile, http;
        bool everySample = false;
        bool discovery = true;
    };
    const Case cases[] = {
        {"[mqtt]\nurl = \"mqtts://cab@broker.lan:8884/plant/c3\"\nca = \"/etc/zentra/ca.pem\"\n"
         "password-file = \"/etc/zentra/c3.mqtt\"\nevery = \"sample\"\ndiscovery = false\n"
         "[http]\nlisten = \"0.0.0.0:9101\"\n",
         "mqtts://cab@broker.lan:8884/plant/c3", "/etc/zentra/ca.pem", "/etc/zentra/c3.mqtt",
         "0.0.0.0:9101", true, false},
        {"[mqtt]\nurl = \"mqtt://broker/site\"\nevery = \"second\"\ndiscovery = true\n",
         "mqtt://broker/site",
         {},
         {},
         {},
         false,
         true},
        {"[http]\nlisten = 9101\n", {}, {}, {}, "9101"},
        {"[http]\nlisten = \"[::1]:8080\"\n", {}, {}, {}, "[::1]:8080"},
        {"", {}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        const ConfigResult read = ParseSiteConfig(survey + c.sections, "site.toml");
        ASSERT_TRUE(read.plan) << c.sections << read.error;
        const LoggerOptions& o = read.plan->run;
        EXPECT_EQ(o.mqtt, c.mqtt) << c.sections;
        EXPECT_EQ(o.mqttCa, c.ca) << c.sections;
        EXPECT_EQ(o.mqttPasswordFile, c.passwordFile) << c.sections;
        EXPECT_EQ(o.http, c.http) << c.sections;
        EXPECT_EQ(o.mqttEverySample, c.everySample) << c.sections;
        EXPECT_EQ(o.mqttDiscovery, c.discovery) << c.sections;
    }
}

TEST(SiteConfig, TheCommandLinesOutletOptionsGoOverTheFiles) {
    const ConfigResult read = ParseSiteConfig(
        "period = \"1s\"\nsamples = 60\nout-dir = \"d\"\n[[link]]\nport = \"COM1\"\n"
        "meter = [ { name = \"a\", node = 1 } ]\n[mqtt]\nurl = \"mqtt://broker/site\"\n"
        "every = \"sample\"\ndiscovery = false\npassword-file = \"/etc/zentra/site.mqtt\"\n"
        "[http]\nlisten = 9101\n",
        "site.toml");
    ASSERT_TRUE(read.plan) << read.error;
    // Nothing given: the file's stand.
    LoggerOptions run = read.plan->run;
    EXPECT_EQ(OverlayOutletOptions(ParseArguments({"--config", "site.toml"}), run), "");
    EXPECT_EQ(run.mqtt, "mqtt://broker/site");
    EXPECT_TRUE(run.mqttEverySample);
    EXPECT_FALSE(run.mqttDiscovery);
    EXPECT_EQ(run.http, "9101");
    // Each one given replaces the file's, the others stay.
    run = read.plan->run;
    EXPECT_EQ(
        OverlayOutletOptions(
            ParseArguments({"--config", "site.toml", "--mqtt-every", "second", "--mqtt-discovery",
                            "--http", "127.0.0.1:9200", "--mqtt-password-file", "/run/pw"}),
            run),
        "");
    EXPECT_EQ(run.mqtt, "mqtt://broker/site");
    EXPECT_FALSE(run.mqttEverySample);
    EXPECT_TRUE(run.mqttDiscovery);
    EXPECT_EQ(run.http, "127.0.0.1:9200");
    EXPECT_EQ(run.mqttPasswordFile, "/run/pw");
    run = read.plan->run;
    EXPECT_EQ(OverlayOutletOptions(ParseArguments({"--config", "site.toml", "--mqtt-discovery"}),
                                   run),
              "");
    EXPECT_TRUE(run.mqttDiscovery);
    EXPECT_TRUE(run.mqttEverySample); // the file's "sample" stands
    run = read.plan->run;
    EXPECT_EQ(OverlayOutletOptions(
                  ParseArguments({"--config", "site.toml", "--mqtt", "mqtt://other:1884/x"}), run),
              "");
    EXPECT_EQ(run.mqtt, "mqtt://other:1884/x");
    // Checked together: a CA from the command line needs the file's broker to be mqtts://.
    run = read.plan->run;
    EXPECT_EQ(OverlayOutletOptions(
                  ParseArguments({"--config", "site.toml", "--mqtt-ca", "/etc/ca.pem"}), run),
              "--mqtt-ca goes with an mqtts:// broker");
}

TEST(SiteConfig, EveryWrongKeyTypeOrValueIsRefusedWithItsLine) {
    // Each case replaces one line of a good file; the refusal names that line.
    const std::string head = "period = \"1s\"\nsamples = 60\nout-dir = \"/srv/site\"\n";
    const std::string link = "[[link]]\nport = \"COM1\"\n";
    const std::string meter = "[[link.meter]]\nname = \"main\"\nnode = 1\n";
    struct Case {
        std::string text;
        const char* says;
    };
    const Case cases[] = {
        {"perod = \"1s\"\nsamples = 60\nout-dir = \"d\"\n" + link + meter,
         "site.toml:1: unknown key 'perod'"},
        {"period = \"1x\"\nsamples = 60\nout-dir = \"d\"\n" + link + meter,
         "site.toml:1: 'period' must be a period"},
        {"period = 0\nsamples = 60\nout-dir = \"d\"\n" + link + meter,
         "site.toml:1: 'period' must be a period"},
        {"period = \"1s\"\nsamples = 7201\nout-dir = \"d\"\n" + link + meter,
         "site.toml:2: 'samples' must be a whole number from 1 to 7200"},
        {"period = \"1s\"\nsamples = \"60\"\nout-dir = \"d\"\n" + link + meter,
         "site.toml:2: 'samples' must be a whole number"},
        {"period = \"1s\"\nout-dir = \"d\"\n" + link + meter, "site.toml: no number of samples"},
        {"samples = 5\nout-dir = \"d\"\n" + link + meter, "site.toml: no logging period"},
        {"period = \"1s\"\nsamples = 5\n" + link + meter, "site.toml: no folder"},
        {head + "roll = \"yes\"\n" + link + meter, "site.toml:4: 'roll' must be true or false"},
        {head + "for = \"7w\"\n" + link + meter, "site.toml:4: 'for' must be a duration"},
        {head + "until = \"2026-04-31 10:00\"\n" + link + meter,
         "site.toml:4: 'until' must be a local date and time"},
        {head + "until = 2026-03-09T10:00:00Z\n" + link + meter, "site.toml:4: 'until'"},
        {head, "site.toml: no link given"},
        {head + "link = \"COM1\"\n", "site.toml:4: 'link' must be a list of links"},
        {head + link + "baud = 12345\n" + meter,
         "site.toml:6: 'baud' in link 1 must be one of 115200"},
        {head + link + "parity = \"MARK\"\n" + meter, "site.toml:6: 'parity' in link 1"},
        {head + link + "stop = 3\n" + meter,
         "site.toml:6: 'stop' in link 1 must be a whole number from 1 to 2"},
        {head + link + "latency = -1\n" + meter, "site.toml:6: 'latency' in link 1"},
        {head + link + "speed = 9600\n" + meter, "site.toml:6: unknown key 'speed' in link 1"},
        {head + "[[link]]\nport = \"COM0\"\n" + meter,
         "site.toml:5: 'port' in link 1 must be COM1"},
        {head + "[[link]]\nport = \"tcp://host\"\n" + meter, "site.toml:5: 'port' in link 1"},
        {head + "[[link]]\nbaud = 9600\n" + meter, "site.toml:4: link 1 needs a port"},
        {head + link, "site.toml:4: link 1 (COM1) has no meters"},
        {head + link + "[[link.meter]]\nname = \"a/b\"\nnode = 1\n",
         "site.toml:7: 'name' in link 1 must be made of letters"},
        {head + link + "[[link.meter]]\nnode = 1\n", "site.toml:6: a meter in link 1 needs a name"},
        {head + link + "[[link.meter]]\nname = \"a\"\nnode = 248\n",
         "site.toml:8: 'node' in link 1 must be a whole number from 1 to 247"},
        {head + link + "[[link.meter]]\nname = \"a\"\n",
         "site.toml:6: meter a needs its Modbus node"},
        {head + link + "[[link.meter]]\nname = \"a\"\nnode = 1\nbus = 2\n",
         "site.toml:9: unknown key 'bus' in link 1"},
        {head + link + meter + "[[link.meter]]\nname = \"b\"\nnode = 1\n",
         "site.toml:9: node 1 is given to both main and b on COM1"},
        {head + link + meter + "[[link]]\nport = \"COM2\"\n" + meter,
         "site.toml:11: the meter name main is given twice (link 1 and link 2)"},
        {head + link + meter + "[[link]]\nport = \"COM1\"\n" +
             "[[link.meter]]\nname = \"b\"\nnode = 2\n",
         "site.toml:11: link 2 names COM1, as link 1 does"},
        {head + "mqtt = 1\n" + link + meter, "site.toml:4: 'mqtt' must be a section"},
        // The outlets' sections (after the meter, [mqtt] or [http] is line 9).
        {head + link + meter + "[mqtt]\nurl = \"http://broker/site\"\n",
         "site.toml:10: 'url' in [mqtt] needs mqtt://[USER@]HOST[:PORT]/PREFIX"},
        {head + link + meter + "[mqtt]\nurl = \"mqtt://broker\"\n",
         "site.toml:10: 'url' in [mqtt] needs a topic prefix"},
        {head + link + meter + "[mqtt]\nurl = \"mqtt://cab:pw@broker/site\"\n",
         "site.toml:10: 'url' in [mqtt] must not carry the password"},
        {head + link + meter + "[mqtt]\nurl = 1883\n", "site.toml:10: 'url' in [mqtt] must be"},
        {head + link + meter + "[mqtt]\nurl = \"mqtt://broker/site\"\npassword = \"s3cret\"\n",
         "site.toml:11: the MQTT password is never kept in this file"},
        {head + link + meter + "[mqtt]\nurl = \"mqtt://broker/site\"\nevery = \"minute\"\n",
         "site.toml:11: 'every' in [mqtt] must be \"second\" or \"sample\""},
        {head + link + meter + "[mqtt]\nurl = \"mqtt://broker/site\"\ndiscovery = \"yes\"\n",
         "site.toml:11: 'discovery' in [mqtt] must be true or false"},
        {head + link + meter + "[mqtt]\nurl = \"mqtt://broker/site\"\nkeepalive = 60\n",
         "site.toml:11: unknown key 'keepalive' in [mqtt] (the keys here are url, ca,"},
        {head + link + meter + "[mqtt]\nurl = \"mqtt://broker/site\"\nca = \"/etc/ca.pem\"\n",
         "site.toml:11: 'ca' in [mqtt] goes with an mqtts:// broker"},
        {head + link + meter + "[mqtt]\nurl = \"mqtts://broker/site\"\nca = \"\"\n",
         "site.toml:11: 'ca' in [mqtt] must be a file's name"},
        {head + link + meter + "[mqtt]\npassword-file = true\n",
         "site.toml:10: 'password-file' in [mqtt] must be a file's name"},
        {head + link + meter + "[mqtt]\nevery = \"sample\"\n",
         "site.toml:9: [mqtt] needs the broker's url"},
        {head + link + meter + "[http]\nlisten = \"0.0.0.0:99999\"\n",
         "site.toml:10: 'listen' in [http] must be \"ADDRESS:PORT\" or a port"},
        {head + link + meter + "[http]\nlisten = \"::1:8080\"\n",
         "site.toml:10: 'listen' in [http]"},
        {head + link + meter + "[http]\nlisten = \"localhost\"\n",
         "site.toml:10: 'listen' in [http]"},
        {head + link + meter + "[http]\nlisten = 0\n", "site.toml:10: 'listen' in [http]"},
        {head + link + meter + "[http]\nlisten = true\n", "site.toml:10: 'listen' in [http]"},
        {head + link + meter + "[http]\nport = 8080\n",
         "site.toml:10: unknown key 'port' in [http] (the keys here are listen)"},
        {head + link + meter + "[http]\n", "site.toml:9: [http] needs the address to listen on"},
        {head + link + meter + "node = [\n", "site.toml:"},          // the TOML itself
        {head + "period = \"2s\"\n" + link + meter, "site.toml:4:"}, // a key twice
    };
    for (const Case& c : cases) {
        const ConfigResult read = ParseSiteConfig(c.text, "site.toml");
        EXPECT_FALSE(read.plan) << c.text;
        EXPECT_EQ(read.error.rfind(c.says, 0), 0u) << c.text << "\n -> " << read.error;
    }
}

TEST(SiteConfig, TheOtherFormsOfItsValuesAreTaken) {
    const ConfigResult read = ParseSiteConfig(R"(period = 30
samples = 10
until = 2026-03-09T10:00:00
give-up = 90
out-dir = "d"
[[link]]
port = "tcp://[fe80::1%eth0]:4001"
baud = "115200"
order = 3
meter = [ { name = "a_1", node = 247 } ]
)",
                                              "site.toml");
    ASSERT_TRUE(read.plan) << read.error;
    EXPECT_EQ(read.plan->run.period, 30);
    EXPECT_EQ(read.plan->run.periodMultiplier, 1);
    EXPECT_EQ(read.plan->run.until, LocalTimeOf(2026, 3, 9, 10, 0, 0));
    EXPECT_EQ(read.plan->run.giveUpSeconds, 90);
    EXPECT_EQ(read.plan->links[0].baud, "115200");
    EXPECT_EQ(read.plan->links[0].order, 3);
    EXPECT_EQ(read.plan->links[0].meters[0].node, 247);
}

TEST(SiteConfig, TheExampleThePackageShipsIsAValidCabinet) {
    const ConfigResult read =
        ReadSiteConfig(std::string(ZENTRA_SOURCE_DIR) + "/packaging/site.toml.example");
    ASSERT_TRUE(read.plan) << read.error;
    ASSERT_EQ(read.plan->links.size(), 2u);
    EXPECT_EQ(read.plan->links[0].meters.size(), 3u);
    EXPECT_EQ(read.plan->links[1].port, "modbus-tcp://192.168.10.20:502");
    EXPECT_EQ(read.plan->outDir, ".");
}

class ConfigRun : public ::testing::Test {
  protected:
    test::TempDir dir;
    WatchedStream out, err;
    std::atomic<bool> stop{false};

    std::string Write(const std::string& text) {
        const std::string path = dir.File("site.toml");
        std::ofstream(path) << text;
        return path;
    }
};

TEST_F(ConfigRun, AWrongFileEndsWithStatus2BeforeAnyPortOpens) {
    sim::MeterSimulator simulator;
    ASSERT_TRUE(simulator.Start()) << simulator.Error();
    const std::string path = Write("period = \"1s\"\nsamples = 5\nout-dir = \"" + dir.path() +
                                   "\"\n[[link]]\nport = \"" + simulator.DevicePath() +
                                   "\"\n[[link.meter]]\nname = \"main\"\nnode = 1\nmodel = 760\n");
    EXPECT_EQ(ZentraLogMain({"--config", path}, out, err, stop), kExitUsage);
    EXPECT_NE(err.text().find(path + ":9: unknown key 'model'"), std::string::npos) << err.text();
    EXPECT_EQ(simulator.RequestsSeen(), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("main.ztr")));

    // A survey's own settings beside --config, or a file that is not there.
    EXPECT_EQ(ZentraLogMain({"--config", path, "--period", "1s"}, out, err, stop), kExitUsage);
    EXPECT_NE(err.text().find("the survey is the file's"), std::string::npos) << err.text();
    EXPECT_EQ(ZentraLogMain({"--config", dir.File("none.toml")}, out, err, stop), kExitUsage);
    EXPECT_NE(err.text().find("none.toml: cannot be read"), std::string::npos) << err.text();

    // A wrong outlet, in the file or from the command line beside it: refused before
    // any port (the meter's, the HTTP one) opens.
    const std::string survey = "period = \"1s\"\nsamples = 5\nout-dir = \"" + dir.path() +
                               "\"\n[[link]]\nport = \"" + simulator.DevicePath() +
                               "\"\n[[link.meter]]\nname = \"main\"\nnode = 1\n";
    const std::string withHttp = Write(survey + "[http]\nlisten = \"127.0.0.1:65536\"\n");
    EXPECT_EQ(ZentraLogMain({"--config", withHttp}, out, err, stop), kExitUsage);
    EXPECT_NE(err.text().find(withHttp + ":10: 'listen' in [http]"), std::string::npos)
        << err.text();
    const std::string withMqtt = Write(survey + "[mqtt]\nurl = \"mqtt://127.0.0.1:1/site\"\n");
    EXPECT_EQ(
        ZentraLogMain({"--config", withMqtt, "--mqtt-ca", dir.File("ca.pem")}, out, err, stop),
        kExitUsage);
    EXPECT_NE(err.text().find("--mqtt-ca goes with an mqtts:// broker (beside --config " +
                              withMqtt + ")"),
              std::string::npos)
        << err.text();
    EXPECT_EQ(simulator.RequestsSeen(), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("main.ztr")));
}

TEST_F(ConfigRun, AGatewayThatNeverAnswersDoesNotHoldBackTheOtherLine) {
    sim::SimOptions cable;
    cable.nodes = {1, 5};
    sim::MeterSimulator line(cable);
    ASSERT_TRUE(line.Start()) << line.Error();
    sim::SimOptions deaf;
    deaf.transport = sim::SimTransport::ModbusTcp;
    deaf.nodes = {3};
    deaf.silentNodes = {3};
    sim::MeterSimulator gateway(deaf);
    ASSERT_TRUE(gateway.Start()) << gateway.Error();
    // The gateway's reply window is 3 s of real time; the cable's 20 samples take a
    // fraction of that in 10 ms seconds, so the cable is done while the gateway's
    // first window is still open, unless the two lines wait on each other.
    const ConfigResult read = ParseSiteConfig(
        "period = \"1s\"\nsamples = 20\nout-dir = \"" + dir.path() + "\"\ngive-up = \"1h\"\n" +
            "[[link]]\nport = \"" + gateway.DevicePath() + "\"\nlatency = 3000\n" +
            "meter = [ { name = \"chiller\", node = 3 } ]\n" + "[[link]]\nport = \"" +
            line.DevicePath() + "\"\nlatency = 0\n" +
            "meter = [ { name = \"main\", node = 1 }, { name = \"spare\", node = 5 } ]\n",
        "site.toml");
    ASSERT_TRUE(read.plan) << read.error;
    SurveyPlan plan = *read.plan;
    plan.run.tickMs = 10;
    plan.run.quiet = true;
    // Each link's thread keeps a clock of its own, one second further every round.
    static thread_local std::int64_t now = March2At10();
    platform::SetClock([] { return now; });
    RunHooks hooks;
    hooks.scaleClock = false;
    hooks.beforeTick = [&] {
        ++now;
        if (gateway.RequestsSeen() >= 2)
            stop = true; // the gateway's first window has passed: too late for the cable
    };
    int saved = 0;
    out.Watch([&](const std::string& text) {
        if (text.find("Saved 20 samples to " + dir.File("spare.ztr")) != std::string::npos &&
            text.find("Saved 20 samples to " + dir.File("main.ztr")) != std::string::npos &&
            saved++ == 0)
            stop = true;
    });
    const int code = RunSurvey(plan, out, err, stop, hooks);
    platform::SetClock({});
    EXPECT_EQ(code, kExitOk) << err.text();
    EXPECT_EQ(gateway.RequestsSeen(), 1u) << "the cable waited for the gateway";
    for (const char* name : {"main.ztr", "spare.ztr"}) {
        SCOPED_TRACE(name);
        const auto doc = std::make_unique<CZentraDoc>(); // 1.7 MB: never on the stack
        const FileResult opened = OnOpenDocument(*doc, dir.File(name));
        ASSERT_TRUE(opened.ok) << opened.error;
        ASSERT_EQ(doc->m_SampleCount, 20);
        for (int n = 1; n < doc->m_SampleCount; ++n)
            ASSERT_EQ(doc->m_SampleTimes[n] - doc->m_SampleTimes[n - 1], 1) << "sample " << n;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("chiller.ztr")));
    EXPECT_NE(out.text().find("chiller: never answered"), std::string::npos) << out.text();
}

} // namespace
} // namespace zentra::logger

// zentra-log surveying three meters of one simulated line into a real mosquitto broker:
// each answering meter has its own state, availability and discovery; a meter silent
// from the start is "offline", one that falls silent goes "offline" and comes back
// "online"; the run's own availability topic carries the last will, for a survey of
// a configuration file too.
#include "tests/acquisition/logger_process.h"
#include "tests/outlets/outlets_test_support.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_simulator.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

namespace zentra {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

std::size_t CountPayload(const test::Subscriber& sub, const std::string& topic,
                         const std::string& payload) {
    std::size_t n = 0;
    for (const test::MqttMessage& m : sub.Messages())
        n += m.topic == topic && m.payload == payload ? 1 : 0;
    return n;
}

TEST(MqttSurvey, EachMeterItsOwnStateAvailabilityAndDiscoveryAndASilentOneIsOffline) {
    test::TempDir dir;
    sim::SimOptions options;
    options.nodes = {1, 5, 12};
    options.silentNodes = {12};
    sim::MeterSimulator simulator(options);
    ASSERT_TRUE(simulator.Start()) << simulator.Error();
    test::Broker broker(dir.path());
    ASSERT_TRUE(broker.Start()) << "mosquitto did not start (scripts/setup.sh installs it)";
    test::Subscriber sub(broker.port());
    ASSERT_TRUE(sub.connected());

    auto env = test::LoggerEnvironment(dir.path(), simulator.DevicePath());
    env["ZENTRA_MQTT_PASSWORD"] = test::Broker::kPassword;
    test::LoggerProcess logger(
        test::QuickRunArgs({"--meter", "incomer=1", "--meter", "feeder=5", "--meter", "spare=12",
                            "--out-dir", dir.path(), "--samples", "7200", "--give-up", "1h",
                            "--mqtt", broker.Url("plant/cab1")}),
        env);

    const auto isOnline = [](const test::MqttMessage& m) { return m.payload == "online"; };
    const auto isOffline = [](const test::MqttMessage& m) { return m.payload == "offline"; };
    ASSERT_TRUE(sub.WaitFor("plant/cab1/availability", 20s, isOnline)) << logger.Errors();
    // Node 1's serial is the simulator's 1234560042, node 5's four more.
    const struct {
        const char* name;
        const char* device;
    } answering[] = {{"incomer", "zentra_760_1234560042"}, {"feeder", "zentra_760_1234560046"}};
    for (const auto& m : answering) {
        const std::string topic = std::string("plant/cab1/") + m.name;
        ASSERT_TRUE(sub.WaitFor(topic + "/availability", 20s, isOnline)) << m.name;
        const auto state = sub.WaitFor(topic + "/state", 10s);
        ASSERT_TRUE(state) << m.name;
        const json s = json::parse(state->payload);
        EXPECT_EQ(s.size(), 24u) << state->payload; // the full list's 23 readings and the time
        EXPECT_TRUE(s["kw_sum"].is_number()) << state->payload;

        const auto config =
            sub.WaitFor("homeassistant/sensor/" + std::string(m.device) + "_kw_sum/config", 10s);
        ASSERT_TRUE(config) << m.name;
        const json c = json::parse(config->payload);
        EXPECT_EQ(c["state_topic"], topic + "/state");
        EXPECT_EQ(c["device"]["name"], m.name);
        EXPECT_EQ(c["availability"],
                  json::parse(R"([{"topic": ")" + topic +
                              R"(/availability"}, {"topic": "plant/cab1/availability"}])"));
        EXPECT_EQ(c["availability_mode"], "all");
    }
    // Node 5's phase currents lie between 434 and 462 A, node 1's between 34 and 62 A.
    const json feeder = json::parse(sub.WaitFor("plant/cab1/feeder/state", 1s)->payload);
    EXPECT_GT(feeder["i_1"].get<double>(), 400.0) << feeder;
    const json incomer = json::parse(sub.WaitFor("plant/cab1/incomer/state", 1s)->payload);
    EXPECT_LT(incomer["i_1"].get<double>(), 100.0) << incomer;

    // The meter that never answered: "offline", retained, and no discovery of it.
    const auto spare = sub.WaitFor("plant/cab1/spare/availability", 10s);
    ASSERT_TRUE(spare) << logger.Errors();
    EXPECT_EQ(spare->payload, "offline");
    test::Subscriber late(broker.port());
    const auto retained = late.WaitFor("plant/cab1/spare/availability", 5s);
    ASSERT_TRUE(retained);
    EXPECT_TRUE(retained->retained);
    EXPECT_EQ(retained->payload, "offline");
    std::size_t configs = 0;
    for (const test::MqttMessage& m : sub.Messages())
        configs += m.topic.starts_with("homeassistant/sensor/") ? 1 : 0;
    EXPECT_EQ(configs, 46u); // 23 readings for each of the two meters that answered
    EXPECT_EQ(sub.CountOn("plant/cab1/spare/state"), 0u);

    // The feeder falls silent: "offline" while the incomer goes on; back, "online".
    simulator.SetSilent(5, true);
    ASSERT_TRUE(sub.WaitFor("plant/cab1/feeder/availability", 20s, isOffline)) << logger.Errors();
    const std::size_t incomerStates = sub.CountOn("plant/cab1/incomer/state");
    ASSERT_TRUE(test::Eventually(
        [&] { return sub.CountOn("plant/cab1/incomer/state") >= incomerStates + 3; }, 10s));
    EXPECT_EQ(CountPayload(sub, "plant/cab1/incomer/availability", "offline"), 0u);
    simulator.SetSilent(5, false);
    ASSERT_TRUE(test::Eventually(
        [&] { return CountPayload(sub, "plant/cab1/feeder/availability", "online") >= 2; }, 20s))
        << logger.Errors();

    // A logger that dies leaves the run's availability to its will: "offline".
    logger.Signal(SIGKILL);
    logger.Wait(10s);
    EXPECT_TRUE(sub.WaitFor("plant/cab1/availability", 60s, isOffline));
}

TEST(MqttSurvey, ASurveyOfAConfigurationFileHasTheRunsAvailabilityAndEachMetersState) {
    test::TempDir dir;
    sim::SimOptions options;
    options.nodes = {1, 5};
    sim::MeterSimulator simulator(options);
    ASSERT_TRUE(simulator.Start()) << simulator.Error();
    test::Broker broker(dir.path());
    ASSERT_TRUE(broker.Start()) << "mosquitto did not start (scripts/setup.sh installs it)";
    test::Subscriber sub(broker.port());
    ASSERT_TRUE(sub.connected());
    const std::string site = dir.File("site.toml");
    std::ofstream(site) << "period = \"1s\"\nsamples = 7200\ngive-up = \"1h\"\nout-dir = \""
                        << dir.path() << "\"\n[[link]]\nport = \"" << simulator.DevicePath()
                        << "\"\nlatency = 20\n"
                        << "meter = [ { name = \"incomer\", node = 1 }, "
                        << "{ name = \"feeder\", node = 5 } ]\n";

    auto env = test::LoggerEnvironment(dir.path(), simulator.DevicePath());
    env["ZENTRA_MQTT_PASSWORD"] = test::Broker::kPassword;
    test::LoggerProcess logger(
        {"--config", site, "--tick-ms", "50", "--mqtt", broker.Url("plant/site")}, env);
    const auto isOnline = [](const test::MqttMessage& m) { return m.payload == "online"; };
    const auto isOffline = [](const test::MqttMessage& m) { return m.payload == "offline"; };
    ASSERT_TRUE(sub.WaitFor("plant/site/availability", 20s, isOnline)) << logger.Errors();
    for (const char* meter : {"incomer", "feeder"}) {
        SCOPED_TRACE(meter);
        const std::string topic = std::string("plant/site/") + meter;
        ASSERT_TRUE(sub.WaitFor(topic + "/availability", 20s, isOnline)) << logger.Errors();
        ASSERT_TRUE(sub.WaitFor(topic + "/state", 10s));
    }
    // The run's will stands for the whole survey, not for a meter of no name.
    logger.Signal(SIGKILL);
    logger.Wait(10s);
    EXPECT_TRUE(sub.WaitFor("plant/site/availability", 60s, isOffline));
    EXPECT_EQ(sub.CountOn("plant/site//availability"), 0u);
}

TEST(MqttSurvey, ASurveyWhoseFileNamesTheBrokerPublishesEachMetersState) {
    test::TempDir dir;
    sim::SimOptions options;
    options.nodes = {1, 5};
    sim::MeterSimulator simulator(options);
    ASSERT_TRUE(simulator.Start()) << simulator.Error();
    test::Broker broker(dir.path());
    ASSERT_TRUE(broker.Start()) << "mosquitto did not start (scripts/setup.sh installs it)";
    test::Subscriber sub(broker.port());
    ASSERT_TRUE(sub.connected());
    // The broker, its password file and the discovery switch come from the file alone:
    // no --mqtt on the command line and no ZENTRA_MQTT_PASSWORD in the environment.
    const std::string password = dir.File("site.mqtt");
    std::ofstream(password) << test::Broker::kPassword << '\n';
    const std::string site = dir.File("site.toml");
    std::ofstream(site) << "period = \"1s\"\nsamples = 7200\ngive-up = \"1h\"\nout-dir = \""
                        << dir.path() << "\"\n[[link]]\nport = \"" << simulator.DevicePath()
                        << "\"\nlatency = 20\n"
                        << "meter = [ { name = \"incomer\", node = 1 }, "
                        << "{ name = \"feeder\", node = 5 } ]\n"
                        << "[mqtt]\nurl = \"" << broker.Url("plant/file") << "\"\n"
                        << "password-file = \"" << password << "\"\ndiscovery = false\n";

    auto env = test::LoggerEnvironment(dir.path(), simulator.DevicePath());
    env.erase("ZENTRA_MQTT_PASSWORD");
    test::LoggerProcess logger({"--config", site, "--tick-ms", "50"}, env);
    const auto isOnline = [](const test::MqttMessage& m) { return m.payload == "online"; };
    for (const char* meter : {"incomer", "feeder"}) {
        SCOPED_TRACE(meter);
        const std::string topic = std::string("plant/file/") + meter;
        ASSERT_TRUE(sub.WaitFor(topic + "/availability", 20s, isOnline)) << logger.Errors();
        const auto state = sub.WaitFor(topic + "/state", 10s);
        ASSERT_TRUE(state) << logger.Errors();
        EXPECT_TRUE(json::parse(state->payload)["kw_sum"].is_number()) << state->payload;
    }
    // discovery = false: no Home Assistant configs.
    for (const test::MqttMessage& m : sub.Messages())
        EXPECT_FALSE(m.topic.starts_with("homeassistant/")) << m.topic;
    logger.Signal(SIGTERM);
    EXPECT_EQ(logger.Wait(20s), 0) << logger.Errors();
}

} // namespace
} // namespace zentra

// zentra-log publishing to a real mosquitto broker (password file, free loopback
// port): state, availability and discovery as a subscriber sees them; a refused
// login said once; the broker killed and started again mid-run, publishing resumed
// and every logged sample in the project file.
#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "outlets/mqtt_publisher.h"
#include "tests/acquisition/logger_process.h"
#include "tests/outlets/outlets_test_support.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_simulator.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <regex>

namespace zentra {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

class MqttRun : public ::testing::Test {
  protected:
    test::TempDir dir_;
    sim::MeterSimulator simulator_{sim::SimOptions{}};
    std::unique_ptr<test::Broker> broker_;

    void SetUp() override {
        ASSERT_TRUE(simulator_.Start()) << simulator_.Error();
        broker_ = std::make_unique<test::Broker>(dir_.path());
        ASSERT_TRUE(broker_->Start()) << "mosquitto did not start (scripts/setup.sh installs it)";
    }
    std::map<std::string, std::string> Env(const char* password = test::Broker::kPassword) {
        auto env = test::LoggerEnvironment(dir_.path(), simulator_.DevicePath());
        env["ZENTRA_MQTT_PASSWORD"] = password;
        return env;
    }
    std::vector<std::string> Args(int samples, const std::vector<std::string>& extra = {}) {
        auto args =
            test::QuickRunArgs({"--samples", std::to_string(samples), "--out",
                                dir_.File("feeder3.ztr"), "--mqtt", broker_->Url("plant/cab1")});
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
};

TEST_F(MqttRun, StateAvailabilityAndDiscoveryReachASubscriber) {
    test::Subscriber sub(broker_->port());
    ASSERT_TRUE(sub.connected());
    test::LoggerProcess logger(Args(7200), Env());
    ASSERT_TRUE(logger.WaitForText("sample 5/", 30s)) << logger.Errors();

    const auto online = sub.WaitFor("plant/cab1/feeder3/availability", 10s);
    ASSERT_TRUE(online) << logger.Errors();
    EXPECT_EQ(online->payload, "online");
    const auto state = sub.WaitFor("plant/cab1/feeder3/state", 10s);
    ASSERT_TRUE(state);
    const json s = json::parse(state->payload);
    EXPECT_TRUE(std::regex_match(s["time"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
        << s["time"];
    for (const char* key : {"v_l1_2", "v_1", "i_1", "kw_sum", "kva_sum", "kvar_sum", "pf_avg",
                            "kwhr_imp", "hz", "max_ad"})
        EXPECT_TRUE(s.contains(key) && s[key].is_number()) << key << ": " << state->payload;
    EXPECT_EQ(s.size(), 24u); // the 23 readings of the full list and the time

    // The simulated meter's serial number is 1234560042.
    const auto config =
        sub.WaitFor("homeassistant/sensor/zentra_760_1234560042_kvar_sum/config", 10s);
    ASSERT_TRUE(config);
    EXPECT_TRUE(config->retained || sub.CountOn(config->topic) == 1);
    const json c = json::parse(config->payload);
    EXPECT_EQ(c["device_class"], "reactive_power");
    EXPECT_EQ(c["unit_of_measurement"], "kvar");
    EXPECT_EQ(c["state_topic"], "plant/cab1/feeder3/state");
    EXPECT_EQ(c["availability"][0]["topic"], "plant/cab1/feeder3/availability");
    EXPECT_EQ(c["device"]["name"], "feeder3");
    EXPECT_EQ(c["device"]["sw_version"], "1.010");
    std::size_t configs = 0;
    for (const test::MqttMessage& m : sub.Messages())
        configs += m.topic.starts_with("homeassistant/sensor/zentra_760_1234560042_") ? 1 : 0;
    EXPECT_EQ(configs, 23u);

    // A second subscriber finds the retained messages at once.
    test::Subscriber late(broker_->port());
    const auto retained = late.WaitFor("plant/cab1/feeder3/availability", 5s);
    ASSERT_TRUE(retained);
    EXPECT_TRUE(retained->retained);
    EXPECT_TRUE(late.WaitFor("homeassistant/sensor/zentra_760_1234560042_kwhr_imp/config", 5s));

    // A clean stop says "offline"; so does the broker, for a logger that is killed.
    logger.Signal(SIGTERM);
    EXPECT_EQ(logger.Wait(20s), 0);
    EXPECT_TRUE(sub.WaitFor("plant/cab1/feeder3/availability", 5s,
                            [](const test::MqttMessage& m) { return m.payload == "offline"; }));
    test::LoggerProcess killed(Args(7200, {"--force"}), Env());
    ASSERT_TRUE(killed.WaitForText("sample 3/", 30s));
    ASSERT_TRUE(sub.WaitFor("plant/cab1/feeder3/availability", 10s,
                            [](const test::MqttMessage& m) { return m.payload == "online"; }));
    killed.Signal(SIGKILL);
    killed.Wait(10s);
    // The broker notices the lost connection at once on loopback (reset).
    EXPECT_TRUE(sub.WaitFor("plant/cab1/feeder3/availability", 60s,
                            [](const test::MqttMessage& m) { return m.payload == "offline"; }));
}

TEST_F(MqttRun, EveryStateOfALongRunReachesTheBroker) {
    test::Subscriber sub(broker_->port());
    test::LoggerProcess logger(Args(300), Env());
    EXPECT_EQ(logger.Wait(60s), 0) << logger.Errors();
    // One state a second once the meter answers: about 300 of them, far beyond the 64
    // the client may have in hand at once.
    ASSERT_TRUE(
        test::Eventually([&] { return sub.CountOn("plant/cab1/feeder3/state") >= 295; }, 5s))
        << sub.CountOn("plant/cab1/feeder3/state") << " states\n"
        << logger.Errors();
}

TEST_F(MqttRun, EverySampleModeAndNoDiscovery) {
    test::Subscriber sub(broker_->port());
    test::LoggerProcess logger(
        test::QuickRunArgs({"--period", "3s", "--samples", "4", "--out", dir_.File("f.ztr"),
                            "--mqtt", broker_->Url("z"), "--mqtt-every", "sample",
                            "--no-mqtt-discovery"}),
        Env());
    EXPECT_EQ(logger.Wait(60s), 0) << logger.Errors();
    ASSERT_TRUE(test::Eventually([&] { return sub.CountOn("z/f/state") >= 4; }, 5s));
    EXPECT_EQ(sub.CountOn("z/f/state"), 4u); // one per logged sample, not per second
    for (const test::MqttMessage& m : sub.Messages())
        EXPECT_FALSE(m.topic.starts_with("homeassistant/")) << m.topic;
}

TEST_F(MqttRun, ARefusedLoginIsSaidOnceAndTheRunLogsAsWithoutMqtt) {
    test::LoggerProcess logger(Args(40), Env("wrong password"));
    EXPECT_EQ(logger.Wait(60s), 0) << logger.Errors();
    EXPECT_EQ(test::Occurrences(logger.Errors(), "refused the connection"), 1u) << logger.Errors();
    EXPECT_NE(logger.Errors().find("password"), std::string::npos) << logger.Errors();
    auto doc = std::make_unique<CZentraDoc>();
    ASSERT_TRUE(OnOpenDocument(*doc, dir_.File("feeder3.ztr")).ok);
    EXPECT_EQ(doc->m_SampleCount, 40);
}

TEST_F(MqttRun, TheBrokerKilledAndBackMidRunPublishingResumesAndNoSampleIsLost) {
    test::Subscriber sub(broker_->port());
    // 100 ms "seconds": a long enough run to outlast the broker's absence.
    auto args = Args(600);
    args[std::find(args.begin(), args.end(), "--tick-ms") - args.begin() + 1] = "100";
    test::LoggerProcess logger(args, Env());
    ASSERT_TRUE(sub.WaitFor("plant/cab1/feeder3/state", 20s)) << logger.Errors();

    broker_->Kill();
    ASSERT_TRUE(logger.WaitForText("MQTT broker", 20s, true)) << logger.Errors();
    std::this_thread::sleep_for(3s); // states queue meanwhile
    ASSERT_TRUE(broker_->Start());
    test::Subscriber after(broker_->port());
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(after.WaitFor("plant/cab1/feeder3/state", 31s)) << logger.Errors();
    RecordProperty("resumed_after_ms",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - started)
                                        .count()));
    // The retained messages are there again for whoever subscribes after the restart.
    EXPECT_TRUE(after.WaitFor("plant/cab1/feeder3/availability", 5s));
    EXPECT_TRUE(after.WaitFor("homeassistant/sensor/zentra_760_1234560042_kw_sum/config", 5s));

    EXPECT_EQ(logger.Wait(120s), 0) << logger.Errors();
    EXPECT_EQ(test::Occurrences(logger.Errors(), "MQTT broker"), 1u) << logger.Errors();
    EXPECT_NE(logger.Errors().find("publishing again"), std::string::npos) << logger.Errors();
    auto doc = std::make_unique<CZentraDoc>();
    ASSERT_TRUE(OnOpenDocument(*doc, dir_.File("feeder3.ztr")).ok);
    ASSERT_EQ(doc->m_SampleCount, 600);
    for (int n = 1; n < doc->m_SampleCount; ++n) {
        const auto gap = doc->m_SampleTimes[static_cast<std::size_t>(n)] -
                         doc->m_SampleTimes[static_cast<std::size_t>(n - 1)];
        // A tick late by one (100 ms) second is filled with a copy, as without MQTT.
        ASSERT_TRUE(gap >= 0 && gap <= 2) << "sample " << n << " gap " << gap;
    }
}

TEST(MqttPublisherAlone, MetersComingAndGoingWhileTheBrokerIsAwayWaitAsOneMessageEach) {
    test::TempDir dir;
    test::Broker broker(dir.path()); // its port chosen, the broker not started yet
    outlets::MqttCounters counters;
    outlets::MqttSettings settings;
    settings.url = *outlets::ParseMqttUrl(broker.Url("away")).url;
    settings.password = test::Broker::kPassword;
    settings.discovery = false;
    settings.firstBackoff = 100ms;
    outlets::MqttPublisher publisher(settings, counters, [](const std::string&) {});
    ASSERT_TRUE(publisher.Start()) << publisher.Error();
    // A day of two meters flapping every few seconds, the broker away all along.
    for (int n = 0; n < 20000; ++n) {
        publisher.Availability("a", n % 2 == 0);
        publisher.Availability("b", n % 2 == 1);
    }
    publisher.Availability("a", true);
    // a, b and the run's own availability: three topics, whatever the number of changes.
    EXPECT_EQ(publisher.RetainedWaiting(), 3u);

    ASSERT_TRUE(broker.Start());
    test::Subscriber sub(broker.port());
    const auto a = sub.WaitFor("away/a/availability", 10s);
    const auto b = sub.WaitFor("away/b/availability", 10s);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->payload, "online");
    EXPECT_EQ(b->payload, "online"); // its last change: n = 19999
    EXPECT_TRUE(sub.WaitFor("away/availability", 10s));
    EXPECT_EQ(sub.CountOn("away/a/availability"), 1u);
    EXPECT_EQ(publisher.RetainedWaiting(), 0u);
}

} // namespace
} // namespace zentra

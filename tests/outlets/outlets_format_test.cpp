// What the outlets say, as other systems read it: reading keys and their Home
// Assistant classes, the state and discovery JSON, the broker and HTTP addresses, the
// metrics text (checked by promtool) and the HTTP routes.
#include "outlets/http_routes.h"
#include "outlets/http_server.h"
#include "outlets/metrics_text.h"
#include "outlets/mqtt_url.h"
#include "outlets/outlet_json.h"
#include "outlets/reading_keys.h"
#include "outlets/status_page.h"
#include "records/calendar.h"
#include "tests/outlets/outlets_test_support.h"
#include "tests/support/test_support.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

namespace zentra::outlets {
namespace {

using logger::LiveValue;
using nlohmann::json;
using namespace std::chrono_literals;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct KeyRow {
    int reading;
    const char* key;
    const char* unit;
    const char* deviceClass;
    bool counter;
};

TEST(ReadingKeys, EachReadingHasItsKeyUnitAndClass) {
    const KeyRow rows[] = {
        {1, "v_l1_2", "V", "voltage", false},
        {4, "v_1", "V", "voltage", false},
        {7, "i_1", "A", "current", false},
        {10, "kw_sum", "kW", "power", false},
        {11, "kva_sum", "kVA", "apparent_power", false},
        {12, "kvar_sum", "kvar", "reactive_power", false},
        {13, "pf_avg", "", "power_factor", false},
        {14, "kwhr_imp", "kWh", "energy", true},
        {15, "kvarhr_imp", "kvarh", "", true},
        {16, "hz", "Hz", "frequency", false},
        {26, "neutral_i", "A", "current", false},
        {33, "kwhr_exp", "kWh", "energy", true},
        {38, "max_kwd_imp", "kW", "power", false},
        {41, "max_ad", "A", "current", false},
        {49, "hp", "hp", "", false},
        {0, "", "", "", false},
        {45, "", "", "", false},
        {50, "", "", "", false},
    };
    for (const KeyRow& row : rows) {
        const ReadingKey key = KeyOf(row.reading);
        EXPECT_EQ(key.key, row.key) << row.reading;
        EXPECT_EQ(key.unit, row.unit) << row.reading;
        EXPECT_EQ(key.deviceClass, row.deviceClass) << row.reading;
        EXPECT_EQ(key.counter, row.counter) << row.reading;
    }
    // Keys name one reading each.
    for (int a = 1; a <= 49; ++a)
        for (int b = a + 1; b <= 49; ++b)
            if (!KeyOf(a).key.empty()) {
                EXPECT_NE(KeyOf(a).key, KeyOf(b).key) << a << " " << b;
            }
}

TEST(StateJson, ReadingsByKeyANaNIsNullAndTheTimeCarriesItsOffset) {
    const LiveValue values[] = {{10, 12.5}, {1, 400.25}, {13, kNaN}, {45, 3.0}};
    struct Row {
        std::int64_t time;
        const char* text;
    } rows[] = {
        {LocalTimeOf(2026, 3, 2, 10, 0, 0), "2026-03-02T10:00:00+00:00"},
        {LocalTimeOf(2026, 7, 1, 14, 30, 5), "2026-07-01T14:30:05+01:00"},
    };
    for (const Row& row : rows) {
        const json state = json::parse(StateJson(row.time, values));
        EXPECT_EQ(state["time"], row.text);
        EXPECT_EQ(state["kw_sum"], 12.5);
        EXPECT_EQ(state["v_l1_2"], 400.25);
        EXPECT_TRUE(state.contains("pf_avg") && state["pf_avg"].is_null());
        EXPECT_EQ(state.size(), 4u); // reading 45 has no key
    }
}

logger::MeterDescription Meter() {
    logger::MeterDescription m;
    m.meter = "incomer";
    m.node = 7;
    m.link = "COM2";
    m.model = "760";
    m.version = "1.010";
    m.serial = "1234560042";
    m.systemType = 1;
    return m;
}

TEST(Discovery, OneRetainedConfigPerReadingWithItsDeviceAndTopics) {
    const MqttTopics topics{"plant/cab1", std::nullopt};
    const auto configs = DiscoveryConfigs(topics, Meter(), OfferedReadings(1));
    ASSERT_EQ(configs.size(), 23u);
    const RetainedMessage* power = nullptr;
    const RetainedMessage* energy = nullptr;
    for (const RetainedMessage& c : configs) {
        if (c.topic == "homeassistant/sensor/zentra_760_1234560042_kw_sum/config")
            power = &c;
        if (c.topic == "homeassistant/sensor/zentra_760_1234560042_kwhr_imp/config")
            energy = &c;
    }
    ASSERT_TRUE(power && energy);
    const json p = json::parse(power->payload);
    EXPECT_EQ(p["name"], "kW Sum");
    EXPECT_EQ(p["device_class"], "power");
    EXPECT_EQ(p["unit_of_measurement"], "kW");
    EXPECT_EQ(p["state_class"], "measurement");
    EXPECT_EQ(p["state_topic"], "plant/cab1/incomer/state");
    EXPECT_EQ(p["value_template"], "{{ value_json.kw_sum }}");
    EXPECT_EQ(p["availability"][0]["topic"], "plant/cab1/incomer/availability");
    EXPECT_EQ(p["unique_id"], "zentra_760_1234560042_kw_sum");
    EXPECT_EQ(p["device"]["identifiers"][0], "zentra_760_1234560042");
    EXPECT_EQ(p["device"]["name"], "incomer");
    EXPECT_EQ(p["device"]["model"], "760");
    EXPECT_EQ(p["device"]["sw_version"], "1.010");
    const json e = json::parse(energy->payload);
    EXPECT_EQ(e["device_class"], "energy");
    EXPECT_EQ(e["unit_of_measurement"], "kWh");
    EXPECT_EQ(e["state_class"], "total_increasing");

    // The short list of variant 3: nine readings, horse power among them; a meter
    // without a serial number is known by its link and node.
    logger::MeterDescription shortMeter = Meter();
    shortMeter.serial.clear();
    const auto shortConfigs =
        DiscoveryConfigs({"z", std::string("z/availability")}, shortMeter, OfferedReadings(3));
    ASSERT_EQ(shortConfigs.size(), 9u);
    const json hp = json::parse(shortConfigs.back().payload);
    EXPECT_EQ(hp["unique_id"], "zentra_com2_node7_hp");
    EXPECT_FALSE(hp.contains("device_class"));
    EXPECT_EQ(hp["availability"].size(), 2u); // the meter's and the run's (the will)
    EXPECT_EQ(hp["availability"][1]["topic"], "z/availability");
}

TEST(Topics, ReservedCharactersOfANameDoNotMakeWildcardsOrLevels) {
    const MqttTopics topics{"p", std::nullopt};
    EXPECT_EQ(StateTopic(topics, "a+b#c/d"), "p/a_b_c_d/state");
    EXPECT_EQ(AvailabilityTopic(topics, ""), "p/meter/availability");
}

TEST(MqttUrls, WhatIsTakenAndWhatIsRefused) {
    struct Row {
        const char* text;
        bool ok;
        bool tls;
        const char* user;
        const char* host;
        int port;
        const char* prefix;
    } rows[] = {
        {"mqtt://broker/zentra", true, false, "", "broker", 1883, "zentra"},
        {"mqtt://ha@10.0.0.5:1884/plant/cab1", true, false, "ha", "10.0.0.5", 1884, "plant/cab1"},
        {"mqtts://broker.example/z", true, true, "", "broker.example", 8883, "z"},
        {"mqtt://[::1]:1999/z", true, false, "", "::1", 1999, "z"},
        {"mqtt://user:pw@broker/z", false, false, "", "", 0, ""},
        {"mqtt://broker", false, false, "", "", 0, ""},
        {"mqtt://broker/", false, false, "", "", 0, ""},
        {"mqtt://broker/a/+/b", false, false, "", "", 0, ""},
        {"mqtt://broker/a//b", false, false, "", "", 0, ""},
        {"mqtt://broker:0/z", false, false, "", "", 0, ""},
        {"mqtt://broker:70000/z", false, false, "", "", 0, ""},
        {"mqtt://:1883/z", false, false, "", "", 0, ""},
        {"http://broker/z", false, false, "", "", 0, ""},
    };
    for (const Row& row : rows) {
        const MqttUrlResult r = ParseMqttUrl(row.text);
        ASSERT_EQ(r.url.has_value(), row.ok) << row.text << ": " << r.error;
        if (!row.ok) {
            EXPECT_FALSE(r.error.empty()) << row.text;
            continue;
        }
        EXPECT_EQ(r.url->tls, row.tls) << row.text;
        EXPECT_EQ(r.url->user, row.user) << row.text;
        EXPECT_EQ(r.url->host, row.host) << row.text;
        EXPECT_EQ(r.url->port, row.port) << row.text;
        EXPECT_EQ(r.url->prefix, row.prefix) << row.text;
    }
    EXPECT_NE(ParseMqttUrl("mqtt://u:p@b/z").error.find("--mqtt-password-file"), std::string::npos);
}

TEST(HttpAddresses, APortAloneIsLoopback) {
    struct Row {
        const char* text;
        bool ok;
        const char* host;
        int port;
    } rows[] = {
        {"8080", true, "127.0.0.1", 8080}, {"0.0.0.0:9000", true, "0.0.0.0", 9000},
        {"[::1]:8080", true, "::1", 8080}, {"192.168.1.2:80", true, "192.168.1.2", 80},
        {"::1:8080", false, "", 0},        {"8080x", false, "", 0},
        {"host:", false, "", 0},           {":8080", false, "", 0},
        {"65536", false, "", 0},           {"", false, "", 0},
    };
    for (const Row& row : rows) {
        const auto a = ParseHttpAddress(row.text);
        ASSERT_EQ(a.has_value(), row.ok) << row.text;
        if (a) {
            EXPECT_EQ(a->host, row.host) << row.text;
            EXPECT_EQ(a->port, row.port) << row.text;
        }
    }
}

// A board with one meter that has answered, logged and saved.
void Fill(MeterBoard& board, const std::string& name) {
    logger::MeterDescription m = Meter();
    m.meter = name;
    board.Identified(m);
    const LiveValue values[] = {{10, 30.5}, {16, 50.0}, {13, kNaN}};
    board.Readings(name, LocalTimeOf(2026, 3, 2, 10, 0, 0), values);
    board.Availability(name, true);
    board.SampleLogged(name, 3, 60, "/data/" + name + ".ztr");
    board.ProjectSaved(name, "/data/" + name + ".ztr");
    board.Request(name, logger::RequestResult::kOk, 21ms);
    board.Request(name, logger::RequestResult::kOk, 300ms);
    board.Request(name, logger::RequestResult::kBadCrc, 0ms);
}

TEST(Metrics, EachReadingAGaugeByMeterAndReadingAndPromtoolTakesIt) {
    MeterBoard board;
    Fill(board, "incomer");
    Fill(board, "odd \"name\" \\ here");
    MqttCounters mqtt;
    mqtt.published = 17;
    mqtt.dropped = 4;
    const std::string text = MetricsText(board.Snapshot(), mqtt);
    const std::string expected[] = {
        "zentra_reading{meter=\"incomer\",reading=\"kw_sum\"} 30.5\n",
        "zentra_reading{meter=\"incomer\",reading=\"pf_avg\"} NaN\n",
        "zentra_reading{meter=\"odd \\\"name\\\" \\\\ here\",reading=\"hz\"} 50\n",
        "zentra_meter_up{meter=\"incomer\"} 1\n",
        "zentra_requests_total{meter=\"incomer\",result=\"ok\"} 2\n",
        "zentra_requests_total{meter=\"incomer\",result=\"bad_crc\"} 1\n",
        "zentra_requests_total{meter=\"incomer\",result=\"no_reply\"} 0\n",
        "zentra_reply_seconds_bucket{meter=\"incomer\",le=\"0.025\"} 1\n",
        "zentra_reply_seconds_bucket{meter=\"incomer\",le=\"0.25\"} 1\n",
        "zentra_reply_seconds_bucket{meter=\"incomer\",le=\"0.5\"} 2\n",
        "zentra_reply_seconds_bucket{meter=\"incomer\",le=\"+Inf\"} 2\n",
        "zentra_reply_seconds_count{meter=\"incomer\"} 2\n",
        "zentra_reply_seconds_sum{meter=\"incomer\"} 0.321\n",
        "zentra_samples_logged_total{meter=\"incomer\"} 1\n",
        "zentra_projects_saved_total{meter=\"incomer\"} 1\n",
        "zentra_mqtt_messages_published_total 17\n",
        "zentra_mqtt_messages_dropped_total 4\n",
    };
    for (const std::string& line : expected)
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

    test::TempDir dir;
    std::ofstream(dir.File("metrics.txt")) << text;
    const auto checked = test::RunProgram(
        {"sh", "-c", "promtool check metrics < " + dir.File("metrics.txt") + " 2>&1"}, 60s);
    EXPECT_EQ(checked.status, 0) << checked.output;
}

TEST(Routes, ReadOnlyPagesAndEveryOtherRequestRefused) {
    MeterBoard board;
    Fill(board, "incomer");
    const MqttCounters mqtt;
    struct Row {
        const char* method;
        const char* path;
        int status;
        const char* type;
    } rows[] = {
        {"GET", "/", 200, "text/html; charset=utf-8"},
        {"HEAD", "/metrics", 200, "text/plain; version=0.0.4; charset=utf-8"},
        {"GET", "/api/meters", 200, "application/json"},
        {"GET", "/api/meters/incomer", 404, nullptr},
        {"GET", "/../etc/passwd", 404, nullptr},
        {"POST", "/api/meters", 405, nullptr},
        {"DELETE", "/", 405, nullptr},
        {"PUT", "/nowhere", 405, nullptr},
    };
    for (const Row& row : rows) {
        const HttpReply reply = Route(row.method, row.path, board, mqtt, 0);
        EXPECT_EQ(reply.status, row.status) << row.method << " " << row.path;
        if (row.type) {
            EXPECT_EQ(reply.contentType, row.type) << row.path;
        }
        EXPECT_EQ(reply.allowHeader, row.status == 405) << row.method << " " << row.path;
    }
    const json meters = json::parse(Route("GET", "/api/meters", board, mqtt, 0).body);
    const json& m = meters["meters"][0];
    EXPECT_EQ(m["name"], "incomer");
    EXPECT_EQ(m["serial"], "1234560042");
    EXPECT_EQ(m["link_state"], "answering");
    EXPECT_EQ(m["time"], "2026-03-02T10:00:00+00:00");
    EXPECT_EQ(m["survey"]["samples_logged"], 3);
    EXPECT_EQ(m["survey"]["samples_planned"], 60);
    EXPECT_EQ(m["survey"]["file"], "/data/incomer.ztr");
    EXPECT_EQ(m["readings"][0]["key"], "kw_sum");
    EXPECT_EQ(m["readings"][0]["unit"], "kW");
    EXPECT_TRUE(m["readings"][2]["value"].is_null());
    EXPECT_EQ(m["requests"]["bad_crc"], 1);
}

TEST(StatusPage, NeedsNothingFromOutsideAndANameCannotEndItsScript) {
    MeterBoard board;
    Fill(board, "</script><script>alert(1)</script>");
    const std::string page = Route("GET", "/", board, MqttCounters{}, 0).body;
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_EQ(page.find("http://"), std::string::npos);
    EXPECT_EQ(page.find("https://"), std::string::npos);
    EXPECT_EQ(page.find("src="), std::string::npos);
    EXPECT_NE(page.find("name=\"viewport\""), std::string::npos);
    EXPECT_NE(page.find("\\u003c/script>\\u003cscript>alert(1)"), std::string::npos);
}

} // namespace
} // namespace zentra::outlets

// zentra-log serving --http on a free loopback port: /metrics as promtool reads it,
// the API, the refusals, the status page as headless Chromium shows it (screenshots
// kept), and hostile clients that never cost the logging its second.
#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "tests/acquisition/logger_process.h"
#include "tests/outlets/outlets_test_support.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_simulator.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <regex>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace zentra {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

class HttpRun : public ::testing::Test {
  protected:
    test::TempDir dir_;
    sim::MeterSimulator simulator_{sim::SimOptions{}};
    int port_ = test::FreePort();

    void SetUp() override { ASSERT_TRUE(simulator_.Start()) << simulator_.Error(); }
    std::unique_ptr<test::LoggerProcess> Start(int samples, const char* tickMs) {
        auto args = test::QuickRunArgs({"--samples", std::to_string(samples), "--out",
                                        dir_.File("substation.ztr"), "--http",
                                        std::to_string(port_)});
        args[std::find(args.begin(), args.end(), "--tick-ms") - args.begin() + 1] = tickMs;
        auto logger = std::make_unique<test::LoggerProcess>(
            args, test::LoggerEnvironment(dir_.path(), simulator_.DevicePath()));
        EXPECT_TRUE(logger->WaitForText("sample 2/", 30s)) << logger->Errors();
        return logger;
    }
    // The page as Chromium renders it once its script has run.
    test::ProgramResult Chromium(const std::vector<std::string>& what) {
        std::vector<std::string> args{"chromium", "--headless", "--no-sandbox", "--disable-gpu",
                                      "--user-data-dir=" + dir_.File("chromium"),
                                      "--virtual-time-budget=3000"};
        args.insert(args.end(), what.begin(), what.end());
        args.push_back("http://127.0.0.1:" + std::to_string(port_) + "/");
        return test::RunProgram(args, 90s);
    }
};

TEST_F(HttpRun, MetricsApiAndRefusalsAsClientsSeeThem) {
    auto logger = Start(7200, "100");
    const test::HttpResult metrics = test::HttpGet(port_, "/metrics");
    ASSERT_EQ(metrics.status, 200);
    EXPECT_EQ(metrics.contentType, "text/plain; version=0.0.4; charset=utf-8");
    for (const char* line : {"zentra_meter_up{meter=\"substation\"} 1",
                             "zentra_requests_total{meter=\"substation\",result=\"ok\"} ",
                             "zentra_reading{meter=\"substation\",reading=\"kw_sum\"} ",
                             "zentra_reply_seconds_bucket{meter=\"substation\",le=\"+Inf\"} "})
        EXPECT_NE(metrics.body.find(line), std::string::npos) << line << "\n" << metrics.body;
    std::ofstream(dir_.File("metrics.txt")) << metrics.body;
    const auto checked = test::RunProgram(
        {"sh", "-c", "promtool check metrics < " + dir_.File("metrics.txt") + " 2>&1"}, 60s);
    EXPECT_EQ(checked.status, 0) << checked.output;

    const test::HttpResult api = test::HttpGet(port_, "/api/meters");
    ASSERT_EQ(api.status, 200);
    const json meters = json::parse(api.body);
    ASSERT_EQ(meters["meters"].size(), 1u);
    const json& m = meters["meters"][0];
    EXPECT_EQ(m["name"], "substation");
    EXPECT_EQ(m["model"], "760");
    EXPECT_EQ(m["serial"], "1234560042");
    EXPECT_EQ(m["link"], "COM1");
    EXPECT_EQ(m["link_state"], "answering");
    EXPECT_EQ(m["survey"]["samples_planned"], 7200);
    EXPECT_GE(m["survey"]["samples_logged"].get<int>(), 2);
    EXPECT_EQ(m["survey"]["file"], dir_.File("substation.ztr"));

    struct Row {
        const char* method;
        const char* path;
        int status;
    } rows[] = {{"GET", "/nothing", 404}, {"POST", "/api/meters", 405},
                {"DELETE", "/metrics", 405}, {"HEAD", "/", 200}};
    for (const Row& row : rows)
        EXPECT_EQ(test::HttpGet(port_, row.path, row.method).status, row.status)
            << row.method << " " << row.path;
    logger->Signal(SIGTERM);
    EXPECT_EQ(logger->Wait(20s), 0);
}

TEST_F(HttpRun, TheStatusPageShowsTheMeterAndALiveValueInChromium) {
    auto logger = Start(7200, "100");
    auto firstValue = [](const std::string& dom) {
        std::smatch m;
        std::regex big(R"re(<div class="v">([^<]+)<span class="u">kW</span></div><div class="l">kW Sum</div>)re");
        return std::regex_search(dom, m, big) ? m[1].str() : std::string();
    };
    const auto first = Chromium({"--dump-dom"});
    ASSERT_EQ(first.status, 0) << "chromium (scripts/setup.sh installs it)";
    EXPECT_NE(first.output.find("<h2>substation<span class=\"state answering\">"), std::string::npos)
        << first.output;
    std::this_thread::sleep_for(1500ms); // 15 of the run's "seconds"
    const auto second = Chromium({"--dump-dom"});
    const std::string a = firstValue(first.output), b = firstValue(second.output);
    EXPECT_TRUE(std::regex_match(a, std::regex(R"(\d+\.\d+)"))) << a << "\n" << first.output;
    EXPECT_NE(a, b) << "the value did not change between two loads";

    const std::string shots = test::ScreenshotDir();
    for (const auto& [name, size] : {std::pair{"status_page_phone.png", "412,915"},
                                     std::pair{"status_page_desktop.png", "1280,800"}}) {
        const std::string file = shots + "/" + name;
        std::filesystem::remove(file);
        const auto shot = Chromium({"--hide-scrollbars", std::string("--window-size=") + size,
                                    "--screenshot=" + file});
        EXPECT_EQ(shot.status, 0);
        EXPECT_GT(std::filesystem::exists(file) ? std::filesystem::file_size(file) : 0u, 10000u)
            << file;
    }
    logger->Signal(SIGTERM);
    EXPECT_EQ(logger->Wait(20s), 0);
}

int Connect(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(s);
        return -1;
    }
    timeval limit{5, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return s;
}

TEST_F(HttpRun, HostileClientsNeverCostTheLoggingItsSecond) {
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = std::max<rlim_t>(files.rlim_cur, std::min<rlim_t>(files.rlim_max, 4096));
    setrlimit(RLIMIT_NOFILE, &files);
    constexpr int kSamples = 14;
    auto logger = Start(kSamples, "1000"); // real seconds: a late tick would show

    // A request trickled a byte a second, all the while.
    std::atomic<bool> trickling{true};
    std::atomic<bool> trickled{false}; // the whole request went out
    std::thread trickle([&] {
        const int s = Connect(port_);
        const std::string request = "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n";
        std::size_t i = 0;
        for (; i < request.size() && trickling; ++i) {
            if (send(s, &request[i], 1, MSG_NOSIGNAL) != 1)
                break; // the server closed it: fine
            std::this_thread::sleep_for(1s);
        }
        trickled = i == request.size();
        close(s);
    });

    // A request line of 1 MB: refused with 400, or the connection closed.
    {
        const int s = Connect(port_);
        ASSERT_GE(s, 0);
        const std::string line = "GET /" + std::string(1 << 20, 'a') + " HTTP/1.1\r\n\r\n";
        send(s, line.data(), line.size(), MSG_NOSIGNAL);
        char reply[64] = {};
        const ssize_t n = recv(s, reply, sizeof reply - 1, 0);
        EXPECT_TRUE(n <= 0 || std::string(reply).starts_with("HTTP/1.1 400")) << reply;
        close(s);
    }

    // A thousand idle connections, held for a few seconds.
    std::vector<int> idle;
    for (int i = 0; i < 1000; ++i)
        if (const int s = Connect(port_); s >= 0)
            idle.push_back(s);
    RecordProperty("idle_connections_made", static_cast<int>(idle.size()));
    std::this_thread::sleep_for(4s);
    for (const int s : idle)
        close(s);

    EXPECT_EQ(logger->Wait(60s), 0) << logger->Errors();
    // The run ended when its samples were in, not when the slow client was done.
    EXPECT_FALSE(trickled.load());
    trickling = false;
    trickle.join();

    // Every tick kept its second: the samples are one second apart, none doubled
    // for a late tick.
    auto doc = std::make_unique<CZentraDoc>();
    ASSERT_TRUE(OnOpenDocument(*doc, dir_.File("substation.ztr")).ok);
    ASSERT_EQ(doc->m_SampleCount, kSamples);
    for (int n = 1; n < kSamples; ++n)
        EXPECT_EQ(doc->m_SampleTimes[static_cast<std::size_t>(n)] -
                      doc->m_SampleTimes[static_cast<std::size_t>(n - 1)],
                  1)
            << "sample " << n;
}

} // namespace
} // namespace zentra

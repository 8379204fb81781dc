// What the live outlets cost a logging run, against a real mosquitto broker on loopback:
//  - BM_StateMessageCpu: the process CPU (every thread: the logging thread's hand-over,
//    the MQTT thread's JSON and libmosquitto) per state message a broker received, and
//    the logging thread's own share.
//  - BM_LongestTickSideBySide: three single-meter runs at once in this process, each
//    on its own simulated meter, one without MQTT, one whose broker is down (nothing
//    listens on its port) and one with a broker: the longest and mean tick of each.
//  - BM_FortyMeters/<tick ms>: zentra-log with 40 meters on one zentra-sim line
//    (--nodes 1,...,40), the state messages a subscriber receives per second, those
//    dropped, and zentra-log's CPU per message over the same run without --mqtt.
//  - BM_HourBrokerUnreachable: an hour of a 40-meter survey's publishing (144 000
//    states) handed to a publisher whose broker accepts the connection and never
//    answers; the memory before and after (the queue holds 4096 states).
#include "outlets/outlets.h"
#include "tests/acquisition/logger_process.h"
#include "tests/outlets/outlets_test_support.h"
#include "tests/support/test_support.h"
#include "tools/logger/logger_feed.h"
#include "tools/logger/logger_options.h"
#include "tools/logger/logger_run.h"
#include "tools/sim/meter_simulator.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <netinet/in.h>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace logger = zentra::logger;
namespace outlets = zentra::outlets;

const zentra::test::ScopedUserFolders g_folders;

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A field of /proc/<pid>/status in kB (VmRSS, VmHWM).
double StatusKb(const char* field, const std::string& pid = "self") {
    std::ifstream in("/proc/" + pid + "/status");
    std::string key;
    double value = 0;
    while (in >> key) {
        if (key == std::string(field) + ":") {
            in >> value;
            return value;
        }
        in.ignore(1 << 10, '\n');
    }
    return 0;
}

// The full reading list of a three-phase four-wire meter: 23 readings.
std::vector<logger::LiveValue> FullList() {
    std::vector<logger::LiveValue> values;
    for (const int r :
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23})
        values.push_back({r, 230.0 + r * 0.37});
    return values;
}

logger::MeterDescription Meter(const std::string& name, int serial) {
    logger::MeterDescription m;
    m.meter = name;
    m.model = "760";
    m.version = "1.010";
    m.serial = std::to_string(1234560000 + serial);
    m.systemType = 1;
    return m;
}

std::unique_ptr<outlets::Outlets> MqttOutlets(const std::string& url,
                                              const std::string& password = {}) {
    outlets::OutletSettings settings;
    outlets::MqttSettings mqtt;
    mqtt.url = *outlets::ParseMqttUrl(url).url;
    mqtt.password = password;
    settings.mqtt = mqtt;
    auto o = std::make_unique<outlets::Outlets>(settings, [](const std::string&) {});
    return o->Start() ? std::move(o) : nullptr;
}

void BM_StateMessageCpu(benchmark::State& state) {
    zentra::test::TempDir dir;
    zentra::test::Broker broker(dir.path());
    if (!broker.Start()) {
        state.SkipWithError("mosquitto did not start");
        return;
    }
    auto o = MqttOutlets(broker.Url("bench"), zentra::test::Broker::kPassword);
    o->MeterIdentified(Meter("m", 1));
    if (!zentra::test::Eventually([&] { return o->Counters().published >= 23; }, 10s)) {
        state.SkipWithError("not connected");
        return;
    }
    const auto values = FullList();
    constexpr int kBatch = 1000; // well inside the queue: none dropped
    std::int64_t time = 1772445600;
    double cpu = 0, handOver = 0;
    std::uint64_t messages = 0;
    for (auto _ : state) {
        const std::uint64_t target = o->Counters().published + kBatch;
        const double cpuBefore = ProcessCpuSeconds();
        const auto start = Clock::now();
        for (int i = 0; i < kBatch; ++i)
            o->Readings("m", ++time, values);
        handOver += std::chrono::duration<double>(Clock::now() - start).count();
        const auto until = Clock::now() + 20s;
        while (o->Counters().published + o->Counters().dropped < target && Clock::now() < until)
            std::this_thread::sleep_for(100us);
        if (Clock::now() >= until) {
            state.SkipWithError("the broker did not take the states");
            return;
        }
        cpu += ProcessCpuSeconds() - cpuBefore;
        messages += kBatch;
    }
    state.counters["cpu_us_per_msg"] = cpu / static_cast<double>(messages) * 1e6;
    state.counters["handover_us_per_msg"] = handOver / static_cast<double>(messages) * 1e6;
    state.counters["dropped"] = static_cast<double>(o->Counters().dropped.load());
}
BENCHMARK(BM_StateMessageCpu)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

struct TickTimes {
    Clock::time_point started;
    std::vector<double> ms;
};

void BM_LongestTickSideBySide(benchmark::State& state) {
    zentra::test::TempDir dir;
    zentra::test::Broker broker(dir.path());
    if (!broker.Start()) {
        state.SkipWithError("mosquitto did not start");
        return;
    }
    zentra::test::ScopedEnv password("ZENTRA_MQTT_PASSWORD", zentra::test::Broker::kPassword);
    const int samples = static_cast<int>(state.range(0));
    // COM1 without MQTT, COM2 with its broker down, COM3 with the broker.
    const std::string urls[] = {
        "", "mqtt://cabinet@127.0.0.1:" + std::to_string(zentra::test::FreePort()) + "/down",
        broker.Url("up")};
    constexpr int kRuns = 3;
    std::vector<std::unique_ptr<zentra::sim::MeterSimulator>> simulators;
    std::vector<std::unique_ptr<zentra::test::ScopedEnv>> ports;
    for (int i = 0; i < kRuns; ++i) {
        simulators.push_back(std::make_unique<zentra::sim::MeterSimulator>());
        if (!simulators.back()->Start()) {
            state.SkipWithError("simulator");
            return;
        }
        ports.push_back(std::make_unique<zentra::test::ScopedEnv>(
            ("ZENTRA_COM" + std::to_string(i + 1)).c_str(),
            simulators.back()->DevicePath().c_str()));
    }
    TickTimes times[kRuns];
    int status[kRuns] = {};
    for (auto _ : state) {
        std::vector<std::thread> threads;
        for (int i = 0; i < kRuns; ++i)
            threads.emplace_back([&, i] {
                std::vector<std::string> args{"COM" + std::to_string(i + 1),
                                              "--period",
                                              "1s",
                                              "--latency",
                                              "20",
                                              "--samples",
                                              std::to_string(samples),
                                              "--quiet",
                                              "--out",
                                              dir.File("run" + std::to_string(i) + ".ztr")};
                if (!urls[i].empty())
                    args.insert(args.end(), {"--mqtt", urls[i]});
                const auto parsed = logger::ParseArguments(args);
                std::ostringstream out, err;
                bool failed = false;
                const auto feed = logger::StartOutlets(parsed.options, err, failed);
                logger::RunHooks hooks;
                hooks.feed = feed.get();
                hooks.beforeTick = [&] { times[i].started = Clock::now(); };
                hooks.afterTick = [&] {
                    times[i].ms.push_back(
                        std::chrono::duration<double, std::milli>(Clock::now() - times[i].started)
                            .count());
                };
                const std::atomic<bool> stop{false};
                status[i] = failed ? -1 : logger::RunLogger(parsed.options, out, err, stop, hooks);
            });
        for (std::thread& t : threads)
            t.join();
    }
    const char* names[] = {"no_mqtt", "broker_down", "broker_up"};
    for (int i = 0; i < kRuns; ++i) {
        if (status[i] != 0 || times[i].ms.empty()) {
            state.SkipWithError("a run failed");
            return;
        }
        std::vector<double>& ms = times[i].ms;
        std::sort(ms.begin(), ms.end());
        double sum = 0;
        for (const double m : ms)
            sum += m;
        state.counters[std::string(names[i]) + "_max_ms"] = ms.back();
        state.counters[std::string(names[i]) + "_p99_ms"] = ms[ms.size() * 99 / 100];
        state.counters[std::string(names[i]) + "_mean_ms"] = sum / static_cast<double>(ms.size());
    }
    state.counters["ticks_each"] = static_cast<double>(times[0].ms.size());
}
// Real seconds (a run of the logger's own pace): 120 ticks of each run, side by side.
BENCHMARK(BM_LongestTickSideBySide)
    ->Arg(120)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

std::string SimProgram() {
    return (std::filesystem::path(zentra::test::LoggerProgram()).parent_path() / "zentra-sim")
        .string();
}

struct FortyMeterRun {
    double messagesPerSecond = 0;
    double cpuSeconds = 0; // zentra-log's over the window
    double dropped = 0;
    double window = 0;
};

// zentra-log with 40 meters on one simulated line for `window` after every meter
// has published (or, without MQTT, after a warm-up).
FortyMeterRun RunFortyMeters(int tickMs, bool mqtt, std::chrono::seconds window) {
    FortyMeterRun result;
    zentra::test::TempDir dir;
    zentra::test::Broker broker(dir.path());
    if (!broker.Start())
        return result;
    std::string nodes;
    for (int n = 1; n <= 40; ++n)
        nodes += (n > 1 ? "," : "") + std::to_string(n);
    const std::string link = dir.File("bus");
    zentra::test::LoggerProcess sim({"--nodes", nodes, "--link", link}, {}, SimProgram());
    if (!zentra::test::Eventually([&] { return std::filesystem::exists(link); }, 10s))
        return result;
    auto env = zentra::test::LoggerEnvironment(dir.path(), link);
    env["ZENTRA_MQTT_PASSWORD"] = zentra::test::Broker::kPassword;
    const int httpPort = zentra::test::FreePort();
    std::vector<std::string> args{"COM1",
                                  "--period",
                                  "1s",
                                  "--latency",
                                  "20",
                                  "--tick-ms",
                                  std::to_string(tickMs),
                                  "--samples",
                                  "7200",
                                  "--quiet",
                                  "--give-up",
                                  "1h",
                                  "--out-dir",
                                  dir.path(),
                                  "--http",
                                  std::to_string(httpPort)};
    for (int n = 1; n <= 40; ++n)
        args.insert(args.end(), {"--meter", "m" + std::to_string(n) + "=" + std::to_string(n)});
    if (mqtt)
        args.insert(args.end(), {"--mqtt", broker.Url("bench")});
    zentra::test::Subscriber sub(broker.port());
    zentra::test::LoggerProcess run(args, env);
    const auto stateTopics = [&] {
        std::set<std::string> topics;
        for (const auto& m : sub.Messages())
            if (m.topic.ends_with("/state"))
                topics.insert(m.topic);
        return topics.size();
    };
    if (mqtt)
        zentra::test::Eventually([&] { return stateTopics() == 40; }, 60s);
    else
        std::this_thread::sleep_for(5s);
    std::this_thread::sleep_for(2s);
    const auto count = [&] {
        std::size_t n = 0;
        for (const auto& m : sub.Messages())
            n += m.topic.ends_with("/state") ? 1 : 0;
        return n;
    };
    const std::size_t before = count();
    const double cpuBefore = run.CpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(window);
    result.cpuSeconds = run.CpuSeconds() - cpuBefore;
    result.window = std::chrono::duration<double>(Clock::now() - start).count();
    result.messagesPerSecond = static_cast<double>(count() - before) / result.window;
    const auto metrics = zentra::test::HttpGet(httpPort, "/metrics").body;
    const auto at = metrics.find("\nzentra_mqtt_messages_dropped_total ");
    if (at != std::string::npos)
        result.dropped = std::stod(metrics.substr(at + 36));
    run.Signal(SIGTERM);
    run.Wait(60s);
    return result;
}

void BM_FortyMeters(benchmark::State& state) {
    const int tickMs = static_cast<int>(state.range(0));
    FortyMeterRun with, without;
    for (auto _ : state) {
        with = RunFortyMeters(tickMs, true, 15s);
        without = RunFortyMeters(tickMs, false, 15s);
    }
    if (with.window == 0 || without.window == 0) {
        state.SkipWithError("a run did not start");
        return;
    }
    state.counters["offered_per_s"] = 40.0 * 1000.0 / tickMs;
    state.counters["msgs_per_s"] = with.messagesPerSecond;
    state.counters["dropped"] = with.dropped;
    state.counters["cpu_pct_mqtt"] = with.cpuSeconds / with.window * 100;
    state.counters["cpu_pct_none"] = without.cpuSeconds / without.window * 100;
    state.counters["mqtt_cpu_us_per_msg"] =
        (with.cpuSeconds / with.window - without.cpuSeconds / without.window) /
        with.messagesPerSecond * 1e6;
}
BENCHMARK(BM_FortyMeters)
    ->Arg(1000)
    ->Arg(100)
    ->Arg(50)
    ->Arg(25)
    ->Arg(10)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

void BM_HourBrokerUnreachable(benchmark::State& state) {
    // A broker that takes the connection (the kernel completes it) and never says a
    // word: the worst case, every state waits in the queue.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener, 16);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    auto o = MqttOutlets("mqtt://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/hour");
    constexpr int kMeters = 40;
    for (int m = 1; m <= kMeters; ++m)
        o->MeterIdentified(Meter("m" + std::to_string(m), m));
    const auto values = FullList();
    malloc_trim(0);
    const double rssBefore = StatusKb("VmRSS");
    const double heapBefore = static_cast<double>(mallinfo2().uordblks) / 1024;
    std::int64_t time = 1772445600;
    std::uint64_t offered = 0;
    for (auto _ : state) {
        for (int second = 0; second < 3600; ++second) {
            ++time;
            for (int m = 1; m <= kMeters; ++m) {
                o->Readings("m" + std::to_string(m), time, values);
                o->Availability("m" + std::to_string(m), second % 600 != 599);
            }
            offered += kMeters;
        }
    }
    state.counters["states_offered"] = static_cast<double>(offered);
    state.counters["dropped"] = static_cast<double>(o->Counters().dropped.load());
    state.counters["published"] = static_cast<double>(o->Counters().published.load());
    state.counters["rss_before_MB"] = rssBefore / 1024;
    state.counters["rss_after_MB"] = StatusKb("VmRSS") / 1024;
    state.counters["heap_growth_MB"] =
        (static_cast<double>(mallinfo2().uordblks) / 1024 - heapBefore) / 1024;
    o.reset();
    close(listener);
}
BENCHMARK(BM_HourBrokerUnreachable)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The same hour as zentra-log lives it: 40 meters on one zentra-sim line, 10 ms
// "seconds" (an hour in about 40 s), the broker accepting the connection and never
// answering; zentra-log's memory when the first meter has logged 360 samples and
// when it has logged 3600.
void BM_HourBrokerUnreachableProcess(benchmark::State& state) {
    zentra::test::TempDir dir;
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener, 16);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::string nodes;
    for (int n = 1; n <= 40; ++n)
        nodes += (n > 1 ? "," : "") + std::to_string(n);
    const std::string link = dir.File("bus");
    zentra::test::LoggerProcess sim({"--nodes", nodes, "--link", link}, {}, SimProgram());
    if (!zentra::test::Eventually([&] { return std::filesystem::exists(link); }, 10s)) {
        state.SkipWithError("no simulator");
        return;
    }
    const int httpPort = zentra::test::FreePort();
    std::vector<std::string> args{
        "COM1",      "--period",
        "1s",        "--latency",
        "20",        "--tick-ms",
        "10",        "--samples",
        "7200",      "--quiet",
        "--give-up", "1h",
        "--out-dir", dir.path(),
        "--http",    std::to_string(httpPort),
        "--mqtt",    "mqtt://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/hour"};
    for (int n = 1; n <= 40; ++n)
        args.insert(args.end(), {"--meter", "m" + std::to_string(n) + "=" + std::to_string(n)});
    zentra::test::LoggerProcess run(args, zentra::test::LoggerEnvironment(dir.path(), link));
    const std::string pid = std::to_string(run.pid());
    const auto logged = [&] {
        const auto metrics = zentra::test::HttpGet(httpPort, "/metrics").body;
        const std::string key = "zentra_samples_logged_total{meter=\"m1\"} ";
        const auto at = metrics.find(key);
        return at == std::string::npos ? 0.0 : std::stod(metrics.substr(at + key.size()));
    };
    double rssTenth = 0, dropped = 0, rssEnd = 0, hwm = 0;
    for (auto _ : state) {
        zentra::test::Eventually([&] { return logged() >= 360; }, 60s);
        rssTenth = StatusKb("VmRSS", pid);
        zentra::test::Eventually([&] { return logged() >= 3600; }, 300s);
        rssEnd = StatusKb("VmRSS", pid);
        hwm = StatusKb("VmHWM", pid);
        const auto metrics = zentra::test::HttpGet(httpPort, "/metrics").body;
        const auto at = metrics.find("\nzentra_mqtt_messages_dropped_total ");
        if (at != std::string::npos)
            dropped = std::stod(metrics.substr(at + 36));
    }
    state.counters["samples_m1"] = logged();
    state.counters["rss_at_6min_MB"] = rssTenth / 1024;
    state.counters["rss_at_1h_MB"] = rssEnd / 1024;
    state.counters["peak_rss_MB"] = hwm / 1024;
    state.counters["mqtt_dropped"] = dropped;
    run.Signal(SIGTERM);
    run.Wait(60s);
    close(listener);
}
BENCHMARK(BM_HourBrokerUnreachableProcess)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

// Several meters on one line, against the in-process simulator on a pseudo-terminal
// that paces its replies at the wire time of the line's baud rate:
//  - BM_PacedLine: readings transactions per second, one meter after another as the
//    survey asks them (request, reply window, read ending with the frame), against the
//    line's limit from the frame bytes (8 + 197 bytes and two 3.5-character silences):
//    the counters "limit" and "of_limit" (the share of it reached).
//  - BM_Survey40: zentra-log's survey of 40 meters at a 1 s period for a minute on
//    one paced 115200-baud line (real time): the CPU its line's thread takes per meter
//    per second, over the whole run (identification and saves included) and over rounds
//    10 to 50 (steady logging), and every meter's file checked for its 60 samples one
//    second apart.
#include "comms/meter.h"
#include "comms/serial_link.h"
#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "platform/serial_port.h"
#include "tests/support/test_support.h"
#include "tools/logger/bus_schedule.h"
#include "tools/logger/survey_plan.h"
#include "tools/logger/survey_run.h"
#include "tools/sim/meter_simulator.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include <poll.h>
#include <sys/resource.h>

namespace zentra {
namespace {

constexpr int kMetersOnTheLine = 8;
constexpr std::chrono::milliseconds kReplyWindow{200}; // a meter's latency

sim::SimOptions BusOptions(int meters, int baud) {
    sim::SimOptions options;
    for (int node = 1; node <= meters; ++node)
        options.nodes.push_back(static_cast<std::uint8_t>(node));
    options.pace = true;
    options.paceBaud = baud;
    return options;
}

void BM_PacedLine(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    sim::MeterSimulator simulator(BusOptions(kMetersOnTheLine, baud));
    if (!simulator.Start()) {
        state.SkipWithError(simulator.Error().c_str());
        return;
    }
    const auto opened = platform::OpenSerialDevice(simulator.DevicePath());
    const auto line = platform::ParseDefinitionText("COM1: baud=" + std::to_string(baud) +
                                                    " parity=N data=8 stop=1");
    if (opened.fd < 0 || !line || !platform::ApplyLineSettings(opened.fd, *line)) {
        state.SkipWithError("the simulated line cannot be set up");
        return;
    }
    PortHandle port = opened.fd;
    int node = 0;
    std::int64_t answered = 0;
    for (auto _ : state) {
        K760modbus meter(port, static_cast<std::uint8_t>(node % kMetersOnTheLine + 1), BigEndian);
        ++node;
        meter.RequestReadings();
        pollfd pfd{port, POLLIN, 0};
        (void)::poll(&pfd, 1, static_cast<int>(kReplyWindow.count()));
        meter.ReceiveReply();
        answered += meter.replyFunction == kFcReadings ? 1 : 0;
    }
    ClosePort(port);
    simulator.Stop();
    if (answered != static_cast<std::int64_t>(state.iterations()))
        state.SkipWithError("a reply was missed");
    const double limit =
        1e6 / static_cast<double>(logger::TransactionTime(logger::LineTiming{baud, 10}).count());
    state.SetItemsProcessed(state.iterations());
    state.counters["limit"] = limit;
    state.counters["meters_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["of_limit"] = benchmark::Counter(static_cast<double>(state.iterations()) / limit,
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PacedLine)
    ->Arg(9600)
    ->Arg(38400)
    ->Arg(115200)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(5.0);

std::chrono::microseconds ThreadCpu() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

void BM_Survey40(benchmark::State& state) {
    constexpr int kMeters = 40;
    constexpr int kSamples = 60;
    const test::ScopedUserFolders folders;
    // Paced, each reply byte reaches the port on its own, at its wire time (the read
    // wakes for each); unpaced, the reply comes at once, as from an adapter that hands
    // over its buffer.
    sim::SimOptions options = BusOptions(kMeters, 115200);
    options.pace = state.range(0) != 0;
    sim::MeterSimulator simulator(options);
    if (!simulator.Start()) {
        state.SkipWithError(simulator.Error().c_str());
        return;
    }
    for (auto _ : state) {
        const test::TempDir dir;
        logger::SurveyPlan plan;
        plan.run.period = 1;
        plan.run.samples = kSamples;
        plan.run.quiet = true;
        plan.run.giveUpSeconds = 600;
        plan.outDir = dir.path();
        logger::LinkPlan link;
        link.port = simulator.DevicePath();
        link.baud = "115200";
        link.latencyMs = 100;
        for (int node = 1; node <= kMeters; ++node)
            link.meters.push_back({"m" + std::to_string(node), node, std::nullopt});
        plan.links.push_back(link);
        std::ostringstream out, err;
        const std::atomic<bool> stop{false};
        // One link: the survey serves it on this thread.
        // Rounds 10 to 50 are the steady state: no identification, no saves.
        int round = 0;
        std::chrono::microseconds steadyFrom{}, steadyTo{};
        logger::RunHooks hooks;
        hooks.beforeTick = [&] {
            ++round;
            if (round == 10)
                steadyFrom = ThreadCpu();
            if (round == 50)
                steadyTo = ThreadCpu();
        };
        const auto cpuBefore = ThreadCpu();
        const auto started = std::chrono::steady_clock::now();
        const int code = logger::RunSurvey(plan, out, err, stop, hooks);
        const auto wall = std::chrono::steady_clock::now() - started;
        const auto cpu = ThreadCpu() - cpuBefore;
        if (code != 0) {
            state.SkipWithError(("the survey failed: " + err.str()).c_str());
            return;
        }
        int filesOk = 0, offSteps = 0;
        for (int node = 1; node <= kMeters; ++node) {
            const auto doc = std::make_unique<CZentraDoc>();
            const FileResult opened =
                OnOpenDocument(*doc, dir.File("m" + std::to_string(node) + ".ztr"));
            if (!opened.ok || doc->m_SampleCount != kSamples)
                continue;
            int off = 0;
            for (int n = 1; n < doc->m_SampleCount; ++n) {
                const std::int64_t step = doc->m_SampleTimes[n] - doc->m_SampleTimes[n - 1];
                if (step == 1)
                    continue;
                ++off;
                std::fprintf(stderr, "m%d: sample %d is %lld s after the one before\n", node, n + 1,
                             static_cast<long long>(step));
            }
            offSteps += off;
            filesOk += off == 0 ? 1 : 0;
        }
        const double seconds = std::chrono::duration<double>(wall).count();
        state.counters["cpu_us_per_meter_s"] =
            static_cast<double>(cpu.count()) / (kMeters * seconds);
        state.counters["steady_cpu_us_per_meter_s"] =
            static_cast<double>((steadyTo - steadyFrom).count()) / (kMeters * 40.0);
        state.counters["cpu_share"] = static_cast<double>(cpu.count()) / 1e6 / seconds;
        state.counters["files_one_second_apart"] = filesOk;
        state.counters["steps_not_one_second"] = offSteps;
        state.counters["wall_s"] = seconds;
    }
    simulator.Stop();
}
BENCHMARK(BM_Survey40)
    ->ArgName("paced")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace
} // namespace zentra

BENCHMARK_MAIN();

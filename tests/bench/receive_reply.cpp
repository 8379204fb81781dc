// How long ReceiveReply blocks once a whole reply is already waiting in the port's
// input queue: the read ends as soon as the reply's frame is in (its length and CRC),
// not on the 20 ms inter-byte gap. And how long it blocks when no reply comes: read at once after
// the request, for the whole total time-out; read a tick (one second) after it, once the request's
// reply window (latency + total time-out) has closed, not at all. Against the in-process simulator
// over a pseudo-terminal.
#include "comms/meter.h"
#include "comms/serial_link.h"
#include "tests/support/sim_port.h"
#include "tools/sim/meter_simulator.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include <sys/ioctl.h>

namespace zentra {
namespace {

using namespace std::chrono_literals;

constexpr int kReadingsReply = 3 + 4 * 48 + 2;
constexpr int kIdentityReply = 3 + 4 * 14 + 2;

// Waits (untimed) until `bytes` are queued on the port.
bool WaitForQueued(PortHandle port, int bytes) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < deadline) {
        int queued = 0;
        if (::ioctl(port, FIONREAD, &queued) == 0 && queued >= bytes)
            return true;
        std::this_thread::sleep_for(200us);
    }
    return false;
}

// `age`: how long after the request its reply is read (untimed).
void Measure(benchmark::State& state, std::uint32_t (K760modbus::*request)(), int replyBytes,
             sim::SimFaults faults, std::chrono::milliseconds age = 0ms) {
    test::ScopedPortMap ports;
    sim::SimOptions options;
    options.faults = faults;
    sim::MeterSimulator simulator(options);
    if (!simulator.Start()) {
        state.SkipWithError(simulator.Error().c_str());
        return;
    }
    ports.Assign(1, simulator.DevicePath());
    CommSettings settings;
    PortAvailability available;
    available.fill(true);
    PortHandle held = kInvalidPort;
    PortHandle port = OpenPort(settings, available, held);
    if (port == kInvalidPort) {
        state.SkipWithError(LastOpenFailure().c_str());
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        {
            K760modbus sender(port, 1, BigEndian);
            (sender.*request)();
        }
        const bool waiting = replyBytes == 0 || WaitForQueued(port, replyBytes);
        std::this_thread::sleep_for(age);
        state.ResumeTiming();
        K760modbus meter(port, 1, BigEndian);
        meter.ReceiveReply();
        benchmark::DoNotOptimize(meter.replyFunction);
        if (!waiting || (replyBytes > 0 && meter.replyFunction == kReplyNone)) {
            state.SkipWithError("the reply did not arrive whole");
            break;
        }
    }
    ClosePort(port);
    simulator.Stop();
}

void BM_ReceiveReply_Readings(benchmark::State& state) {
    Measure(state, &K760modbus::RequestReadings, kReadingsReply, {});
}
void BM_ReceiveReply_Identity(benchmark::State& state) {
    Measure(state, &K760modbus::RequestIdentity, kIdentityReply, {});
}
// For comparison: no reply, read at once, ends on the total time-out (512 x 1 ms + 1 ms).
void BM_ReceiveReply_NoReply(benchmark::State& state) {
    sim::SimFaults drop;
    drop.dropEvery = 1;
    Measure(state, &K760modbus::RequestReadings, 0, drop);
}
// A tick's read of a silent meter: the request went out one second earlier.
void BM_ReceiveReply_NoReplyAfterOneSecond(benchmark::State& state) {
    sim::SimFaults drop;
    drop.dropEvery = 1;
    Measure(state, &K760modbus::RequestReadings, 0, drop, 1000ms);
}

BENCHMARK(BM_ReceiveReply_Readings)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100);
BENCHMARK(BM_ReceiveReply_Identity)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100);
BENCHMARK(BM_ReceiveReply_NoReply)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(BM_ReceiveReply_NoReplyAfterOneSecond)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace
} // namespace zentra

BENCHMARK_MAIN();

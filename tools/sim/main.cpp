// zentra-sim: a simulated meter on a pseudo-terminal (or behind a simulated device
// server or Modbus TCP gateway on the loopback address), for trying the program and
// the probe without hardware. Prints the device, then answers until interrupted.
#include "tools/sim/meter_simulator.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using zentra::sim::Layout;
using zentra::sim::MeterSimulator;
using zentra::sim::SimOptions;

constexpr const char* kUsage = R"(Usage: zentra-sim [options]
A simulated three-phase meter answering Modbus RTU on a pseudo-terminal. Prints the
device path (or the network address), then answers until interrupted (Ctrl+C).

  --node N           Modbus node to answer as (default 1)
  --nodes LIST       answer as several meters on the one line, e.g. 1,5,12: each
                     node measures its own load (node n's phase currents lie
                     between 100n-66 and 100n-38 A) and has its own serial
                     number (node n: 1234560041 + n)
  --silent-node N    node N hears its requests but never answers (repeatable)
  --pace             replies take the time a cable takes: each waits for its
                     request's wire time, then each byte goes out at the baud
                     rate the client set (network transports: --baud)
  --baud B           the rate --pace uses on a network transport (default 38400)
  --order N          float byte order 0..3: 0 big-endian, 1 little-endian,
                     2 big-endian word swap, 3 little-endian word swap (default 0)
  --model X          model number (default 760)
  --version X        firmware version; its fraction selects the meter variant
                     (default 1.01: variant 1; 1.03: variant 3)
  --system-type N    system type number 1..6 (default 3, "3ph4w")
  --layout L         readings layout: "reverse", or 48 comma-separated reading
                     indices, one per block position (default: position p holds p)
  --link PATH        also make PATH a symbolic link to the device
  --tcp PORT         instead of a pseudo-terminal, act as a serial device server in
                     transparent mode: RTU frames over TCP on 127.0.0.1:PORT
                     (use the address tcp://127.0.0.1:PORT; 0 picks a free port)
  --modbus-tcp PORT  instead, act as a Modbus TCP gateway on 127.0.0.1:PORT
                     (use the address modbus-tcp://127.0.0.1:PORT)
Faults:
  --drop-every N     leave every Nth reply unsent
  --bad-crc          send replies with a wrong CRC (Modbus TCP: a wrong length)
  --exception CODE   answer every request with this exception code
  --as-node N        put node N in the replies
  --late MS          answer MS milliseconds late
  --split MS         send each reply in two halves MS milliseconds apart
  --double MS        send each reply again MS milliseconds after it
  --garbage          send noise instead of replies
  --flood N          send N noise bytes instead of each reply
  --wrong-tid        Modbus TCP: answer under another transaction id
  --help             show this text
)";

std::optional<long> Number(const char* text, long low, long high) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<float> Real(const char* text) {
    char* end = nullptr;
    const float value = std::strtof(text, &end);
    if (end == text || *end != '\0')
        return std::nullopt;
    return value;
}

std::optional<Layout> ParseLayout(const std::string& text) {
    Layout layout{};
    if (text == "reverse") {
        for (int i = 0; i < zentra::sim::kReadingCount; ++i)
            layout[i] = static_cast<std::uint8_t>(zentra::sim::kReadingCount - i);
        return layout;
    }
    std::stringstream in(text);
    std::string item;
    int i = 0;
    while (std::getline(in, item, ',')) {
        const auto v = Number(item.c_str(), 0, 255);
        if (!v || i >= zentra::sim::kReadingCount)
            return std::nullopt;
        layout[i++] = static_cast<std::uint8_t>(*v);
    }
    if (i != zentra::sim::kReadingCount)
        return std::nullopt;
    return layout;
}

// "1,5,12": distinct nodes 1..247.
std::optional<std::vector<std::uint8_t>> ParseNodes(const std::string& text) {
    std::vector<std::uint8_t> nodes;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        const auto v = Number(item.c_str(), 1, 247);
        if (!v)
            return std::nullopt;
        const auto node = static_cast<std::uint8_t>(*v);
        if (std::find(nodes.begin(), nodes.end(), node) != nodes.end())
            return std::nullopt;
        nodes.push_back(node);
    }
    if (nodes.empty())
        return std::nullopt;
    return nodes;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "zentra-sim: %s\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--bad-crc") {
            options.faults.corruptCrc = true;
            continue;
        }
        if (arg == "--garbage") {
            options.faults.garbage = true;
            continue;
        }
        if (arg == "--pace") {
            options.pace = true;
            continue;
        }
        if (arg == "--wrong-tid") {
            options.faults.wrongTransaction = true;
            continue;
        }
        if (i + 1 >= argc)
            return Fail("unknown option or missing value: " + arg + " (see --help)");
        const char* value = argv[++i];
        auto need = [&](auto parsed) {
            if (!parsed)
                std::exit(Fail("bad value for " + arg + ": " + value));
            return *parsed;
        };
        if (arg == "--node")
            options.node = static_cast<std::uint8_t>(need(Number(value, 1, 247)));
        else if (arg == "--nodes")
            options.nodes = need(ParseNodes(value));
        else if (arg == "--silent-node")
            options.silentNodes.push_back(static_cast<std::uint8_t>(need(Number(value, 1, 247))));
        else if (arg == "--baud")
            options.paceBaud = static_cast<int>(need(Number(value, 300, 4000000)));
        else if (arg == "--order")
            options.floatOrder = static_cast<std::int32_t>(need(Number(value, 0, 3)));
        else if (arg == "--model")
            options.identity.model = need(Real(value));
        else if (arg == "--version")
            options.identity.version = need(Real(value));
        else if (arg == "--system-type")
            options.info.systemType = static_cast<int>(need(Number(value, 0, 255)));
        else if (arg == "--layout")
            options.layout = need(ParseLayout(value));
        else if (arg == "--link")
            options.link = value;
        else if (arg == "--tcp" || arg == "--modbus-tcp") {
            options.tcpPort = static_cast<std::uint16_t>(need(Number(value, 0, 65535)));
            options.transport = arg == "--tcp" ? zentra::sim::SimTransport::RtuOverTcp
                                               : zentra::sim::SimTransport::ModbusTcp;
        } else if (arg == "--drop-every")
            options.faults.dropEvery = static_cast<int>(need(Number(value, 0, 1000000)));
        else if (arg == "--exception")
            options.faults.exceptionCode = static_cast<int>(need(Number(value, 1, 255)));
        else if (arg == "--as-node")
            options.faults.answerAsNode = static_cast<int>(need(Number(value, 0, 255)));
        else if (arg == "--late")
            options.faults.late = std::chrono::milliseconds(need(Number(value, 0, 60000)));
        else if (arg == "--split")
            options.faults.splitGap = std::chrono::milliseconds(need(Number(value, 0, 60000)));
        else if (arg == "--double")
            options.faults.doubleAfter = std::chrono::milliseconds(need(Number(value, 1, 60000)));
        else if (arg == "--flood")
            options.faults.flood = static_cast<std::size_t>(need(Number(value, 0, 65536)));
        else
            return Fail("unknown option: " + arg + " (see --help)");
    }

    // Signals are taken by sigwait below, so block them before any thread starts.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    MeterSimulator simulator(options);
    if (!simulator.Start())
        return Fail(simulator.Error());
    std::printf("%s\n", simulator.DevicePath().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    simulator.Stop();
    return 0;
}

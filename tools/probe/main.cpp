// zentra-probe: queries one meter the way the Communication page does and prints what
// it answers, for a person checking the wiring and line settings of a real meter.
#include "acquisition/readings_catalogue.h"
#include "comms/meter.h"
#include "comms/serial_link.h"
#include "document/port_map.h"
#include "platform/settings_tree.h"
#include "tools/probe/probe_scan.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

using namespace zentra;

constexpr const char* kUsage = R"(Usage: zentra-probe PORT [options]
       zentra-probe PORT --scan [--nodes 1-247] [--window MS] [line options]
Queries the meter on PORT (COM1..COM9) for its identity, information block, readings
layout and readings, and prints them. With --scan it finds the meters on the line
instead: each node is asked for its identity, and each meter that answers is shown
with its node, model, version, serial number and whether the float byte order reads
plausibly.

  --node N        Modbus node number (default 1)
  --order N       float byte order 0..3 (default 0):
                    0 Float = Big Endian (Motorola)
                    1 Float = Little Endian (Intel)
                    2 Float = Big Endian (Word Swap)
                    3 Float = Little Endian (Word Swap)
  --baud B        115200, 57600, 38400, 19200, 9600 or 4800 (default 38400)
  --parity P      NONE, ODD or EVEN (default NONE)
  --stop S        stop bits, 1 or 2 (default 1)
  --latency MS    wait between a request and reading its reply (default 200)
  --scan          find the meters on the line (see above)
  --nodes A-B     the nodes to scan, 1 to 247 (default 1-247; one node: N)
  --window MS     how long each node is given to answer a scan (default 100)
  --help          show this text

Each port name stands for a device, in this order: ZENTRA_COM1..ZENTRA_COM9 when set,
else the device chosen for it with Change device... in Zentra, else the serial devices
found on this machine (/dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS*) in order. A device is
a serial device's path, tcp://HOST:PORT (a serial device server in transparent mode)
or modbus-tcp://HOST:PORT (a Modbus TCP gateway), e.g.
  ZENTRA_COM1=modbus-tcp://192.168.1.50:502 zentra-probe COM1

Exit status: 0 all answered; 1 bad arguments; 2 the port cannot be opened; 3 no reply;
4 reply with a bad CRC; 5 exception reply; 6 reply from another node or of the wrong
kind; 7 the float byte order is set wrongly. With --scan: 0 at least one meter
answered; 3 none did.
)";

enum Exit {
    kOk = 0,
    kBadArguments = 1,
    kOpenFailed = 2,
    kNoReply = 3,
    kBadCrc = 4,
    kExceptionReply = 5,
    kWrongReply = 6,
    kWrongOrder = 7,
};

struct Options {
    CommSettings comms;
    int node = 1;
    int latencyMs = 200;
    bool scan = false;
    probe::ScanRange nodes;
    int windowMs = static_cast<int>(kDefaultScanWindow.count());
};

bool SetText(CommText& field, const std::string& value) {
    if (value.size() >= field.size())
        return false;
    field.fill('\0');
    std::memcpy(field.data(), value.data(), value.size());
    return true;
}

std::optional<long> Number(const char* text, long low, long high) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high)
        return std::nullopt;
    return value;
}

int BadArgument(const std::string& message) {
    std::fprintf(stderr, "zentra-probe: %s (see --help)\n", message.c_str());
    return kBadArguments;
}

// Why a transaction gave no usable reply, and the exit status for it.
int ExplainMissing(const K760modbus& meter, const char* what, const std::string& port) {
    const Cmodbus& c = meter.client;
    if (c.rxCount == 0 && PortGone(meter.port)) {
        std::fprintf(stderr, "zentra-probe: %s\n", PortGoneText(port).c_str());
        return kNoReply;
    }
    if (c.rxCount == 0) {
        std::fprintf(stderr,
                     "zentra-probe: no reply to the %s request from node %d on %s. Check the "
                     "wiring, the node number and the baud rate, parity and stop bits.\n",
                     what, meter.node, port.c_str());
        return kNoReply;
    }
    if (c.status != 0) {
        std::fprintf(stderr,
                     "zentra-probe: the reply to the %s request has a bad CRC (%u bytes). Check "
                     "the baud rate, parity and stop bits, and the wiring.\n",
                     what, c.rxCount);
        return kBadCrc;
    }
    if (const std::string gateway = GatewayExceptionText(c.exceptionCode);
        (c.rxBuffer[1] & 0x80) && !gateway.empty()) {
        std::fprintf(stderr, "zentra-probe: %s, node %d: %s.\n", PortAndDevice(port).c_str(),
                     meter.node, gateway.c_str());
        return kExceptionReply;
    }
    if (c.rxBuffer[1] & 0x80) {
        std::fprintf(stderr,
                     "zentra-probe: the meter answered the %s request with exception code %d "
                     "(function 0x%02X).\n",
                     what, c.exceptionCode, c.rxBuffer[1]);
        return kExceptionReply;
    }
    if (c.replyNode != meter.node) {
        std::fprintf(stderr,
                     "zentra-probe: the reply to the %s request came from node %d, not %d.\n", what,
                     c.replyNode, meter.node);
        return kWrongReply;
    }
    std::fprintf(stderr, "zentra-probe: unexpected reply (function %d) to the %s request.\n",
                 meter.replyFunction, what);
    return kWrongReply;
}

class Probe {
  public:
    Probe(const Options& options, PortHandle port)
        : options_(options), port_(port), node_(static_cast<std::uint8_t>(options.node)),
          portName_(options.comms.port.data()) {}

    int Run() {
        // Identity, as the Communication page sends it: fc 17 straight through the client.
        {
            Cmodbus request;
            request.BuildRequest(kFcIdentity, node_, 0, 0);
            request.AppendCrc();
            request.SendRequest(port_);
        }
        K760modbus identity = Receive();
        if (identity.replyFunction != kFcIdentity)
            return ExplainMissing(identity, "identity", portName_);
        const bool orderOk = PrintIdentity(identity);

        K760modbus info = Transaction(&K760modbus::RequestMeterInfo);
        if (info.replyFunction != kFcMeterInfo)
            return ExplainMissing(info, "information", portName_);
        PrintInformation(info);

        K760modbus layout = Transaction(&K760modbus::RequestPositionMap);
        if (layout.replyFunction != kFcLayout)
            return ExplainMissing(layout, "readings layout", portName_);
        PrintLayout(layout);

        K760modbus readings = Transaction(&K760modbus::RequestReadings);
        if (readings.replyFunction != kFcReadings)
            return ExplainMissing(readings, "readings", portName_);
        PrintReadings(layout, readings);
        return orderOk ? kOk : kWrongOrder;
    }

  private:
    K760modbus Receive() {
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.latencyMs));
        K760modbus meter(port_, node_, options_.comms.floatOrder);
        meter.ReceiveReply();
        return meter;
    }

    K760modbus Transaction(std::uint32_t (K760modbus::*request)()) {
        {
            K760modbus sender(port_, node_, options_.comms.floatOrder);
            (sender.*request)();
        }
        return Receive();
    }

    bool PrintIdentity(const K760modbus& meter) {
        const auto& id = meter.identity;
        std::printf("Model Number: %-.0f\n", id[kIdentityModel]);
        std::printf("Version: %-.3f\n", id[kIdentityVersion]);
        std::printf("Compile Date: %06.0f\n", id[kIdentityCompileDate]);
        std::printf("Serial #: %06.0f%04.0f\n", id[kIdentitySerialHigh], id[kIdentitySerialLow]);
        std::printf("Comms Lock: %s\n", id[kIdentityCommsLock] != 0.0f ? "ON" : "OFF");
        std::printf("Meter variant: %d\n", MeterVariant(id[kIdentityVersion]));
        if (ModelNumberPlausible(id[kIdentityModel]))
            return true;
        std::printf("Endian and/or Word Swapping incorrectly set\n");
        std::fprintf(stderr, "zentra-probe: Endian and/or Word Swapping incorrectly set "
                             "(try another --order)\n");
        return false;
    }

    void PrintInformation(const K760modbus& meter) {
        const auto& info = meter.meterInfo;
        const double type = info[kInfoSystemType];
        const std::string_view name =
            (type >= 1 && type <= 6) ? SystemTypeName(static_cast<int>(type)) : std::string_view{};
        if (name.empty())
            std::printf("System Type: unknown (%g)\n", type);
        else
            std::printf("System Type: %s\n", std::string(name).c_str());
        std::printf("System Voltage: %-.2fV\n", info[kInfoVoltage]);
        std::printf("VT Primary: %-.3f\n", info[kInfoVtPrimary]);
        std::printf("VT Secondary: %-.3f\n", info[kInfoVtSecondary]);
        std::printf("System Current: %-.3f\n", info[kInfoCurrent]);
    }

    void PrintLayout(const K760modbus& meter) {
        std::printf("Readings layout (reading index at block positions 1-48):");
        for (std::uint32_t i = 0; i < meter.positionCodes.size(); ++i)
            std::printf("%s%d", i % 16 == 0 ? "\n  " : " ", meter.positionCodes[i]);
        std::printf("\n");
        if (meter.decodedCount < meter.positionCodes.size())
            std::printf("  (only %u positions were sent)\n", meter.decodedCount);
    }

    void PrintReadings(const K760modbus& layout, const K760modbus& meter) {
        std::printf("Readings:\n");
        for (std::uint32_t i = 0; i < meter.readings.size(); ++i) {
            const ReadingIndex index = layout.positionCodes[i];
            const std::string_view name = ReadingLabel(index);
            const std::string label = name.empty() ? std::string("-") : std::string(name);
            if (i < meter.decodedCount)
                std::printf("  %2u  %-14s %14.3f\n", i + 1, label.c_str(), meter.readings[i]);
            else
                std::printf("  %2u  %-14s %14s\n", i + 1, label.c_str(), "(not sent)");
        }
    }

    const Options& options_;
    PortHandle port_;
    std::uint8_t node_;
    std::string portName_;
};

} // namespace

int main(int argc, char** argv) {
    Options options;
    bool havePort = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return kOk;
        }
        if (arg == "--scan") {
            options.scan = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            if (havePort || !SetText(options.comms.port, arg))
                return BadArgument("unexpected argument: " + arg);
            havePort = true;
            continue;
        }
        if (i + 1 >= argc)
            return BadArgument("missing value for " + arg);
        const std::string value = argv[++i];
        if (arg == "--node") {
            const auto n = Number(value.c_str(), 0, 255);
            if (!n)
                return BadArgument("node must be 0..255: " + value);
            options.node = static_cast<int>(*n);
        } else if (arg == "--order") {
            const auto n = Number(value.c_str(), 0, 3);
            if (!n)
                return BadArgument("order must be 0..3: " + value);
            options.comms.floatOrder = static_cast<std::int32_t>(*n);
        } else if (arg == "--baud") {
            if (!SetText(options.comms.baud, value))
                return BadArgument("bad baud rate: " + value);
        } else if (arg == "--parity") {
            if (!SetText(options.comms.parity, value))
                return BadArgument("bad parity: " + value);
        } else if (arg == "--stop") {
            if (!SetText(options.comms.stopBits, value))
                return BadArgument("bad stop bits: " + value);
        } else if (arg == "--latency") {
            const auto n = Number(value.c_str(), 0, 9999999);
            if (!n)
                return BadArgument("latency must be a number of milliseconds: " + value);
            options.latencyMs = static_cast<int>(*n);
            // The port's reply window follows it too (a slow meter keeps its wait).
            SetText(options.comms.latency, std::to_string(*n));
        } else if (arg == "--nodes") {
            const auto range = probe::ParseNodeRange(value);
            if (!range)
                return BadArgument("nodes must be N or A-B within 1..247: " + value);
            options.nodes = *range;
        } else if (arg == "--window") {
            const auto n = Number(value.c_str(), 1, 60000);
            if (!n)
                return BadArgument("window must be 1..60000 milliseconds: " + value);
            options.windowMs = static_cast<int>(*n);
        } else {
            return BadArgument("unknown option: " + arg);
        }
    }
    if (!havePort)
        return BadArgument("name the port, e.g. zentra-probe COM1");

    // COMn stands for what it does in Zentra: ZENTRA_COMn, else the stored map, else
    // the adapters found. The store is read only: nothing is created in it.
    const platform::ScopedSettingsKeysNotCreated readOnlyStore;
    InstallPortMap();
    // Only the named port is tried; the others are left alone.
    PortAvailability available;
    available.fill(true);
    PortHandle held = kInvalidPort;
    const std::string port(options.comms.port.data());
    const auto device = PortDevice(port);
    PortHandle handle = OpenPort(options.comms, available, held);
    if (handle == kInvalidPort) {
        const std::string hint = " Set ZENTRA_" + port +
                                 " to the adapter's path, or choose its device with Change "
                                 "device... in Zentra.";
        std::fprintf(stderr, "zentra-probe: %s%s\n", OpenFailureSentence(port).c_str(),
                     device ? "" : hint.c_str());
        return kOpenFailed;
    }
    if (options.scan) {
        std::printf("%s (%s): %s, scanning nodes %d-%d, %s\n", port.c_str(),
                    device ? ShownDevice(*device).c_str() : "?",
                    BuildDefinitionText(options.comms).c_str(), options.nodes.first,
                    options.nodes.last,
                    kFloatOrderTexts[static_cast<std::size_t>(options.comms.floatOrder)]);
        std::fflush(stdout);
        const int status = probe::RunScan(handle, options.nodes, options.comms.floatOrder,
                                          std::chrono::milliseconds(options.windowMs),
                                          ::isatty(STDERR_FILENO) != 0, kNoReply, stdout, stderr);
        ClosePort(handle);
        return status;
    }
    std::printf("%s (%s): %s, node %d, %s\n", port.c_str(),
                device ? ShownDevice(*device).c_str() : "?",
                BuildDefinitionText(options.comms).c_str(), options.node,
                kFloatOrderTexts[static_cast<std::size_t>(options.comms.floatOrder)]);
    const int status = Probe(options, handle).Run();
    ClosePort(handle);
    return status;
}

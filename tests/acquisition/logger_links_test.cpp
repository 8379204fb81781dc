// zentra-probe and zentra-log on the links a service meets: what they say when a
// network device closes the connection, when a gateway's meter does not answer, when
// nothing listens and when the address is malformed; which device COMn stands for;
// and that neither creates anything in the user's settings store.
#include "document/port_map.h"
#include "tests/acquisition/logger_process.h"
#include "tests/support/loopback.h"
#include "tests/support/sim_port.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

namespace zentra {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ProbeProgram() {
    return (fs::path(test::LoggerProgram()).parent_path() / "zentra-probe").string();
}

// Accepts every connection and closes it at once, as a gateway that turns a client
// away does.
class ClosingGateway {
  public:
    ClosingGateway() {
        thread_ = std::thread([this] {
            while (!done_)
                if (listener_.Accept(20ms))
                    listener_.CloseClient();
        });
    }
    ~ClosingGateway() {
        done_ = true;
        thread_.join();
    }
    std::string Address() const { return listener_.Address("tcp://"); }

  private:
    test::LoopbackListener listener_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

struct LinkCase {
    const char* name;
    std::function<std::string()> device; // what COM1 stands for
    int probeStatus;
    int loggerStatus;
    const char* says;
};

TEST(NetworkLinks, TheToolsSayWhatHappenedOnTheNetworkAndNameThePortOnce) {
    ClosingGateway closing;
    sim::SimOptions gatewayOptions;
    gatewayOptions.transport = sim::SimTransport::ModbusTcp;
    gatewayOptions.faults.exceptionCode = 11;
    sim::MeterSimulator gateway(gatewayOptions);
    ASSERT_TRUE(gateway.Start()) << gateway.Error();
    const std::string longHost(100000, 'a');
    for (const LinkCase& c : {
             LinkCase{"closes at once", [&] { return closing.Address(); }, 3, 1,
                      "the device closed the connection"},
             LinkCase{"gateway exception 11", [&] { return gateway.DevicePath(); }, 5, 1,
                      "the gateway got no answer from the meter behind it"},
             LinkCase{"nothing listens",
                      [] { return "tcp://127.0.0.1:" + std::to_string(test::RefusingPort()); }, 2,
                      1, "cannot reach 127.0.0.1"},
             LinkCase{"100 KB address", [&] { return "tcp://" + longHost + ":502"; }, 2, 2,
                      "not a valid network address"},
             LinkCase{"no port number", [] { return std::string("modbus-tcp://192.0.2.1"); }, 2, 2,
                      "not a valid network address"},
         }) {
        SCOPED_TRACE(c.name);
        const test::TempDir dir;
        const auto env = test::LoggerEnvironment(dir.path(), c.device());
        test::LoggerProcess probe({"COM1", "--latency", "50"}, env, ProbeProgram());
        test::LoggerProcess logger(
            test::QuickRunArgs({"--samples", "2", "--out", dir.File("run.ztr")}), env);
        EXPECT_EQ(probe.Wait(30s), c.probeStatus) << probe.Output() << probe.Errors();
        EXPECT_EQ(logger.Wait(30s), c.loggerStatus) << logger.Output() << logger.Errors();
        for (const test::LoggerProcess* tool : {&probe, &logger}) {
            const std::string& said = tool->Errors();
            EXPECT_NE(said.find(c.says), std::string::npos) << said;
            // Serial advice does not fit a device that answered on the network.
            EXPECT_EQ(said.find("baud rate"), std::string::npos) << said;
            EXPECT_EQ(said.find("cannot write"), std::string::npos) << said;
            EXPECT_EQ(test::Occurrences(said, "COM1"), 1u) << said;
            EXPECT_LT(said.size(), 600u) << said.substr(0, 600);
        }
        EXPECT_FALSE(fs::exists(dir.File("run.ztr")));
    }
}

struct ResolveCase {
    const char* name;
    bool environment; // ZENTRA_COM1 names the pseudo-terminal meter
    bool stored;      // the stored map names the network meter (or, with the
                      // environment, a port nobody listens on)
};

TEST(PortNames, ComNStandsForTheEnvironmentElseTheStoredMapInBothTools) {
    sim::MeterSimulator serialMeter;
    ASSERT_TRUE(serialMeter.Start()) << serialMeter.Error();
    sim::SimOptions networkOptions;
    networkOptions.transport = sim::SimTransport::ModbusTcp;
    sim::MeterSimulator networkMeter(networkOptions);
    ASSERT_TRUE(networkMeter.Start()) << networkMeter.Error();
    const test::ScopedPortMap noOutsideNames; // nothing from this process's environment
    for (const ResolveCase& c : {ResolveCase{"stored only", false, true},
                                 ResolveCase{"environment over stored", true, true}}) {
        SCOPED_TRACE(c.name);
        const test::TempDir dir;
        std::map<std::string, std::string> env{{"XDG_STATE_HOME", dir.File("state")},
                                               {"XDG_CONFIG_HOME", dir.File("config")},
                                               {"HOME", dir.path()}};
        if (c.environment)
            env["ZENTRA_COM1"] = serialMeter.DevicePath();
        {
            const test::ScopedEnv config("XDG_CONFIG_HOME", dir.File("config").c_str());
            const std::string stored =
                c.environment ? "tcp://127.0.0.1:" + std::to_string(test::RefusingPort())
                              : networkMeter.DevicePath();
            ASSERT_TRUE(StorePortDevice(1, stored));
        }
        const std::string device =
            c.environment ? serialMeter.DevicePath() : networkMeter.DevicePath();
        test::LoggerProcess probe({"COM1", "--latency", "50"}, env, ProbeProgram());
        EXPECT_EQ(probe.Wait(30s), 0) << probe.Output() << probe.Errors();
        EXPECT_NE(probe.Output().find("COM1 (" + device + ")"), std::string::npos)
            << probe.Output();
        test::LoggerProcess logger(
            test::QuickRunArgs({"--samples", "2", "--out", dir.File("run.ztr")}), env);
        EXPECT_EQ(logger.Wait(30s), 0) << logger.Output() << logger.Errors();
        EXPECT_TRUE(fs::exists(dir.File("run.ztr")));
    }
}

TEST(SettingsStore, TheCommandLineToolsCreateNothingInAnEmptySettingsTree) {
    sim::MeterSimulator meter;
    ASSERT_TRUE(meter.Start()) << meter.Error();
    const test::TempDir dir;
    fs::create_directories(dir.File("config"));
    const auto env = test::LoggerEnvironment(dir.path(), meter.DevicePath());
    struct Run {
        std::vector<std::string> args;
        std::string program;
    };
    for (const Run& run : {
             Run{test::QuickRunArgs({"--samples", "2", "--out", dir.File("run.ztr")}),
                 test::LoggerProgram()},
             Run{{"--recover"}, test::LoggerProgram()},
             Run{{"COM1", "--latency", "50"}, ProbeProgram()},
         }) {
        SCOPED_TRACE(run.program + " " + run.args.front());
        test::LoggerProcess tool(run.args, env, run.program);
        EXPECT_EQ(tool.Wait(30s), 0) << tool.Output() << tool.Errors();
        std::vector<std::string> created;
        for (const auto& entry : fs::recursive_directory_iterator(dir.File("config")))
            created.push_back(entry.path().string());
        EXPECT_TRUE(created.empty()) << ::testing::PrintToString(created);
    }
}

std::string SourceFile(const std::string& path) {
    return test::FileText(std::string(ZENTRA_SOURCE_DIR) + "/" + path);
}

TEST(ServiceDocuments, HelpManPagesAndExampleNameTheNetworkFormsAndThePortOrder) {
    test::LoggerProcess logHelp({"--help"}, {});
    test::LoggerProcess probeHelp({"--help"}, {}, ProbeProgram());
    ASSERT_EQ(logHelp.Wait(10s), 0);
    ASSERT_EQ(probeHelp.Wait(10s), 0);
    auto page = [](const std::string& name) {
        std::string text = SourceFile("packaging/man/" + name + ".1");
        for (auto at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at))
            text.erase(at, 1); // roff's \- is a plain hyphen
        return text;
    };
    const struct {
        const char* name;
        std::string text;
        std::vector<const char*> phrases;
    } documents[] = {
        {"zentra-log --help",
         logHelp.Output(),
         {"tcp://HOST:PORT", "modbus-tcp://HOST:PORT", "ZENTRA_COM1", "Change device..."}},
        {"zentra-probe --help",
         probeHelp.Output(),
         {"tcp://HOST:PORT", "modbus-tcp://HOST:PORT", "ZENTRA_COM1", "Change device..."}},
        {"zentra-log(1)",
         page("zentra-log"),
         {"tcp://", "modbus-tcp://", "ZENTRA_COM1", "Change device...", "[fe80::1%eth0]",
          "survey.txt"}},
        {"zentra-probe(1)",
         page("zentra-probe"),
         {"tcp://", "modbus-tcp://", "ZENTRA_COM1", "Change device...", "[fe80::1%eth0]"}},
        {"example settings",
         SourceFile("packaging/zentra-log.conf"),
         {"ZENTRA_COM1=/dev/ttyUSB0", "ZENTRA_COM1=modbus-tcp://", "ZENTRA_COM1=tcp://"}},
        {"survey unit",
         SourceFile("packaging/zentra-log@.service"),
         {"Wants=network-online.target", "After=local-fs.target network-online.target",
          "RestartPreventExitStatus=2"}},
        {"user guide",
         SourceFile("app/help/guide.html"),
         {"[fe80::1%eth0]", "Change device...", "survey-survey.txt"}},
    };
    for (const auto& document : documents) {
        SCOPED_TRACE(document.name);
        ASSERT_FALSE(document.text.empty());
        for (const char* phrase : document.phrases)
            EXPECT_NE(document.text.find(phrase), std::string::npos) << phrase;
        // A link-local address without its interface cannot be reached.
        EXPECT_EQ(document.text.find("[fe80::1]"), std::string::npos);
    }
}

} // namespace
} // namespace zentra

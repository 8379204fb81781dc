// zentra-probe --scan as a user runs it, against the simulated meter at node 5.
#include "tests/acquisition/logger_process.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

namespace zentra {
namespace {

using namespace std::chrono_literals;

std::string ProbeProgram() {
    std::string path = test::LoggerProgram();
    return path.replace(path.rfind("zentra-log"), 10, "zentra-probe");
}

TEST(ProbeScan, OneLinePerMeterAndTheExitSaysWhetherAnyAnswered) {
    struct Case {
        std::vector<std::string> args;
        int exit;
        std::string out; // a part of the output, or of the errors for a failure
    };
    const Case cases[] = {
        {{"--nodes", "3-7"},
         0,
         "node 5: model 760, version 1.010, serial 1234560042, float order plausible\n"
         "1 meter found on nodes 3-7\n"},
        {{"--nodes", "5", "--order", "1"}, 0, "node 5: model 0, "},
        {{"--nodes", "1-4", "--window", "50"}, 3, "zentra-probe: no meter answered on nodes 1-4. "},
        {{"--nodes", "7-3"}, 1, "nodes must be N or A-B within 1..247: 7-3"},
        {{"--nodes", "0-3"}, 1, "nodes must be N or A-B within 1..247: 0-3"},
        {{"--nodes", "1-248"}, 1, "nodes must be N or A-B within 1..247: 1-248"},
        {{"--window", "0"}, 1, "window must be 1..60000 milliseconds: 0"},
    };
    sim::SimOptions options;
    options.node = 5;
    sim::MeterSimulator meter(options);
    ASSERT_TRUE(meter.Start()) << meter.Error();
    test::TempDir dir;
    for (const Case& c : cases) {
        std::vector<std::string> args{"COM1", "--scan"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(args[3]);
        test::LoggerProcess probe(args, test::LoggerEnvironment(dir.path(), meter.DevicePath()),
                                  ProbeProgram());
        ASSERT_TRUE(probe.started());
        EXPECT_EQ(probe.Wait(30s), c.exit) << probe.Output() << probe.Errors();
        const std::string& text = c.exit == 0 ? probe.Output() : probe.Errors();
        EXPECT_NE(text.find(c.out), std::string::npos) << text;
        // Not a terminal: no progress line.
        EXPECT_EQ(probe.Errors().find("Scanning"), std::string::npos);
    }
}

} // namespace
} // namespace zentra

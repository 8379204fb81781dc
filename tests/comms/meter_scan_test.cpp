// Finding the meters: a scan of a few nodes against the simulated meter at node 5.
#include "comms/meter_scan.h"
#include "comms/modbus_client.h"
#include "comms/serial_link.h"
#include "tests/support/sim_port.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <vector>

namespace zentra {
namespace {

using namespace std::chrono_literals;

struct ScanCase {
    const char* what;
    sim::SimFaults faults;
    std::int32_t order;
    std::vector<std::string> lines; // what the scan of nodes 3..7 finds
    int meters;
};

class Scan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(Scan, FindsWhatAnswersOnNodesThreeToSeven) {
    const ScanCase& c = GetParam();
    test::ScopedPortMap ports;
    sim::SimOptions options;
    options.node = 5;
    options.faults = c.faults;
    sim::MeterSimulator simulator(options);
    ASSERT_TRUE(simulator.Start()) << simulator.Error();
    ports.Assign(1, simulator.DevicePath());
    CommSettings settings;
    PortAvailability available;
    available.fill(true);
    PortHandle held = kInvalidPort;
    PortHandle port = OpenPort(settings, available, held);
    ASSERT_NE(port, kInvalidPort) << LastOpenFailure();

    // The default window: a shorter one could run two requests together on a loaded
    // machine, where the simulator would see one damaged frame.
    MeterScan scan(port, 3, 7, c.order);
    EXPECT_EQ(scan.Total(), 5);
    std::vector<std::string> lines;
    std::vector<int> asked;
    while (!scan.Done()) {
        asked.push_back(scan.NextNode());
        if (const auto hit = scan.Step())
            lines.push_back(ScanHitLine(*hit));
    }
    EXPECT_EQ(asked, (std::vector<int>{3, 4, 5, 6, 7}));
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(scan.MetersFound(), c.meters);
    EXPECT_EQ(scan.Asked(), 5);
    EXPECT_FALSE(scan.Step()) << "nothing once done";
    ClosePort(port);
    simulator.Stop();
}

INSTANTIATE_TEST_SUITE_P(
    Meters, Scan,
    ::testing::Values(
        ScanCase{"answers", {}, BigEndian,
                 {"node 5: model 760, version 1.010, serial 1234560042, float order plausible"}, 1},
        ScanCase{"another float order",
                 {},
                 LittleEndian,
                 {"node 5: model 0, version -0.000, serial 0000000000, float order not plausible"},
                 1},
        ScanCase{"an exception", {.exceptionCode = 1}, BigEndian,
                 {"node 5: answers with exception 1 (not this kind of meter)"}, 0},
        ScanCase{"silent", {.dropEvery = 1}, BigEndian, {}, 0},
        ScanCase{"a bad CRC", {.corruptCrc = true}, BigEndian, {}, 0},
        // A slave answering in another's name is not the node asked.
        ScanCase{"answers as node 9", {.answerAsNode = 9}, BigEndian, {}, 0}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(ScanRange, NodesAreClampedToTheUnicastRange) {
    const MeterScan all(kInvalidPort, 0, 300, BigEndian);
    EXPECT_EQ(all.NextNode(), 1);
    EXPECT_EQ(all.Total(), 247);
}

} // namespace
} // namespace zentra

// Which device each COM name stands for.
#include "platform/serial_ports.h"
#include "tests/support/sim_port.h"

#include <gtest/gtest.h>

namespace zentra::platform {
namespace {

using test::ScopedEnv;

class PortMap : public ::testing::Test {
  protected:
    PortMap() {
        SetDeviceScan([this] { return found; });
    }
    ~PortMap() override { SetPortMapLookup({}); }

    test::ScopedPortMap clean; // no ZENTRA_COMn, no user map, no real devices
    std::vector<std::string> found;
};

TEST(ComNumber, OnlyTheNineNames) {
    EXPECT_EQ(ComNumber("COM1"), 1);
    EXPECT_EQ(ComNumber("COM9"), 9);
    for (const char* other : {"COM0", "COM10", "com1", ""})
        EXPECT_EQ(ComNumber(other), 0) << other;
}

TEST_F(PortMap, NothingFoundMeansNoDevices) {
    for (const auto& device : PortDeviceTable())
        EXPECT_FALSE(device);
    for (const int n : {1, 0, 10})
        EXPECT_FALSE(PortDevicePath(n)) << n;
}

TEST_F(PortMap, FoundDevicesFillTheNamesInOrder) {
    found = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0"};
    EXPECT_EQ(PortDevicePath(1), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(2), "/dev/ttyUSB1");
    EXPECT_EQ(PortDevicePath(3), "/dev/ttyACM0");
    EXPECT_FALSE(PortDevicePath(4));
}

TEST_F(PortMap, EnvironmentThenUserMapThenFoundDevices) {
    found = {"/dev/ttyUSB0", "/dev/ttyUSB1"};
    ScopedEnv com1("ZENTRA_COM1", "/tmp/sim-link");
    ScopedEnv com3("ZENTRA_COM3", ""); // set but empty: no device for COM3
    SetPortMapLookup([](int n) -> std::optional<std::string> {
        if (n == 1)
            return "/dev/ignored"; // the environment wins
        if (n == 4)
            return "/dev/ttyUSB1"; // named by the user, so not handed out again
        return std::nullopt;
    });
    const auto table = PortDeviceTable();
    EXPECT_EQ(table[0], "/tmp/sim-link");
    EXPECT_EQ(table[1], "/dev/ttyUSB0");
    EXPECT_FALSE(table[2]);
    EXPECT_EQ(table[3], "/dev/ttyUSB1");
    EXPECT_FALSE(table[4]);
}

} // namespace
} // namespace zentra::platform

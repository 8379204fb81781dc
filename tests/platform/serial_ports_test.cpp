// Which device each COM name stands for.
#include "platform/serial_ports.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace zentra::platform {
namespace {

using test::ScopedEnv;

// Clears every ZENTRA_COMn and replaces device detection for the test's lifetime.
class PortMap : public ::testing::Test {
  protected:
    PortMap() {
        for (int n = 1; n <= kComPortCount; ++n)
            env_.push_back(std::make_unique<ScopedEnv>(Name(n).c_str(), nullptr));
        SetDeviceScan([this] { return found; });
    }
    ~PortMap() override {
        SetDeviceScan({});
        SetPortMapLookup({});
    }
    static std::string Name(int n) { return "ZENTRA_COM" + std::to_string(n); }

    std::vector<std::string> found;
    std::vector<std::unique_ptr<ScopedEnv>> env_;
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
    EXPECT_FALSE(PortDevicePath(1));
    EXPECT_FALSE(PortDevicePath(0));
    EXPECT_FALSE(PortDevicePath(10));
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

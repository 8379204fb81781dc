// The user's port map in the settings store, as the serial layer sees it.
#include "document/port_map.h"

#include "platform/serial_ports.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zentra {
namespace {

class PortMap : public ::testing::Test {
  protected:
    PortMap() {
        platform::SetDeviceScan([] { return std::vector<std::string>{"/dev/ttyUSB0"}; });
        InstallPortMap();
    }
    ~PortMap() override {
        platform::SetPortMapLookup({});
        platform::SetDeviceScan({});
    }

    test::ScopedUserFolders folders_;
    test::ScopedEnv com1_{"ZENTRA_COM1", nullptr};
    test::ScopedEnv com2_{"ZENTRA_COM2", nullptr};
    test::ScopedEnv com3_{"ZENTRA_COM3", nullptr};
};

TEST_F(PortMap, StoredDevicesComeAfterTheEnvironmentAndBeforeDetection) {
    EXPECT_EQ(platform::PortDevicePath(1), "/dev/ttyUSB0"); // nothing stored: detection
    ASSERT_TRUE(StorePortDevice(2, "/dev/pts/7"));
    ASSERT_TRUE(StorePortDevice(3, std::string())); // COM3 stands for no device
    EXPECT_EQ(StoredPortDevice(2), "/dev/pts/7");
    EXPECT_EQ(platform::PortDevicePath(2), "/dev/pts/7"); // read at once, no reinstall
    EXPECT_EQ(platform::PortDevicePath(3), std::nullopt);
    EXPECT_EQ(platform::PortDevicePath(1), "/dev/ttyUSB0");

    test::ScopedEnv override("ZENTRA_COM2", "/dev/pts/9");
    EXPECT_EQ(platform::PortDevicePath(2), "/dev/pts/9");
}

TEST_F(PortMap, RemovingAndRefusingEntries) {
    ASSERT_TRUE(StorePortDevice(2, "/dev/pts/7"));
    ASSERT_TRUE(StorePortDevice(2, std::nullopt));
    EXPECT_EQ(StoredPortDevice(2), std::nullopt);

    EXPECT_FALSE(StorePortDevice(0, "/dev/pts/1"));
    EXPECT_FALSE(StorePortDevice(10, "/dev/pts/1"));
    EXPECT_FALSE(StorePortDevice(4, "pts/1"));                   // relative
    EXPECT_FALSE(StorePortDevice(4, std::string("/dev\0x", 6))); // embedded NUL
    EXPECT_FALSE(StorePortDevice(4, "/dev/pts/1\n"));
    EXPECT_EQ(StoredPortDevice(4), std::nullopt);
    EXPECT_EQ(StoredPortDevice(0), std::nullopt);
}

} // namespace
} // namespace zentra

#include "tests/support/sim_port.h"

#include "platform/serial_ports.h"

namespace zentra::test {

namespace {
std::string EnvName(int n) {
    return "ZENTRA_COM" + std::to_string(n);
}
} // namespace

ScopedPortMap::ScopedPortMap() {
    for (int n = 1; n <= platform::kComPortCount; ++n)
        env_.push_back(std::make_unique<ScopedEnv>(EnvName(n).c_str(), nullptr));
    platform::SetDeviceScan([] { return std::vector<std::string>{}; });
    platform::SetPortMapLookup({});
}

ScopedPortMap::~ScopedPortMap() {
    platform::SetDeviceScan({});
    while (!env_.empty())
        env_.pop_back(); // newest first, so each restores what it found
}

void ScopedPortMap::Assign(int comNumber, const std::string& path) {
    env_.push_back(std::make_unique<ScopedEnv>(EnvName(comNumber).c_str(), path.c_str()));
}

} // namespace zentra::test

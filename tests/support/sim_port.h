// Port mapping for tests: no ZENTRA_COMn from the outside and no real serial devices,
// only the devices a test assigns (a simulator's or a pseudo-terminal's slave side).
#pragma once

#include "tests/support/test_support.h"

#include <memory>
#include <string>
#include <vector>

namespace zentra::test {

class ScopedPortMap {
  public:
    ScopedPortMap();
    ~ScopedPortMap();
    ScopedPortMap(const ScopedPortMap&) = delete;
    ScopedPortMap& operator=(const ScopedPortMap&) = delete;

    // COMn stands for path until the map is destroyed.
    void Assign(int comNumber, const std::string& path);

  private:
    std::vector<std::unique_ptr<ScopedEnv>> env_;
};

} // namespace zentra::test

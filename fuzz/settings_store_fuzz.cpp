// Fuzz target: the settings-store reader (see settings_store_harness.h). The store
// lives in a private folder on a memory file system when there is one.
#include "fuzz/graph_readers.h"
#include "fuzz/settings_store_harness.h"
#include "platform/clock.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {
std::string* gStoreFolder = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    gStoreFolder = new std::string((base / ("zentra-fuzz-" + std::to_string(getpid()))).string());
    fs::create_directories(*gStoreFolder + "/config", ec);
    fs::create_directories(*gStoreFolder + "/state", ec);
    setenv("XDG_CONFIG_HOME", (*gStoreFolder + "/config").c_str(), 1);
    setenv("XDG_STATE_HOME", (*gStoreFolder + "/state").c_str(), 1);
    setenv("TZ", "Europe/London", 1);
    zentra::platform::SetClock([] { return zentra::platform::TimeSeconds{1'357'394'589}; });
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(*gStoreFolder, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zentra::fuzz::RunSettingsStore(data, size);
    zentra::fuzz::ReadGraphs(*zentra::fuzz::TheSettingsState().doc, static_cast<unsigned>(size));
    return 0;
}

// The graph model over every document the fuzz targets keep: project files (seeds and
// inputs that once failed) and new documents made from settings-store inputs.
#include "fuzz/graph_readers.h"
#include "fuzz/project_file_harness.h"
#include "fuzz/replay.h"
#include "fuzz/settings_store_harness.h"
#include "platform/clock.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zentra {
namespace {

namespace fs = std::filesystem;

fs::path FuzzFolder() {
    return fs::path(ZENTRA_SOURCE_DIR) / "fuzz";
}

TEST(FuzzRegression, GraphModelReadsEveryKeptDocument) {
    const test::ScopedUserFolders folders;
    const platform::ManualClock clock{1'357'394'589};
    const auto files = fuzz::KeptInputs(FuzzFolder(), "fuzz_project_file");
    const auto stores = fuzz::KeptInputs(FuzzFolder(), "fuzz_settings_store");
    ASSERT_FALSE(files.empty()) << FuzzFolder();
    ASSERT_FALSE(stores.empty());
    for (const auto& input : files) {
        SCOPED_TRACE(input.name);
        CZentraDoc& doc = fuzz::RunProjectFile(input.bytes.data(), input.bytes.size());
        fuzz::ReadGraphs(doc, fuzz::PickFrom(input.bytes.data(), input.bytes.size()));
    }
    for (const auto& input : stores) {
        SCOPED_TRACE(input.name);
        fuzz::RunSettingsStore(input.bytes.data(), input.bytes.size());
        fuzz::ReadGraphs(*fuzz::TheSettingsState().doc, static_cast<unsigned>(input.bytes.size()));
    }
}

} // namespace
} // namespace zentra

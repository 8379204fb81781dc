// The configuration reader's kept fuzz inputs replayed through its harness: each one
// is read or refused with the file's name, and its promises hold.
#include "fuzz/replay.h"
#include "fuzz/site_config_harness.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zentra {
namespace {

TEST(FuzzRegression, KeptConfigurationFilesAreReadOrRefusedByName) {
    const auto inputs =
        fuzz::KeptInputs(std::filesystem::path(ZENTRA_SOURCE_DIR) / "fuzz", "fuzz_site_config");
    ASSERT_GE(inputs.size(), 4u);
    int read = 0;
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name);
        EXPECT_TRUE(fuzz::RunSiteConfig(input.bytes.data(), input.bytes.size()));
        const std::string_view text(reinterpret_cast<const char*>(input.bytes.data()),
                                    input.bytes.size());
        read += logger::ParseSiteConfig(text, "site.toml").plan.has_value() ? 1 : 0;
    }
    EXPECT_GE(read, 2); // the seeds that are whole sites
}

} // namespace
} // namespace zentra

// The data-table fuzz target's kept inputs (seed corpus and the inputs that once
// failed) replayed through its harness: every table it lays out has the lines, rows
// and number texts the harness checks.
#include "fuzz/data_table_harness.h"
#include "fuzz/replay.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zentra {
namespace {

namespace fs = std::filesystem;

TEST(FuzzRegression, DataTableInputsLayOutWellFormedTables) {
    const platform::ManualClock clock{1'357'394'589};
    const fs::path fuzzFolder = fs::path(ZENTRA_SOURCE_DIR) / "fuzz";
    const auto inputs = fuzz::KeptInputs(fuzzFolder, "fuzz_data_table");
    ASSERT_GE(inputs.size(), 8u) << fuzzFolder;
    int withRows = 0;
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name);
        const CZentraDoc& doc = fuzz::RunDataTable(input.bytes.data(), input.bytes.size());
        withRows += doc.m_DataViewTop == 0 && doc.m_SampleCount > 0 ? 1 : 0;
    }
    EXPECT_GT(withRows, 0); // the seeds show sample rows, not only empty pages
}

} // namespace
} // namespace zentra

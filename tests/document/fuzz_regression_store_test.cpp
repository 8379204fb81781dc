// What the fuzz targets of the project-file reader, the settings-store reader and the
// CSV text keep (seed corpora and the inputs that once failed), replayed through their
// harnesses; and the fault the settings-store target found, as a plain case: values
// from the store were taken unbounded into every new document.
#include "document/project_file.h"
#include "document/reg_funcs.h"
#include "document/registry_defaults.h"
#include "fuzz/csv_export_harness.h"
#include "fuzz/project_file_harness.h"
#include "fuzz/replay.h"
#include "fuzz/settings_store_harness.h"
#include "platform/clock.h"
#include "records/graph_record.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <limits>

namespace zentra {
namespace {

namespace fs = std::filesystem;

fs::path FuzzFolder() {
    return fs::path(ZENTRA_SOURCE_DIR) / "fuzz";
}

class FuzzRegression : public ::testing::Test {
  protected:
    const test::ScopedUserFolders folders_;
    platform::ManualClock clock_{1'357'394'589};
};

TEST_F(FuzzRegression, ProjectFileInputsReadAndReadBack) {
    const auto inputs = fuzz::KeptInputs(FuzzFolder(), "fuzz_project_file");
    ASSERT_GE(inputs.size(), 5u) << FuzzFolder();
    bool sawSamples = false;
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name);
        const CZentraDoc& doc = fuzz::RunProjectFile(input.bytes.data(), input.bytes.size());
        EXPECT_GE(doc.m_SampleCount, 0);
        EXPECT_LE(doc.m_SampleCount, kMaxSamples);
        sawSamples = sawSamples || doc.m_SampleCount > 0;
    }
    EXPECT_TRUE(sawSamples); // the seeds hold logged projects, not only empty ones
}

// The target reads the store in memory and over a document it reuses; a new document
// reading the same values from the folder tree must come out the same.
TEST_F(FuzzRegression, SettingsStoreInputsReadAndReadBackAsFromTheFolderTree) {
    const auto inputs = fuzz::KeptInputs(FuzzFolder(), "fuzz_settings_store");
    ASSERT_GE(inputs.size(), 6u) << FuzzFolder();
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name);
        const CZentraDoc& fast = fuzz::RunSettingsStore(input.bytes.data(), input.bytes.size());
        const test::ScopedUserFolders tree;
        fuzz::WriteRecords(input.bytes.data(), input.bytes.size());
        auto doc = std::make_unique<CZentraDoc>();
        doc->OnNewDocument();
        EXPECT_TRUE(fuzz::SameStoredFields(fast, *doc));
    }
}

TEST_F(FuzzRegression, CsvExportInputsWriteWellFormedText) {
    const auto inputs = fuzz::KeptInputs(FuzzFolder(), "fuzz_csv_export");
    ASSERT_GE(inputs.size(), 5u) << FuzzFolder();
    bool sawRows = false;
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name);
        const CZentraDoc& doc = fuzz::RunCsvExport(input.bytes.data(), input.bytes.size());
        sawRows = sawRows || doc.m_SampleCount > 0;
    }
    EXPECT_TRUE(sawRows);
}

template <typename T> void Store(const RegKey& key, std::string_view name, T value) {
    const auto bytes = std::bit_cast<std::array<std::uint8_t, sizeof(T)>>(value);
    ASSERT_TRUE(RegFuncs().SetValue(key, name, bytes));
}

TEST_F(FuzzRegression, StoredDefaultsOutOfRangeAreBoundedLikeAFile) {
    const RegFuncs reg;
    const RegKey project = reg.OpenKey(kProjectSettingsKey);
    Store(project, "Period", std::int32_t{-3});
    Store(project, "PeriodMultiplier", std::int32_t{0});
    Store(project, "DurationMultiplier", std::int32_t{5});
    Store(project, "Samples", std::int32_t{99'999});
    Store(project, "Show", std::uint8_t{7});
    const RegKey graph = reg.OpenKey(GraphKeyPath(2));
    Store(graph, "Scale-X", std::int32_t{0});
    Store(graph, "Scale-Y", std::int32_t{-8});
    Store(graph, "TickLength-X", std::numeric_limits<double>::quiet_NaN());
    const std::array<std::int32_t, 3> colours{77, -1, 2};
    ASSERT_TRUE(
        reg.SetValue(graph, "Line Colour", std::bit_cast<std::array<std::uint8_t, 12>>(colours)));
    const std::array<std::int32_t, 3> sources{999, -4, 3};
    ASSERT_TRUE(
        reg.SetValue(graph, "Associations", std::bit_cast<std::array<std::uint8_t, 12>>(sources)));
    const RegKey ini = reg.OpenKey(kIniKey);
    Store(ini, "ModbusNode", std::numeric_limits<double>::infinity());

    auto doc = std::make_unique<CZentraDoc>();
    doc->OnNewDocument();
    EXPECT_EQ(doc->m_Period, 1);
    EXPECT_EQ(doc->m_PeriodMultiplier, 1);
    EXPECT_EQ(doc->m_DurationMultiplier, 1);
    EXPECT_EQ(doc->m_Samples, 99'999); // a planned count is taken as stored
    EXPECT_EQ(doc->m_ShowProject, 1);
    EXPECT_EQ(doc->m_ModbusNode, 1.0);
    const Graph& g = doc->m_Graphs[1];
    EXPECT_EQ(g.m_ScaleX, 1);
    EXPECT_EQ(g.m_ScaleY, 1);
    EXPECT_TRUE(std::isfinite(g.m_TickLengthX));
    EXPECT_EQ(g.m_LineColour, (std::array<std::int32_t, 3>{0, 0, 2}));
    // Sources are taken as stored; their use guards them.
    EXPECT_EQ(g.m_Associations, (std::array<std::int32_t, 3>{999, -4, 3}));
    // Values in range are taken as they were stored.
    EXPECT_EQ(doc->m_Graphs[0].m_ScaleX, 20);
    doc->m_Comms = {}; // keep the stored link as it is when the document goes
    doc->m_ModbusNode = 1.0;
}

} // namespace
} // namespace zentra

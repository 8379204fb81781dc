// Values are taken as stored: a project file that holds what this program or another
// writer of the format legitimately keeps (either meter family's trace sources, a
// data-table page far down, a long way back in the history, infinite readings) opens
// and saves back to the same bytes, except what reading a file always clears.
#include "document/project_file.h"

#include "platform/clock.h"
#include "tests/document/document_test_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <limits>

namespace zentra {
namespace {

using namespace test;

// File offsets of the layout, written out independently of the production code.
constexpr std::size_t kGraphs = 3376;
constexpr std::size_t kGraphSize = 728;
constexpr std::size_t kPortSetUp = 12175 + 72;
constexpr std::size_t kSystemVoltage = 12251 + 24;
constexpr std::size_t kSystemType = 12251 + 256;
constexpr std::size_t kSampleCount = 12515 + 64;
constexpr std::size_t kDataViewTop = 12515 + 68;
constexpr std::size_t kSamples = 12587;
constexpr std::size_t kPlannedSamples = 3232;
constexpr std::size_t kFinished = 3370;

void PutSources(Bytes& b, int graph, std::int32_t a, std::int32_t c, std::int32_t d) {
    const std::size_t at = kGraphs + static_cast<std::size_t>(graph) * kGraphSize + 84;
    PutI32(b, at, a);
    PutI32(b, at + 4, c);
    PutI32(b, at + 8, d);
}

class ValuesAsStored : public ::testing::TestWithParam<std::int32_t> {
  protected:
    const test::ScopedUserFolders folders_; // a document writes the serial link at its end
    const platform::ManualClock clock_{1'357'394'589};
    const test::TempDir dir_;
};

TEST_P(ValuesAsStored, AFileOpensAndSavesBackToItsOwnBytes) {
    Bytes image = StoreImage(*NewDocument());
    ASSERT_EQ(image[kFinished], 1); // so that saving keeps the end time
    PutI32(image, kSystemType, GetParam());
    // The reduced family's graph set-up, whichever family the file's meter is: defaults
    // stored on a variant 3 meter and read into a variant 1 document keep it.
    PutSources(image, 1, 14, 23, 25);
    PutSources(image, 2, 38, 41, 49);
    PutSources(image, 3, 24, 50, -7); // values no page offers: the use guards them
    PutI32(image, kDataViewTop, 500); // Page Down has no end
    // Graph 1 browsed two million samples back: its left edge follows from that.
    const std::size_t g1 = kGraphs;
    PutI32(image, g1 + 696, -2'000'000);
    PutI32(image, g1 + 700, 100);
    PutI32(image, g1 + 692, 100 - 2'000'000 - 20);
    PutI32(image, kPlannedSamples, 65'535); // from a two-byte "Samples" default
    PutI32(image, kSampleCount, 2);
    PutF64(image, kSamples + 8, std::numeric_limits<double>::infinity());
    PutF64(image, kSamples + 200 + 16, -std::numeric_limits<double>::infinity());
    PutF64(image, kSystemVoltage, std::numeric_limits<double>::infinity());
    // What reading a file clears.
    PutI32(image, kPortSetUp, 1);
    for (std::size_t k = 0; k < 12; ++k)
        image[kGraphs + k * kGraphSize + 33] = 1; // m_RealTime
    WriteBytes(dir_.File("in.ztr"), image);

    {
        auto doc = std::make_unique<CZentraDoc>();
        ASSERT_TRUE(OnOpenDocument(*doc, dir_.File("in.ztr")).ok);
        ASSERT_TRUE(OnSaveDocument(*doc, dir_.File("out.ztr")).ok);
    }
    Bytes expected = image;
    PutI32(expected, kPortSetUp, 0);
    for (std::size_t k = 0; k < 12; ++k)
        expected[kGraphs + k * kGraphSize + 33] = 0;
    const Bytes saved = ReadBytes(dir_.File("out.ztr"));
    ASSERT_EQ(saved.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(saved[i], expected[i]) << "first difference at byte " << i;
}

INSTANTIATE_TEST_SUITE_P(BothMeterFamilies, ValuesAsStored, ::testing::Values(3, 1),
                         [](const auto& info) { return "Variant" + std::to_string(info.param); });

} // namespace
} // namespace zentra

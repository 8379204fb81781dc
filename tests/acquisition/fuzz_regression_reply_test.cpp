// The reply-path fuzz target's kept inputs replayed through its harness: the client's
// own steps and a whole tick filing into a document.
#include "fuzz/replay.h"
#include "fuzz/reply_harness.h"
#include "platform/clock.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace zentra {
namespace {

namespace fs = std::filesystem;

TEST(FuzzRegression, KeptRepliesAreFiledOrCountedAsMissing) {
    const test::ScopedUserFolders folders;
    const platform::ManualClock clock{1'357'394'589};
    const fs::path fuzzFolder = fs::path(ZENTRA_SOURCE_DIR) / "fuzz";
    const auto inputs = fuzz::KeptInputs(fuzzFolder, "fuzz_reply");
    ASSERT_GE(inputs.size(), 8u) << fuzzFolder;
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name);
        fuzz::RunReply(input.bytes.data(), input.bytes.size());
        // Every set-up byte value, on the same reply.
        auto bytes = input.bytes;
        for (int a = 0; a < 256 && bytes.size() >= 2; a += 17) {
            bytes[0] = static_cast<std::uint8_t>(a);
            bytes[1] = static_cast<std::uint8_t>(255 - a);
            fuzz::RunReply(bytes.data(), bytes.size());
        }
    }
    // The captured readings reply as it came, with logging on: filed in the ring and
    // logged as the first record.
    const auto readings = std::find_if(inputs.begin(), inputs.end(),
                                       [](const auto& i) { return i.name == "corpus/readings"; });
    ASSERT_NE(readings, inputs.end());
    fuzz::RunReply(readings->bytes.data(), readings->bytes.size());
    const CZentraDoc& doc = *fuzz::TheReplyState().doc;
    EXPECT_EQ(doc.m_SampleCount, 1);
    EXPECT_EQ(doc.m_LiveIndex, 1);
    EXPECT_GT(doc.m_LiveValues[0][1], 100.0); // a voltage
    EXPECT_GT(doc.m_SampleValues[0][1], 100.0);
}

} // namespace
} // namespace zentra

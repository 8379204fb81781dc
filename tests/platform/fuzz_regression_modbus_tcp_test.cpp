// The Modbus TCP fuzz target's kept inputs replayed through its harness, with every
// room the caller may give; and the seed that holds a stale reply before the current
// one yields the current one.
#include "fuzz/modbus_tcp_harness.h"
#include "fuzz/replay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace zentra {
namespace {

TEST(FuzzRegression, KeptGatewayBurstsKeepTheConversionsPromises) {
    const auto inputs =
        fuzz::KeptInputs(std::filesystem::path(ZENTRA_SOURCE_DIR) / "fuzz", "fuzz_modbus_tcp");
    ASSERT_GE(inputs.size(), 10u);
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name);
        auto bytes = input.bytes;
        EXPECT_TRUE(fuzz::RunModbusTcp(bytes.data(), bytes.size()));
        EXPECT_TRUE(fuzz::RunModbusTcpAwaited(bytes.data(), bytes.size()));
        for (int room = 0; room < 256 && bytes.size() >= 3; room += 15) {
            bytes[2] = static_cast<std::uint8_t>(room);
            EXPECT_TRUE(fuzz::RunModbusTcp(bytes.data(), bytes.size())) << "room " << room;
            EXPECT_TRUE(fuzz::RunModbusTcpAwaited(bytes.data(), bytes.size())) << "room " << room;
        }
    }
    const auto both = std::find_if(inputs.begin(), inputs.end(), [](const auto& i) {
        return i.name == "corpus/stale-then-current";
    });
    ASSERT_NE(both, inputs.end());
    std::vector<std::uint8_t> out(1000);
    const auto& b = both->bytes;
    const std::size_t got = platform::MbapToRtu(b.data() + 3, b.size() - 3, 7, out.data(), 1000);
    ASSERT_EQ(got, 3u + 4 * 48 + 2); // the readings reply, not the information one before it
    EXPECT_EQ(out[1], 4);
}

} // namespace
} // namespace zentra

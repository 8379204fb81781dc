// A stored value one byte longer than the field it is read into is refused, not cut.
#include "platform/settings_tree.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace zentra {
namespace {

TEST(SettingsTree, AValueLargerThanItsFieldIsRefusedOneThatFitsIsRead) {
    test::ScopedUserFolders folders;
    const auto key = platform::OpenSettingsKey("Software\\Corvane\\Zentra\\Limit");
    ASSERT_TRUE(key);
    const std::vector<std::uint8_t> bytes(77, 0x5A);
    ASSERT_TRUE(platform::WriteSettingsValue(*key, "CommsSettings", bytes));
    EXPECT_FALSE(platform::ReadSettingsValue(*key, "CommsSettings", 76)); // one byte too many
    const auto whole = platform::ReadSettingsValue(*key, "CommsSettings", 77);
    ASSERT_TRUE(whole);
    EXPECT_EQ(*whole, bytes);
}

} // namespace
} // namespace zentra

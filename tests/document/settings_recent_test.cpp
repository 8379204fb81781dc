// The recent-file list in the settings store.
#include "document/recent_files.h"

#include "document/reg_funcs.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zentra {
namespace {

using Files = std::vector<std::string>;

TEST(RecentFiles, NewestFirstWithoutRepeatsAndAtMostTen) {
    test::ScopedUserFolders folders;
    RecentFileList list;
    list.Load();
    EXPECT_TRUE(list.Files().empty());
    for (int i = 1; i <= 12; ++i)
        ASSERT_TRUE(list.Add("/data/p" + std::to_string(i) + ".ztr"));
    ASSERT_EQ(list.Files().size(), kRecentFileCount);
    EXPECT_EQ(list.Files().front(), "/data/p12.ztr");
    EXPECT_EQ(list.Files().back(), "/data/p3.ztr");

    ASSERT_TRUE(list.Add("/data/p5.ztr")); // moves up, no duplicate
    EXPECT_EQ(list.Files().front(), "/data/p5.ztr");
    EXPECT_EQ(list.Files().size(), kRecentFileCount);
    ASSERT_TRUE(list.Remove("/data/p12.ztr"));
    EXPECT_FALSE(list.Add(""));

    RecentFileList reloaded;
    reloaded.Load();
    EXPECT_EQ(reloaded.Files(), list.Files());
    EXPECT_EQ(reloaded.Files().size(), 9u);
    // The removed entry's slot is gone from the store, not left stale.
    const std::filesystem::path key =
        std::filesystem::path(folders.ConfigHome()) / "Software/Corvane/Zentra/Recent File List";
    EXPECT_TRUE(std::filesystem::exists(key / "File9"));
    EXPECT_FALSE(std::filesystem::exists(key / "File10"));
}

TEST(RecentFiles, DamagedEntriesAreSkippedOnLoading) {
    test::ScopedUserFolders folders;
    const RegFuncs reg;
    const RegKey key = reg.OpenKey(kRecentFileKey);
    const std::vector<std::uint8_t> a{'/', 'a'};
    const std::vector<std::uint8_t> withNul{'/', 0, 'b'};
    ASSERT_TRUE(reg.SetValue(key, "File1", a));
    ASSERT_TRUE(reg.SetValue(key, "File2", std::span<const std::uint8_t>()));
    ASSERT_TRUE(reg.SetValue(key, "File3", withNul));
    ASSERT_TRUE(reg.SetValue(key, "File4", a));
    ASSERT_TRUE(
        reg.SetValue(key, "File6", std::vector<std::uint8_t>(kRecentPathCapacity + 1, 'x')));
    ASSERT_TRUE(reg.SetValue(key, "File7", std::vector<std::uint8_t>{'/', 'c'}));
    RecentFileList list;
    list.Load();
    EXPECT_EQ(list.Files(), (Files{"/a", "/c"}));
}

} // namespace
} // namespace zentra

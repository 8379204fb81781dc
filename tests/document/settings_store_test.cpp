// The folder-tree settings store and RegFuncs' value semantics.
#include "document/reg_funcs.h"
#include "platform/settings_tree.h"
#include "tests/document/document_test_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace zentra {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::ReadBytes;

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

class SettingsStore : public ::testing::Test {
  protected:
    test::ScopedUserFolders folders;
    const RegFuncs reg{};
};

TEST_F(SettingsStore, KeyPathsBecomeFoldersUnderTheConfigHome) {
    const RegKey key = reg.OpenKey("Software\\Corvane\\Zentra\\Settings\\GraphicalData\\Graph3");
    ASSERT_TRUE(key);
    const fs::path expected =
        fs::path(folders.ConfigHome()) / "Software/Corvane/Zentra/Settings/GraphicalData/Graph3";
    EXPECT_EQ(key->folder, expected);
    EXPECT_TRUE(fs::is_directory(expected));
    EXPECT_TRUE(FolderEntries(expected).empty()); // created without values

    const std::array<std::uint8_t, 3> bytes{0x00, 0xFF, 0x0A};
    ASSERT_TRUE(reg.SetValue(key, "Nominal Y Reading", bytes));
    EXPECT_EQ(ReadBytes(expected / "Nominal Y Reading"), Bytes(bytes.begin(), bytes.end()));
}

TEST_F(SettingsStore, FallsBackToDotConfigInHomeWithoutXdgConfigHome) {
    test::TempDir home;
    test::ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    test::ScopedEnv homeVar("HOME", home.path().c_str());
    EXPECT_EQ(platform::SettingsRoot(), fs::path(home.path()) / ".config");
    test::ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(platform::SettingsRoot(), fs::path(home.path()) / ".config");
}

TEST_F(SettingsStore, RefusesKeysAndNamesThatWouldLeaveTheTree) {
    EXPECT_FALSE(reg.OpenKey("Software\\..\\..\\etc"));
    EXPECT_FALSE(reg.OpenKey("Software\\a/b"));
    EXPECT_FALSE(reg.OpenKey(""));
    EXPECT_FALSE(reg.OpenKey("\\\\"));
    const RegKey key = reg.OpenKey("\\Software\\\\Corvane\\"); // empty parts are ignored
    ASSERT_TRUE(key);
    EXPECT_EQ(key->folder, fs::path(folders.ConfigHome()) / "Software/Corvane");

    const std::array<std::uint8_t, 1> one{1};
    EXPECT_FALSE(reg.SetValue(key, "../escape", one));
    EXPECT_FALSE(reg.SetValue(key, "..", one));
    EXPECT_FALSE(reg.SetValue(key, "", one));
    EXPECT_FALSE(reg.SetValue(std::nullopt, "Show", one)); // a null key writes nothing
    EXPECT_FALSE(fs::exists(fs::path(folders.ConfigHome()) / "Software/escape"));
}

TEST_F(SettingsStore, GetValueTakesOnlyValuesThatFitAndKeepsTheRestOfTheField) {
    const RegKey key = reg.OpenKey("Software\\Corvane\\Zentra\\Test");
    ASSERT_TRUE(key);
    std::array<std::uint8_t, 4> field{1, 2, 3, 4};

    EXPECT_FALSE(reg.GetValue(key, "Absent", field));
    EXPECT_EQ(field, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));

    const std::array<std::uint8_t, 5> larger{9, 9, 9, 9, 9};
    ASSERT_TRUE(reg.SetValue(key, "Larger", larger));
    EXPECT_FALSE(reg.GetValue(key, "Larger", field));
    EXPECT_EQ(field, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));

    const std::array<std::uint8_t, 2> shorter{7, 8};
    ASSERT_TRUE(reg.SetValue(key, "Shorter", shorter));
    EXPECT_TRUE(reg.GetValue(key, "Shorter", field));
    EXPECT_EQ(field, (std::array<std::uint8_t, 4>{7, 8, 3, 4}));

    ASSERT_TRUE(reg.SetValue(key, "Empty", std::span<const std::uint8_t>()));
    EXPECT_TRUE(reg.GetValue(key, "Empty", field));
    EXPECT_EQ(field, (std::array<std::uint8_t, 4>{7, 8, 3, 4}));

    // A key folder where a value is expected is not a value.
    ASSERT_TRUE(reg.OpenKey("Software\\Corvane\\Zentra\\Test\\Sub"));
    EXPECT_FALSE(reg.GetValue(key, "Sub", field));
}

TEST_F(SettingsStore, ValuesAreReplacedWholeAndAFailedWriteKeepsTheOldBytes) {
    const RegKey key = reg.OpenKey("Software\\Corvane\\Zentra\\ini");
    ASSERT_TRUE(key);
    const Bytes longValue(76, 0xAB);
    const Bytes shortValue{1, 2, 3};
    ASSERT_TRUE(reg.SetValue(key, "CommsSettings", longValue));
    ASSERT_TRUE(reg.SetValue(key, "CommsSettings", shortValue));
    EXPECT_EQ(ReadBytes(key->folder / "CommsSettings"), shortValue); // no tail of the old one
    EXPECT_EQ(FolderEntries(key->folder), std::vector<std::string>{"CommsSettings"});

    // The rename cannot replace a non-empty folder: the write fails, nothing changes
    // and no temporary file is left behind.
    ASSERT_TRUE(reg.OpenKey("Software\\Corvane\\Zentra\\ini\\Blocked\\Inner"));
    EXPECT_FALSE(reg.SetValue(key, "Blocked", shortValue));
    EXPECT_EQ(ReadBytes(key->folder / "CommsSettings"), shortValue);
    EXPECT_EQ(FolderEntries(key->folder).size(), 2u);

    ASSERT_TRUE(platform::DeleteSettingsValue(*key, "CommsSettings"));
    EXPECT_FALSE(fs::exists(key->folder / "CommsSettings"));
    EXPECT_TRUE(platform::DeleteSettingsValue(*key, "CommsSettings")); // already gone
}

TEST_F(SettingsStore, ABatchLandsOnlyWhenCommittedAndLeavesNoTemporaryFiles) {
    const auto key = platform::OpenSettingsKey("Software\\Corvane\\Zentra\\Batch");
    ASSERT_TRUE(key);
    const Bytes bytes{5, 0, 0, 0};
    {
        platform::SettingsWriteBatch discarded;
        ASSERT_TRUE(discarded.Add(*key, "Period", bytes));
    }
    EXPECT_TRUE(FolderEntries(key->folder).empty());

    platform::SettingsWriteBatch batch;
    ASSERT_TRUE(batch.Add(*key, "Period", bytes));
    ASSERT_TRUE(batch.Add(*key, "Samples", bytes));
    EXPECT_FALSE(batch.Add(*key, "a/b", bytes));
    EXPECT_FALSE(fs::exists(key->folder / "Period"));
    EXPECT_FALSE(batch.Commit());                        // one value was refused...
    EXPECT_EQ(ReadBytes(key->folder / "Period"), bytes); // ...the others are in place
    EXPECT_EQ(ReadBytes(key->folder / "Samples"), bytes);
    EXPECT_EQ(FolderEntries(key->folder).size(), 2u);
    EXPECT_TRUE(batch.Commit()); // an empty batch commits trivially
}

// The memory store keeps RegFuncs' value semantics and leaves the folder tree alone.
TEST_F(SettingsStore, AMemoryStoreHoldsTheSameValuesAndNothingReachesTheDisk) {
    const std::array<std::uint8_t, 2> onDisk{7, 7};
    ASSERT_TRUE(reg.SetValue(reg.OpenKey("Software\\Corvane\\Zentra\\ini"), "ModbusNode", onDisk));

    const RegKey treeKey = reg.OpenKey("Software\\Corvane\\Zentra\\ini");
    platform::MemorySettingsStore store;
    {
        const platform::ScopedMemorySettingsStore use(store);
        const RegKey key = reg.OpenKey("\\Software\\\\Corvane\\Zentra\\ini\\");
        ASSERT_TRUE(key);
        for (int again = 0; again < 2; ++again) // refused as in the tree, each time
            EXPECT_FALSE(reg.OpenKey("Software\\..\\etc"));
        std::array<std::uint8_t, 4> field{1, 2, 3, 4};
        EXPECT_FALSE(reg.GetValue(key, "ModbusNode", field)); // the disk's value is not seen
        const std::array<std::uint8_t, 2> two{0xAA, 0xBB};
        // A key of the tree opened before is refused: nothing reaches the disk.
        EXPECT_FALSE(reg.SetValue(treeKey, "ModbusNode", two));
        EXPECT_FALSE(reg.GetValue(treeKey, "ModbusNode", field));
        ASSERT_TRUE(reg.SetValue(key, "ModbusNode", two));
        ASSERT_TRUE(reg.GetValue(key, "ModbusNode", field));
        EXPECT_EQ(field, (std::array<std::uint8_t, 4>{0xAA, 0xBB, 3, 4})); // the front only
        // The same key however its path is spelt, the first time or later.
        for (const char* path :
             {"Software\\Corvane\\Zentra\\ini", "\\Software\\\\Corvane\\Zentra\\ini\\"}) {
            std::array<std::uint8_t, 2> same{};
            EXPECT_TRUE(reg.GetValue(reg.OpenKey(path), "ModbusNode", same)) << path;
            EXPECT_EQ(same, two) << path;
        }
        std::array<std::uint8_t, 1> small{9};
        EXPECT_FALSE(reg.GetValue(key, "ModbusNode", small)); // larger than the field
        EXPECT_EQ(small[0], 9);
        EXPECT_FALSE(reg.SetValue(key, "..", two));

        platform::SettingsWriteBatch batch;
        const std::array<std::uint8_t, 1> one{5};
        ASSERT_TRUE(
            reg.SetValue(reg.OpenKey("Software\\Corvane\\Zentra\\Other"), "Show", one, &batch));
        EXPECT_TRUE(batch.Commit());
        EXPECT_EQ(store.ValueCount(), 2u);
        EXPECT_EQ(store.values().at("Software\\Corvane\\Zentra\\Other").at("Show"),
                  (std::vector<std::uint8_t>{5}));
        EXPECT_TRUE(platform::DeleteSettingsValue(*key, "ModbusNode"));
        EXPECT_FALSE(platform::SettingsValueSize(*key, "ModbusNode"));
        EXPECT_TRUE(platform::DeleteSettingsValue(*key, "ModbusNode")); // gone already
    }
    // Out of its scope the folder tree is the store again, as it was.
    std::array<std::uint8_t, 2> field{};
    ASSERT_TRUE(reg.GetValue(reg.OpenKey("Software\\Corvane\\Zentra\\ini"), "ModbusNode", field));
    EXPECT_EQ(field, onDisk);
    EXPECT_FALSE(fs::exists(fs::path(folders.ConfigHome()) / "Software/Corvane/Zentra/Other"));
}

// A stored value one byte longer than the field it is read into is refused, not cut.
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

// The user's defaults: what a new document takes from the store, what "Set As
// Default" and the end of a document write.
#include "document/registry_defaults.h"

#include "comms/comm_settings.h"
#include "document/graph_defaults.h"
#include "document/reg_funcs.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "records/graph_record.h"
#include "tests/document/document_test_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <vector>

namespace zentra {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::NewDocument;

constexpr platform::TimeSeconds kMoment = 1357394589; // Sat 5 Jan 2013 14:03:09 UTC

class SettingsDefaults : public ::testing::Test {
  protected:
    fs::path Folder(std::string_view key) const {
        fs::path folder = folders_.ConfigHome();
        std::string path(key);
        for (auto& c : path)
            if (c == '\\')
                c = '/';
        return folder / path;
    }
    Bytes Stored(std::string_view key, const char* name) const {
        return test::ReadBytes(Folder(key) / name);
    }
    void Store(std::string_view key, const char* name, const Bytes& bytes) const {
        const RegFuncs reg;
        ASSERT_TRUE(reg.SetValue(reg.OpenKey(key), name, bytes));
    }
    int StoredValueCount() const {
        int count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(folders_.ConfigHome()))
            count += entry.is_regular_file() ? 1 : 0;
        return count;
    }
    // Built-in defaults only: what a new document is before the store is read.
    static std::unique_ptr<CZentraDoc> BuiltInDocument() {
        auto doc = std::make_unique<CZentraDoc>();
        doc->ResetToDefaults();
        ApplyGraphDefaults(*doc);
        return doc;
    }

    test::ScopedUserFolders folders_;
    platform::ManualClock clock_{kMoment};
};

Bytes GraphImage(const Graph& graph) {
    Bytes image(kGraphRecordSize);
    EncodeGraph(graph, image.data());
    return image;
}

Bytes CommsImage(const CommSettings& comms) {
    Bytes image(kCommSettingsSize);
    EncodeCommSettings(comms, image.data());
    return image;
}

void ExpectSameStoredFields(const CZentraDoc& a, const CZentraDoc& b) {
    EXPECT_EQ(CommsImage(a.m_Comms), CommsImage(b.m_Comms));
    EXPECT_EQ(a.m_ModbusNode, b.m_ModbusNode);
    EXPECT_EQ(a.m_ShowProject, b.m_ShowProject);
    EXPECT_EQ(a.m_Period, b.m_Period);
    EXPECT_EQ(a.m_PeriodMultiplier, b.m_PeriodMultiplier);
    EXPECT_EQ(a.m_Duration, b.m_Duration);
    EXPECT_EQ(a.m_DurationMultiplier, b.m_DurationMultiplier);
    EXPECT_EQ(a.m_Samples, b.m_Samples);
    for (int k = 0; k < kGraphCount; ++k)
        EXPECT_EQ(GraphImage(a.m_Graphs[k]), GraphImage(b.m_Graphs[k])) << "graph " << k + 1;
}

TEST_F(SettingsDefaults, EmptyStoreGivesBuiltInDefaultsAndCreatesTheKeysWithoutValues) {
    auto fresh = NewDocument();
    EXPECT_EQ(StoredValueCount(), 0);
    EXPECT_TRUE(fs::is_directory(Folder(kIniKey)));
    EXPECT_TRUE(fs::is_directory(Folder(kProjectSettingsKey)));
    EXPECT_TRUE(fs::is_directory(Folder(kGraphicalDataKey)));
    for (int n = 1; n <= kGraphCount; ++n)
        EXPECT_TRUE(fs::is_directory(Folder(GraphKeyPath(n)))) << n;
    EXPECT_FALSE(fs::exists(Folder(GraphKeyPath(13))));

    auto builtIn = BuiltInDocument();
    ExpectSameStoredFields(*fresh, *builtIn);
}

TEST_F(SettingsDefaults, SetAsDefaultAsksThenStoresRawBytesAndTheNextDocumentTakesThem) {
    test::ScriptedMessages messages;
    messages.QueueAnswer(platform::MessageAnswer::No);
    messages.QueueAnswer(platform::MessageAnswer::Yes);
    auto doc = NewDocument();
    doc->m_Period = 5;
    doc->m_PeriodMultiplier = 60;
    EXPECT_FALSE(OnSetAsDefault(*doc)); // answered No: nothing is written
    EXPECT_EQ(StoredValueCount(), 0);
    doc->m_ShowProject = 0;
    Graph& third = doc->m_Graphs[2];
    SetText(third.m_Headings[0], "kW Sum");
    third.m_ScaleX = 30;
    third.m_TickLengthX = kGridTickLength;
    third.m_RealTime = 0;
    third.m_CentreZero = 1;
    third.m_Enabled = 0; // not one of the stored fields
    ASSERT_TRUE(OnSetAsDefault(*doc));

    ASSERT_EQ(messages.shown().size(), 2u);
    EXPECT_EQ(messages.shown()[1].text, "Set the current settings as default?");
    EXPECT_EQ(messages.shown()[1].caption, "Default Settings");
    EXPECT_EQ(messages.shown()[1].buttons, platform::MessageButtons::YesNo);

    EXPECT_EQ(Stored(kProjectSettingsKey, "Period"), (Bytes{0x05, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Stored(kProjectSettingsKey, "PeriodMultiplier"), (Bytes{0x3C, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Stored(kProjectSettingsKey, "Show"), (Bytes{0x00}));
    EXPECT_EQ(Stored(kProjectSettingsKey, "Samples"), (Bytes{0xE8, 0x03, 0x00, 0x00}));
    // Every graph key holds the sixteen slices of its record, byte for byte.
    for (int k = 0; k < kGraphCount; ++k) {
        const Bytes image = GraphImage(doc->m_Graphs[k]);
        for (const GraphValue& value : kGraphValues) {
            const Bytes slice(image.begin() + value.offset,
                              image.begin() + value.offset + value.size);
            EXPECT_EQ(Stored(GraphKeyPath(k + 1), std::string(value.name).c_str()), slice)
                << "Graph" << k + 1 << " " << value.name;
        }
    }
    EXPECT_EQ(Stored(GraphKeyPath(3), "Headings").size(), 303u);
    EXPECT_EQ(Stored(GraphKeyPath(3), "Scale-X"), (Bytes{30, 0, 0, 0}));

    auto next = NewDocument();
    EXPECT_EQ(next->m_Period, 5);
    EXPECT_EQ(next->m_PeriodMultiplier, 60);
    EXPECT_EQ(next->m_ShowProject, 0);
    EXPECT_STREQ(next->m_Graphs[2].m_Headings[0].data(), "kW Sum");
    EXPECT_EQ(next->m_Graphs[2].m_ScaleX, 30);
    EXPECT_EQ(next->m_Graphs[2].m_TickLengthX, kGridTickLength);
    EXPECT_EQ(next->m_Graphs[2].m_RealTime, 0);
    EXPECT_EQ(next->m_Graphs[2].m_CentreZero, 1);
    EXPECT_EQ(next->m_Graphs[2].m_Enabled, BuiltInDocument()->m_Graphs[2].m_Enabled);
}

TEST_F(SettingsDefaults, ShorterValuesReplaceOnlyTheFirstBytesAndLargerOnesAreIgnored) {
    // Only the low half changes, even where the result is beyond what the page offers.
    Store(kProjectSettingsKey, "Samples", {0x60, 0xEA});
    Store(kProjectSettingsKey, "Period", {0x05, 0x00, 0x00, 0x00, 0x00}); // one byte too many
    Store(kIniKey, "CommsSettings", {'C', 'O', 'M', '3'});
    Store(GraphKeyPath(1), "Headings", {'V', ' ', '1', 0});
    Store(GraphKeyPath(1), "Scale-Y", {0x07});

    auto builtIn = BuiltInDocument();
    auto doc = NewDocument();
    EXPECT_EQ(doc->m_Samples, (builtIn->m_Samples & ~0xFFFF) | 0xEA60);
    EXPECT_EQ(doc->m_Period, builtIn->m_Period);
    EXPECT_STREQ(doc->m_Comms.port.data(), "COM3");
    EXPECT_STREQ(doc->m_Comms.baud.data(), "38400");
    EXPECT_STREQ(doc->m_Graphs[0].m_Headings[0].data(), "V 1");
    EXPECT_EQ(doc->m_Graphs[0].m_Headings[1], builtIn->m_Graphs[0].m_Headings[1]);
    EXPECT_EQ(doc->m_Graphs[0].m_ScaleY, (builtIn->m_Graphs[0].m_ScaleY & ~0xFF) | 0x07);
    for (int k = 1; k < kGraphCount; ++k)
        EXPECT_EQ(GraphImage(doc->m_Graphs[k]), GraphImage(builtIn->m_Graphs[k]));
}

TEST_F(SettingsDefaults, DefaultsSetOnAReducedSetMeterSurviveTheNextStartAndSetAsDefault) {
    {
        auto reduced = std::make_unique<CZentraDoc>();
        reduced->m_SystemType = 3;
        ASSERT_TRUE(reduced->OnNewDocument());
        ASSERT_TRUE(SaveRegistryDefaults(*reduced));
    }
    const auto storedGraphs = [&] {
        std::vector<Bytes> values;
        for (int n = 1; n <= kGraphCount; ++n)
            for (const GraphValue& value : kGraphValues)
                values.push_back(Stored(GraphKeyPath(n), std::string(value.name).c_str()));
        return values;
    };
    const std::vector<Bytes> first = storedGraphs();
    EXPECT_EQ(Stored(GraphKeyPath(3), "Associations"),
              (Bytes{38, 0, 0, 0, 41, 0, 0, 0, 49, 0, 0, 0}));

    // Every program start begins as variant 1.
    auto next = NewDocument();
    ASSERT_EQ(next->m_SystemType, 1);
    EXPECT_EQ(next->m_Graphs[1].m_Associations, (std::array<std::int32_t, 3>{14, 23, 25}));
    EXPECT_EQ(next->m_Graphs[2].m_Associations, (std::array<std::int32_t, 3>{38, 41, 49}));
    EXPECT_STREQ(next->m_Graphs[1].m_Headings[2].data(), "Ad");
    EXPECT_STREQ(next->m_Graphs[2].m_Headings[0].data(), "Max kWd (Imp)");
    EXPECT_STREQ(next->m_Graphs[2].m_Headings[1].data(), "Max Ad");
    EXPECT_STREQ(next->m_Graphs[2].m_Headings[2].data(), "h.p.");
    ASSERT_TRUE(SaveRegistryDefaults(*next));
    EXPECT_EQ(storedGraphs(), first);
}

TEST_F(SettingsDefaults, TheEndOfADocumentStoresTheSerialLinkAndNode) {
    {
        auto doc = NewDocument();
        SetText(doc->m_Comms.port, "COM4");
        SetText(doc->m_Comms.baud, "9600");
        doc->m_Comms.floatOrder = 2;
        doc->m_Comms.portSetUp = 1;
        doc->m_ModbusNode = 7.0;
    }
    EXPECT_EQ(Stored(kIniKey, "CommsSettings").size(), kCommSettingsSize);
    EXPECT_EQ(Stored(kIniKey, "ModbusNode"), (Bytes{0, 0, 0, 0, 0, 0, 0x1C, 0x40}));
    // Only the serial link and node: the project and graph defaults stay unstored.
    EXPECT_EQ(StoredValueCount(), 2);

    auto next = NewDocument();
    EXPECT_STREQ(next->m_Comms.port.data(), "COM4");
    EXPECT_STREQ(next->m_Comms.baud.data(), "9600");
    EXPECT_EQ(next->m_Comms.floatOrder, 2);
    // Stored as it was, but a new document has no open port, so it is not set up.
    EXPECT_EQ(Stored(kIniKey, "CommsSettings")[comm_offset::kPortSetUp], 1);
    EXPECT_EQ(next->m_Comms.portSetUp, 0);
    EXPECT_EQ(next->m_ModbusNode, 7.0);
}

TEST_F(SettingsDefaults, GraphKeysAreSkippedWhenTheirParentCannotBeOpened) {
    Store(kProjectSettingsKey, "Show", {0x00});
    // A plain file where the "GraphicalData" key belongs.
    fs::remove_all(Folder(kGraphicalDataKey));
    std::ofstream(Folder(kGraphicalDataKey)) << "x";

    auto builtIn = BuiltInDocument();
    auto doc = NewDocument();
    EXPECT_EQ(doc->m_ShowProject, 0);
    for (int k = 0; k < kGraphCount; ++k)
        EXPECT_EQ(GraphImage(doc->m_Graphs[k]), GraphImage(builtIn->m_Graphs[k]));

    doc->m_Duration = 60;
    EXPECT_FALSE(SaveRegistryDefaults(*doc)); // the graphs could not be stored...
    EXPECT_EQ(Stored(kProjectSettingsKey, "Duration"), (Bytes{60, 0, 0, 0})); // ...the timing was
}

} // namespace
} // namespace zentra

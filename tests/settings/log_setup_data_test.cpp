// Sample counting, unit mapping and the parameter list moves, without widgets.
#include "records/readings_catalogue.h"
#include "settings/log_setup_data.h"
#include "settings/log_setup_lists.h"

#include <gtest/gtest.h>

namespace zentra {
namespace {

// 360 and 10800 are seen through the page; here the edges.
TEST(LogSetupCount, SamplesFollowValuesAndUnits) {
    EXPECT_EQ(SampleLine(7200), "Samples = 7200");
    EXPECT_EQ(SampleLine(7201), "Samples = 7201 (Max 7200 exceded)");

    // Minutes, rounding down, and a list without a selection counting as seconds.
    EXPECT_EQ(CountSamples(7, 1, 1, 2).samples, 8); // 3600 / 420
    EXPECT_EQ(CountSamples(5, kUnitNone, 20, kUnitNone).samples, 4);

    // The largest values the page allows do not overflow.
    const SampleCount largest = CountSamples(1, 0, 100000, 2);
    EXPECT_EQ(largest.durationSeconds, 360'000'000);
    EXPECT_EQ(largest.samples, 360'000'000);
}

TEST(LogSetupCount, ZeroOrNegativePeriodCountsAsOneSecond) {
    const SampleCount zero = CountSamples(0, 1, 50, 0);
    EXPECT_TRUE(zero.periodWasZero);
    EXPECT_EQ(zero.periodSeconds, 1);
    EXPECT_EQ(zero.samples, 50);
    EXPECT_TRUE(CountSamples(-3, 0, 50, 0).periodWasZero);
    EXPECT_FALSE(CountSamples(1, 0, 0, 0).periodWasZero);
    EXPECT_EQ(CountSamples(1, 0, 0, 0).samples, 0);
}

// 7200 samples fit the log but leave the set-up unconfirmed; 7199 is fine.
TEST(LogSetupCount, ClosingThePageSetsSecondsAndValidity) {
    LogSetupData data;
    data.frequency = 1;
    data.frequencyUnit = 0;
    data.duration = 7199;
    data.durationUnit = 0;
    FinishLogSetup(data);
    EXPECT_EQ(data.durationSeconds, 7199u);
    EXPECT_EQ(data.settingsValid, 1);
    data.duration = 2;
    data.durationUnit = 2;
    FinishLogSetup(data);
    EXPECT_EQ(data.sampleCount, 7200u);
    EXPECT_EQ(data.settingsValid, 0);
}

LabelSlots Offered() {
    LabelSlots offered{};
    for (std::size_t i = 0; i < offered.size(); ++i)
        offered[i] = std::string(ReadingLabel(LoggedColumns[i]));
    return offered;
}

TEST(LogSetupLists, InitialListsSplitOfferedFromPrintable) {
    LabelSlots printable{};
    printable[0] = "Hz";
    printable[2] = "V 1";  // gaps are skipped
    printable[3] = "kW 1"; // not offered, still printable
    const ParameterLists lists = InitialLists(Offered(), printable);
    EXPECT_EQ(lists.printableList, (std::vector<std::string>{"Hz", "V 1", "kW 1"}));
    ASSERT_EQ(lists.availableList.size(), 21u);
    EXPECT_EQ(lists.availableList[0], "V L1-2");
    EXPECT_EQ(lists.availableSelection, 0);
    EXPECT_EQ(lists.printableSelection, 0);

    const LabelSlots slots = PrintableSlots(lists);
    EXPECT_EQ(slots[0], "Hz");
    EXPECT_EQ(slots[2], "kW 1");
    EXPECT_EQ(slots[3], "");
}

TEST(LogSetupLists, MoveRightInsertsBeforeTheSelectedEntry) {
    ParameterLists lists;
    lists.availableList = {"a", "b", "c", "d"};
    lists.availableSelection = 0;

    // Empty printable list: the text arrives selected.
    EXPECT_EQ(MoveToPrintable(lists), MoveResult::Moved);
    EXPECT_EQ(lists.printableList, (std::vector<std::string>{"a"}));
    EXPECT_EQ(lists.printableSelection, 0);
    EXPECT_EQ(lists.availableSelection, 0); // position kept: now "b"

    // The last entry selected: appended and selected.
    EXPECT_EQ(MoveToPrintable(lists), MoveResult::Moved);
    EXPECT_EQ(lists.printableList, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(lists.printableSelection, 1);

    // A middle entry selected: inserted before it, and it stays selected.
    lists.printableSelection = 0;
    EXPECT_EQ(MoveToPrintable(lists), MoveResult::Moved);
    EXPECT_EQ(lists.printableList, (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(lists.printableSelection, 1);

    // No selection: appended, first entry selected.
    lists.printableSelection = -1;
    EXPECT_EQ(MoveToPrintable(lists), MoveResult::Moved);
    EXPECT_EQ(lists.printableList, (std::vector<std::string>{"c", "a", "b", "d"}));
    EXPECT_EQ(lists.printableSelection, 0);

    EXPECT_TRUE(lists.availableList.empty());
    EXPECT_EQ(lists.availableSelection, -1);
    EXPECT_EQ(MoveToPrintable(lists), MoveResult::NothingSelected);
}

TEST(LogSetupLists, MoveLeftAppendsToAvailableAndKeepsPosition) {
    ParameterLists lists;
    lists.printableList = {"a", "b", "c"};
    lists.printableSelection = 1;
    lists.availableList = {"x"};
    lists.availableSelection = 0;
    EXPECT_EQ(MoveToAvailable(lists), MoveResult::Moved);
    EXPECT_EQ(lists.printableList, (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(lists.printableSelection, 1);
    EXPECT_EQ(lists.availableList, (std::vector<std::string>{"x", "b"}));

    // The last entry removed: the new last one is selected.
    EXPECT_EQ(MoveToAvailable(lists), MoveResult::Moved);
    EXPECT_EQ(lists.printableSelection, 0);
    EXPECT_EQ(MoveToAvailable(lists), MoveResult::Moved);
    EXPECT_EQ(lists.printableSelection, -1);
    EXPECT_EQ(MoveToAvailable(lists), MoveResult::NothingSelected);
    EXPECT_EQ(lists.availableList, (std::vector<std::string>{"x", "b", "c", "a"}));
}

TEST(LogSetupLists, ClearOffersEverythingAgain) {
    LabelSlots printable{};
    printable[0] = "Hz";
    ParameterLists lists = InitialLists(Offered(), printable);
    lists.availableList.push_back("h.p.");
    ClearPrintable(lists, Offered());
    EXPECT_TRUE(lists.printableList.empty());
    EXPECT_EQ(lists.printableSelection, -1);
    const LabelSlots offered = Offered();
    EXPECT_EQ(lists.availableList, std::vector<std::string>(offered.begin(), offered.end()));
}

} // namespace
} // namespace zentra

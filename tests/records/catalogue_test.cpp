// Readings catalogue: every label as the user sees it, both ways; the readings the two
// meter variants log, in their order; horse power.
#include "records/readings_catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace zentra {
namespace {

TEST(Catalogue, LabelLookupIsExactAndCaseSensitive) {
    EXPECT_EQ(ReadingFromLabel("kW Sum"), 10);
    EXPECT_EQ(ReadingFromLabel("h.p."), 49);
    for (const char* other : {"kw sum", "KW SUM", "OFF", "", "kW Sum "})
        EXPECT_EQ(ReadingFromLabel(other), 0) << other;
}

TEST(Catalogue, EveryIndexHasItsLabel) {
    const char* const labels[] = {
        "OFF",      "V L1-2",    "V L2-3",        "V L3-1",        "V 1",          "V 2",
        "V 3",      "I 1",       "I 2",           "I 3",           "kW Sum",       "kVA Sum",
        "kVAr Sum", "PF Avg",    "kWHr (Imp)",    "kVArHr (Imp)",  "Hz",           "kW 1",
        "kW 2",     "kW 3",      "kVAr 1",        "kVAr 2",        "kVAr 3",       "kWd (Imp)",
        "kVAd",     "Ad",        "Neutral I",     "kVA 1",         "kVA 2",        "kVA 3",
        "PF L1",    "PF L2",     "PF L3",         "kWHr (Exp)",    "kVArHr (Exp)", "kVAHr",
        "AHr",      "kWd (Exp)", "Max kWd (Imp)", "Max kWd (Exp)", "Max kVAd",     "Max Ad"};
    for (ReadingIndex i = 0; i <= 41; ++i) {
        EXPECT_EQ(ReadingLabel(i), labels[i]) << i;
        if (i > 0) {
            EXPECT_EQ(ReadingFromLabel(labels[i]), i) << labels[i];
        }
    }
    for (ReadingIndex i = 42; i <= 48; ++i)
        EXPECT_EQ(ReadingLabel(i), "") << i;
    EXPECT_EQ(ReadingLabel(49), "h.p.");
}

TEST(Catalogue, LabelsIntoBuffers) {
    char buffer[kLabelCapacity];
    std::strcpy(buffer, "stale");
    ReadingLabel(0, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "OFF");
    ReadingLabel(49, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "h.p.");
    for (const ReadingIndex outside : {45, -1, 50, 1000}) {
        ReadingLabel(outside, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, "") << outside;
    }
    char small[4];
    ReadingLabel(38, small, sizeof small); // "Max kWd (Imp)"
    EXPECT_STREQ(small, "Max");
}

TEST(Catalogue, LoggedListsInOrder) {
    const std::vector<ReadingIndex> full{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                         13, 14, 15, 16, 23, 24, 25, 26, 38, 40, 41};
    const std::vector<ReadingIndex> reduced{4, 7, 10, 14, 23, 25, 38, 41, 49};
    for (const std::int32_t type : {0, 1, 2, 4, 5, 7}) {
        const auto columns = ColumnsFor(type);
        EXPECT_EQ(std::vector<ReadingIndex>(columns.begin(), columns.end()), full) << type;
    }
    for (const std::int32_t type : {3, 6}) {
        const auto columns = ColumnsFor(type);
        EXPECT_EQ(std::vector<ReadingIndex>(columns.begin(), columns.end()), reduced) << type;
    }
}

TEST(Catalogue, HorsePowerFromKwSum) {
    double record[25] = {};
    record[3] = 7.457;
    EXPECT_NEAR(HorsePower(record), 10.0, 1e-12);
}

} // namespace
} // namespace zentra

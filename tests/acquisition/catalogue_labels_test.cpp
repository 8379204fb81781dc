// The readings catalogue's texts and lists as the user sees them: every label of the
// table, and the readings the two meter variants log, in their order.
#include "acquisition/readings_catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zentra {
namespace {

TEST(CatalogueLabels, EveryIndexHasItsLabel) {
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
    EXPECT_EQ(ReadingFromLabel("h.p."), 49);
}

TEST(CatalogueLabels, LoggedListsInOrder) {
    const std::vector<ReadingIndex> full{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                         13, 14, 15, 16, 23, 24, 25, 26, 38, 40, 41};
    const std::vector<ReadingIndex> reduced{4, 7, 10, 14, 23, 25, 38, 41, 49};
    for (const std::int32_t type : {1, 2, 4, 5}) {
        const auto columns = ColumnsFor(type);
        EXPECT_EQ(std::vector<ReadingIndex>(columns.begin(), columns.end()), full) << type;
    }
    for (const std::int32_t type : {3, 6}) {
        const auto columns = ColumnsFor(type);
        EXPECT_EQ(std::vector<ReadingIndex>(columns.begin(), columns.end()), reduced) << type;
    }
}

} // namespace
} // namespace zentra

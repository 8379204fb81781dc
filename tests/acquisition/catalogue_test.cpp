// Readings catalogue: labels both ways, the column lists and horse power.
#include "acquisition/readings_catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace zentra {
namespace {

TEST(Catalogue, LabelLookupIsExactAndCaseSensitive) {
    EXPECT_EQ(ReadingFromLabel("kW Sum"), 10);
    EXPECT_EQ(ReadingFromLabel("h.p."), 49);
    for (const char* other : {"kw sum", "KW SUM", "OFF", "", "kW Sum "})
        EXPECT_EQ(ReadingFromLabel(other), 0) << other;
}

TEST(Catalogue, EveryLabelMapsBackToItsIndex) {
    std::set<std::string> seen;
    for (ReadingIndex i = 1; i <= 41; ++i) {
        const std::string label(ReadingLabel(i));
        ASSERT_FALSE(label.empty()) << i;
        EXPECT_LE(label.size(), 13u) << i;
        EXPECT_TRUE(seen.insert(label).second) << "duplicate " << label;
        EXPECT_EQ(ReadingFromLabel(label), i);
    }
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

TEST(Catalogue, ColumnListsByMeterVariant) {
    EXPECT_EQ(ColumnsFor(3).size(), 9u);
    EXPECT_EQ(ColumnsFor(6).size(), 9u);
    for (const std::int32_t type : {0, 1, 2, 4, 5, 7})
        EXPECT_EQ(ColumnsFor(type).size(), 23u) << type;
    // Only the last entry of the short list is not read from the meter.
    for (std::size_t k = 0; k + 1 < ShortLoggedColumns.size(); ++k)
        EXPECT_LE(ShortLoggedColumns[k], kBlockReadings);
    EXPECT_EQ(ShortLoggedColumns.back(), kHorsePowerReading);
    EXPECT_EQ(ShortLoggedColumns[2], kReadingKwSum); // element 3 of a record
}

TEST(Catalogue, HorsePowerFromKwSum) {
    double record[25] = {};
    record[3] = 7.457;
    EXPECT_NEAR(HorsePower(record), 10.0, 1e-12);
}

} // namespace
} // namespace zentra

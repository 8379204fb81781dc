// The data tables with a meter whose readings block is not in the standard layout:
// the real-time form finds each reading where the reading map puts it, the logged form
// shows the records as they were logged (already in list order).
#include "display/view/data_table.h"
#include "document/zentra_doc.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace zentra {
namespace {

constexpr std::int64_t kJan2013 = 1357394589; // Sat Jan 05 14:03:09 2013 UTC

// Logged readings of a full-list meter, and of a short-list one without h.p.
constexpr int kFullList[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                             13, 14, 15, 16, 23, 24, 25, 26, 38, 40, 41};
constexpr int kShortList[] = {4, 7, 10, 14, 23, 25, 38, 41};

struct PermutedMap : ::testing::Test {
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    TableGeometry geometry;

    void SetUp() override {
        geometry.textScale = 500;
        geometry.cell = {401, 0, 800, 250};
        geometry.client = {0, 0, 800, 500};
        doc->m_Graphs[1].m_GraphMode = 0;
        // Reading r arrives at block position 49 - r (the block sent back to front).
        for (int r = 1; r <= 48; ++r)
            doc->m_ReadingMap[static_cast<std::size_t>(r - 1)] = 49 - r;
        // Newest ring entry 4: block position p holds 1000 + p.
        doc->m_LiveIndex = 5;
        doc->m_LiveValid[4] = 1;
        for (int p = 1; p <= 48; ++p)
            doc->m_LiveValues[4][static_cast<std::size_t>(p)] = 1000 + p;
        doc->m_LiveValues[3].fill(7.0); // an older entry, never shown
        doc->m_LiveValid[3] = 1;
    }
};

TEST_F(PermutedMap, RealTimeValuesComeFromTheMappedPositions) {
    doc->m_Graphs[1].m_RealTime = 1;
    const auto lines = LayoutDataTable(*doc, 1, geometry);
    constexpr std::size_t n = std::size(kFullList);
    ASSERT_EQ(lines.size(), 2 * n);
    for (std::size_t k = 0; k < n; ++k) // 1000 + (49 - r), no decimals from 1000 up
        EXPECT_EQ(lines[n + k].text, std::to_string(1049 - kFullList[k])) << lines[k].text;
    EXPECT_EQ(lines[0].text, "V L1-2");
    EXPECT_EQ(lines[n].text, "1048");
}

TEST_F(PermutedMap, ShortListRealTimeValuesComeFromTheMappedPositions) {
    doc->m_SystemType = 3;
    doc->m_Graphs[1].m_RealTime = 1;
    const auto lines = LayoutDataTable(*doc, 1, geometry);
    constexpr std::size_t n = std::size(kShortList) + 1; // and h.p.
    ASSERT_EQ(lines.size(), 2 * n);
    for (std::size_t k = 0; k < std::size(kShortList); ++k)
        EXPECT_EQ(lines[n + k].text, std::to_string(1049 - kShortList[k])) << lines[k].text;
}

TEST_F(PermutedMap, LoggedRowsShowTheRecordsAsLogged) {
    doc->m_Graphs[1].m_RealTime = 0;
    doc->m_SampleCount = 1;
    doc->m_SampleTimes[0] = kJan2013;
    for (std::size_t e = 1; e <= std::size(kFullList); ++e)
        doc->m_SampleValues[0][e] = 1000.0 * static_cast<double>(e); // element e: 1000 e
    const auto lines = LayoutDataTable(*doc, 1, geometry);
    ASSERT_EQ(lines.size(), 4u); // two heading rows, one sample, the hint
    std::string expected = "Jan 05 2013 14:03:09";
    for (std::size_t e = 1; e <= std::size(kFullList); ++e)
        expected += "   " + std::to_string(1000 * e);
    EXPECT_EQ(lines[2].text, expected + "   ");
}

} // namespace
} // namespace zentra

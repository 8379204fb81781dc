#include "display/view/data_table.h"

#include "document/csv_export.h"
#include "document/format_value.h"
#include "document/zentra_doc.h"
#include "records/readings_catalogue.h"
#include "tests/display/view/view_test_support.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <span>
#include <string>

namespace zentra {
namespace {

constexpr std::int64_t kJan2013 = 1357394589; // Sat Jan 05 14:03:09 2013 UTC

struct TableFixture : ::testing::Test {
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    TableGeometry geometry;

    void SetUp() override {
        geometry.textScale = 500;
        geometry.cell = {401, 0, 800, 250};
        geometry.client = {0, 0, 800, 500};
        doc->m_Graphs[1].m_GraphMode = 0;
    }
    void Log(int samples) {
        doc->m_SampleCount = samples;
        for (int i = 0; i < samples; ++i) {
            doc->m_SampleTimes[static_cast<std::size_t>(i)] = kJan2013 + i;
            doc->m_SampleValues[static_cast<std::size_t>(i)][1] = i;
        }
    }
    // The table of graph 2 in real-time (1) or logged (0) form.
    std::vector<TableText> Table(int realTime) {
        doc->m_Graphs[1].m_RealTime = realTime;
        return LayoutDataTable(*doc, 1, geometry);
    }
    // Sample lines of the logged form: everything between the headings and the hint.
    std::vector<std::string> SampleLines(const std::vector<TableText>& lines, int headings) {
        std::vector<std::string> rows;
        for (std::size_t i = static_cast<std::size_t>(headings); i + 1 < lines.size(); ++i)
            rows.push_back(lines[i].text);
        return rows;
    }
    // The logged form shows samples first..last, no more.
    void ExpectSamples(const std::vector<TableText>& lines, int first, int last) {
        const auto rows = SampleLines(lines, 2);
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(last - first + 1));
        EXPECT_EQ(rows.front(), BuildSampleRow(*doc, first, "   "));
        EXPECT_EQ(rows.back(), BuildSampleRow(*doc, last, "   "));
    }
};

TEST(TableSizes, TextScaleFiveHundred) {
    const TableSizes tiled = TableSizesFor(500, false);
    EXPECT_EQ(tiled.rowHeight, 10);
    EXPECT_EQ(tiled.lineStep, 9);
    EXPECT_EQ(tiled.smallStep, 5);
    EXPECT_EQ(TableSizesFor(500, true).rowHeight, 20);
    EXPECT_EQ(TableSizesFor(500, true).lineStep, 18);
}

TEST_F(TableFixture, RealTimeFormListsLabelsThenNewestValues) {
    // m_LiveIndex 0 with a full ring: the newest entry is the last one, 600.
    doc->m_LiveIndex = 0;
    doc->m_LiveValid.fill(1);
    doc->m_LiveValues[600][1] = 231.456;
    doc->m_LiveValues[599][1] = 999.0;
    doc->m_LiveValues[600][10] = std::numeric_limits<double>::quiet_NaN();
    const auto lines = Table(1);
    ASSERT_EQ(lines.size(), 46u);
    EXPECT_EQ(lines[0].text, "V L1-2");
    EXPECT_EQ(lines[0].align, TextAlign::Right);
    // w = 399: label column 401 + 199 - (3 + 100), value column 401 + 199 + 3.
    EXPECT_EQ(lines[0].rect, (Rect{497, 18, 597, 27}));
    EXPECT_EQ(lines[1].rect.top, 27);
    EXPECT_EQ(lines[23].text, "231.5");
    EXPECT_EQ(lines[23].rect, (Rect{603, 18, 703, 27}));
    EXPECT_EQ(lines[23].align, TextAlign::Left);
    EXPECT_EQ(lines[23 + 9].text, "0.000"); // kW Sum is not a number
}

TEST_F(TableFixture, RealTimeFormEmptySlotAndShortList) {
    doc->m_SystemType = 3;
    doc->m_LiveIndex = 5;
    doc->m_LiveValues[4][10] = 11.1855; // kW Sum (standard layout): 15 h.p.
    const auto empty = Table(1);
    ASSERT_EQ(empty.size(), 18u);
    EXPECT_EQ(empty[8].text, "h.p.");
    for (std::size_t i = 9; i < 18; ++i)
        EXPECT_EQ(empty[i].text, "0.000");
    doc->m_LiveValid[4] = 1;
    EXPECT_EQ(Table(1)[17].text, "15.00");
}

TEST_F(TableFixture, ReadingMapOutsideTheSlotReadsNothing) {
    doc->m_LiveIndex = 1;
    doc->m_LiveValid[0] = 1;
    doc->m_ReadingMap[0] = 5000;
    doc->m_ReadingMap[1] = -3;
    doc->m_ReadingMap[9] = 5000; // "kW Sum", so no horse power either
    for (int reading : {1, 49, 2, 0})
        EXPECT_EQ(NewestLiveValue(*doc, reading), 0.0) << reading;
    doc->m_LiveIndex = 12345; // not a ring slot
    EXPECT_EQ(NewestLiveValue(*doc, 3), 0.0);
}

TEST_F(TableFixture, LoggedFormPageTwo) {
    doc->m_DataViewTop = 2;
    Log(95);
    // The last, partial page shows what there is: samples 80..94.
    auto lines = Table(0);
    ExpectSamples(lines, 80, 94);
    EXPECT_EQ(lines.back().text, "(Use PgUp/PgDn Keys to Scroll)");
    // The page after it is beyond the log: headings and hint only.
    doc->m_DataViewTop = 3;
    lines = Table(0);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].text, "(Use PgUp/PgDn Keys to Scroll)");

    doc->m_DataViewTop = 2;
    Log(120);
    lines = Table(0);
    ExpectSamples(lines, 80, 119);
    // Placement: text from cell.left + 2 to cell.left + cell.right, rows five apart.
    EXPECT_EQ(lines[1].rect, (Rect{403, 18, 1201, 27}));
    EXPECT_EQ(lines[0].rect, (Rect{403, 13, 1201, 22})); // raised by half a row
    EXPECT_EQ(lines[2].rect, (Rect{403, 23, 1201, 28}));
    EXPECT_EQ(lines[3].rect.top, 28);
    EXPECT_EQ(lines.back().rect, (Rect{403, 18 + 40 * 5 + 10, 1201, 18 + 40 * 5 + 20}));
}

TEST_F(TableFixture, LoggedFormHeadingsInterleaveTheLabels) {
    const auto lines = Table(0);
    const std::string a = std::string(39, ' ') + BuildHeadingRow(*doc, 1, "     :     ");
    std::string b = BuildHeadingRow(*doc, 2, "     :     ");
    b.insert(5, 17, ' ');
    EXPECT_EQ(lines[0].text, a);
    EXPECT_EQ(lines[1].text, b);
    EXPECT_EQ(lines[1].text.substr(0, 22), "Time" + std::string(18, ' '));

    doc->m_SystemType = 6;
    Log(1);
    const auto shortLines = Table(0);
    ASSERT_EQ(shortLines.size(), 3u);
    EXPECT_EQ(shortLines[0].text, std::string(33, ' ') + BuildHeadingRow(*doc, 0, "   :    "));
    EXPECT_EQ(shortLines[1].text, BuildSampleRow(*doc, 0, std::string(11, ' ')));
    EXPECT_EQ(shortLines[2].text, "     (Use PgUp/PgDn Keys to Scroll)");
}

TEST_F(TableFixture, PagesOutsideTheLogReadNothing) {
    Log(50);
    for (int page : {-1, -1000, 3, std::numeric_limits<std::int32_t>::max(),
                     std::numeric_limits<std::int32_t>::min()}) {
        doc->m_DataViewTop = page;
        EXPECT_EQ(Table(0).size(), 3u) << page;
    }
    // A sample count beyond the log's capacity (a damaged file) stops at the last record.
    doc->m_SampleCount = 1'000'000;
    doc->m_DataViewTop = kMaxSamples / kTableLinesPerPage - 1;
    EXPECT_EQ(SampleLines(Table(0), 2).size(), 40u);
    doc->m_DataViewTop = kMaxSamples / kTableLinesPerPage;
    EXPECT_EQ(Table(0).size(), 3u);
}

TEST_F(TableFixture, MaximisedColumnsSpanTheClient) {
    geometry.maximisedGraph = 1;
    geometry.client = {0, 0, 1000, 600};
    const auto lines = Table(1);
    // Row height 20 (twice tiled), tops at 5% of the client height.
    EXPECT_EQ(lines[0].rect, (Rect{190, 30, 490, 48}));
    EXPECT_EQ(lines[23].rect, (Rect{510, 30, 810, 48}));
    EXPECT_EQ(Table(0)[1].rect, (Rect{6, 30, 1000, 48}));
}

TEST(VisiblePart, OnlyWhatCanShowIsLaidOut) {
    const std::string digits(309, '9');
    EXPECT_EQ(VisiblePart(digits, 100, TextAlign::Left).size(), 101u);
    EXPECT_EQ(VisiblePart("abcdef", 2, TextAlign::Left), "abc");
    EXPECT_EQ(VisiblePart("abcdef", 2, TextAlign::Right), "def");
    EXPECT_EQ(VisiblePart("abcdefg", 2, TextAlign::Centre), "cde");
    EXPECT_EQ(VisiblePart("abc", 100, TextAlign::Right), "abc");
    EXPECT_EQ(VisiblePart("abc", -5, TextAlign::Left), "a");
}

TEST_F(TableFixture, LongValuesAreFormattedOnlyAsFarAsTheyShow) {
    Log(3);
    doc->m_SampleValues[1][5] = 1e300;
    doc->m_SampleValues[2][2] = -std::numeric_limits<double>::max();
    doc->m_SampleValues[2][9] = std::numeric_limits<double>::infinity();
    for (int system : {1, 3}) {
        doc->m_SystemType = system;
        for (int n = 0; n < 3; ++n) {
            const std::string full = BuildSampleRow(*doc, n, "   ");
            const std::string cut = VisibleSampleRow(*doc, n, "   ", 400);
            EXPECT_EQ(full.compare(0, cut.size(), cut), 0) << system << "/" << n;
            if (n == 0)
                EXPECT_EQ(cut, full); // ordinary values: the shared row itself
            else
                EXPECT_LT(cut.size(), 400u + 320u) << system << "/" << n;
            EXPECT_GE(cut.size(), std::min<std::size_t>(full.size(), 400u));
        }
    }
    EXPECT_EQ(VisibleSampleRow(*doc, -1, "   ", 400), "");
    EXPECT_EQ(VisibleSampleRow(*doc, kMaxSamples, "   ", 400), "");
}

TEST_F(TableFixture, HugeValuesStillDraw) {
    // Values from a file are not bounded: 1e308 prints as 309 digits in every column.
    doc->m_Graphs[1].m_RealTime = 0;
    Log(40);
    for (auto& record : doc->m_SampleValues)
        record.fill(std::numeric_limits<double>::max());
    QImage image = test::BlankImage(800, 500);
    QPainter painter(&image);
    DrawDataTable(painter, *doc, 1, geometry);
    painter.end();
    EXPECT_GT(test::Ink(image, 403, 20, 800, 230), 1000); // forty rows
}

// Logged readings of a full-list meter, and of a short-list one without h.p.
constexpr int kFullList[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                             13, 14, 15, 16, 23, 24, 25, 26, 38, 40, 41};
constexpr int kShortList[] = {4, 7, 10, 14, 23, 25, 38, 41};

// A meter whose readings block is not in the standard layout: the real-time form finds
// each reading where the reading map puts it, the logged form shows the records as they
// were logged (already in list order).
struct PermutedMap : TableFixture {
    void SetUp() override {
        TableFixture::SetUp();
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
    const std::pair<int, std::span<const int>> meters[] = {{1, kFullList}, {3, kShortList}};
    for (const auto& [system, readings] : meters) {
        doc->m_SystemType = system;
        const auto lines = Table(1);
        const std::size_t n = readings.size() + (system == 3 ? 1 : 0); // the short list adds h.p.
        ASSERT_EQ(lines.size(), 2 * n) << system;
        for (std::size_t k = 0; k < readings.size(); ++k) // 1000 + (49 - r), no decimals
            EXPECT_EQ(lines[n + k].text, std::to_string(1049 - readings[k])) << lines[k].text;
    }
    // h.p. is the live "kW Sum" (reading 10, at position 39) / 0.7457, not position 3.
    EXPECT_EQ(Table(1).back().text, "1393");
    EXPECT_NEAR(NewestLiveValue(*doc, 49), 1393.3217, 1e-4);
}

TEST_F(PermutedMap, LoggedRowsShowTheRecordsAsLogged) {
    doc->m_SampleCount = 1;
    doc->m_SampleTimes[0] = kJan2013;
    for (std::size_t e = 1; e <= std::size(kFullList); ++e)
        doc->m_SampleValues[0][e] = 1000.0 * static_cast<double>(e); // element e: 1000 e
    const auto lines = Table(0);
    ASSERT_EQ(lines.size(), 4u); // two heading rows, one sample, the hint
    std::string expected = "Jan 05 2013 14:03:09";
    for (std::size_t e = 1; e <= std::size(kFullList); ++e)
        expected += "   " + std::to_string(1000 * e);
    EXPECT_EQ(lines[2].text, expected + "   ");
}

} // namespace
} // namespace zentra

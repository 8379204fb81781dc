// The Graphs page's copy without widgets: what LoadFromGraphs reads out of the four
// records, what StoreToGraphs writes back and leaves alone, and the edit rules.
#include "document/graph_defaults.h"
#include "project_test_support.h"
#include "settings/graph_page_data.h"

#include <gtest/gtest.h>

namespace zentra {
namespace {

std::unique_ptr<CZentraDoc> Document(std::int32_t systemType) {
    auto doc = std::make_unique<CZentraDoc>();
    doc->ResetToDefaults();
    doc->m_SystemType = systemType;
    return doc;
}

TEST(GraphPageData, LoadReadsTheFourGraphsOfItsPage) {
    auto doc = Document(1);
    Graph& g = doc->m_Graphs[6]; // page 1, column 2
    g.m_Enabled = g.m_GraphMode = g.m_RelativeY = 0;
    g.m_RealTime = g.m_CentreZero = 1;
    g.m_TickLengthX = 2.0; // neither grid nor the page's plain tick
    g.m_TickLengthY = kGridTickLength;
    g.m_ScaleX = 45;
    g.m_NominalY = {250.0, 110.0};
    g.m_LineColour = {8, 0, 5};
    g.m_Associations = {23, 0, 17};
    SetText(g.m_Headings[0], "Max Ad");
    SetText(g.m_Headings[1], "OFF");
    SetText(g.m_Headings[2], "own text");
    doc->m_ArchivedFile = 1;

    GraphPageData data;
    data.LoadFromGraphs(1, *doc);
    EXPECT_EQ(data.firstGraph, 4);
    EXPECT_TRUE(data.archived);
    EXPECT_EQ(data.sources.size(), 24u);
    const GraphColumn& c = data.columns[2];
    // Enabled, real time, graph mode, centre zero, relative, X grid, Y grid.
    EXPECT_EQ((std::array{c.enabled, c.realTime, c.graphMode, c.centreZero, c.relative, c.gridX,
                          c.gridY}),
              (std::array{false, true, false, true, false, false, true}));
    EXPECT_EQ(c.timeBase, 45);
    EXPECT_DOUBLE_EQ(c.yScale, 250.0);
    EXPECT_EQ(c.colour, (std::array<int, 3>{8, 0, 5}));
    // Full-list meters: the stored positions and headings as they are.
    EXPECT_EQ(c.source, (std::array<int, 3>{23, 0, 17}));
    EXPECT_EQ(c.heading[2], "own text");
}

TEST(GraphPageData, StoreWritesThePageAndLeavesTheRestAlone) {
    auto doc = Document(1);
    Graph& g = doc->m_Graphs[3];
    g.m_TickLengthX = 2.0;
    g.m_TickLengthY = 3.0;
    g.m_LineStyle = {1, 2, 3};
    SetText(g.m_LegendX, "legend x");
    SetText(g.m_LegendY, "legend y");
    g.m_ScaleY = 14;
    g.m_NominalScaleY = 7;
    g.m_NominalY = {300.0, 90.0};
    const test::GraphImages before = test::Images(*doc);

    GraphPageData data;
    data.LoadFromGraphs(0, *doc);
    GraphColumn& c = data.columns[3];
    c.yScale = 75.0;
    c.timeBase = 600;
    c.source = {16, 1, 0};
    c.heading = {"Hz", "V L1-2", "OFF"};
    data.StoreToGraphs(0, *doc);

    // Unchecked grids are stored as the plain tick lengths, whatever was there.
    EXPECT_EQ((std::array{g.m_TickLengthX, g.m_TickLengthY}), (std::array{1.5, 0.75}));
    EXPECT_EQ(g.m_NominalY, (std::array{75.0, 90.0}));
    EXPECT_EQ(g.m_ScaleX, 600);
    EXPECT_EQ(g.m_Associations, (std::array<std::int32_t, 3>{16, 1, 0}));
    EXPECT_STREQ(g.m_Headings[0].data(), "Hz");
    EXPECT_STREQ(g.m_Headings[2].data(), "OFF");
    EXPECT_EQ(g.m_LineStyle, (std::array<std::int32_t, 3>{1, 2, 3}));
    EXPECT_STREQ(g.m_LegendX.data(), "legend x");
    EXPECT_STREQ(g.m_LegendY.data(), "legend y");
    EXPECT_EQ((std::array{g.m_ScaleY, g.m_NominalScaleY}), (std::array{14, 7}));
    const test::GraphImages after = test::Images(*doc);
    for (std::size_t other = 4; other < kGraphCount; ++other)
        EXPECT_EQ(after[other], before[other]) << "graph " << other + 1;
}

TEST(GraphPageData, LoadThenStoreKeepsGraphsTheDocumentDefaultsMade) {
    for (std::int32_t type : {1, 3}) {
        auto doc = Document(type);
        ApplyGraphDefaults(*doc);
        doc->m_Graphs[9].m_NominalY[0] = 20.4; // unchanged unless its page is opened
        const test::GraphImages before = test::Images(*doc);
        for (int k = 0; k < kGraphPages; ++k) {
            GraphPageData data;
            data.LoadFromGraphs(k, *doc);
            data.StoreToGraphs(k, *doc);
        }
        const test::GraphImages after = test::Images(*doc);
        for (std::size_t g = 0; g < kGraphCount; ++g)
            EXPECT_EQ(after[g], before[g]) << "system type " << type << ", graph " << g + 1;
    }
}

TEST(GraphPageData, EditRules) {
    EXPECT_EQ(WholeNumberIn("5", kTimeBaseMin, kTimeBaseMax), 5);
    EXPECT_EQ(WholeNumberIn(" 600 ", kTimeBaseMin, kTimeBaseMax), 600);
    EXPECT_EQ(WholeNumberIn("+20", kYScaleMin, kYScaleMax), 20);
    EXPECT_EQ(WholeNumberIn("10000", kYScaleMin, kYScaleMax), 10000);
    for (const char* refused :
         {"4", "601", "", "  ", "-5", "20.5", "2 0", "12x", "x12", "99999999999999999999"})
        EXPECT_FALSE(WholeNumberIn(refused, kTimeBaseMin, kTimeBaseMax)) << '"' << refused << '"';
    EXPECT_FALSE(WholeNumberIn("10001", kYScaleMin, kYScaleMax));

    EXPECT_EQ(LeadingInteger(" 12x"), 12);
    EXPECT_EQ(LeadingInteger("abc"), 0);
    EXPECT_DOUBLE_EQ(LeadingDouble("20"), 20.0);
    EXPECT_DOUBLE_EQ(LeadingDouble(" 20.4kW"), 20.4);
    EXPECT_DOUBLE_EQ(LeadingDouble(""), 0.0);
}

} // namespace
} // namespace zentra

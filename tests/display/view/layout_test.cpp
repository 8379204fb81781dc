#include "display/view/print_image.h"
#include "display/view/view_layout.h"

#include <gtest/gtest.h>

namespace zentra {
namespace {

const ScreenMetrics kScreen{1280, 1280, 984};
using Four = std::array<int, kQuadrants>;

// Layout width, text scale, cell width and height, margin.
std::array<int, 5> Sizes(const ViewLayout& l) {
    return {l.layoutWidth, l.textScale, l.cellWidth, l.cellHeight, l.margin};
}
ViewLayout Tiled(const Rect& client) {
    ViewLayout layout;
    ComputeLayout(layout, client, kNotMaximised, kScreen);
    return layout;
}

TEST(ComputeLayout, TiledEightHundredBySixHundred) {
    const ViewLayout layout = Tiled({0, 0, 800, 600});
    EXPECT_EQ(Sizes(layout), (std::array{800, 600, 400, 300, 40}));
    using FourD = std::array<double, kQuadrants>;
    EXPECT_EQ(
        layout.cell,
        (std::array<Rect, kQuadrants>{
            Rect{0, 0, 400, 300}, {401, 0, 800, 300}, {0, 301, 400, 600}, {401, 301, 800, 600}}));
    EXPECT_EQ(layout.plotLeft, (Four{40, 440, 40, 440}));
    EXPECT_EQ(layout.plotBaseline, (Four{260, 260, 560, 560}));
    EXPECT_EQ(layout.plotWidth, (FourD{320.0, 320.0, 320.0, 320.0}));
    EXPECT_EQ(layout.plotHeight, (FourD{220.0, 220.0, 220.0, 220.0}));
}

TEST(ComputeLayout, MaximisedKeepsTheTiledMarginAndOtherQuadrants) {
    ViewLayout layout = Tiled({0, 0, 800, 600});
    ComputeLayout(layout, {0, 0, 1000, 700}, 7, kScreen);
    EXPECT_EQ(Sizes(layout), (std::array{1000, 700, 1000, 700, 40})); // margin of the tiled 800
    EXPECT_EQ(layout.plotLeft[3], 40);
    EXPECT_EQ(layout.plotBaseline[3], 660);
    EXPECT_EQ(layout.plotWidth[3], 920.0);
    EXPECT_EQ(layout.plotHeight[3], 620.0);
    EXPECT_EQ(layout.plotLeft[1], 440); // untouched tiled value
    EXPECT_EQ(layout.cell[1], (Rect{401, 0, 800, 300}));
}

TEST(ComputeLayout, EmptyClientFallsBackToTheFullScreen) {
    const ViewLayout layout = Tiled(Rect{});
    EXPECT_EQ(Sizes(layout), (std::array{1280, 984, 640, 492, 64}));
}

TEST(FontWeight, BoldFromElevenHundredPixels) {
    EXPECT_EQ(FontWeightFor(1099), 400);
    EXPECT_EQ(FontWeightFor(1100), 700);
    EXPECT_EQ(FontWeightFor(0), 400);
}

TEST(QuadrantOf, JudgedAgainstTiledCellOne) {
    const ViewLayout layout = Tiled({0, 0, 800, 600});
    EXPECT_EQ(QuadrantOf(layout, {401, 300}), 0); // on cell 1's left edge and bottom
    EXPECT_EQ(QuadrantOf(layout, {402, 10}), 1);
    EXPECT_EQ(QuadrantOf(layout, {10, 301}), 2);
    EXPECT_EQ(QuadrantOf(layout, {700, 500}), 3);
}

TEST(Dividers, InsetFromTheDividerBitmap) {
    const LoadABitmap bitmap;
    EXPECT_TRUE(bitmap.loaded);
    EXPECT_EQ(bitmap.header.width, 39);
    EXPECT_EQ(bitmap.rect, (Rect{0, 0, 39, 280}));
    EXPECT_EQ(DividerInset(), 19);
    EXPECT_FALSE(LoadABitmap(4242).loaded);
    EXPECT_EQ(LoadABitmap(4242).header.width, 0);

    const ViewLayout layout = Tiled({0, 0, 800, 540});
    const auto lines = DividerLines(layout, DividerInset(), 1);
    EXPECT_EQ(lines[0].from, QPoint(21, 271));
    EXPECT_EQ(lines[0].to, QPoint(779, 271));
    EXPECT_EQ(lines[1].from, QPoint(2, 541));
    EXPECT_EQ(lines[1].to, QPoint(798, 541));
    EXPECT_EQ(lines[2].from, QPoint(401, 2));
    EXPECT_EQ(lines[2].to, QPoint(401, 538));
}

TEST(PageArrows, AtTheMiddleOfTheDrawingAreaWithStrictHits) {
    const PageArrows arrows = PageArrowsFor({0, 0, 800, 540});
    EXPECT_EQ(arrows.previous.hit, (Rect{2, 256, 16, 284}));
    EXPECT_EQ(arrows.next.hit, (Rect{784, 256, 798, 284}));
    EXPECT_EQ(arrows.next.points[0], QPoint(798, 270));
    EXPECT_TRUE(arrows.next.hit.StrictlyContains({790, 270}));
    EXPECT_FALSE(arrows.next.hit.StrictlyContains({784, 270}));
    EXPECT_FALSE(arrows.next.hit.StrictlyContains({790, 284}));
    EXPECT_FALSE(arrows.previous.hit.StrictlyContains({2, 270}));
}

} // namespace
} // namespace zentra

// Where the main window opens: inside the screen's free area on a small laptop, and
// back at the size and place it was closed at.
#include "app/window_placement.h"
#include "document/reg_funcs.h"
#include "tests/app/app_fixture.h"

#include <QStatusBar>
#include <QTest>

namespace zentra::test {
namespace {

// A 1366 x 768 laptop screen with a 32-pixel panel along the bottom.
const QRect kLaptop(0, 0, 1366, 736);
// A 1920 x 1080 screen with a 30-pixel panel.
const QRect kDesktop(0, 0, 1920, 1050);

class PlacementTest : public ShellTest {
  protected:
    std::unique_ptr<CMainFrame> FrameOn(const QRect& area) {
        auto frame = MakeFrame();
        frame->SetScreenAreaSource([area](const QRect&) { return area; });
        frame->PlaceOnScreen();
        return frame;
    }
    static void Store(std::span<const std::uint8_t> bytes) {
        const RegFuncs reg;
        ASSERT_TRUE(
            reg.SetValue(reg.OpenKey("Software\\Corvane\\Zentra\\Window"), "Placement", bytes));
    }
};

TEST(FitToScreen, ShrinksOnlyAsFarAsTheAreaNeedsThenMovesInside) {
    const QMargins frame(8, 40, 8, 8); // title bar 40, borders 8
    const struct {
        QRect wanted, expected;
    } cases[] = {
        {{171, 0, 1024, 740}, {171, 40, 1024, 688}},  // too tall for 736: 736 - 48
        {{100, 100, 800, 500}, {100, 100, 800, 500}}, // fits: unchanged
        {{2500, 200, 900, 650}, {458, 78, 900, 650}}, // off to the right: moved back
        {{-300, -50, 900, 650}, {8, 40, 900, 650}},   // above and left of the screen
        {{0, 0, 3000, 2000}, {8, 40, 1350, 688}},     // bigger every way: the whole area
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitToScreen(c.wanted, kLaptop, frame), c.expected) << c.wanted.x();
    EXPECT_EQ(CentredIn({1024, 740}, kDesktop), QRect(448, 155, 1024, 740));
}

TEST_F(PlacementTest, TheFirstStartOnASmallLaptopShowsTheStatusBar) {
    auto frame = FrameOn(kLaptop);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    EXPECT_EQ(frame->width(), 1024);
    EXPECT_TRUE(kLaptop.contains(frame->geometry()));
    const QPoint statusBottom =
        frame->statusBar()->mapToGlobal(frame->statusBar()->rect().bottomLeft());
    EXPECT_LT(statusBottom.y(), kLaptop.bottom()) << statusBottom.y();
    // Room for the desktop's title bar above the window.
    EXPECT_GE(frame->geometry().top(), 30);
}

TEST_F(PlacementTest, TheWindowComesBackWhereItWasClosed) {
    {
        auto frame = FrameOn(kDesktop);
        frame->show();
        frame->setGeometry(300, 200, 900, 650);
        ASSERT_TRUE(frame->close());
    }
    // Five little-endian int32: left, top, width, height, maximised.
    const RegFuncs reg;
    const auto stored = platform::ReadSettingsValue(
        *reg.OpenKey("Software\\Corvane\\Zentra\\Window"), "Placement", 64);
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, (std::vector<std::uint8_t>{0x2c, 0x01, 0,    0,    0xc8, 0, 0, 0, 0x84, 0x03,
                                                  0,    0,    0x8a, 0x02, 0,    0, 0, 0, 0,    0}));
    {
        auto frame = FrameOn(kDesktop);
        EXPECT_EQ(frame->geometry(), QRect(300, 200, 900, 650));
        EXPECT_FALSE(frame->windowState() & Qt::WindowMaximized);
        frame->show();
        frame->showMaximized();
        ASSERT_TRUE(frame->close());
    }
    auto frame = FrameOn(kDesktop);
    EXPECT_TRUE(frame->windowState() & Qt::WindowMaximized);
    frame->showNormal();
    EXPECT_EQ(frame->geometry(), QRect(300, 200, 900, 650));
}

TEST_F(PlacementTest, APlaceOffTheScreenOrUnusableBytesAreNotTakenAsTheyStand) {
    // Closed on a second screen that has gone since: brought onto the one there is.
    Store(std::vector<std::uint8_t>{0xc4, 0x09, 0,    0, 0xc8, 0, 0, 0, 0x84, 0x03, 0,
                                    0,    0x8a, 0x02, 0, 0,    0, 0, 0, 0}); // 2500, 200, 900, 650
    EXPECT_EQ(FrameOn(kDesktop)->geometry(), QRect(1012, 200, 900, 650));

    // A value of the wrong length or with no size: the first-start placement.
    const std::vector<std::uint8_t> unusable[] = {
        {0x2c, 0x01, 0, 0, 0xc8, 0, 0},
        {0x2c, 0x01, 0, 0, 0xc8, 0, 0, 0, 0, 0, 0, 0, 0x8a, 0x02, 0, 0, 0, 0, 0, 0}};
    for (const auto& bytes : unusable) {
        Store(bytes);
        EXPECT_EQ(FrameOn(kDesktop)->geometry(), QRect(448, 155, 1024, 740)) << bytes.size();
    }
}

} // namespace
} // namespace zentra::test

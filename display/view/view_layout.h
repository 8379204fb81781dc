// Layout arithmetic of the main view: the four tiled cells or one maximised graph, the
// plot rectangles inside them, the divider lines and the page arrows. Plain integer
// pixel arithmetic on client coordinates (y grows downward); divisions truncate.
#pragma once

#include <QPoint>
#include <QRect>
#include <array>

namespace zentra {

inline constexpr int kQuadrants = 4;
inline constexpr int kPageCount = 3;
inline constexpr int kNotMaximised = -1;
// Screens narrower than this draw every text in normal weight, wider ones in bold.
inline constexpr int kBoldScreenWidth = 1100;
inline constexpr int kNormalWeight = 400;
inline constexpr int kBoldWeight = 700;

// A rectangle as (left, top, right, bottom) with right and bottom exclusive, the way
// every coordinate of the view's layout is given.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    // True only for a point strictly inside: a point on an edge misses.
    bool StrictlyContains(QPoint p) const {
        return left < p.x() && p.x() < right && top < p.y() && p.y() < bottom;
    }
    QRect ToQRect() const { return QRect(left, top, right - left, bottom - top); }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// What the view needs to know about the screen; injectable so tests do not depend on
// the machine's display.
struct ScreenMetrics {
    int screenWidth = 0;      // whole primary screen, pixels
    int fullScreenWidth = 0;  // client area a maximised window would get
    int fullScreenHeight = 0; //
};

// The primary screen's width and available geometry (zeros without a screen).
ScreenMetrics PrimaryScreenMetrics();

// 400 below 1100 pixels of screen width, 700 from there on.
constexpr int FontWeightFor(int screenWidth) {
    return screenWidth < kBoldScreenWidth ? kNormalWeight : kBoldWeight;
}

struct ViewLayout {
    int layoutWidth = 0; // W the layout was last computed for
    int textScale = 0;   // H the layout was last computed for; font heights derive from it
    int cellWidth = 0;
    int cellHeight = 0;
    int margin = 0;
    std::array<Rect, kQuadrants> cell{};
    std::array<int, kQuadrants> plotLeft{};
    std::array<int, kQuadrants> plotBaseline{};
    std::array<double, kQuadrants> plotWidth{};
    std::array<double, kQuadrants> plotHeight{};
};

// Lays out the view for a client rectangle (only right and bottom are used). An
// all-zero rectangle (a minimised window, a fresh view) takes the full-screen size
// instead. maximisedGraph -1 lays out the four tiled cells; otherwise graph g gets the
// whole area at quadrant g mod 4 and everything else keeps its tiled values.
void ComputeLayout(ViewLayout& layout, const Rect& client, int maximisedGraph,
                   const ScreenMetrics& screen);

// Quadrant of a click: 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right, judged
// against the tiled cell 1 of the last tiled layout.
int QuadrantOf(const ViewLayout& layout, QPoint p);

// One straight line of the dividers.
struct Line {
    QPoint from;
    QPoint to;
};
// The horizontal middle, bottom and vertical middle lines shifted down/right by d,
// with the page-arrow inset at the two ends of the middle line.
std::array<Line, 3> DividerLines(const ViewLayout& layout, int inset, int d);

// Triangle and hit rectangle of one page arrow.
struct PageArrow {
    std::array<QPoint, 3> points{};
    Rect hit{};
};
struct PageArrows {
    PageArrow previous;
    PageArrow next;
};
// Both page arrows at the vertical middle of the client rectangle.
PageArrows PageArrowsFor(const Rect& client);

} // namespace zentra

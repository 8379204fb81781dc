#include "display/view/view_layout.h"

#include <QGuiApplication>
#include <QScreen>

namespace zentra {

ScreenMetrics PrimaryScreenMetrics() {
    ScreenMetrics metrics;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return metrics;
    metrics.screenWidth = screen->size().width();
    const QRect available = screen->availableGeometry();
    metrics.fullScreenWidth = available.width();
    metrics.fullScreenHeight = available.height();
    return metrics;
}

void ComputeLayout(ViewLayout& layout, const Rect& client, int maximisedGraph,
                   const ScreenMetrics& screen) {
    int w = client.right;
    int h = client.bottom;
    if (client.IsNull()) {
        w = screen.fullScreenWidth;
        h = screen.fullScreenHeight;
    }
    layout.layoutWidth = w;
    layout.textScale = h;

    if (maximisedGraph < 0) {
        const int cw = w / 2;
        const int ch = h / 2;
        const int m = (cw * 10) / 100;
        layout.cellWidth = cw;
        layout.cellHeight = ch;
        layout.margin = m;
        layout.cell[0] = {0, 0, cw, ch};
        layout.cell[1] = {cw + 1, 0, w, ch};
        layout.cell[2] = {0, ch + 1, cw, h};
        layout.cell[3] = {cw + 1, ch + 1, w, h};
        for (int k = 0; k < kQuadrants; ++k) {
            // The right-hand plots start from cw, not from the cell's left edge cw + 1.
            layout.plotLeft[k] = (k % 2 == 0) ? m : cw + m;
            layout.plotBaseline[k] = (k < 2) ? ch - m : h - m;
            layout.plotWidth[k] = cw - 2 * m;
            layout.plotHeight[k] = ch - 2 * m;
        }
        return;
    }

    // One graph alone: the margin of the last tiled layout is kept.
    const int k = maximisedGraph % kQuadrants;
    const int m = layout.margin;
    layout.cellWidth = w;
    layout.cellHeight = h;
    layout.plotLeft[k] = m;
    layout.plotBaseline[k] = h - m;
    layout.plotWidth[k] = w - 2 * m;
    layout.plotHeight[k] = h - 2 * m;
}

int QuadrantOf(const ViewLayout& layout, QPoint p) {
    return (p.x() > layout.cell[1].left ? 1 : 0) + (p.y() > layout.cell[1].bottom ? 2 : 0);
}

std::array<Line, 3> DividerLines(const ViewLayout& layout, int inset, int d) {
    const int w = layout.layoutWidth;
    const int h = layout.textScale;
    return {{
        {{inset + 2, h / 2 + d}, {w - inset - 2, h / 2 + d}},
        {{2, h + d}, {w - 2, h + d}},
        {{w / 2 + d, 2}, {w / 2 + d, h - 2}},
    }};
}

PageArrows PageArrowsFor(const Rect& client) {
    const int mid = (client.bottom - client.top) / 2;
    const int r = client.right;
    PageArrows arrows;
    arrows.previous.points = {{{2, mid}, {16, mid - 14}, {16, mid + 14}}};
    arrows.previous.hit = {2, mid - 14, 16, mid + 14};
    arrows.next.points = {{{r - 2, mid}, {r - 16, mid - 14}, {r - 16, mid + 14}}};
    arrows.next.hit = {r - 16, mid - 14, r - 2, mid + 14};
    return arrows;
}

} // namespace zentra

// The two history arrows of a log-mode graph, under the ends of its time axis: their
// triangles (drawn by the renderer) and their hit rectangles (tested by the view's
// click handling). A click must lie strictly inside a rectangle to hit it.
#pragma once

#include <QPoint>
#include <QPolygon>

#include <array>

namespace zentra {

// Half the height (and the width) of an arrow triangle, in pixels.
inline constexpr int kHistoryArrowSize = 9;

enum class ArrowHit { None = 0, Back = 1, Forward = 2 };

// Bounds of a hit area; a point hits when left < x < right and top < y < bottom.
struct StrictRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool Contains(QPoint p) const {
        return left < p.x() && p.x() < right && top < p.y() && p.y() < bottom;
    }
};

class LoggingScaleArrowCoords {
  public:
    // From the plot's left x0, width W and baseline y0 and the bottom B of the drawing
    // area: the arrows sit 4% of B below the baseline, at the two ends of the axis.
    LoggingScaleArrowCoords(int x0, double W, int y0, int B);
    virtual ~LoggingScaleArrowCoords() = default;

    // Back (left) and forward (right) triangles: tip, upper corner, lower corner.
    const std::array<QPoint, 3>& LeftTriangle() const { return m_Left; }
    const std::array<QPoint, 3>& RightTriangle() const { return m_Right; }
    QPolygon LeftPolygon() const;
    QPolygon RightPolygon() const;

    const StrictRect& LeftHit() const { return m_LeftHit; }
    const StrictRect& RightHit() const { return m_RightHit; }

    // Which arrow a click at p hits.
    ArrowHit HitTest(QPoint p) const;

  private:
    std::array<QPoint, 3> m_Left;
    std::array<QPoint, 3> m_Right;
    StrictRect m_LeftHit;
    StrictRect m_RightHit;
};

} // namespace zentra

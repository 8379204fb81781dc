#include "display/graph/logging_scale_arrows.h"

#include "display/graph/graph_model.h"

namespace zentra {

LoggingScaleArrowCoords::LoggingScaleArrowCoords(int x0, double W, int y0, int B) {
    constexpr int a = kHistoryArrowSize;
    const int ya = TruncToInt(0.04 * B + y0);
    const int xr = x0 + TruncToInt(W);
    m_Left = {QPoint(x0, ya), QPoint(x0 + a, ya - a), QPoint(x0 + a, ya + a)};
    m_Right = {QPoint(xr, ya), QPoint(xr - a, ya - a), QPoint(xr - a, ya + a)};
    m_LeftHit = {x0, ya - a, x0 + a, ya + a};
    m_RightHit = {xr - a, ya - a, xr, ya + a};
}

QPolygon LoggingScaleArrowCoords::LeftPolygon() const {
    return QPolygon({m_Left[0], m_Left[1], m_Left[2]});
}

QPolygon LoggingScaleArrowCoords::RightPolygon() const {
    return QPolygon({m_Right[0], m_Right[1], m_Right[2]});
}

ArrowHit LoggingScaleArrowCoords::HitTest(QPoint p) const {
    if (m_LeftHit.Contains(p))
        return ArrowHit::Back;
    if (m_RightHit.Contains(p))
        return ArrowHit::Forward;
    return ArrowHit::None;
}

} // namespace zentra

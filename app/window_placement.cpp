#include "app/window_placement.h"

#include "document/reg_funcs.h"
#include "records/le_codec.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace zentra {
namespace {

bool Plausible(int value) {
    return value > -kPlacementLimit && value < kPlacementLimit;
}

} // namespace

std::optional<WindowPlacement> LoadWindowPlacement() {
    const RegFuncs reg;
    const RegKey key = reg.OpenKey(kWindowKey);
    std::array<std::uint8_t, kPlacementSize> bytes{};
    if (!key || platform::ReadSettingsValueInto(*key, kPlacementValue, bytes) != kPlacementSize)
        return std::nullopt;
    const int left = le::Get<std::int32_t>(bytes.data(), 0);
    const int top = le::Get<std::int32_t>(bytes.data(), 4);
    const int width = le::Get<std::int32_t>(bytes.data(), 8);
    const int height = le::Get<std::int32_t>(bytes.data(), 12);
    if (!Plausible(left) || !Plausible(top) || width <= 0 || height <= 0 ||
        width >= kPlacementLimit || height >= kPlacementLimit)
        return std::nullopt;
    return WindowPlacement{QRect(left, top, width, height),
                           le::Get<std::int32_t>(bytes.data(), 16) != 0};
}

bool StoreWindowPlacement(const WindowPlacement& placement) {
    const QRect& r = placement.normal;
    if (r.width() <= 0 || r.height() <= 0)
        return false;
    std::array<std::uint8_t, kPlacementSize> bytes{};
    le::Put<std::int32_t>(bytes.data(), 0, r.left());
    le::Put<std::int32_t>(bytes.data(), 4, r.top());
    le::Put<std::int32_t>(bytes.data(), 8, r.width());
    le::Put<std::int32_t>(bytes.data(), 12, r.height());
    le::Put<std::int32_t>(bytes.data(), 16, placement.maximised ? 1 : 0);
    const RegFuncs reg;
    return reg.SetValue(reg.OpenKey(kWindowKey), kPlacementValue, bytes);
}

QRect FitToScreen(const QRect& wanted, const QRect& available, const QMargins& frame) {
    const QRect room = available.marginsRemoved(frame);
    if (room.width() <= 0 || room.height() <= 0)
        return wanted;
    const int width = std::min(wanted.width(), room.width());
    const int height = std::min(wanted.height(), room.height());
    const int left = std::clamp(wanted.left(), room.left(), room.left() + room.width() - width);
    const int top = std::clamp(wanted.top(), room.top(), room.top() + room.height() - height);
    return {left, top, width, height};
}

QRect CentredIn(const QSize& size, const QRect& available) {
    return {available.left() + (available.width() - size.width()) / 2,
            available.top() + (available.height() - size.height()) / 2, size.width(),
            size.height()};
}

} // namespace zentra

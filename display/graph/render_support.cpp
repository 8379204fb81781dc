#include "display/graph/render_support.h"

#include <QFontMetrics>

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

namespace zentra::render {
namespace {

// Largest pixel (em) size whose cell fits `cellHeight`. Qt sizes fonts by their em and
// the cell (ascent plus descent) is taller; Qt refuses pixel sizes below 1. Sizes are
// kept, as a run meets only a few heights.
int FittingPixelSize(int cellHeight, bool bold) {
    static std::mutex mutex;
    static std::map<std::pair<int, bool>, int> sizes;
    const std::lock_guard lock(mutex);
    const auto key = std::make_pair(cellHeight, bold);
    if (const auto found = sizes.find(key); found != sizes.end())
        return found->second;
    QFont font;
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    int size = std::max(cellHeight, 1);
    font.setPixelSize(size);
    const int cell = QFontMetrics(font).height();
    if (cell > cellHeight && cell > 0) {
        size = std::max(1, size * std::max(cellHeight, 1) / cell);
        font.setPixelSize(size);
        while (size > 1 && QFontMetrics(font).height() > cellHeight)
            font.setPixelSize(--size);
    }
    sizes.emplace(key, size);
    return size;
}

} // namespace

QFont MakeFont(int cellHeight, int weight) {
    const bool bold = weight >= 700;
    QFont font;
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setPixelSize(FittingPixelSize(cellHeight, bold));
    return font;
}

} // namespace zentra::render

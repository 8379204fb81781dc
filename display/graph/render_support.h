// Small helpers shared by the graph drawing steps: the plot of a cell, rectangles given
// by their four edges, the label fonts and the fixed texts of a record.
#pragma once

#include "display/graph/graph_model.h"
#include "display/graph/graph_renderer.h"

#include <QFont>
#include <QRect>
#include <QString>

#include <array>
#include <cstring>

namespace zentra::render {

inline PlotGeometry PlotOf(const GraphGeometry& geometry) {
    return {geometry.plotLeft, geometry.plotBaseline, geometry.plotWidth, geometry.plotHeight};
}

// Rectangle from its left, top, right and bottom edges (right and bottom exclusive).
inline QRect Edges(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

// Text font whose cell (ascent plus descent) is at most `cellHeight` pixels, so that
// a line of text fits a rectangle of that height; weight 400 normal, 700 bold.
QFont MakeFont(int cellHeight, int weight);

template <std::size_t N> QString TextOf(const std::array<char, N>& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(strnlen(text.data(), N)));
}

// Single-line text flags: horizontal alignment plus top or bottom.
inline constexpr int kLeftTop = Qt::TextSingleLine | Qt::AlignLeft | Qt::AlignTop;
inline constexpr int kRightTop = Qt::TextSingleLine | Qt::AlignRight | Qt::AlignTop;
inline constexpr int kCentreTop = Qt::TextSingleLine | Qt::AlignHCenter | Qt::AlignTop;
inline constexpr int kLeftBottom = Qt::TextSingleLine | Qt::AlignLeft | Qt::AlignBottom;
inline constexpr int kRightBottom = Qt::TextSingleLine | Qt::AlignRight | Qt::AlignBottom;

} // namespace zentra::render

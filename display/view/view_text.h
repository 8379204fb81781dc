// Text drawing shared by the data tables and the project panel: fonts given by their
// cell height (the full line height, as the layout's font sizes are meant) and
// single-line text clipped to a rectangle.
#pragma once

#include "display/view/view_layout.h"

#include <QFont>
#include <string_view>

class QPainter;

namespace zentra {

enum class TextAlign { Left, Right, Centre };

// A font whose line height (ascent plus descent) is cellHeight pixels, in the given
// weight (400 or 700), upright or italic. A height below 1 gives a 1-pixel font.
QFont CellFont(int cellHeight, int weight, bool italic = false);

// Draws one line of text top-aligned in the rectangle, clipped to it. Only what can
// show is laid out: a text far longer than the rectangle is wide (a value of 1e300
// printed in full) costs no more than one that just fills it.
void DrawTextLine(QPainter& painter, const Rect& rect, TextAlign align, std::string_view text);

// The part of a text that can show in a rectangle of the given width when every
// character is at least one pixel wide: the head for left-aligned text, the tail for
// right-aligned text, the middle for centred text.
std::string_view VisiblePart(std::string_view text, int width, TextAlign align);

} // namespace zentra

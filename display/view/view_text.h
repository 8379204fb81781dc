// Text drawing shared by the data tables and the project panel: fonts given by their
// cell height (the full line height, as the layout's font sizes are meant) and
// single-line text clipped to a rectangle.
#pragma once

#include "display/view/view_layout.h"

#include <QFont>
#include <cstddef>
#include <string_view>

class QPainter;

namespace zentra {

enum class TextAlign { Left, Right, Centre };

// A font whose line height (ascent plus descent) is cellHeight pixels, in the given
// weight (400 or 700), upright or italic, without kerning (so a line is exactly as
// wide as its characters' advances). A height below 1 gives a 1-pixel font.
QFont CellFont(int cellHeight, int weight, bool italic = false);

// The narrowest advance of the font's printable ASCII characters, in pixels
// (fractional; never below a quarter pixel).
double MinCharAdvance(const QFont& font);

// Draws one line of text top-aligned in the rectangle, clipped to it, in the
// painter's font. Only what can show is laid out: a text far longer than the
// rectangle (a value of 1e300 printed in full) costs no more than one that just fills
// it. minAdvance is the font's MinCharAdvance (1 pixel when not known).
void DrawTextLine(QPainter& painter, const Rect& rect, TextAlign align, std::string_view text,
                  double minAdvance = 1.0);

// How many characters of a line can show in a rectangle of the given width when no
// character is narrower than minAdvance pixels (one more for a partly visible glyph).
std::size_t VisibleLength(int width, double minAdvance = 1.0);

// The part of a text that can show in such a rectangle: the head for left-aligned
// text, the tail for right-aligned text, the middle for centred text.
std::string_view VisiblePart(std::string_view text, int width, TextAlign align,
                             double minAdvance = 1.0);

} // namespace zentra

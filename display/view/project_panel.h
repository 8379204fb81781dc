// The strip of project details under the four tiled cells: name and description,
// project dates, and the logging start with the logging timing. Three columns of four
// lines, captions in italics, values upright, black on an opaque white background.
#pragma once

#include "display/view/view_layout.h"

#include <string>
#include <vector>

class QPainter;

namespace zentra {

struct CZentraDoc;

inline constexpr const char* kNotActive = "Not Active";

struct PanelText {
    Rect rect{};
    bool caption = false; // italic caption line, else an upright value line
    std::string text;
};

// Font height of the panel for a text scale H: (H/2) x 0.04, truncated.
int PanelFontHeight(int textScale);

// The twelve lines of the panel under the rectangle p (the client rectangle without
// the strip: the panel starts at its bottom, its right is the client width).
std::vector<PanelText> LayoutProjectPanel(const CZentraDoc& doc, const Rect& p, int textScale);

// Draws the panel; the painter's state is restored.
void DrawProjectPanel(QPainter& painter, const CZentraDoc& doc, const Rect& p, int textScale,
                      int fontWeight);

} // namespace zentra

// The data table: a graph cell (or the whole client area when the graph is maximised)
// filled with numbers instead of a plot. Real-time form: every logged reading with its
// label and newest live value. Logged form: forty logged samples a page, paged by the
// document's m_DataViewTop.
#pragma once

#include "display/view/view_layout.h"
#include "display/view/view_text.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class QPainter;

namespace zentra {

struct CZentraDoc;

inline constexpr int kTableLinesPerPage = 40;

// What the view hands the table for one cell.
struct TableGeometry {
    int textScale = 0; // H of the last layout
    int maximisedGraph = kNotMaximised;
    Rect cell{};                    // cell rectangle of quadrant g mod 4
    Rect client{};                  // client rectangle of the last DrawView
    int fontWeight = kNormalWeight; // 400 or 700
};

// Line sizes derived from the text scale (all truncated).
struct TableSizes {
    int rowHeight = 0; // (H/2) x 0.04 tiled, twice that maximised; also the main font
    int lineStep = 0;  // row height x 0.9: real-time form
    int smallStep = 0; // row height x 0.5: logged form; small font is row height / 2
};
TableSizes TableSizesFor(int textScale, bool maximised);

enum class TableFont { Main, Small };

// One line of table text, as it will be drawn.
struct TableText {
    Rect rect{};
    TextAlign align = TextAlign::Left;
    TableFont font = TableFont::Main;
    std::string text;
};

// The table of graph g as positioned lines of text, in drawing order. smallAdvance is
// the small font's narrowest character advance: sample rows are formatted only as far
// as they can show.
std::vector<TableText> LayoutDataTable(const CZentraDoc& doc, int g, const TableGeometry& geometry,
                                       double smallAdvance = 1.0);

// Draws the table of graph g in black; the painter's font and pen are restored.
void DrawDataTable(QPainter& painter, const CZentraDoc& doc, int g, const TableGeometry& geometry);

// The sample row of the logged form: BuildSampleRow's text, except that a record
// holding values of 1e15 or more (hundreds of digits each, from a damaged file) is
// formatted only until the row is longer than `budget` characters, the most that can
// show; what is formatted is the same text.
std::string VisibleSampleRow(const CZentraDoc& doc, int sample, std::string_view separator,
                             std::size_t budget);

// The newest live value of a reading index (1..48 through the reading map, 49 the
// derived horse power); 0 for an empty ring slot or a position outside the slot.
double NewestLiveValue(const CZentraDoc& doc, int readingIndex);

// The table page Page Down goes to from `page`: the next one, but never past the page
// that holds the last sample (page 0 while nothing is logged), so the keys never lead
// to an empty page of headings; a page already beyond it comes back to it.
std::int32_t NextTablePage(std::int32_t page, std::int32_t sampleCount);

} // namespace zentra

#include "display/view/data_table.h"

#include "document/csv_export.h"
#include "document/format_value.h"
#include "document/zentra_doc.h"
#include "records/calendar.h"
#include "records/readings_catalogue.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zentra {
namespace {

// Separators and indents of the logged form; the spaces line the headings up over
// the columns of the sample rows.
constexpr std::string_view kFullHeadingSeparator = "     :     ";
constexpr std::string_view kShortHeadingSeparator = "   :    ";
constexpr std::string_view kFullRowSeparator = "   ";
constexpr std::string_view kShortRowSeparator = "           ";
constexpr std::size_t kFullHeadingIndentA = 39;
constexpr std::size_t kFullHeadingIndentB = 17;
constexpr std::size_t kFullHeadingIndentBAfter = 5;
constexpr std::size_t kShortHeadingIndent = 33;
constexpr std::string_view kFullHint = "(Use PgUp/PgDn Keys to Scroll)";
constexpr std::string_view kShortHint = "     (Use PgUp/PgDn Keys to Scroll)";

// Column widths of the real-time form, tiled and maximised.
constexpr int kTiledColumnWidth = 100;
constexpr int kMaximisedColumnWidth = 300;

int Trunc(double v) {
    return static_cast<int>(v);
}

// Moves a column down one line; the bottom follows from the new top.
void StepDown(Rect& r, int step, double height) {
    r.top += step;
    r.bottom = Trunc(r.top + height);
}

// Values this large print with so many digits that formatting dominates the paint.
constexpr double kLongValue = 1e15;

template <std::size_t N> void AppendField(std::string& out, const std::array<char, N>& field) {
    out.append(field.data(), strnlen(field.data(), N));
}

bool HoldsLongValues(const SampleRecord& record) {
    return std::any_of(record.begin(), record.end(),
                       [](double v) { return std::isfinite(v) && std::fabs(v) >= kLongValue; });
}

} // namespace

std::string VisibleSampleRow(const CZentraDoc& doc, int sample, std::string_view separator,
                             std::size_t budget) {
    if (sample < 0 || sample >= kMaxSamples)
        return {};
    const auto n = static_cast<std::size_t>(sample);
    const SampleRecord& record = doc.m_SampleValues[n];
    if (!HoldsLongValues(record))
        return BuildSampleRow(doc, sample, separator);

    // The same row as BuildSampleRow, cut short once nothing more can show.
    const bool shortList = UsesShortList(doc.m_SystemType);
    std::string row;
    if (shortList)
        row += kShortRowIndent;
    const GetSystemDate when(doc.m_SampleTimes[n]);
    AppendField(row, when.m_MonthName);
    row += ' ';
    AppendField(row, when.m_Day);
    row += ' ';
    AppendField(row, when.m_Year);
    row += ' ';
    AppendField(row, when.m_Hour);
    row += ':';
    AppendField(row, when.m_Minute);
    row += ':';
    AppendField(row, when.m_Second);
    row += separator;
    const std::size_t columns = ColumnsFor(doc.m_SystemType).size();
    for (std::size_t k = 0; k < columns && row.size() <= budget; ++k) {
        const bool horsePower = shortList && k == kShortColumnCount - 1;
        AppendFormattedValue(row, horsePower ? HorsePower(record.data()) : record[k + 1]);
        row += separator;
    }
    return row;
}

TableSizes TableSizesFor(int textScale, bool maximised) {
    TableSizes sizes;
    sizes.rowHeight = Trunc((textScale / 2) * 0.04);
    if (maximised)
        sizes.rowHeight *= 2;
    sizes.lineStep = Trunc(sizes.rowHeight * 0.9);
    sizes.smallStep = Trunc(sizes.rowHeight * 0.5);
    return sizes;
}

double NewestLiveValue(const CZentraDoc& doc, int readingIndex) {
    const int e = doc.m_LiveIndex == 0 ? kRingSlots - 1 : doc.m_LiveIndex - 1;
    if (e < 0 || e >= kRingSlots || doc.m_LiveValid[static_cast<std::size_t>(e)] == 0)
        return 0.0;
    return LiveReading(doc, doc.m_LiveValues[static_cast<std::size_t>(e)], readingIndex);
}

std::vector<TableText> LayoutDataTable(const CZentraDoc& doc, int g, const TableGeometry& geometry,
                                       double smallAdvance) {
    std::vector<TableText> lines;
    if (g < 0 || g >= kGraphCount)
        return lines;
    const Graph& graph = doc.m_Graphs[static_cast<std::size_t>(g)];
    const bool maximised = geometry.maximisedGraph != kNotMaximised;
    const TableSizes sizes = TableSizesFor(geometry.textScale, maximised);
    const double rowBox = sizes.rowHeight * 0.9;

    Rect label = geometry.cell;
    Rect value = geometry.cell;
    if (!maximised) {
        const Rect& cell = geometry.cell;
        label.top = value.top = cell.top + 2 * sizes.lineStep;
        label.bottom = value.bottom = Trunc(label.top + rowBox);
        const int w = cell.right - cell.left;
        label.left = cell.left + w / 2 - Trunc(w * 0.01 + kTiledColumnWidth);
        label.right = label.left + kTiledColumnWidth;
        value.left = cell.left + w / 2 + Trunc(w * 0.01);
        value.right = value.left + kTiledColumnWidth;
    } else {
        label.top = value.top = Trunc(geometry.client.bottom * 0.05);
        label.bottom = value.bottom = Trunc(label.top + rowBox);
        const int w = geometry.client.right;
        label.left = w / 2 - Trunc(w * 0.01 + kMaximisedColumnWidth);
        label.right = label.left + kMaximisedColumnWidth;
        value.left = w / 2 + Trunc(w * 0.01);
        value.right = value.left + kMaximisedColumnWidth;
    }

    const bool shortList = UsesShortList(doc.m_SystemType);
    const auto columns = ColumnsFor(doc.m_SystemType);

    if (graph.m_RealTime != 0) {
        lines.reserve(2 * columns.size());
        for (ReadingIndex r : columns) {
            lines.push_back(
                {label, TextAlign::Right, TableFont::Main, std::string(ReadingLabel(r))});
            StepDown(label, sizes.lineStep, rowBox);
        }
        for (ReadingIndex r : columns) {
            lines.push_back(
                {value, TextAlign::Left, TableFont::Main, FormatValue(NewestLiveValue(doc, r))});
            StepDown(value, sizes.lineStep, rowBox);
        }
        return lines;
    }

    // Logged form, in the small font.
    Rect text = value;
    if (!maximised) {
        text.left = geometry.cell.left + 2;
        text.right = geometry.cell.left + geometry.cell.right;
    } else {
        text.left = geometry.client.left + 6;
        text.right = geometry.client.right;
    }
    Rect raised = text;
    raised.top -= sizes.rowHeight / 2;
    raised.bottom -= sizes.rowHeight / 2;

    lines.reserve(kTableLinesPerPage + 3);
    if (!shortList) {
        std::string a = BuildHeadingRow(doc, 1, kFullHeadingSeparator);
        a.insert(0, kFullHeadingIndentA, ' ');
        lines.push_back({raised, TextAlign::Left, TableFont::Small, std::move(a)});
        std::string b = BuildHeadingRow(doc, 2, kFullHeadingSeparator);
        b.insert(std::min(kFullHeadingIndentBAfter, b.size()), kFullHeadingIndentB, ' ');
        lines.push_back({text, TextAlign::Left, TableFont::Small, std::move(b)});
    } else {
        std::string a = BuildHeadingRow(doc, 0, kShortHeadingSeparator);
        a.insert(0, kShortHeadingIndent, ' ');
        lines.push_back({raised, TextAlign::Left, TableFont::Small, std::move(a)});
    }

    // The page comes from the keys or a file: any value is allowed, so the index is
    // computed wide and only samples that exist in the log are read.
    const std::int64_t first = static_cast<std::int64_t>(doc.m_DataViewTop) * kTableLinesPerPage;
    const std::int64_t count = std::clamp<std::int64_t>(doc.m_SampleCount, 0, kMaxSamples);
    const std::string_view separator = shortList ? kShortRowSeparator : kFullRowSeparator;
    for (std::int64_t i = first; i < count && i < first + kTableLinesPerPage; ++i) {
        if (i < 0)
            continue; // a negative page (a damaged file) has no samples to show
        StepDown(text, sizes.smallStep, sizes.rowHeight * 0.5);
        lines.push_back({text, TextAlign::Left, TableFont::Small,
                         VisibleSampleRow(doc, static_cast<int>(i), separator,
                                          VisibleLength(text.Width(), smallAdvance))});
    }

    StepDown(text, 2 * sizes.smallStep, sizes.rowHeight);
    lines.push_back(
        {text, TextAlign::Left, TableFont::Small, std::string(shortList ? kShortHint : kFullHint)});
    return lines;
}

void DrawDataTable(QPainter& painter, const CZentraDoc& doc, int g, const TableGeometry& geometry) {
    const bool maximised = geometry.maximisedGraph != kNotMaximised;
    const TableSizes sizes = TableSizesFor(geometry.textScale, maximised);
    const QFont mainFont = CellFont(sizes.rowHeight, geometry.fontWeight);
    const QFont smallFont = CellFont(sizes.rowHeight / 2, geometry.fontWeight);

    const double mainAdvance = MinCharAdvance(mainFont);
    const double smallAdvance = MinCharAdvance(smallFont);

    painter.save();
    painter.setPen(Qt::black);
    for (const TableText& line : LayoutDataTable(doc, g, geometry, smallAdvance)) {
        const bool main = line.font == TableFont::Main;
        painter.setFont(main ? mainFont : smallFont);
        DrawTextLine(painter, line.rect, line.align, line.text, main ? mainAdvance : smallAdvance);
    }
    painter.restore();
}

std::int32_t NextTablePage(std::int32_t page, std::int32_t sampleCount) {
    const std::int32_t last = sampleCount > 0 ? (sampleCount - 1) / kTableLinesPerPage : 0;
    return page < last ? page + 1 : last;
}

} // namespace zentra

// The data tables' text over a hostile document: the CSV target's document (texts,
// meter variant, samples) plus a hostile log count and table page, a hostile ring
// position, reading map and newest ring entry, laid out for a cell the input picks
// (tiled in a small, a common and a large window, or maximised). The lines must be
// what the table shows: every label and newest value in real-time form; in logged
// form the headings, at most forty sample rows (those of the page that exist in the
// log) cut no further than the cell can show, and the hint; every number its own
// value. Shared by the fuzz target and the tests that replay its inputs.
#pragma once

#include "display/view/data_table.h"
#include "document/format_value.h"
#include "fuzz/csv_export_harness.h"
#include "records/readings_catalogue.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace zentra::fuzz {

// Cells of a tiled view and a maximised one, as the view's layout hands them over.
inline TableGeometry TableGeometryFrom(std::uint8_t pick) {
    struct Window {
        int width, height;
    };
    static constexpr Window kWindows[] = {{120, 90}, {1024, 700}, {2560, 1400}};
    const Window w = kWindows[pick % std::size(kWindows)];
    TableGeometry g;
    g.textScale = w.height;
    g.client = {0, 0, w.width, w.height};
    g.fontWeight = (pick & 4) ? kBoldWeight : kNormalWeight;
    if (pick & 8) {
        g.maximisedGraph = (pick >> 4) % kGraphCount;
        g.cell = g.client;
    } else {
        const int quadrant = (pick >> 4) % kQuadrants;
        const int left = (quadrant % 2) * (w.width / 2);
        const int top = (quadrant / 2) * (w.height / 2);
        g.cell = {left, top, left + w.width / 2, top + w.height / 2};
    }
    return g;
}

struct TableState {
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    std::vector<std::size_t> touched; // log records the last input filled
};

inline TableState& TheTableState() {
    static TableState* state = new TableState(); // lives for the whole run
    return *state;
}

// Logged form: the lines after the headings.
inline void CheckLoggedLines(const CZentraDoc& doc, const std::vector<TableText>& lines,
                             std::size_t headings, double smallAdvance) {
    const bool shortList = UsesShortList(doc.m_SystemType);
    const std::int64_t first = std::int64_t{doc.m_DataViewTop} * kTableLinesPerPage;
    const std::int64_t count = std::clamp<std::int64_t>(doc.m_SampleCount, 0, kMaxSamples);
    const std::int64_t from = std::max<std::int64_t>(first, 0);
    const std::int64_t to = std::min<std::int64_t>(count, first + kTableLinesPerPage);
    const std::size_t rows = to > from ? static_cast<std::size_t>(to - from) : 0;
    if (lines.size() != headings + rows + 1)
        Fail("a table page shows the wrong number of lines", lines.size());
    const std::string_view hint =
        shortList ? "     (Use PgUp/PgDn Keys to Scroll)" : "(Use PgUp/PgDn Keys to Scroll)";
    if (lines.back().text != hint)
        Fail("a table page does not end with the hint", lines.size());
    const std::string_view separator = shortList ? "           " : "   ";
    std::string full;
    const SampleRecord* fullRecord = nullptr; // the record full was made from
    std::int64_t fullTime = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        const int sample = static_cast<int>(from) + static_cast<int>(r);
        const TableText& line = lines[headings + r];
        // The row of the CSV rules (checked cell by cell by the CSV target) or, for
        // a record of huge values, its head: cut after a whole cell, once the row is
        // longer than the line can show, and no later. A row depends on its record
        // alone, so the zero records of a page share one expected row.
        const auto n = static_cast<std::size_t>(sample);
        // Compared bit for bit: -0.0 equals 0.0 but shows as another text.
        if (!fullRecord || fullTime != doc.m_SampleTimes[n] ||
            std::memcmp(fullRecord, &doc.m_SampleValues[n], sizeof(SampleRecord)) != 0) {
            full = BuildSampleRow(doc, sample, separator);
            fullRecord = &doc.m_SampleValues[n];
            fullTime = doc.m_SampleTimes[n];
        }
        if (line.text == full)
            continue;
        const std::size_t budget = VisibleLength(line.rect.Width(), smallAdvance);
        if (!full.starts_with(line.text) || !line.text.ends_with(separator) ||
            line.text.size() <= budget ||
            line.text.size() > budget + kLongestValueText + separator.size())
            Fail("a sample row is cut where it could still show", static_cast<std::size_t>(sample));
    }
}

// Returns the document the input made (valid until the next call).
inline CZentraDoc& RunDataTable(const std::uint8_t* data, std::size_t size) {
    TableState& s = TheTableState();
    CZentraDoc& doc = *s.doc;
    for (const std::size_t n : s.touched) {
        doc.m_SampleValues[n].fill(0.0);
        doc.m_SampleTimes[n] = 0;
    }
    s.touched.clear();

    InputReader in(data, size);
    HostileDocument(in, doc);
    doc.m_SampleCount = HostileInt(in, kMaxSamples);
    doc.m_DataViewTop = HostileInt(in, kMaxSamples / kTableLinesPerPage);
    // The ring position is the program's own (never read from a file): any slot and
    // the ones just outside the ring.
    doc.m_LiveIndex = static_cast<std::int32_t>(in.Raw<std::uint16_t>() % (2 * kRingSlots)) - 40;
    const int g = in.Byte() % kGraphCount;
    doc.m_Graphs[static_cast<std::size_t>(g)].m_RealTime = in.Byte() & 1;
    const TableGeometry geometry = TableGeometryFrom(in.Byte());
    static constexpr double kAdvances[] = {1.0, 0.25, 5.5};
    const double advance = kAdvances[in.Byte() % std::size(kAdvances)];
    for (auto& position : doc.m_ReadingMap)
        position = in.Left() > 0 ? HostileInt(in, kRingValues) : 0;
    // The newest ring entry, wherever the position says it is.
    const int newest = doc.m_LiveIndex == 0 ? kRingSlots - 1 : doc.m_LiveIndex - 1;
    if (newest >= 0 && newest < kRingSlots) {
        const auto e = static_cast<std::size_t>(newest);
        doc.m_LiveValid[e] = in.Byte() & 1;
        for (double& value : doc.m_LiveValues[e])
            value = in.Left() > 0 ? HostileDouble(in) : 0.0;
    }
    // The page's first samples, when they are in the log (the CSV part filled 0..3).
    const std::int64_t first = std::int64_t{doc.m_DataViewTop} * kTableLinesPerPage;
    for (std::int64_t n = std::max<std::int64_t>(first, kFuzzedSamples);
         n < first + 3 && n < kMaxSamples && in.Left() > 0; ++n) {
        const auto i = static_cast<std::size_t>(n);
        for (double& value : doc.m_SampleValues[i])
            value = HostileDouble(in);
        doc.m_SampleTimes[i] = HostileTime(in);
        s.touched.push_back(i);
    }

    const std::vector<TableText> lines = LayoutDataTable(doc, g, geometry, advance);
    const auto columns = ColumnsFor(doc.m_SystemType);
    if (doc.m_Graphs[static_cast<std::size_t>(g)].m_RealTime != 0) {
        if (lines.size() != 2 * columns.size())
            Fail("the real-time table does not list every reading", lines.size());
        for (std::size_t k = 0; k < columns.size(); ++k) {
            if (lines[k].text != ReadingLabel(columns[k]))
                Fail("a real-time label is not its reading's", k);
            CheckValueText(lines[columns.size() + k].text, NewestLiveValue(doc, columns[k]), k);
        }
    } else {
        CheckLoggedLines(doc, lines, UsesShortList(doc.m_SystemType) ? 1 : 2, advance);
    }
    return doc;
}

} // namespace zentra::fuzz

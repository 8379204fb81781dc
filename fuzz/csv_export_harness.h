// The CSV export over a hostile document made from the input: the project texts
// (commas, line breaks, any byte), the start date and time fields, the meter variant,
// the sample count and the first few samples with their times, their values drawn
// mostly from those that break number formatting (NaN, infinities, the largest and
// smallest doubles, negative zero, band edges). The text written must be well formed:
// CR LF line ends only, the header lines, the blank line and the heading row in
// place, one row per logged sample with exactly the heading row's columns, every
// number its own value with the decimals of its band, nothing longer than its bound.
// Shared by the fuzz target and the tests that replay its inputs.
#pragma once

#include "document/csv_export.h"
#include "document/zentra_doc.h"
#include "fuzz/value_texts.h"
#include "records/readings_catalogue.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zentra::fuzz {

// Samples the input fills; the rest of the log stays zero.
inline constexpr int kFuzzedSamples = 3; // the first row, one between, the last
// A time cell is "Mmm DD YYYY HH:MM:SS" from fixed-size calendar fields.
inline constexpr std::size_t kLongestTimeCell = 64;

template <std::size_t N> void TextFrom(InputReader& in, std::array<char, N>& field) {
    field.fill('\0');
    const std::size_t length = std::min<std::size_t>(in.Byte(), N - 1);
    for (std::size_t i = 0; i < length; ++i)
        field[i] = static_cast<char>(in.Byte());
}

inline std::int64_t HostileTime(InputReader& in) {
    static constexpr std::int64_t kTimes[] = {std::numeric_limits<std::int64_t>::min(),
                                              std::numeric_limits<std::int64_t>::max(),
                                              -1,
                                              0,
                                              253'402'300'799, // the last second of 9999
                                              253'402'300'800,
                                              1'357'394'589};
    const std::uint8_t pick = in.Byte();
    return pick < std::size(kTimes) ? kTimes[pick] : in.Raw<std::int64_t>();
}

// Fills the fields the CSV text reads; the samples past kFuzzedSamples stay zero.
inline void HostileDocument(InputReader& in, CZentraDoc& doc) {
    static constexpr std::int32_t kSystemTypes[] = {1, 2, 3, 4, 5, 6, 0, -1, 7};
    // Counts that make every row of a full log are left to the data tables, which
    // show forty at most: here each row costs the whole row's checks.
    static constexpr std::int32_t kCounts[] = {
        std::numeric_limits<std::int32_t>::min(), -1, 0, 1, 2, kFuzzedSamples};
    doc.m_SystemType = kSystemTypes[in.Byte() % std::size(kSystemTypes)];
    doc.m_SampleCount = kCounts[in.Byte() % std::size(kCounts)];
    doc.m_StartHour = HostileInt(in, 24);
    doc.m_StartMinute = HostileInt(in, 60);
    doc.m_StartSecond = HostileInt(in, 60);
    doc.m_ProjectStartDate = in.Raw<std::int32_t>();
    doc.m_StartDate = in.Raw<std::int32_t>();
    TextFrom(in, doc.m_ProjectName);
    TextFrom(in, doc.m_Description);
    for (int n = 0; n < kFuzzedSamples; ++n) {
        auto& record = doc.m_SampleValues[static_cast<std::size_t>(n)];
        for (double& value : record)
            value = in.Left() > 0 ? HostileDouble(in) : 0.0;
        doc.m_SampleTimes[static_cast<std::size_t>(n)] = HostileTime(in);
    }
}

// Line breaks of a header text as the file writes them: CR LF, a lone CR and a lone
// LF each end one line.
inline std::size_t LineBreaksIn(std::string_view text) {
    std::size_t breaks = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++breaks;
    return breaks;
}

inline std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(64);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// The value of column k of a sample as the rows show it.
inline double ColumnValueOf(const CZentraDoc& doc, int sample, std::size_t k) {
    const auto& record = doc.m_SampleValues[static_cast<std::size_t>(sample)];
    if (UsesShortList(doc.m_SystemType) && k == kShortColumnCount - 1)
        return HorsePower(record.data());
    return record[k + 1];
}

// Checks a CSV sample row: the time cell, then every column's number text, each
// followed by the separator.
inline void CheckSampleRow(const CZentraDoc& doc, int sample, std::string_view row) {
    const std::size_t where = static_cast<std::size_t>(sample);
    const auto columns = ColumnsFor(doc.m_SystemType);
    if (row.size() > kShortRowIndent.size() + kLongestTimeCell +
                         columns.size() * (kLongestValueText + kCsvSeparator.size()))
        Fail("a sample row is longer than its columns can be", where);
    const std::size_t timeEnd = row.find(kCsvSeparator);
    if (timeEnd == std::string_view::npos || timeEnd > kShortRowIndent.size() + kLongestTimeCell)
        Fail("a sample row has no time cell", where);
    std::size_t at = timeEnd + kCsvSeparator.size();
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const std::size_t end = row.find(kCsvSeparator, at);
        if (end == std::string_view::npos)
            Fail("a sample row lacks a column", where);
        CheckValueText(row.substr(at, end - at), ColumnValueOf(doc, sample, k), where);
        at = end + kCsvSeparator.size();
    }
    if (at != row.size())
        Fail("a sample row goes on after its last column", where);
}

inline void CheckCsvText(const CZentraDoc& doc, std::string_view text) {
    // Every CR has an LF after it and every LF a CR before it (memchr: the text is
    // scanned without a traced comparison per character).
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* cr = begin; (cr = static_cast<const char*>(std::memchr(cr, '\r', end - cr)));
         ++cr)
        if (cr + 1 == end || cr[1] != '\n')
            Fail("a line of the CSV text does not end with CR LF",
                 static_cast<std::size_t>(cr - begin));
    for (const char* lf = begin; (lf = static_cast<const char*>(std::memchr(lf, '\n', end - lf)));
         ++lf)
        if (lf == begin || lf[-1] != '\r')
            Fail("a line of the CSV text does not end with CR LF",
                 static_cast<std::size_t>(lf - begin));
    if (!text.ends_with(kCsvLineEnd))
        Fail("the CSV text does not end with a line end", text.size());
    const auto lines = SplitLines(text.substr(0, text.size() - kCsvLineEnd.size()));
    const std::string_view name(doc.m_ProjectName.data(),
                                strnlen(doc.m_ProjectName.data(), kShortTextCapacity));
    const std::string_view description(doc.m_Description.data(),
                                       strnlen(doc.m_Description.data(), kDescriptionCapacity));
    const std::size_t headerLines = 5 + LineBreaksIn(name) + LineBreaksIn(description);
    const std::size_t rows =
        static_cast<std::size_t>(std::clamp(doc.m_SampleCount, 0, kMaxSamples));
    if (lines.size() != headerLines + 2 + rows)
        Fail("the CSV text has the wrong number of lines", lines.size());
    for (std::size_t i = 0; i < headerLines; ++i)
        if (lines[i].find(',') != std::string_view::npos)
            Fail("a header line holds a comma", i);
    if (!lines[headerLines].empty())
        Fail("the line before the headings is not empty", headerLines);
    const std::string_view heading = lines[headerLines + 1];
    if (heading != BuildHeadingRow(doc, 0, kCsvSeparator))
        Fail("the heading row is not the headings", headerLines + 1);
    const std::size_t columns = ColumnsFor(doc.m_SystemType).size();
    if (CountOf(heading, kCsvSeparator) != columns + 1)
        Fail("the heading row has the wrong number of columns", columns);
    for (std::size_t n = 0; n < rows; ++n)
        CheckSampleRow(doc, static_cast<int>(n), lines[headerLines + 2 + n]);
}

struct CsvState {
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
};

inline CsvState& TheCsvState() {
    static CsvState* state = new CsvState(); // lives for the whole run
    return *state;
}

// Returns the document the input made (valid until the next call).
inline CZentraDoc& RunCsvExport(const std::uint8_t* data, std::size_t size) {
    CZentraDoc& doc = *TheCsvState().doc;
    InputReader in(data, size);
    HostileDocument(in, doc);
    CheckCsvText(doc, BuildCsvText(doc));
    // Rows asked for by number, as the data tables ask: outside the log they are empty.
    for (const int n : {-1, kMaxSamples, std::numeric_limits<int>::min()})
        if (!BuildSampleRow(doc, n, kCsvSeparator).empty())
            Fail("a row outside the log is not empty", 0);
    return doc;
}

} // namespace zentra::fuzz

#include "document/csv_export.h"

#include "document/format_value.h"
#include "document/zentra_doc.h"
#include "platform/file_io.h"
#include "records/calendar.h"
#include "records/readings_catalogue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace zentra {
namespace {

// Rough width of a full-list row, for reserving the file text.
constexpr std::size_t kRowEstimate = 23 * 9 + 24;

template <std::size_t N> std::string_view TextOf(const std::array<char, N>& field) {
    return std::string_view(field.data(), strnlen(field.data(), N));
}

// A document text with its commas removed and every line break written as CR LF: a
// CR LF pair, a lone LF and a lone CR (a spreadsheet ends a line at either) each.
void AppendHeaderText(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ',')
            continue;
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue; // written with its LF
        if (c == '\r' || c == '\n')
            out += kCsvLineEnd;
        else
            out += c;
    }
    out += kCsvLineEnd;
}

// "<caption>DD Mmm YYYY" of a DayNumber.
void AppendDateLine(std::string& out, std::string_view caption, DayNumber day) {
    char dayText[kDayTextCapacity] = {};
    GetSystemDate::FromDayNumber(day, dayText);
    GetSystemDate date;
    date.SetDate(dayText);
    out += caption;
    out += TextOf(date.m_Day);
    out += ' ';
    out += TextOf(date.m_MonthName);
    out += ' ';
    out += TextOf(date.m_Year);
    out += kCsvLineEnd;
}

double ColumnValue(const SampleRecord& record, bool shortList, std::size_t column) {
    // The last column of the short list is horse power, derived from "kW Sum".
    if (shortList && column == kShortColumnCount - 1)
        return HorsePower(record.data());
    return record[column + 1];
}

} // namespace

std::string BuildHeadingRow(const CZentraDoc& doc, int mode, std::string_view separator) {
    const auto columns = ColumnsFor(doc.m_SystemType);
    std::string row;
    std::size_t first = 0;
    std::size_t step = 1;
    if (mode == 1) {
        row += separator;
        first = 1;
        step = 2;
    } else {
        row += "Time";
        row += separator;
        step = mode == 2 ? 2 : 1;
    }
    for (std::size_t k = first; k < columns.size(); k += step) {
        row += ReadingLabel(columns[k]);
        row += separator;
    }
    return row;
}

void AppendSampleRow(std::string& out, const CZentraDoc& doc, int sample,
                     std::string_view separator) {
    if (sample < 0 || sample >= kMaxSamples)
        return;
    const auto n = static_cast<std::size_t>(sample);
    const bool shortList = UsesShortList(doc.m_SystemType);
    if (shortList)
        out += kShortRowIndent;
    const GetSystemDate when(doc.m_SampleTimes[n]);
    out += TextOf(when.m_MonthName);
    out += ' ';
    out += TextOf(when.m_Day);
    out += ' ';
    out += TextOf(when.m_Year);
    out += ' ';
    out += TextOf(when.m_Hour);
    out += ':';
    out += TextOf(when.m_Minute);
    out += ':';
    out += TextOf(when.m_Second);
    out += separator;
    const std::size_t columns = ColumnsFor(doc.m_SystemType).size();
    for (std::size_t k = 0; k < columns; ++k) {
        AppendFormattedValue(out, ColumnValue(doc.m_SampleValues[n], shortList, k));
        out += separator;
    }
}

std::string BuildSampleRow(const CZentraDoc& doc, int sample, std::string_view separator) {
    std::string row;
    AppendSampleRow(row, doc, sample, separator);
    return row;
}

std::string BuildCsvText(const CZentraDoc& doc) {
    const int samples = std::clamp(doc.m_SampleCount, 0, kMaxSamples);
    std::string text;
    text.reserve(1024 + static_cast<std::size_t>(samples) * kRowEstimate);
    AppendHeaderText(text, TextOf(doc.m_ProjectName));
    AppendHeaderText(text, TextOf(doc.m_Description));
    AppendDateLine(text, "Project Start Time: ", doc.m_ProjectStartDate);
    AppendDateLine(text, "Logging Start Date: ", doc.m_StartDate);
    char timeLine[64];
    std::snprintf(timeLine, sizeof timeLine, "Logging Start Time: %.2d:%.2d:%.2d", doc.m_StartHour,
                  doc.m_StartMinute, doc.m_StartSecond);
    text += timeLine;
    text += kCsvLineEnd;
    text += kCsvLineEnd;
    text += BuildHeadingRow(doc, 0, kCsvSeparator);
    text += kCsvLineEnd;
    for (int n = 0; n < samples; ++n) {
        AppendSampleRow(text, doc, n, kCsvSeparator);
        text += kCsvLineEnd;
    }
    return text;
}

CsvExportResult ExportCsv(const CZentraDoc& doc, const std::string& path) {
    const std::string text = BuildCsvText(doc);
    platform::UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file.valid())
        return {false, std::string(kCannotOpenCsv)};
    int error = platform::WriteAll(file.get(), text);
    const int closeError = file.Close();
    if (error == 0)
        error = closeError;
    if (error != 0)
        return {false, std::string(kCannotWriteCsv) + ": " + std::strerror(error)};
    return {true, {}};
}

} // namespace zentra

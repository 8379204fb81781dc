// Export of the logged samples as a comma-separated text file for spreadsheets: five
// header lines (project name, description, project start, logging start date and
// time), a blank line, the column headings and one row per sample. Lines end with
// CR LF on every platform. The heading and sample rows are shared with the data
// tables of the view, which use their own separators.
#pragma once

#include <string>
#include <string_view>

namespace zentra {

struct CZentraDoc;

inline constexpr std::string_view kCsvSeparator = ",";
inline constexpr std::string_view kCsvLineEnd = "\r\n";
inline constexpr std::string_view kShortRowIndent = "      "; // six blanks, short list rows

// Messages of a failed export (the view shows them with the default caption).
inline constexpr std::string_view kCannotOpenCsv = "Cannot Open/Create File";
inline constexpr std::string_view kCannotWriteCsv = "Cannot write file";

struct CsvExportResult {
    bool ok = false;
    std::string error; // empty on success
};

// Column headings of the document's column list:
//   mode 0: "Time", separator, then every label followed by the separator;
//   mode 1: separator, then the labels of columns 1, 3, 5, ... each followed by it;
//   mode 2: "Time", separator, then the labels of columns 0, 2, 4, ... each followed
//   by it. Any other mode is taken as mode 0.
std::string BuildHeadingRow(const CZentraDoc& doc, int mode, std::string_view separator);

// One sample row: the local time "Mmm DD YYYY HH:MM:SS", the separator, then every
// column's FormatValue text followed by the separator; short-list rows start with
// six blanks. A sample number outside 0..kMaxSamples-1 gives an empty text.
std::string BuildSampleRow(const CZentraDoc& doc, int sample, std::string_view separator);
void AppendSampleRow(std::string& out, const CZentraDoc& doc, int sample,
                     std::string_view separator);

// The whole file as it is written (CR LF line ends).
std::string BuildCsvText(const CZentraDoc& doc);

// Writes the file at the path (created or truncated). A file that cannot be opened
// gives "Cannot Open/Create File"; a failed write after opening (a full disk, a
// removed medium) gives "Cannot write file: " and the reason.
CsvExportResult ExportCsv(const CZentraDoc& doc, const std::string& path);

} // namespace zentra

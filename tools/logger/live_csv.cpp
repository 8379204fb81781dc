#include "tools/logger/live_csv.h"

#include "document/csv_export.h"
#include "document/zentra_doc.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zentra::logger {
namespace {

int LoggedCount(const CZentraDoc& doc) {
    return std::clamp(doc.m_SampleCount, 0, kMaxSamples);
}

} // namespace

void LiveCsv::Discard() {
    fd_.Close();
    if (!path_.empty())
        ::unlink(path_.c_str());
    path_.clear();
}

bool LiveCsv::Open(const std::string& path, const CZentraDoc& doc) {
    path_ = path;
    error_.clear();
    broken_ = false;
    fd_.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!IsOpen()) {
        error_ = std::string(kCannotOpenCsv) + ": " + std::strerror(errno);
        return false;
    }
    text_ = BuildCsvText(doc);
    rows_ = LoggedCount(doc);
    return WriteRows();
}

bool LiveCsv::Append(const CZentraDoc& doc) {
    if (!IsOpen() || broken_)
        return false;
    const int count = LoggedCount(doc);
    if (count <= rows_)
        return true;
    text_.clear();
    for (int n = rows_; n < count; ++n) {
        AppendSampleRow(text_, doc, n, kCsvSeparator);
        text_ += kCsvLineEnd;
    }
    rows_ = count;
    return WriteRows();
}

// Writes text_ and flushes it to the disk (data only: the size is part of it).
bool LiveCsv::WriteRows() {
    int error = platform::WriteAll(fd_.get(), text_);
    if (error == 0 && ::fdatasync(fd_.get()) != 0)
        error = errno;
    if (error == 0)
        return true;
    broken_ = true;
    error_ = std::string(kCannotWriteCsv) + ": " + std::strerror(error);
    return false;
}

bool LiveCsv::Finish(const CZentraDoc& doc) {
    if (path_.empty())
        return true;
    const bool follows = IsOpen() && !broken_ && rows_ == LoggedCount(doc);
    fd_.Close();
    if (follows)
        return true;
    const CsvExportResult result = ExportCsv(doc, path_);
    if (!result.ok)
        error_ = result.error;
    return result.ok;
}

} // namespace zentra::logger

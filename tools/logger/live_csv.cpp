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

// Writes everything; 0 on success, else the errno of the failure.
int WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int LoggedCount(const CZentraDoc& doc) {
    return std::clamp(doc.m_SampleCount, 0, kMaxSamples);
}

} // namespace

LiveCsv::~LiveCsv() {
    Close();
}

void LiveCsv::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void LiveCsv::Discard() {
    Close();
    if (!path_.empty())
        ::unlink(path_.c_str());
    path_.clear();
}

bool LiveCsv::Open(const std::string& path, const CZentraDoc& doc) {
    Close();
    path_ = path;
    error_.clear();
    broken_ = false;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = std::string(kCannotOpenCsv) + ": " + std::strerror(errno);
        return false;
    }
    text_ = BuildCsvText(doc);
    rows_ = LoggedCount(doc);
    return WriteRows();
}

bool LiveCsv::Append(const CZentraDoc& doc) {
    if (fd_ < 0 || broken_)
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
    int error = WriteAll(fd_, text_);
    if (error == 0 && ::fdatasync(fd_) != 0)
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
    const bool follows = fd_ >= 0 && !broken_ && rows_ == LoggedCount(doc);
    Close();
    if (follows)
        return true;
    const CsvExportResult result = ExportCsv(doc, path_);
    if (!result.ok)
        error_ = result.error;
    return result.ok;
}

} // namespace zentra::logger

// The CSV export of the project being logged, written as the run goes: the header
// lines when logging starts, then each new record's row appended and flushed to the
// disk as soon as it is logged, so that a crash, a kill or a pulled plug loses none
// of the rows already written. Once the project is saved the file is, byte for
// byte, the desktop program's CSV export of it.
#pragma once

#include "platform/file_io.h"

#include <string>

namespace zentra {
struct CZentraDoc;
}

namespace zentra::logger {

class LiveCsv {
  public:
    // Creates (or truncates) the file and writes the export of the document as it
    // stands: the header and the rows of the records logged so far. False (Error()
    // says why) when the file cannot be created or written.
    bool Open(const std::string& path, const CZentraDoc& doc);

    // Appends and flushes the rows of the records logged since the last call. False
    // when a write fails: the file is then left as it is until Finish rewrites it.
    bool Append(const CZentraDoc& doc);

    // The project was saved: the file is made its export (written whole afresh if an
    // append had failed) and closed. False with Error() when that fails.
    bool Finish(const CZentraDoc& doc);

    // Closes and removes the file (a project that is not going to be written).
    void Discard();

    bool IsOpen() const { return fd_.valid(); }
    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }

  private:
    bool WriteRows();

    platform::UniqueFd fd_;
    std::string path_;
    std::string error_;
    std::string text_;    // rows being written; its capacity is kept between appends
    int rows_ = 0;        // records whose rows are in the file
    bool broken_ = false; // a write failed: the file no longer follows the log
};

} // namespace zentra::logger

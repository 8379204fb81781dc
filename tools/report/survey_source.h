// Where the samples of a survey come from: one or more project files (".ztr", read
// by the project-file reader) or the open project of the desktop program. Opening
// reads each file once for its set-up and sample times, sorts the files by their
// first sample and checks that they belong together (one meter, no overlap in time);
// the samples are then visited file by file, so that a week of one-second files never
// has to be held in memory at once.
#pragma once

#include "document/zentra_doc.h"
#include "tools/report/survey_figures.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zentra::report {

struct SurveyPart {
    std::string path;                // the file to read, or the open project's file
    const CZentraDoc* doc = nullptr; // the open project, read as it stands in memory
};

struct SourceResult {
    bool ok = false;
    std::string error; // why not, in words for the user, naming the file(s)
};

// One logged sample as stored: bit k of nanMask is set when element k of the record
// was stored as NaN (its value then reads 0.0 in the record).
struct StoredSample {
    std::int64_t time = 0;
    const SampleRecord* values = nullptr;
    std::uint32_t nanMask = 0;
    std::size_t file = 0; // index into Files()
};

class SurveySource {
  public:
    explicit SurveySource(std::vector<SurveyPart> parts);
    ~SurveySource();
    SurveySource(const SurveySource&) = delete;
    SurveySource& operator=(const SurveySource&) = delete;

    // Reads every part's set-up and sample times, sorts and checks them.
    SourceResult Open();

    // After Open: the files in survey order, and the meter (from the first file).
    const std::vector<SurveyFile>& Files() const { return files_; }
    const SurveyMeter& Meter() const { return meter_; }

    // Visits every sample of every file, in survey order. Fails when a file can no
    // longer be read (it changed since Open).
    SourceResult ForEachSample(const std::function<void(const StoredSample&)>& visit);

  private:
    struct Loaded;
    SourceResult Load(std::size_t part, Loaded& into) const;

    std::vector<SurveyPart> parts_; // in survey order after Open
    std::vector<SurveyFile> files_;
    SurveyMeter meter_;
};

// The file name of a path ("roll-003.ztr"), or "the open project" for an unsaved one.
std::string ShownName(const std::string& path);

} // namespace zentra::report

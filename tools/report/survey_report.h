// The survey report's figures from one or more project files (or the open project):
// read, sorted, checked, and worked out in two passes over the files.
#pragma once

#include "tools/report/survey_figures.h"
#include "tools/report/survey_source.h"

#include <string>
#include <vector>

namespace zentra::report {

struct ReportOptions {
    int demandMinutes = kDefaultDemandMinutes;
    std::string title; // empty: the project name
};

struct ReportResult {
    bool ok = false;
    std::string error; // a file that cannot be read, files that do not belong together
    SurveyReport report;
};

ReportResult BuildSurveyReport(std::vector<SurveyPart> parts, const ReportOptions& options);

// The parts of the desktop program's report: the open project as it stands in memory,
// then the other files the user chose (the open project's own file among them is
// skipped: its samples are already there, perhaps newer than on disk).
std::vector<SurveyPart> PartsWithOpenProject(const CZentraDoc& open,
                                             const std::vector<std::string>& others);

} // namespace zentra::report

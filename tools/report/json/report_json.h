// The survey report's figures as JSON, for scripts: times in ISO 8601 with the local
// offset, numbers as JSON numbers, readings that were not logged left out.
#pragma once

#include "tools/report/survey_figures.h"

#include <string>

namespace zentra::report {

std::string ReportJson(const SurveyReport& report);

// Writes the JSON text to a file; false with the reason when it cannot be written.
bool WriteReportJson(const SurveyReport& report, const std::string& path, std::string* error);

} // namespace zentra::report

// The survey report on paper: cover, summary of the logged readings, demand, energy,
// voltage and current, the table by day and the pictures. One painting routine serves
// the PDF file and the printer of the desktop program's print preview.
#pragma once

#include "tools/report/survey_figures.h"

#include <string>

class QPagedPaintDevice;

namespace zentra::report {

// Paints every page onto the device (its page size and margins as set). Returns the
// number of pages, 0 when a painter could not begin on the device.
int PaintSurveyReport(QPagedPaintDevice& device, const SurveyReport& report);

// Writes the report as an A4 PDF. False with the reason when the file cannot be
// written.
bool WriteReportPdf(const SurveyReport& report, const std::string& path, std::string* error,
                    int* pages = nullptr);

} // namespace zentra::report

#include "tools/report/survey_report.h"

#include "tools/report/survey_accumulator.h"

#include <algorithm>
#include <filesystem>

namespace zentra::report {

ReportResult BuildSurveyReport(std::vector<SurveyPart> parts, const ReportOptions& options) {
    ReportResult result;
    SurveySource source(std::move(parts));
    if (SourceResult opened = source.Open(); !opened.ok) {
        result.error = opened.error;
        return result;
    }
    SurveyReport& report = result.report;
    report.meter = source.Meter();
    report.files = source.Files();
    report.title = options.title.empty() ? report.meter.projectName : options.title;
    report.demandMinutes = options.demandMinutes;
    bool first = true;
    for (const SurveyFile& f : report.files) {
        if (!first && f.periodS != report.periodS)
            report.periodsDiffer = true;
        report.periodS = first ? f.periodS : std::min(report.periodS, f.periodS);
        first = false;
    }

    SurveyAccumulator figures(report.meter, report.files, options.demandMinutes);
    const SourceResult read =
        source.ForEachSample([&figures](const StoredSample& s) { figures.Add(s); });
    if (!read.ok) {
        result.error = read.error;
        return result;
    }
    figures.Finish(report);
    result.ok = true;
    return result;
}

std::vector<SurveyPart> PartsWithOpenProject(const CZentraDoc& open,
                                             const std::vector<std::string>& others) {
    std::vector<SurveyPart> parts{{open.m_PathName, &open}};
    for (const std::string& path : others) {
        std::error_code ec;
        if (!open.m_PathName.empty() && std::filesystem::equivalent(open.m_PathName, path, ec))
            continue;
        parts.push_back({path, nullptr});
    }
    return parts;
}

} // namespace zentra::report

#include "tools/report/report_main.h"

#include "tools/report/json/report_json.h"
#include "tools/report/pdf/report_pdf.h"
#include "tools/report/report_options.h"
#include "tools/report/survey_report.h"

namespace zentra::report {

int ReportMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedCommandLine parsed = ParseCommandLine(args);
    if (parsed.help) {
        out << ReportUsageText();
        return kExitWritten;
    }
    if (!parsed.error.empty()) {
        err << "zentra-report: " << parsed.error << "\nTry 'zentra-report --help'.\n";
        return kExitCommandLine;
    }
    const CommandLine& o = parsed.options;
    std::vector<SurveyPart> parts;
    for (const std::string& path : o.files)
        parts.push_back({path, nullptr});
    const ReportResult built = BuildSurveyReport(std::move(parts), {o.demandMinutes, o.title});
    if (!built.ok) {
        err << "zentra-report: " << built.error << "\n";
        return kExitFailed;
    }
    std::string error;
    int pages = 0;
    if (!WriteReportPdf(built.report, o.pdf, &error, &pages)) {
        err << "zentra-report: " << error << "\n";
        return kExitFailed;
    }
    if (o.json && !WriteReportJson(built.report, *o.json, &error)) {
        err << "zentra-report: " << error << "\n";
        return kExitFailed;
    }
    out << "Wrote " << o.pdf << ": " << pages << (pages == 1 ? " page, " : " pages, ")
        << built.report.files.size() << (built.report.files.size() == 1 ? " file, " : " files, ")
        << built.report.samples << " samples.\n";
    return kExitWritten;
}

} // namespace zentra::report

// The report on paper: its text as pdftotext reads it, its pages as pictures, and
// the command line's exit codes.
#include "tests/report/survey_files.h"
#include "tests/support/test_support.h"
#include "tools/report/json/report_json.h"
#include "tools/report/pdf/report_pdf.h"
#include "tools/report/report_main.h"
#include "tools/report/survey_report.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace zentra::test {
namespace {

namespace fs = std::filesystem;
using report::BuildSurveyReport;

std::string Shell(const std::string& command) {
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        text.append(buffer, n);
    ::pclose(pipe);
    return text;
}

std::string PdfText(const std::string& pdf) {
    return Shell("pdftotext -layout '" + pdf + "' - 2>/dev/null");
}

int PdfPages(const std::string& pdf) {
    const std::string info = Shell("pdfinfo '" + pdf + "' 2>/dev/null");
    const auto at = info.find("Pages:");
    return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + 6);
}

// A working day's load: 20 kW at night, 80 kW by day, with a 120 kW hour after noon.
double Load(std::int64_t t) {
    const std::tm tm = LocalTime(t);
    const double hour = tm.tm_hour + tm.tm_min / 60.0;
    double kw = 20.0 + (hour > 7 && hour < 18 ? 60.0 : 0.0) + 10.0 * std::sin(hour);
    if (tm.tm_hour == 13)
        kw += 40.0;
    return kw;
}

void FillRealistic(int, std::int64_t t, SampleRecord& r) {
    using namespace element;
    const double kw = Load(t);
    for (int k = 0; k < 3; ++k) {
        r[std::size_t(kV1 + k)] = 230.0 + 4.0 * std::sin(double(t) / 5000.0 + k) - kw / 40.0;
        r[std::size_t(kI1 + k)] = kw * 1000.0 / 3.0 / 230.0 * (1.0 + 0.05 * (k - 1));
        r[std::size_t(1 + k)] = r[std::size_t(kV1 + k)] * 1.732;
    }
    r[kKw] = kw;
    r[kKva] = kw / 0.92;
    r[kKwh] = 1000.0 + double(t - LocalTimeOf(2024, 3, 29, 0, 0, 0)) / 3600.0 * 50.0;
    r[kKvarh] = 300.0 + double(t - LocalTimeOf(2024, 3, 29, 0, 0, 0)) / 3600.0 * 20.0;
    r[16] = 50.0;
}

class ReportPdf : public testing::Test {
  protected:
    TempDir dir;
    ScopedUserFolders folders;

    // Three days at one minute across the spring summer-time change, in two files
    // with an hour's gap between them.
    std::vector<std::string> RealisticRoll() {
        SurveyFileSpec a;
        a.start = LocalTimeOf(2024, 3, 29, 12, 0, 0);
        a.multiplier = 60;
        a.count = 2000;
        a.fill = FillRealistic;
        SurveyFileSpec b = a;
        b.start = a.start + 2000 * 60 + 3600;
        b.count = 2200;
        return {WriteSurveyFile(dir.File("roll-002.ztr"), b),
                WriteSurveyFile(dir.File("roll-001.ztr"), a)};
    }
};

TEST_F(ReportPdf, HoldsEveryPartAsTextAndDrawsItsPages) {
    const auto files = RealisticRoll();
    const std::string pdf = dir.File("report.pdf");
    std::ostringstream out, err;
    std::vector<std::string> args{files[0], files[1], "-o", pdf, "--title", "Plant North survey"};
    ASSERT_EQ(report::ReportMain(args, out, err), 0) << err.str();
    const std::string text = PdfText(pdf);
    for (const char* part :
         {"Plant North survey", "Load survey report", "Main switchboard, incomer 1", "Project and meter",
          "3ph4w", "roll-001.ztr", "roll-002.ztr", "Gaps", "Summary of the logged readings",
          "V L1-2", "kWHr (Imp)", "Max Ad", "Maximum demand (15 min intervals)", "Energy",
          "Voltage and current", "Day by day", "31/03/2024", "Load profile: kW Sum and kVA Sum",
          "Daily overlay", "Phase voltages", "Phase currents", "local time"})
        EXPECT_TRUE(Contains(text, part)) << part;
    EXPECT_TRUE(Contains(out.str(), "2 files, 4200 samples")) << out.str();
    const int pages = PdfPages(pdf);
    EXPECT_GE(pages, 5);

    // Every page as a picture: nothing drawn off the page, the pictures not blank.
    const std::string stem = ScreenshotDir() + "/report-realistic";
    fs::copy_file(pdf, stem + ".pdf", fs::copy_options::overwrite_existing);
    Shell("pdftoppm -r 60 -png '" + pdf + "' '" + stem + "'");
    for (int page = 1; page <= pages; ++page) {
        char name[32];
        std::snprintf(name, sizeof name, "-%0*d.png", pages >= 10 ? 2 : 1, page);
        QImage image(QString::fromStdString(stem + name));
        ASSERT_FALSE(image.isNull()) << name;
        int inked = 0;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2)
                inked += qGray(image.pixel(x, y)) < 200;
        EXPECT_GT(inked, 200) << "page " << page << " looks blank";
    }
}

} // namespace
} // namespace zentra::test

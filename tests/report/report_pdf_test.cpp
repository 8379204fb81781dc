// The report on paper: its text as pdftotext reads it, its pages as pictures, and
// the command line's exit codes.
#include "tests/report/survey_files.h"
#include "tests/support/test_support.h"
#include "tools/report/json/report_json.h"
#include "tools/report/pdf/report_pdf.h"
#include "tools/report/report_main.h"
#include "tools/report/survey_report.h"

#include "tools/report/report_options.h"

#include <QImage>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
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
        SurveyFileSetup a;
        a.start = LocalTimeOf(2024, 3, 29, 12, 0, 0);
        a.multiplier = 60;
        a.count = 2000;
        a.fill = FillRealistic;
        SurveyFileSetup b = a;
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
    for (const char* part : {"Plant North survey",
                             "Load survey report",
                             "Main switchboard, incomer 1",
                             "Project and meter",
                             "3ph4w",
                             "roll-001.ztr",
                             "roll-002.ztr",
                             "Gaps",
                             "Summary of the logged readings",
                             "V L1-2",
                             "kWHr (Imp)",
                             "Max Ad",
                             "Maximum demand (15 min intervals)",
                             "Energy",
                             "Voltage and current",
                             "Day by day",
                             "31/03/2024",
                             "Load profile: kW Sum and kVA Sum",
                             "Daily overlay",
                             "Phase voltages",
                             "Phase currents",
                             "local time"})
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

TEST_F(ReportPdf, JsonCarriesTheFiguresUnderTheirKeys) {
    SurveyFileSetup a;
    a.start = LocalTimeOf(2024, 7, 1, 10, 0, 0); // summer time: +01:00
    a.multiplier = 60;
    a.count = 30;
    a.fill = [](int n, std::int64_t, SampleRecord& r) {
        r[element::kKw] = n < 15 ? 20.0 : 16.0;
        r[element::kKwh] = 10.0 + n;
    };
    const std::string file = WriteSurveyFile(dir.File("july.ztr"), a);
    const std::string json = dir.File("summary.json");
    std::ostringstream out, err;
    ASSERT_EQ(report::ReportMain({file, "-o", dir.File("r.pdf"), "--json", json}, out, err), 0)
        << err.str();
    std::ifstream in(json);
    const nlohmann::json j = nlohmann::json::parse(in);
    EXPECT_EQ(j["from"], "2024-07-01T10:00:00+01:00");
    EXPECT_EQ(j["to"], "2024-07-01T10:29:00+01:00");
    EXPECT_EQ(j["period_s"], 60);
    EXPECT_EQ(j["samples"], 30);
    EXPECT_EQ(j["files"], 1);
    EXPECT_TRUE(j["gaps"].is_array() && j["gaps"].empty());
    const auto& kw = j["readings"]["kW Sum"];
    EXPECT_DOUBLE_EQ(kw["min"].get<double>(), 16.0);
    EXPECT_EQ(kw["min_at"], "2024-07-01T10:15:00+01:00");
    EXPECT_DOUBLE_EQ(kw["mean"].get<double>(), 18.0);
    EXPECT_DOUBLE_EQ(kw["max"].get<double>(), 20.0);
    EXPECT_EQ(kw["max_at"], "2024-07-01T10:00:00+01:00");
    EXPECT_EQ(kw["count"], 30);
    EXPECT_EQ(j["readings"].size(), 23u);
    EXPECT_EQ(j["demand"]["kW Sum"]["interval_min"], 15);
    EXPECT_DOUBLE_EQ(j["demand"]["kW Sum"]["max"].get<double>(), 20.0);
    EXPECT_EQ(j["demand"]["kW Sum"]["at"], "2024-07-01T10:15:00+01:00");
    EXPECT_DOUBLE_EQ(j["energy"]["kWHr (Imp)"]["used"].get<double>(), 29.0);
    // 14 steps at 20 kW, one from 20 to 16, 14 at 16: (280 + 18 + 224) / 60 kWh.
    EXPECT_NEAR(j["kwh_integrated"].get<double>(), 522.0 / 60.0, 1e-9);
}

TEST_F(ReportPdf, OneSampleAndNoneSaySo) {
    struct Case {
        int count;
        const char* said;
    };
    for (const Case c :
         {Case{1, "The survey holds one sample"}, Case{0, "The survey holds no samples"}}) {
        SurveyFileSetup a;
        a.start = LocalTimeOf(2024, 1, 15, 10, 0, 0);
        a.count = c.count;
        const std::string file =
            WriteSurveyFile(dir.File("n" + std::to_string(c.count) + ".ztr"), a);
        const std::string pdf = dir.File("n" + std::to_string(c.count) + ".pdf");
        const std::string json = pdf + ".json";
        std::ostringstream out, err;
        ASSERT_EQ(report::ReportMain({file, "-o", pdf, "--json", json}, out, err), 0) << err.str();
        const std::string text = PdfText(pdf);
        EXPECT_TRUE(Contains(text, c.said)) << text;
        EXPECT_TRUE(Contains(text, "Not available: the survey holds fewer than two samples"));
        std::ifstream in(json);
        const nlohmann::json j = nlohmann::json::parse(in);
        EXPECT_TRUE(j["kwh_integrated"].is_null());
        EXPECT_TRUE(j["demand"].empty());
        EXPECT_EQ(j["from"].is_null(), c.count == 0);
    }
}

TEST_F(ReportPdf, ExitCodes) {
    SurveyFileSetup a;
    a.start = LocalTimeOf(2024, 1, 15, 10, 0, 0);
    a.count = 3;
    const std::string good = WriteSurveyFile(dir.File("good.ztr"), a);
    a.node = 7;
    a.start += 100;
    const std::string other = WriteSurveyFile(dir.File("other.ztr"), a);
    const std::string pdf = dir.File("x.pdf");
    struct Case {
        std::vector<std::string> args;
        int exit;
        const char* said;
    };
    const std::vector<Case> cases{
        {{good, "-o", pdf}, 0, ""},
        {{good, "-o", pdf, "--demand", "30m", "--title", "T"}, 0, ""},
        {{good}, 2, "no report file given"},
        {{"-o", pdf}, 2, "no project file given"},
        {{good, "-o", pdf, "--demand", "7m"}, 2, "--demand 7m"},
        {{good, "-o", pdf, "--colour"}, 2, "unknown option --colour"},
        {{good, "-o"}, 2, "-o needs a value"},
        {{good, other, "-o", pdf}, 1, "node 7 against node 1"},
        {{dir.File("none.ztr"), "-o", pdf}, 1, "none.ztr"},
        {{good, "-o", dir.File("no/such/folder/x.pdf")}, 1, "Cannot write"},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(report::ReportMain(c.args, out, err), c.exit) << err.str();
        EXPECT_TRUE(Contains(err.str(), c.said)) << err.str();
    }
}

TEST(ReportOptions, DemandIntervals) {
    struct Case {
        const char* text;
        std::optional<int> minutes;
    };
    for (const Case c :
         {Case{"15m", 15}, Case{"30m", 30}, Case{"1h", 60}, Case{"45", 45}, Case{"24h", 1440},
          Case{"5min", 5}, Case{"7m", std::nullopt}, Case{"0m", std::nullopt},
          Case{"25h", std::nullopt}, Case{"15x", std::nullopt}, Case{"m", std::nullopt},
          Case{"", std::nullopt}, Case{"-15m", std::nullopt}})
        EXPECT_EQ(report::ParseDemandMinutes(c.text), c.minutes) << c.text;
}

} // namespace
} // namespace zentra::test

// CSV export: header lines, heading rows, sample rows and write failures.
#include "document/csv_export.h"

#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace zentra {
namespace {

constexpr std::int64_t kJan5At140309 = 1357394589; // Sat 5 Jan 2013 14:03:09 GMT
constexpr std::int64_t kJul1At120000 = 1372680000; // Mon 1 Jul 2013 12:00:00 UTC = 13:00 BST

const char* const kFullHeading =
    "Time,V L1-2,V L2-3,V L3-1,V 1,V 2,V 3,I 1,I 2,I 3,kW Sum,kVA Sum,kVAr Sum,PF Avg,"
    "kWHr (Imp),kVArHr (Imp),Hz,kWd (Imp),kVAd,Ad,Neutral I,Max kWd (Imp),Max kVAd,Max Ad,";
const char* const kShortHeading =
    "Time,V 1,I 1,kW Sum,kWHr (Imp),kWd (Imp),Ad,Max kWd (Imp),Max Ad,h.p.,";

class CsvExport : public ::testing::Test {
  protected:
    CsvExport() {
        SetText(doc_->m_ProjectName, "Plant, North");
        SetText(doc_->m_Description, "Feeder 3, panel B");
        doc_->m_ProjectStartDate = 20130105;
        doc_->m_StartDate = 20130107;
        doc_->m_StartHour = 9;
        doc_->m_StartMinute = 5;
        doc_->m_StartSecond = 7;
        doc_->m_SystemType = 1;
    }
    std::string ReadBack(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::size_t from = 0;
        for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
            lines.push_back(text.substr(from, at - from));
        EXPECT_EQ(from, text.size()) << "text after the last CR LF";
        return lines;
    }
    // Splits a row on commas; the trailing separator gives a last empty cell.
    static std::vector<std::string> Cells(const std::string& row) {
        std::vector<std::string> cells;
        std::stringstream in(row);
        for (std::string cell; std::getline(in, cell, ',');)
            cells.push_back(cell);
        if (!row.empty() && row.back() == ',')
            cells.push_back("");
        return cells;
    }

    test::ScopedUserFolders folders_; // outlives the document, whose end writes the store
    std::unique_ptr<CZentraDoc> doc_ = std::make_unique<CZentraDoc>();
    platform::ManualClock clock_{kJan5At140309};
    test::TempDir dir_;
};

TEST_F(CsvExport, HeadingRowsOfBothListsAndTheTableModes) {
    EXPECT_EQ(BuildHeadingRow(*doc_, 0, ","), kFullHeading);
    EXPECT_EQ(BuildHeadingRow(*doc_, 1, ";"),
              ";V L2-3;V 1;V 3;I 2;kW Sum;kVAr Sum;kWHr (Imp);Hz;kVAd;Neutral I;Max kVAd;");
    EXPECT_EQ(BuildHeadingRow(*doc_, 2, ";"),
              "Time;V L1-2;V L3-1;V 2;I 1;I 3;kVA Sum;PF Avg;kVArHr (Imp);kWd (Imp);Ad;"
              "Max kWd (Imp);Max Ad;");
    doc_->m_SystemType = 3;
    EXPECT_EQ(BuildHeadingRow(*doc_, 0, ","), kShortHeading);
    doc_->m_SystemType = 6;
    EXPECT_EQ(BuildHeadingRow(*doc_, 0, "   :    "),
              "Time   :    V 1   :    I 1   :    kW Sum   :    kWHr (Imp)   :    kWd (Imp)   :    "
              "Ad   :    Max kWd (Imp)   :    Max Ad   :    h.p.   :    ");
}

TEST_F(CsvExport, SampleValuesUseTheNumberFormatAndNaNBecomesZero) {
    doc_->m_SampleTimes[0] = kJan5At140309;
    SampleRecord& record = doc_->m_SampleValues[0];
    const double values[] = {
        9.87654, 9.9996, 12.3456, 123.456, 1234.56, -5.0, std::numeric_limits<double>::quiet_NaN()};
    for (std::size_t k = 0; k < std::size(values); ++k)
        record[k + 1] = values[k];
    record[23] = 42.0;
    record[24] = 99.0; // beyond the columns: never written
    const std::vector<std::string> cells = Cells(BuildSampleRow(*doc_, 0, ","));
    ASSERT_EQ(cells.size(), 1u + 23u + 1u);
    EXPECT_EQ(cells[0], "Jan 05 2013 14:03:09");
    const std::vector<std::string> expected = {"9.877", "10.000", "12.35", "123.5",
                                               "1235",  "-5.000", "0.000", "0.000"};
    EXPECT_EQ(std::vector<std::string>(cells.begin() + 1, cells.begin() + 9), expected);
    EXPECT_EQ(cells[23], "42.00");
    EXPECT_EQ(cells[24], "");
}

TEST_F(CsvExport, ShortListRowsStartWithSixBlanksAndEndWithHorsePower) {
    doc_->m_SystemType = 3;
    doc_->m_SampleTimes[4] = kJul1At120000;
    doc_->m_SampleValues[4][1] = 230.1;
    doc_->m_SampleValues[4][3] = 7.457;
    doc_->m_SampleValues[4][9] = 555.0; // not a short-list column
    EXPECT_EQ(BuildSampleRow(*doc_, 4, ","),
              "      Jul 01 2013 13:00:00,230.1,0.000,7.457,0.000,0.000,0.000,0.000,0.000,10.00,");
    doc_->m_SampleValues[4][3] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(BuildSampleRow(*doc_, 4, ",").ends_with(",0.000,0.000,"));
    EXPECT_EQ(BuildSampleRow(*doc_, -1, ","), "");
    EXPECT_EQ(BuildSampleRow(*doc_, kMaxSamples, ","), "");
}

TEST_F(CsvExport, NoSamplesGiveSevenLinesWithCommasRemovedAndCrLfEnds) {
    const std::string path = dir_.File("plant.csv");
    const CsvExportResult result = ExportCsv(*doc_, path);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(ReadBack(path), std::string("Plant North\r\n"
                                          "Feeder 3 panel B\r\n"
                                          "Project Start Time: 05 Jan 2013\r\n"
                                          "Logging Start Date: 07 Jan 2013\r\n"
                                          "Logging Start Time: 09:05:07\r\n"
                                          "\r\n") +
                                  kFullHeading + "\r\n");
}

TEST_F(CsvExport, EveryLoggedSampleBecomesOneRowAndTheDocumentIsUnchanged) {
    doc_->m_SampleCount = 3;
    for (int n = 0; n < 3; ++n) {
        doc_->m_SampleTimes[n] = kJan5At140309 + 60 * n;
        doc_->m_SampleValues[n][1] = 230.0 + n;
    }
    doc_->m_SampleTimes[3] = kJan5At140309 + 180; // beyond m_SampleCount
    const std::string path = dir_.File("three.csv");
    ASSERT_TRUE(ExportCsv(*doc_, path).ok);
    const std::vector<std::string> lines = Lines(ReadBack(path));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[6], kFullHeading);
    EXPECT_TRUE(lines[7].starts_with("Jan 05 2013 14:03:09,230.0,0.000,")) << lines[7];
    EXPECT_TRUE(lines[9].starts_with("Jan 05 2013 14:05:09,232.0,")) << lines[9];
    EXPECT_EQ(Cells(lines[9]).size(), 25u);
    EXPECT_EQ(doc_->m_SampleCount, 3);
    EXPECT_STREQ(doc_->m_ProjectName.data(), "Plant, North");

    // A count beyond the log's capacity (a damaged file) stops at the capacity.
    doc_->m_SampleCount = kMaxSamples + 5;
    EXPECT_EQ(Lines(BuildCsvText(*doc_)).size(), 7u + kMaxSamples);
}

TEST_F(CsvExport, LineBreaksOfTheDescriptionAreKeptAsCrLf) {
    SetText(doc_->m_Description, "Line one, first\nLine two\r\nLine three");
    const std::vector<std::string> lines = Lines(BuildCsvText(*doc_));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[1], "Line one first");
    EXPECT_EQ(lines[2], "Line two");
    EXPECT_EQ(lines[3], "Line three");
    EXPECT_EQ(lines[4], "Project Start Time: 05 Jan 2013");

    // A lone CR (a file from elsewhere) ends a line too, written as CR LF: a bare CR
    // would split the line in a spreadsheet but not in the file's own line count.
    SetText(doc_->m_ProjectName, "Plant\rNorth");
    SetText(doc_->m_Description, "A\r\rB");
    const std::string text = BuildCsvText(*doc_);
    EXPECT_TRUE(text.starts_with("Plant\r\nNorth\r\nA\r\n\r\nB\r\nProject Start Time:")) << text;
}

TEST_F(CsvExport, FailuresAreReportedNotPassedOver) {
    const CsvExportResult missing = ExportCsv(*doc_, dir_.File("no/such/folder/x.csv"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, "Cannot Open/Create File");

    const CsvExportResult full = ExportCsv(*doc_, "/dev/full");
    EXPECT_FALSE(full.ok);
    EXPECT_TRUE(full.error.starts_with("Cannot write file")) << full.error;
    EXPECT_NE(full.error.find("No space left on device"), std::string::npos) << full.error;
}

} // namespace
} // namespace zentra

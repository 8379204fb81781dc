// File -> Survey Report...: the open project with the other files the user adds,
// shown in the print preview; files that do not belong together are said so.
#include "app/command_ids.h"
#include "app/survey_report_command.h"
#include "tests/app/app_fixture.h"
#include "tests/report/survey_files.h"

#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTimer>

namespace zentra::test {
namespace {

// The scripted chooser, with the files of the survey as the dialog would give them.
class SurveyChooser : public ScriptedChooser {
  public:
    std::optional<std::vector<std::string>> surveyFiles;
    std::string folderAsked;
    int surveyCalls = 0;
    std::optional<std::vector<std::string>> ChooseSurveyFiles(const std::string& folder) override {
        ++surveyCalls;
        folderAsked = folder;
        return surveyFiles;
    }
};

class SurveyReportCommand : public ShellTest {
  protected:
    SurveyChooser survey_;

    SurveyFileSetup Setup(std::int64_t start, double node = 1.0) {
        SurveyFileSetup s;
        s.start = start;
        s.multiplier = 60;
        s.count = 60;
        s.node = node;
        s.fill = [](int n, std::int64_t, SampleRecord& r) { r[element::kKw] = 10.0 + n % 7; };
        return s;
    }
};

TEST_F(SurveyReportCommand, MenuShowsThePreviewOfTheOpenProjectAndItsRoll) {
    const std::int64_t start = LocalTimeOf(2024, 5, 6, 8, 0, 0);
    const std::string first = WriteSurveyFile(files_.File("roll-001.ztr"), Setup(start));
    const std::string second = WriteSurveyFile(files_.File("roll-002.ztr"), Setup(start + 3600));
    auto frame = std::make_unique<CMainFrame>(&survey_);
    std::string reason;
    ASSERT_TRUE(frame->Start(second, &reason)) << reason;
    survey_.surveyFiles = std::vector<std::string>{first, second};

    int pages = 0;
    QString title;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        ASSERT_NE(preview, nullptr);
        preview->updatePreview();
        pages = preview->pageCount();
        QApplication::processEvents();
        dialog->grab().save(QString::fromStdString(ScreenshotDir() + "/survey-report-preview.png"));
        dialog->reject();
    });
    frame->Action(cmd::kSurveyReport)->trigger();
    EXPECT_EQ(survey_.surveyCalls, 1);
    EXPECT_EQ(survey_.folderAsked, files_.path());
    EXPECT_EQ(title, "Survey Report");
    EXPECT_GE(pages, 3);
    EXPECT_TRUE(messages_.shown().empty()) << messages_.LastText();
}

TEST_F(SurveyReportCommand, FiguresComeFromTheOpenProjectAndTheAddedFiles) {
    const std::int64_t start = LocalTimeOf(2024, 5, 6, 8, 0, 0);
    const std::string earlier = WriteSurveyFile(files_.File("earlier.ztr"), Setup(start - 3600));
    auto open = MakeSurveyDocument(Setup(start));
    survey_.surveyFiles = std::vector<std::string>{earlier};
    const auto report = PrepareSurveyReport(*open, survey_);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->samples, 120);
    ASSERT_EQ(report->files.size(), 2u);
    EXPECT_EQ(report->files[0].name, "earlier.ztr");
    EXPECT_EQ(report->files[1].name, "the open project");
}

TEST_F(SurveyReportCommand, CancelledOrRefusedShowsNoPreview) {
    const std::int64_t start = LocalTimeOf(2024, 5, 6, 8, 0, 0);
    auto open = MakeSurveyDocument(Setup(start));
    survey_.surveyFiles = std::nullopt;
    EXPECT_FALSE(PrepareSurveyReport(*open, survey_));
    EXPECT_TRUE(messages_.shown().empty());

    const std::string other =
        WriteSurveyFile(files_.File("other-meter.ztr"), Setup(start + 3600, 9));
    survey_.surveyFiles = std::vector<std::string>{other};
    EXPECT_FALSE(PrepareSurveyReport(*open, survey_));
    ASSERT_EQ(messages_.shown().size(), 1u);
    EXPECT_TRUE(Contains(messages_.LastText(), "other-meter.ztr")) << messages_.LastText();
    EXPECT_TRUE(Contains(messages_.LastText(), "not of the same meter")) << messages_.LastText();
    EXPECT_EQ(messages_.LastCaption(), "Survey Report");
}

} // namespace
} // namespace zentra::test

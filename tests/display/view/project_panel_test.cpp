#include "display/view/project_panel.h"

#include "document/zentra_doc.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace zentra {
namespace {

struct PanelFixture : ::testing::Test {
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    const Rect p{0, 0, 900, 540};

    void SetUp() override {
        SetText(doc->m_ProjectName, "Plant North");
        SetText(doc->m_BriefDescription, "Feeder 3");
        doc->m_ProjectStartDate = 20130105;
        doc->m_ProjectEndDate = 20130107;
        doc->m_Duration = 2;
        doc->m_DurationMultiplier = 3600;
        doc->m_Period = 5;
        doc->m_PeriodMultiplier = 60;
    }
};

TEST_F(PanelFixture, TextsAndPlacement) {
    const auto texts = LayoutProjectPanel(*doc, p, 540);
    std::vector<std::string> shown;
    for (const PanelText& t : texts)
        shown.push_back(t.text);
    const std::vector<std::string> expected{
        "Project Name:",      "Plant North",          "Project Description: ",
        "Feeder 3",           "Project Start Date: ", "05/01/2013",
        "Project End Date: ", "07/01/2013",           "Logging Started: ",
        "Not Active",         "Logging Time: ",       "Duration: 7200(s) Sampling 300(s)"};
    ASSERT_EQ(shown, expected);
    // fh = (540/2) x 0.04 = 10: tops 543, 554, 567, 578.
    EXPECT_TRUE(texts[0].caption);
    EXPECT_FALSE(texts[1].caption);
    EXPECT_EQ(texts[0].rect, (Rect{10, 543, 440, 553}));
    EXPECT_EQ(texts[1].rect, (Rect{10, 554, 440, 564}));
    EXPECT_EQ(texts[2].rect.top, 567);
    EXPECT_EQ(texts[3].rect.top, 578);
    EXPECT_EQ(texts[4].rect, (Rect{460, 543, 900, 553}));
    EXPECT_EQ(texts[8].rect, (Rect{610, 543, 900, 553}));
}

TEST_F(PanelFixture, LoggingStartShowsTheStartOnceLocked) {
    doc->m_Locked = 1;
    doc->m_StartDate = 20130105;
    doc->m_StartHour = 14;
    doc->m_StartMinute = 3;
    doc->m_StartSecond = 9;
    EXPECT_EQ(LayoutProjectPanel(*doc, p, 540)[9].text, "05/01/2013  14:03:09");
}

TEST_F(PanelFixture, TimingFromAFileCannotOverflow) {
    doc->m_Duration = 2'000'000'000;
    doc->m_DurationMultiplier = 3600;
    doc->m_Period = -1;
    EXPECT_EQ(LayoutProjectPanel(*doc, p, 540)[11].text,
              "Duration: 7200000000000(s) Sampling -60(s)");
}

} // namespace
} // namespace zentra

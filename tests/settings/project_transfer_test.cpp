// Copies between the document and the page fields, and the timing check on OK.
#include "project_test_support.h"
#include "settings/project_transfer.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>

namespace zentra {
namespace {

template <std::size_t N> void Put(std::array<char, N>& field, const char* text) {
    field.fill('\0');
    std::strncpy(field.data(), text, N - 1);
}

TEST(ProjectTransfer, ProjectFieldsRoundTrip) {
    platform::ManualClock clock(test::kFixedNow);
    auto doc = test::NewDocument();
    Put(doc->m_ProjectName, "Pump house");
    doc->m_ProjectStartDate = 20130105;
    doc->m_ProjectEndDate = 20130301;
    doc->m_ShowProject = 2; // anything but 1 is "not shown" on the page
    doc->m_Locked = 1;

    ProjectPageData page = ProjectToPage(*doc);
    EXPECT_EQ(page.m_NameText, "Pump house");
    EXPECT_EQ(page.m_BriefText, "Put a BRIEF Project Description here (is displayed)");
    EXPECT_EQ(
        (std::array<int, 4>{page.m_PageStart, page.m_PageEnd, page.m_ShowCheck, page.m_PageLocked}),
        (std::array{20130105, 20130301, 0, 1}));

    page.m_ShowCheck = 5;
    page.m_DescriptionText = std::string(1000, 'd');
    page.m_BriefText = "Brief";
    PageToProject(page, *doc);
    EXPECT_EQ(doc->m_ShowProject, 1);
    EXPECT_EQ(std::strlen(doc->m_Description.data()), 1000u);
    EXPECT_STREQ(doc->m_BriefDescription.data(), "Brief");
    EXPECT_EQ(doc->m_ProjectEndDate, 20130301);
}

TEST(ProjectTransfer, OverlongTextIsCutToFitItsField) {
    auto doc = std::make_unique<CZentraDoc>();
    ProjectPageData page;
    page.m_NameText = std::string(300, 'n');
    PageToProject(page, *doc);
    EXPECT_EQ(std::strlen(doc->m_ProjectName.data()), kShortTextCapacity - 1);
    EXPECT_EQ(doc->m_BriefDescription[0], '\0');
}

TEST(ProjectTransfer, LoggingFieldsRoundTrip) {
    auto doc = std::make_unique<CZentraDoc>();
    doc->m_SelectedParameters = {16, 45, 49, 50}; // "Hz", no label, "h.p.", out of range
    doc->m_StartDate = 20130210;
    doc->m_StartHour = 7;
    doc->m_StartMinute = 8;
    doc->m_StartSecond = 9;
    doc->m_StartImmediately = 0;
    doc->m_Period = 5;
    doc->m_PeriodMultiplier = 60;
    doc->m_Duration = 2;
    doc->m_DurationMultiplier = 7; // not a unit: the page shows none
    doc->m_Samples = 24;

    LogSetupData page = LogSetupToPage(*doc);
    EXPECT_EQ(page.offeredLabels[0], "V L1-2");
    EXPECT_EQ(page.offeredLabels[22], "Max Ad");
    EXPECT_EQ((std::array{page.printableLabels[0], page.printableLabels[1], page.printableLabels[2],
                          page.printableLabels[3]}),
              (std::array<std::string, 4>{"Hz", "", "h.p.", ""}));
    EXPECT_EQ((std::array<long long, 4>{page.delayedStart, page.frequencyUnit, page.durationUnit,
                                        page.sampleCount}),
              (std::array<long long, 4>{1, 1, kUnitNone, 24}));

    page.printableLabels = {};
    page.printableLabels[0] = "kW Sum";
    page.printableLabels[1] = "OFF";
    page.printableLabels[2] = "h.p.";
    page.delayedStart = 0;
    page.frequencyUnit = 2;
    page.sampleCount = 3;
    PageToLogSetup(page, *doc);
    const auto& chosen = doc->m_SelectedParameters;
    EXPECT_EQ((std::array{chosen[0], chosen[1], chosen[2], chosen[3]}), (std::array{10, 0, 49, 0}));
    // The duration's 7 is left alone: no unit was chosen.
    EXPECT_EQ(
        (std::array{doc->m_StartImmediately, doc->m_PeriodMultiplier, doc->m_DurationMultiplier,
                    doc->m_Samples, doc->m_StartDate, doc->m_StartHour}),
        (std::array{1, 3600, 7, 3, 20130210, 7}));
}

TEST(ProjectTransfer, TimingCheckOrder) {
    const auto check = [](std::uint32_t period, std::uint32_t duration, std::uint32_t samples) {
        LogSetupData page;
        page.periodSeconds = period;
        page.durationSeconds = duration;
        page.sampleCount = samples;
        return CheckTiming(page);
    };
    EXPECT_EQ(check(10, 5, 0), TimingCheck::TimingError);
    EXPECT_EQ(check(1, 7201, 7201), TimingCheck::StorageError);
    EXPECT_EQ(check(1, 7200, 7200), TimingCheck::Ok);
    EXPECT_EQ(check(1, 1, 1), TimingCheck::Ok); // equal period and duration
}

TEST(ProjectTransfer, LoggingSetUpNeedsBothFlags) {
    auto doc = std::make_unique<CZentraDoc>();
    ProjectPageData project;
    LogSetupData log;
    log.frequencyUnit = log.durationUnit = 0;
    for (int shown : {0, 1})
        for (int valid : {0, 1}) {
            project.m_PageShown = static_cast<std::uint8_t>(shown);
            log.settingsValid = static_cast<std::uint8_t>(valid);
            StoreProjectSettings(project, log, *doc);
            EXPECT_EQ(doc->m_LoggingSetUp, shown && valid ? 1 : 0) << shown << valid;
        }
}

} // namespace
} // namespace zentra

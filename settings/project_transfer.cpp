#include "settings/project_transfer.h"

#include "records/readings_catalogue.h"

#include <algorithm>
#include <cstring>

namespace zentra {
namespace {

template <std::size_t N> std::string TextOf(const std::array<char, N>& field) {
    return std::string(field.data(), strnlen(field.data(), N));
}

// Copies a text into a fixed array, cut to fit and always NUL-terminated.
template <std::size_t N> void CopyText(std::array<char, N>& field, const std::string& text) {
    field.fill('\0');
    std::memcpy(field.data(), text.data(), std::min(text.size(), N - 1));
}

} // namespace

ProjectPageData ProjectToPage(const CZentraDoc& doc) {
    ProjectPageData page;
    page.m_DescriptionText = TextOf(doc.m_Description);
    page.m_BriefText = TextOf(doc.m_BriefDescription);
    page.m_NameText = TextOf(doc.m_ProjectName);
    page.m_PageStart = doc.m_ProjectStartDate;
    page.m_PageEnd = doc.m_ProjectEndDate;
    page.m_ShowCheck = doc.m_ShowProject == 1 ? 1 : 0;
    page.m_PageLocked = doc.m_Locked;
    return page;
}

void PageToProject(const ProjectPageData& page, CZentraDoc& doc) {
    CopyText(doc.m_Description, page.m_DescriptionText);
    CopyText(doc.m_BriefDescription, page.m_BriefText);
    CopyText(doc.m_ProjectName, page.m_NameText);
    doc.m_ProjectStartDate = page.m_PageStart;
    doc.m_ProjectEndDate = page.m_PageEnd;
    doc.m_ShowProject = page.m_ShowCheck != 0 ? 1 : 0;
}

LogSetupData LogSetupToPage(const CZentraDoc& doc) {
    LogSetupData page;
    for (std::size_t i = 0; i < kSelectedParameters; ++i) {
        page.offeredLabels[i] = std::string(ReadingLabel(LoggedColumns[i]));
        const ReadingIndex chosen = doc.m_SelectedParameters[i];
        if (chosen >= 1 && chosen <= kHorsePowerReading)
            page.printableLabels[i] = std::string(ReadingLabel(chosen));
    }
    page.startDate = doc.m_StartDate;
    page.startHour = doc.m_StartHour;
    page.startMinute = doc.m_StartMinute;
    page.startSecond = doc.m_StartSecond;
    page.delayedStart = doc.m_StartImmediately == 0 ? 1 : 0;
    page.frequency = doc.m_Period;
    page.duration = doc.m_Duration;
    page.sampleCount = static_cast<std::uint32_t>(std::max(doc.m_Samples, 0));
    page.frequencyUnit = UnitIndexFor(doc.m_PeriodMultiplier);
    page.durationUnit = UnitIndexFor(doc.m_DurationMultiplier);
    page.locked = doc.m_Locked;
    return page;
}

void PageToLogSetup(const LogSetupData& page, CZentraDoc& doc) {
    for (std::size_t i = 0; i < kSelectedParameters; ++i) {
        const std::string& label = page.printableLabels[i];
        doc.m_SelectedParameters[i] = label == "OFF" ? kReadingOff : ReadingFromLabel(label);
    }
    doc.m_StartDate = page.startDate;
    doc.m_StartHour = page.startHour;
    doc.m_StartMinute = page.startMinute;
    doc.m_StartSecond = page.startSecond;
    doc.m_StartImmediately = page.delayedStart == 0 ? 1 : 0;
    doc.m_Duration = page.duration;
    doc.m_Period = page.frequency;
    doc.m_Samples =
        static_cast<std::int32_t>(std::min<std::uint32_t>(page.sampleCount, kMaxSamples));
    // A unit list without a selection leaves the stored multiplier as it was.
    if (page.frequencyUnit != kUnitNone)
        doc.m_PeriodMultiplier = static_cast<std::int32_t>(SecondsPerUnit(page.frequencyUnit));
    if (page.durationUnit != kUnitNone)
        doc.m_DurationMultiplier = static_cast<std::int32_t>(SecondsPerUnit(page.durationUnit));
}

TimingCheck CheckTiming(const LogSetupData& page) {
    if (page.periodSeconds > page.durationSeconds)
        return TimingCheck::TimingError;
    if (page.sampleCount > static_cast<std::uint32_t>(kMaxSamples))
        return TimingCheck::StorageError;
    return TimingCheck::Ok;
}

void StoreProjectSettings(const ProjectPageData& project, const LogSetupData& log,
                          CZentraDoc& doc) {
    doc.m_LoggingSetUp = log.settingsValid == 1 && project.m_PageShown == 1 ? 1 : 0;
    PageToProject(project, doc);
    PageToLogSetup(log, doc);
}

} // namespace zentra

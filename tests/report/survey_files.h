// Small constructed surveys for the report's tests and benchmark: project files
// written through the document, sample by sample, with the values a test chooses.
#pragma once

#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "records/calendar.h"

#include <functional>
#include <memory>
#include <string>

namespace zentra::test {

// Element k of a full-list record is LoggedColumns[k - 1]: 1-3 line voltages, 4-6
// V 1-3, 7-9 I 1-3, 10 kW Sum, 11 kVA Sum, 14 kWHr (Imp), 15 kVArHr (Imp). In the
// reduced list: 1 V 1, 2 I 1, 3 kW Sum, 4 kWHr (Imp).
namespace element {
inline constexpr int kV1 = 4, kV2 = 5, kV3 = 6, kI1 = 7, kI2 = 8, kI3 = 9;
inline constexpr int kKw = 10, kKva = 11, kKwh = 14, kKvarh = 15;
inline constexpr int kShortV1 = 1, kShortI1 = 2, kShortKw = 3, kShortKwh = 4;
} // namespace element

struct SurveyFileSetup {
    std::int64_t start = 0;  // time of sample 0
    std::int32_t period = 1; // in units of multiplier seconds
    std::int32_t multiplier = 1;
    int count = 0;
    std::int32_t systemType = 1; // meter variant (3 and 6: the reduced list)
    double node = 1.0, model = 760.0, typeNumber = 3.0;
    double systemVoltage = 230.0, systemCurrent = 100.0;
    std::string name = "Plant North";
    // Fills sample n (taken at t); the record starts all zero.
    std::function<void(int n, std::int64_t t, SampleRecord& record)> fill;
    // The time of sample n; default start + n * period.
    std::function<std::int64_t(int n)> timeOf;
};

inline std::unique_ptr<CZentraDoc> MakeSurveyDocument(const SurveyFileSetup& setup) {
    auto doc = std::make_unique<CZentraDoc>();
    doc->m_StoreLinkOnClose = false;
    doc->m_SystemType = setup.systemType;
    doc->m_ModbusNode = setup.node;
    doc->m_ModelNumber = setup.model;
    doc->m_SystemTypeNumber = setup.typeNumber;
    doc->m_SystemVoltage = setup.systemVoltage;
    doc->m_SystemCurrent = setup.systemCurrent;
    doc->m_Period = setup.period;
    doc->m_PeriodMultiplier = setup.multiplier;
    doc->m_Samples = setup.count;
    doc->m_Finished = 1;
    doc->m_Locked = 1;
    doc->m_LoggingStartTime = setup.start;
    doc->m_LoggingEndTime = setup.start;
    snprintf(doc->m_ProjectName.data(), doc->m_ProjectName.size(), "%s", setup.name.c_str());
    snprintf(doc->m_Description.data(), doc->m_Description.size(), "Main switchboard, incomer 1");
    const std::int64_t step = std::int64_t{setup.period} * setup.multiplier;
    for (int n = 0; n < setup.count; ++n) {
        const std::int64_t t = setup.timeOf ? setup.timeOf(n) : setup.start + n * step;
        doc->m_SampleTimes[std::size_t(n)] = t;
        if (setup.fill)
            setup.fill(n, t, doc->m_SampleValues[std::size_t(n)]);
    }
    doc->m_SampleCount = setup.count;
    return doc;
}

// Writes the project file; the path on success, empty on failure.
inline std::string WriteSurveyFile(const std::string& path, const SurveyFileSetup& setup) {
    auto doc = MakeSurveyDocument(setup);
    return OnSaveDocument(*doc, path).ok ? path : std::string();
}

} // namespace zentra::test

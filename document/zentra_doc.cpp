#include "document/zentra_doc.h"

#include "document/graph_defaults.h"
#include "document/registry_defaults.h"
#include "records/calendar.h"
#include "records/readings_catalogue.h"

#include <cstdio>

namespace zentra {
namespace {

constexpr const char* kDefaultDescription = "Put the Project Description, Serial Number etc. here";
constexpr const char* kDefaultBriefDescription =
    "Put a BRIEF Project Description here (is displayed)";
constexpr const char* kDefaultProjectName = "Put the Project Name here";

// Meter set-up of a new document, by family.
struct MeterDefaults {
    double node, model;
    float versionFraction;
    double voltage, current, typeNumber, spare;
};
constexpr MeterDefaults kShortMeterDefaults{1.0, 760.0, 0.03f, 800.0, 10.0, 1.0, 8000.0};
constexpr MeterDefaults kFullMeterDefaults{1.0, 760.0, 0.01f, 280.0, 5.0, 3.0, 4200.0};

constexpr std::array<std::int32_t, kTracesPerGraph> kFullColours{1, 4, 2};  // Red, Yellow, Blue
constexpr std::array<std::int32_t, kTracesPerGraph> kShortColours{1, 0, 2}; // Red, Black, Blue
constexpr std::array<double, 2> kFullNominalY{300.0, 100.0};
constexpr std::array<double, 2> kShortNominalY{1000.0, 100.0};
constexpr std::int32_t kDefaultScaleX = 20;
constexpr std::int32_t kDefaultScaleY = 12;
constexpr std::int32_t kDefaultNominalScaleY = 10;
constexpr int kCellsPerPage = 4;

void IdentityReadingMap(std::array<std::int32_t, kReadingMapSize>& map) {
    for (int i = 0; i < kReadingMapSize; ++i)
        map[static_cast<std::size_t>(i)] = i + 1;
}

} // namespace

CZentraDoc::CZentraDoc() {
    // The graphs carry their construction values. The reading map starts as the
    // standard layout so that a document never resolves a reading to position 0.
    IdentityReadingMap(m_ReadingMap);
}

CZentraDoc::~CZentraDoc() {
    if (m_PortHandle != kInvalidPort)
        ClosePort(m_PortHandle);
    // The serial link and node outlive the document as the user's defaults.
    if (m_StoreLinkOnClose)
        SaveCommsSettings(*this);
}

bool CZentraDoc::OnNewDocument() {
    m_PathName.clear();
    m_Title = "Untitled";
    ResetToDefaults();
    ApplyGraphDefaults(*this);
    LoadRegistryDefaults(*this);
    // The stored serial link keeps its port-set-up word, but a new document holds no
    // open port: left set, Start Data Retrieval would "run" with nothing to read.
    m_Comms.portSetUp = 0;
    return true;
}

void CZentraDoc::ClearLog() {
    m_SampleCount = 0;
    m_DataViewTop = 0;
    m_SampleTimes.fill(0);
    for (auto& record : m_SampleValues)
        record.fill(0.0);
    m_LoggingStartTime = 0;
    m_LoggingEndTime = 0;
}

void CZentraDoc::ResetToDefaults() {
    // 1. The current local date and time.
    const GetSystemDate now;

    // 2. Axis texts: HH:MM:SS, and "Mmm DD YYYY" under the axes.
    SetText(m_LiveAxisEnd, now.m_Clock.data());
    SetText(m_LiveAxisStart, now.m_Clock.data());
    SetText(m_LogAxisEnd, now.m_Clock.data());
    SetText(m_LogAxisStart, now.m_Clock.data());
    std::snprintf(m_LiveAxisDate.data(), m_LiveAxisDate.size(), "%s %s %s", now.m_MonthName.data(),
                  now.m_Day.data(), now.m_Year.data());
    m_LogAxisDate = m_LiveAxisDate;

    // 3. The live ring.
    m_LiveIndex = 0;
    m_LiveValid.fill(0);
    m_LiveTimes.fill(0);

    // 4. The log. The logging times belong to the log, so they go with it.
    ClearLog();

    // 5.
    m_ArchivedFile = 0;
    SetModifiedFlag(false);

    // 6. Dates: today; the delayed start defaults to now.
    const DayNumber today = GetSystemDate::ToDayNumber(now.m_DateText.data());
    m_ProjectStartDate = today;
    m_ProjectEndDate = today;
    m_StartDate = today;
    m_StartHour = now.m_Tm.tm_hour;
    m_StartMinute = now.m_Tm.tm_min;
    m_StartSecond = now.m_Tm.tm_sec;
    m_StartImmediately = 1;

    // 7. Texts.
    SetText(m_Description, kDefaultDescription);
    SetText(m_BriefDescription, kDefaultBriefDescription);
    SetText(m_ProjectName, kDefaultProjectName);

    // 8. Flags.
    m_ShowProject = 1;
    m_Locked = 0;
    m_Finished = 0;
    m_LoggingSetUp = 1;
    m_SelectedParameters.fill(0);

    // 9. Logging timing.
    m_Period = 1;
    m_PeriodMultiplier = 1;
    m_Duration = 1000;
    m_DurationMultiplier = 1;
    m_Samples = 1000;

    // 10. Serial link.
    m_Comms = CommSettings{};

    // 11. Run-time state.
    if (m_PortHandle != kInvalidPort)
        ClosePort(m_PortHandle);
    m_PortHandle = kInvalidPort;
    m_RetrievalActive = 0;
    m_LoggingActive = 0;
    m_MeterInfo.fill(0.0);

    // 12.
    IdentityReadingMap(m_ReadingMap);

    // 13. Meter set-up: variants 3 and 6 keep their type, any other becomes 1.
    if (!ShortList())
        m_SystemType = 1;
    const MeterDefaults& meter = ShortList() ? kShortMeterDefaults : kFullMeterDefaults;
    m_ModbusNode = meter.node;
    m_ModelNumber = meter.model;
    m_VersionFraction = meter.versionFraction;
    m_SystemVoltage = meter.voltage;
    m_SystemCurrent = meter.current;
    m_SystemTypeNumber = meter.typeNumber;
    m_MeterSpare = meter.spare;

    // 14. Every graph record.
    for (int k = 0; k < kGraphCount; ++k) {
        Graph& g = m_Graphs[static_cast<std::size_t>(k)];
        g.m_GraphNumber = k;
        g.m_Word52 = 0;
        g.m_Quadrant = k % kCellsPerPage;
        g.m_LineColour = ShortList() ? kShortColours : kFullColours;
        g.m_Associations = {0, 0, 0};
        for (auto& heading : g.m_Headings)
            SetText(heading, "OFF");
        g.m_RealTime = 0;
        g.m_GraphMode = 1;
        g.m_NominalY = ShortList() ? kShortNominalY : kFullNominalY;
        g.m_ScaleX = kDefaultScaleX;
        g.m_ScaleY = kDefaultScaleY;
        g.m_NominalScaleY = kDefaultNominalScaleY;
        g.m_TickLengthX = kDefaultTickLengthX;
        g.m_TickLengthY = kDefaultTickLengthY;
        g.m_FirstIndex = 0;
        g.m_LastIndex = 0;
        g.m_SecondsPerDiv = 0;
    }
}

double LiveReading(const CZentraDoc& doc, const RingEntry& slot, std::int32_t reading) {
    if (reading == kHorsePowerReading)
        return HorsePowerOf(LiveReading(doc, slot, kReadingKwSum));
    if (reading < 1 || reading > kReadingMapSize)
        return 0.0;
    // The map comes from the meter or a file: a position outside the slot reads nothing.
    const std::int32_t position = doc.m_ReadingMap[static_cast<std::size_t>(reading - 1)];
    if (position < 0 || position >= kRingValues)
        return 0.0;
    return slot[static_cast<std::size_t>(position)];
}

} // namespace zentra

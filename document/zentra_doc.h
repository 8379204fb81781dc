// The project document: one flat record of fixed size holding the project's texts
// and dates, the logging set-up, the twelve graphs, the serial link and meter set-up,
// the logged samples and the run-time fields shared by the acquisition cycle and the
// view. Nothing in it is allocated separately.
#pragma once

#include "comms/comm_settings.h"
#include "comms/serial_link.h"
#include "records/capacities.h"
#include "records/graph_record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zentra {

inline constexpr int kSelectedParameters = 23;
inline constexpr int kReadingMapSize = 48;
inline constexpr std::size_t kDescriptionCapacity = 1001;
inline constexpr std::size_t kShortTextCapacity = 101;
inline constexpr std::size_t kAxisTextCapacity = 21;
inline constexpr std::size_t kProjectFileSize = 1'510'187;

using SampleRecord = std::array<double, kSampleValues>;
using RingEntry = std::array<double, kRingValues>;
using DayNumber = std::int32_t; // YYYYMMDD

struct CZentraDoc {
    // --- Project block -----------------------------------------------------------
    std::array<char, kDescriptionCapacity> m_Description{};
    std::array<char, kShortTextCapacity> m_BriefDescription{};
    std::array<char, kShortTextCapacity> m_ProjectName{};
    DayNumber m_ProjectStartDate = 0;
    DayNumber m_ProjectEndDate = 0;
    std::uint8_t m_ShowProject = 1;
    std::int32_t m_Period = 1;           // in units of m_PeriodMultiplier seconds
    std::int32_t m_PeriodMultiplier = 1; // 1, 60 or 3600
    std::int32_t m_Duration = 1000;
    std::int32_t m_DurationMultiplier = 1;
    std::int32_t m_Samples = 1000; // planned records (logging also stops at kMaxSamples)
    std::int64_t m_LoggingStartTime = 0;
    std::int64_t m_LoggingEndTime = 0;
    DayNumber m_StartDate = 0;
    std::int32_t m_StartHour = 0;
    std::int32_t m_StartMinute = 0;
    std::int32_t m_StartSecond = 0;
    std::int32_t m_StartImmediately = 1;
    std::array<std::int32_t, kSelectedParameters> m_SelectedParameters{};
    std::uint8_t m_LoggingSetUp = 1;
    std::uint8_t m_Locked = 0;
    std::uint8_t m_Finished = 0;

    // --- Graphs --------------------------------------------------------------------
    std::array<Graph, kGraphCount> m_Graphs{};

    // --- Axis texts ------------------------------------------------------------------
    std::array<char, kAxisTextCapacity> m_LiveAxisStart{};
    std::array<char, kAxisTextCapacity> m_LiveAxisEnd{};
    std::array<char, kAxisTextCapacity> m_LiveAxisDate{};

    // --- Serial link ----------------------------------------------------------------
    CommSettings m_Comms{};

    // --- Meter set-up ------------------------------------------------------------------
    double m_ModbusNode = 1.0;
    double m_ModelNumber = 760.0;
    float m_VersionFraction = 0.01f;
    double m_SystemVoltage = 280.0;
    double m_SystemCurrent = 5.0;
    double m_SystemTypeNumber = 3.0;
    double m_MeterSpare = 4200.0;
    std::array<std::int32_t, kReadingMapSize> m_ReadingMap{}; // entry i-1: position of index i
    std::int32_t m_SystemType = 1;                            // meter variant 1..6

    // --- Logged-data axis texts and counters ----------------------------------------
    std::array<char, kAxisTextCapacity> m_LogAxisStart{};
    std::array<char, kAxisTextCapacity> m_LogAxisEnd{};
    std::array<char, kAxisTextCapacity> m_LogAxisDate{};
    std::int32_t m_SampleCount = 0;
    std::int32_t m_DataViewTop = 0; // data-table page

    // --- Log -------------------------------------------------------------------------
    std::array<SampleRecord, kMaxSamples> m_SampleValues{};
    std::array<std::int64_t, kMaxSamples> m_SampleTimes{};

    // --- Never stored -----------------------------------------------------------------
    std::array<RingEntry, kRingSlots> m_LiveValues{};
    std::array<std::int64_t, kRingSlots> m_LiveTimes{};
    std::array<std::uint8_t, kRingSlots> m_LiveValid{};
    std::array<double, 59> m_MeterInfo{};
    std::int32_t m_TickCountdown = 0;
    std::int32_t m_LiveIndex = 0;   // next ring slot to write
    std::int32_t m_LastRequest = 0; // 0, 3, 4 or 66
    PortHandle m_PortHandle = kInvalidPort;
    std::uint8_t m_RetrievalActive = 0;
    std::uint8_t m_LoggingActive = 0;
    std::uint8_t m_ArchivedFile = 0;

    // --- Framework state: modified flag, title and path --------------------------------
    bool m_Modified = false;
    std::string m_Title = "Untitled"; // "Untitled" until the view renames it "NewLog"
    std::string m_PathName;           // file the document was read from or saved to
    // Closing stores the serial link and node as the user's defaults; a document of a
    // run that must leave those alone (the screenless logger) clears this.
    bool m_StoreLinkOnClose = true;

    CZentraDoc();
    ~CZentraDoc();
    CZentraDoc(const CZentraDoc&) = delete;
    CZentraDoc& operator=(const CZentraDoc&) = delete;

    bool IsModified() const { return m_Modified; }
    void SetModifiedFlag(bool modified = true) { m_Modified = modified; }

    // New document: built-in defaults, graph defaults, then the user's stored defaults.
    bool OnNewDocument();
    // The built-in defaults of a new document, in their order.
    void ResetToDefaults();
    // An empty log: no samples, the first table page, no logging start or end time.
    void ClearLog();

    // True for the reduced parameter set (meter variants 3 and 6).
    bool ShortList() const { return m_SystemType == 3 || m_SystemType == 6; }
};

// Reading r of a live ring slot. A slot holds the block in the order the meter sends
// it, so readings 1..48 are found through m_ReadingMap; 49 (horse power) is the
// slot's "kW Sum", found the same way, divided by 0.7457. Anything else, and a map
// entry outside the slot, reads 0.0.
double LiveReading(const CZentraDoc& doc, const RingEntry& slot, std::int32_t reading);

} // namespace zentra

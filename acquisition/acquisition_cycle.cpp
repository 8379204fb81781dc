#include "acquisition/acquisition_cycle.h"

#include "platform/clock.h"
#include "records/calendar.h"

#include <cmath>
#include <limits>

namespace zentra {
namespace {

constexpr int kLastRingSlot = kRingSlots - 1; // 600
constexpr double kNotCarried = std::numeric_limits<double>::quiet_NaN();

// The logging period in readings replies, at least 1 (a period of 0 from a damaged
// file would otherwise stop the countdown for good).
std::int32_t PeriodInReplies(const CZentraDoc& doc) {
    const std::int64_t product =
        static_cast<std::int64_t>(doc.m_Period) * static_cast<std::int64_t>(doc.m_PeriodMultiplier);
    if (product < 1)
        return 1;
    if (product > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(product);
}

void WriteRingSlot(CZentraDoc& doc, const ReadingsBlock& readings, std::uint32_t carried,
                   std::int64_t t) {
    if (doc.m_LiveIndex < 0 || doc.m_LiveIndex > kLastRingSlot)
        doc.m_LiveIndex = 0;
    const auto slot = static_cast<std::size_t>(doc.m_LiveIndex);
    RingEntry& entry = doc.m_LiveValues[slot];
    entry[0] = 0.0;
    for (std::size_t p = 0; p < readings.size(); ++p)
        entry[p + 1] = p < carried ? readings[p] : kNotCarried;
    doc.m_LiveTimes[slot] = t;
    doc.m_LiveValid[slot] = 1;
    if (++doc.m_LiveIndex > kLastRingSlot)
        doc.m_LiveIndex = 0;
}

// Writes record m_SampleCount at time t; false (and nothing written) when the log is
// full or its counter is out of range.
bool AppendRecord(CZentraDoc& doc, const ReadingsBlock& readings, std::uint32_t carried,
                  std::int64_t t) {
    if (doc.m_SampleCount < 0 || doc.m_SampleCount >= kMaxSamples)
        return false;
    const auto n = static_cast<std::size_t>(doc.m_SampleCount);
    BuildRecord(doc, readings, carried, doc.m_SampleValues[n]);
    doc.m_SampleTimes[n] = t;
    ++doc.m_SampleCount;
    return true;
}

// Ends logging once the planned number of records (or the log's capacity) is reached.
bool EndIfComplete(CZentraDoc& doc) {
    if (doc.m_SampleCount >= doc.m_Samples || doc.m_SampleCount >= kMaxSamples ||
        doc.m_SampleCount < 0) {
        EndLogging(doc);
        return true;
    }
    return false;
}

void FileMeterInfo(CZentraDoc& doc, const K760modbus& meter) {
    doc.m_MeterInfo = meter.meterInfo;
    // Only values the reply carried replace the document's.
    if (meter.decodedCount > kInfoVoltage)
        doc.m_SystemVoltage = meter.meterInfo[kInfoVoltage];
    if (meter.decodedCount > kInfoCurrent)
        doc.m_SystemCurrent = meter.meterInfo[kInfoCurrent];
    if (meter.decodedCount > kInfoSystemType)
        doc.m_SystemTypeNumber = meter.meterInfo[kInfoSystemType];
}

} // namespace

std::uint8_t NodeByte(double node) {
    if (!std::isfinite(node) || std::fabs(node) >= 2147483648.0)
        return 0;
    return static_cast<std::uint8_t>(static_cast<std::int32_t>(node) & 0xFF);
}

void StartRetrieval(CZentraDoc& doc, AcquisitionState& state, AcquisitionTimer& timer) {
    K760modbus meter(doc.m_PortHandle, NodeByte(doc.m_ModbusNode), doc.m_Comms.floatOrder);
    for (RingEntry& entry : doc.m_LiveValues)
        entry.fill(0.0);
    doc.m_LiveIndex = 0;
    doc.m_RetrievalActive = 1;
    state.requestQueue.Load({kRequestMeterInfo, kRequestReadings});
    // Sent without checking the handle: a failed write is silent and the first tick
    // then finds no reply.
    meter.RequestPositionMap();
    // The layout request is now the outstanding one, so a missing layout reply is not
    // taken for a missing readings reply left over from before a restart.
    doc.m_LastRequest = kFcLayout;
    state.timerId =
        timer.Arm(kAcquisitionTimerId, std::chrono::milliseconds(LatencyMilliseconds(doc.m_Comms)));
}

namespace {

// Files the reply `meter` holds (ReceiveReply done) and, when `request`, sends the
// next request through it.
void FileAndRequest(CZentraDoc& doc, AcquisitionState& state, K760modbus& meter,
                    TickOutcome& outcome, std::int64_t t, bool request = true) {
    std::int32_t filed = meter.replyFunction;
    // A slave on a shared line answering in our place is not our meter: its values
    // are not filed, and the exchange counts as a missing reply.
    const bool wholeReply = meter.client.rxCount > 0 && meter.client.status == 0;
    if (wholeReply)
        outcome.exceptionCode = meter.client.exceptionCode;
    if (wholeReply && meter.client.replyNode != meter.node) {
        outcome.otherNode = true;
        filed = kReplyNone;
    }
    outcome.badCrc = meter.client.rxCount > 0 && meter.client.status != 0;
    if (wholeReply)
        outcome.exceptionCode = meter.client.exceptionCode;
    // A readings or layout reply that carried no entries at all has nothing to file.
    if ((filed == kFcReadings || filed == kFcLayout) && meter.decodedCount == 0)
        filed = kReplyNone;

    switch (filed) {
    case kFcLayout:
        ApplyReadingLayout(doc, meter.positionCodes, meter.decodedCount);
        break;
    case kFcReadings: {
        StoreInRing(doc, meter.readings, meter.decodedCount, t);
        const bool wasLogging = doc.m_LoggingActive != 0;
        outcome.recordsWritten = LoggingStep(doc, meter.readings, meter.decodedCount, t);
        // Samples logged after a save are changes: closing must ask about them.
        if (outcome.recordsWritten > 0)
            doc.SetModifiedFlag(true);
        outcome.loggingEnded = wasLogging && doc.m_LoggingActive == 0;
        if (request) {
            meter.RequestReadings();
            outcome.readingsRequested = true;
        }
        doc.m_LastRequest = kFcReadings;
        break;
    }
    case kFcMeterInfo:
        FileMeterInfo(doc, meter);
        break;
    default:
        filed = kReplyNone;
        // The only retry: a missing readings reply is asked for again.
        if (request && doc.m_LastRequest == kFcReadings) {
            meter.RequestReadings();
            outcome.readingsRequested = true;
        }
        break;
    }
    outcome.filed = filed;
    if (!request)
        return;

    if (const auto kind = state.requestQueue.Pop()) {
        switch (*kind) {
        case kRequestMeterInfo:
            meter.RequestMeterInfo();
            doc.m_LastRequest = kFcMeterInfo;
            break;
        case kRequestReadings:
            meter.RequestReadings();
            outcome.readingsRequested = true;
            doc.m_LastRequest = kFcReadings;
            break;
        case kRequestLayout:
            meter.RequestPositionMap();
            doc.m_LastRequest = kFcLayout;
            break;
        default: // consumed without a request
            break;
        }
    }
}

// With no request outstanding and none queued (a port just handed over by the
// Communication sheet, before retrieval starts) there is no reply to wait for:
// reading anyway would block the window for the whole read time-out every second.
bool Awaiting(const CZentraDoc& doc, const AcquisitionState& state) {
    return doc.m_LastRequest != 0 || !state.requestQueue.Empty();
}

} // namespace

TickOutcome AcquisitionTick(CZentraDoc& doc, AcquisitionState& state, AcquisitionTimer& timer,
                            int eventId, RedrawRef redraw) {
    TickOutcome outcome;
    const std::int64_t t = platform::Now();
    K760modbus meter(doc.m_PortHandle, NodeByte(doc.m_ModbusNode), doc.m_Comms.floatOrder);
    if (eventId == state.timerId && doc.m_PortHandle != kInvalidPort && Awaiting(doc, state)) {
        outcome.exchanged = true;
        meter.ReceiveReply();
        FileAndRequest(doc, state, meter, outcome, t);
    }
    redraw();
    state.timerId = timer.Arm(kAcquisitionTimerId, kTickPeriod);
    return outcome;
}

TickOutcome SharedLineTick(CZentraDoc& doc, AcquisitionState& state, AcquisitionTimer& timer,
                           K760modbus& link, bool request, std::optional<std::int64_t> second) {
    TickOutcome outcome;
    const std::int64_t t = second.value_or(platform::Now());
    if (link.port != kInvalidPort && Awaiting(doc, state)) {
        outcome.exchanged = true;
        FileAndRequest(doc, state, link, outcome, t, request);
    }
    state.timerId = timer.Arm(kAcquisitionTimerId, kTickPeriod);
    return outcome;
}

void ApplyReadingLayout(CZentraDoc& doc, const PositionCodes& codes, std::uint32_t carried) {
    for (int k = 1; k <= kReadingMapSize; ++k)
        doc.m_ReadingMap[static_cast<std::size_t>(k - 1)] = k;
    const std::uint32_t used = carried < codes.size() ? carried : codes.size();
    for (std::uint32_t i = 0; i < used; ++i) {
        const std::int32_t index = codes[i];
        if (index >= 1 && index <= kReadingMapSize)
            doc.m_ReadingMap[static_cast<std::size_t>(index - 1)] =
                static_cast<std::int32_t>(i + 1);
    }
}

void StoreInRing(CZentraDoc& doc, const ReadingsBlock& readings, std::uint32_t carried,
                 std::int64_t t) {
    int previous = doc.m_LiveIndex - 1;
    if (previous < 0 || previous > kLastRingSlot)
        previous = kLastRingSlot;
    // Whole seconds on the low 32 bits of the two times.
    const auto gap = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(t) -
        static_cast<std::uint32_t>(doc.m_LiveTimes[static_cast<std::size_t>(previous)]));
    WriteRingSlot(doc, readings, carried, t);
    // A tick that came one second late leaves no hole in the one-per-second ring.
    if (gap == 2)
        WriteRingSlot(doc, readings, carried, t);
}

int LoggingStep(CZentraDoc& doc, const ReadingsBlock& readings, std::uint32_t carried,
                std::int64_t t) {
    if (!doc.m_LoggingActive)
        return 0;
    int written = 0;
    if (doc.m_TickCountdown <= 0) {
        const std::int32_t period = PeriodInReplies(doc);
        doc.m_TickCountdown = period;
        std::int64_t gap = 0;
        if (period == 1 && doc.m_SampleCount > 0 && doc.m_SampleCount <= kMaxSamples)
            gap = t - doc.m_SampleTimes[static_cast<std::size_t>(doc.m_SampleCount - 1)];
        if (AppendRecord(doc, readings, carried, t))
            ++written;
        EndIfComplete(doc);
        // At a one-second period a reply two seconds after the last record stands for
        // the second it missed as well.
        if (gap == 2 && doc.m_LoggingActive) {
            if (AppendRecord(doc, readings, carried, t))
                ++written;
            EndIfComplete(doc);
        }
    }
    --doc.m_TickCountdown;
    return written;
}

void BuildRecord(const CZentraDoc& doc, const ReadingsBlock& readings, std::uint32_t carried,
                 SampleRecord& record) {
    record.fill(0.0); // element 0, and the elements a short list leaves unused
    std::size_t element = 1;
    for (const ReadingIndex index : ColumnsFor(doc.m_SystemType)) {
        if (index < 1 || index > kBlockReadings)
            continue; // derived readings (h.p.) are not logged
        double value = 0.0;
        const std::int32_t position = doc.m_ReadingMap[static_cast<std::size_t>(index - 1)];
        if (position >= 1 && position <= kBlockReadings &&
            static_cast<std::uint32_t>(position) <= carried) {
            value = readings[static_cast<std::size_t>(position - 1)];
            if (!std::isfinite(value))
                value = 0.0;
        }
        record[element++] = value;
    }
}

void EndLogging(CZentraDoc& doc) {
    const std::int64_t now = platform::Now();
    doc.m_LoggingActive = 0;
    doc.m_Finished = 1;
    doc.m_LoggingEndTime = now;
    doc.m_ProjectEndDate = DayNumberOf(now);
}

} // namespace zentra

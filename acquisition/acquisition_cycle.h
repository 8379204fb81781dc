// The one-second acquisition cycle: each tick reads the meter's reply to the request
// sent by the previous tick, files it in the document (readings layout, meter
// information, readings into the live ring and, while logging, the log), sends the
// next request, redraws and re-arms the timer. The caller (the view, or the
// command-line logger) owns the timer and the request queue and calls in here.
#pragma once

#include "acquisition/acquisition_timer.h"
#include "acquisition/request_queue.h"
#include "comms/meter.h"
#include "document/zentra_doc.h"
#include "records/readings_catalogue.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace zentra {

using ReadingsBlock = std::array<double, kBlockReadings>;
using PositionCodes = std::array<std::int32_t, kBlockReadings>;

// Acquisition state owned by the view: the identifier of the armed timer and the
// requests still to send.
struct AcquisitionState {
    int timerId = 0;
    RequestQueue requestQueue;
};

// A non-owning reference to the caller's redraw step; calling an empty one does
// nothing. Costs nothing per tick (no allocation).
class RedrawRef {
  public:
    RedrawRef() = default;
    template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, RedrawRef> && std::is_invocable_v<F&>)
        RedrawRef(F&& f) // NOLINT: implicit on purpose, so a lambda can be passed directly
        : object_(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
          call_([](void* o) { (*static_cast<std::remove_reference_t<F>*>(o))(); }) {}
    void operator()() const {
        if (call_)
            call_(object_);
    }

  private:
    void* object_ = nullptr;
    void (*call_)(void*) = nullptr;
};

// What one tick did, for callers that report progress (the view ignores it).
struct TickOutcome {
    bool exchanged = false;          // timer 1 with an open port: a reply was read
    std::int32_t filed = kReplyNone; // function code of the reply filed, or kReplyNone
    bool otherNode = false;          // a reply came from another node and was dropped
    bool badCrc = false;             // bytes came, but not a frame whose CRC checks
    std::int32_t exceptionCode = 0;  // the exception code of a whole exception reply, else 0
    bool readingsRequested = false;  // the readings request went out this tick
    int recordsWritten = 0;          // log records written (0, 1 or 2)
    bool loggingEnded = false;       // this tick reached the planned number of records
};

// The document's node number (a double) as the byte sent on the line; truncated
// toward zero, out-of-range values taken modulo 256 as the line would carry them.
std::uint8_t NodeByte(double node);

// Begins (or begins again) the request cycle: clears the ring values, sets
// m_RetrievalActive, queues the information and readings requests, sends the
// readings-layout request and arms timer 1 with the latency.
void StartRetrieval(CZentraDoc& doc, AcquisitionState& state, AcquisitionTimer& timer);

// The timer handler. Reads and files the previous reply, sends the next request,
// redraws and re-arms timer 1 at 1000 ms.
TickOutcome AcquisitionTick(CZentraDoc& doc, AcquisitionState& state, AcquisitionTimer& timer,
                            int eventId, RedrawRef redraw = {});

// The tick of a meter on a line it shares with other meters, where the caller runs
// one transaction at a time: `link` (on the open port, for this meter's node and float
// order) holds the reply the caller read for the meter's previous request, or nothing
// when none was outstanding. Files it as AcquisitionTick does and sends the next
// request through `link`, whose reply the caller reads before the line carries
// anything else; re-arms timer 1 at 1000 ms. Without `request` (a line too slow to
// ask every meter each second) the reply is filed and nothing is sent. `second` is the
// time the reply is filed under (the second the caller's round of the line stands
// for, so that a meter asked late in the round is not stamped with the next one);
// left out, the clock's now.
TickOutcome SharedLineTick(CZentraDoc& doc, AcquisitionState& state, AcquisitionTimer& timer,
                           K760modbus& link, bool request = true,
                           std::optional<std::int64_t> second = std::nullopt);

// Rebuilds m_ReadingMap from a layout reply: identity first, then the reading index
// found at byte i sits at position i + 1. Only the first `carried` codes are used and
// codes outside 1..48 are ignored.
void ApplyReadingLayout(CZentraDoc& doc, const PositionCodes& codes, std::uint32_t carried);

// Stores one readings reply at time t in the live ring (with the gap-of-2 duplicate).
// Block positions beyond `carried` are stored as NaN: the reply did not carry them.
void StoreInRing(CZentraDoc& doc, const ReadingsBlock& readings, std::uint32_t carried,
                 std::int64_t t);

// The logging step of one readings reply (only while m_LoggingActive); returns the
// number of records written.
int LoggingStep(CZentraDoc& doc, const ReadingsBlock& readings, std::uint32_t carried,
                std::int64_t t);

// Builds one log record from a readings block through m_ReadingMap: element 0 is 0.0,
// then the readings of LoggedColumns (or of ShortLoggedColumns up to 48). A value
// that is not a finite number, or that the reply did not carry, is stored as 0.0.
void BuildRecord(const CZentraDoc& doc, const ReadingsBlock& readings, std::uint32_t carried,
                 SampleRecord& record);

// Ends the logging run and records the end (time and DayNumber of now).
void EndLogging(CZentraDoc& doc);

} // namespace zentra

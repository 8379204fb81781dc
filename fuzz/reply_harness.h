// One reply fed to the client and to a whole acquisition tick through a file that
// stands in for the serial port: it reads like a port whose far end sent the bytes
// and then went quiet for good (end of file). Shared by the fuzz target and the
// regression tests.
#pragma once

#include "acquisition/acquisition_cycle.h"
#include "comms/meter.h"
#include "comms/modbus_client.h"
#include "document/zentra_doc.h"
#include "fuzz/document_readers.h"
#include "platform/clock.h"

#include <array>
#include <cstdint>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace zentra::fuzz {

// A memory file as the port: Load puts the reply in it and rewinds, so a read gets
// the bytes and then the end of the file, like a port whose far end hung up; what
// the code under test writes (the next request) goes after them. One file serves
// every input: a socket pair made and closed per input cost more than the code.
class FakePort {
  public:
    FakePort() : fd_(::memfd_create("zentra-fuzz-port", MFD_CLOEXEC)) {}
    ~FakePort() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FakePort(const FakePort&) = delete;
    FakePort& operator=(const FakePort&) = delete;

    // The port with the reply in it, read from its start; kInvalidPort on failure.
    int Load(const std::vector<std::uint8_t>& reply) {
        if (fd_ < 0)
            return kInvalidPort;
        std::size_t sent = 0;
        while (sent < reply.size()) {
            const ssize_t n =
                ::pwrite(fd_, reply.data() + sent, reply.size() - sent, static_cast<off_t>(sent));
            if (n <= 0)
                return kInvalidPort;
            sent += static_cast<std::size_t>(n);
        }
        // Cut after the reply (what an earlier input or request left goes), without
        // first emptying the file: that would give its page back for every input.
        if (::ftruncate(fd_, static_cast<off_t>(reply.size())) != 0)
            return kInvalidPort;
        return ::lseek(fd_, 0, SEEK_SET) == 0 ? fd_ : kInvalidPort;
    }

  private:
    int fd_ = -1;
};

class NoTimer final : public AcquisitionTimer {
  public:
    int Arm(int id, std::chrono::milliseconds) override { return id; }
    void Kill(int) override {}
};

struct ReplySetUp {
    std::int32_t order = 0;
    std::int32_t lastRequest = 0; // 0, 3, 4 or 66
    bool logging = false;
    bool appendCrc = false;
    std::int32_t systemType = 1;
    std::int32_t sampleCount = 0;
    std::int32_t liveIndex = 0;
    std::uint32_t readLimit = kReplyReadLimit;
};

inline ReplySetUp SetUpFrom(std::uint8_t a, std::uint8_t b) {
    static constexpr std::int32_t kRequests[4] = {0, kFcMeterInfo, kFcReadings, kFcLayout};
    static constexpr std::int32_t kCounts[4] = {0, 1, kMaxSamples - 1, kMaxSamples};
    static constexpr std::int32_t kLiveIndices[4] = {0, 1, kRingSlots - 2, kRingSlots - 1};
    static constexpr std::uint32_t kLimits[4] = {kReplyReadLimit, 8, 999, 4000};
    ReplySetUp s;
    s.order = a & 3;
    s.lastRequest = kRequests[(a >> 2) & 3];
    s.logging = (a & 0x10) != 0;
    s.appendCrc = (a & 0x20) != 0;
    s.readLimit = kLimits[(a >> 6) & 3];
    s.systemType = 1 + (b % 6);
    s.sampleCount = kCounts[(b >> 3) & 3];
    s.liveIndex = kLiveIndices[(b >> 5) & 3];
    return s;
}

struct ReplyState {
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    AcquisitionState acquisition;
    NoTimer timer;
    FakePort port;
    std::vector<std::uint8_t> reply;
};

inline ReplyState& TheReplyState() {
    static ReplyState* state = new ReplyState(); // lives for the whole run
    return *state;
}

inline void RunReply(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return;
    ReplyState& state = TheReplyState();
    const ReplySetUp s = SetUpFrom(data[0], data[1]);
    std::vector<std::uint8_t>& reply = state.reply;
    reply.assign(data + 2, data + size);
    if (s.appendCrc) {
        const std::uint16_t crc = ModbusCrc(reply.data(), reply.size());
        reply.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        reply.push_back(static_cast<std::uint8_t>(crc >> 8));
    }

    // The client's own steps.
    {
        Cmodbus client;
        client.ReadReply(state.port.Load(reply), s.readLimit);
        client.CheckReplyCrc();
        client.DecodeReply(s.order);
        if (client.valueCount > kMaxDecodedValues)
            Fail("more values decoded than the buffer holds", client.valueCount);
    }

    // A whole tick, filing into a document in the chosen state.
    CZentraDoc& doc = *state.doc;
    doc.m_Comms.floatOrder = s.order;
    doc.m_LastRequest = s.lastRequest;
    doc.m_LoggingActive = s.logging ? 1 : 0;
    doc.m_RetrievalActive = 1;
    doc.m_SystemType = s.systemType;
    doc.m_SampleCount = s.sampleCount;
    doc.m_LiveIndex = s.liveIndex;
    doc.m_TickCountdown = 0;
    doc.m_Samples = kMaxSamples;
    for (int k = 0; k < kReadingMapSize; ++k)
        doc.m_ReadingMap[static_cast<std::size_t>(k)] = k + 1;
    state.acquisition = AcquisitionState{};
    state.acquisition.timerId = kAcquisitionTimerId;

    doc.m_PortHandle = state.port.Load(reply);
    AcquisitionTick(doc, state.acquisition, state.timer, kAcquisitionTimerId);
    doc.m_PortHandle = kInvalidPort; // the file belongs to the harness
    if (doc.m_SampleCount < 0 || doc.m_SampleCount > kMaxSamples)
        Fail("the log counter left its range", static_cast<std::size_t>(doc.m_SampleCount));
    if (doc.m_LiveIndex < 0 || doc.m_LiveIndex >= kRingSlots)
        Fail("the ring index left its range", static_cast<std::size_t>(doc.m_LiveIndex));
    // The row of the record the tick may have logged, as the export writes it.
    BuildSampleRow(doc, doc.m_SampleCount - 1, kCsvSeparator);
}

} // namespace zentra::fuzz

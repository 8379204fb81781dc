// One reply fed to the client and to a whole acquisition tick through a socket that
// stands in for the serial port (it reads like a port whose far end sent the bytes and
// then went quiet for good). Shared by the fuzz target and the regression tests.
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
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace zentra::fuzz {

// A socket pair: the port end (read by the code under test) and the meter end, which
// holds the reply and is shut for writing, so a read ends at once after the bytes.
class FakePort {
  public:
    explicit FakePort(const std::vector<std::uint8_t>& reply) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0) {
            fds_[0] = fds_[1] = -1;
            return;
        }
        std::size_t sent = 0;
        while (sent < reply.size()) {
            const ssize_t n = ::write(fds_[1], reply.data() + sent, reply.size() - sent);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        ::shutdown(fds_[1], SHUT_WR);
    }
    ~FakePort() {
        for (const int fd : fds_)
            if (fd >= 0)
                ::close(fd);
    }
    FakePort(const FakePort&) = delete;
    FakePort& operator=(const FakePort&) = delete;
    int port() const { return fds_[0]; }

  private:
    int fds_[2] = {-1, -1};
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
};

inline ReplyState& TheReplyState() {
    static ReplyState* state = new ReplyState(); // lives for the whole run
    return *state;
}

inline void RunReply(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return;
    const ReplySetUp s = SetUpFrom(data[0], data[1]);
    std::vector<std::uint8_t> reply(data + 2, data + size);
    if (s.appendCrc) {
        const std::uint16_t crc = ModbusCrc(reply.data(), reply.size());
        reply.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        reply.push_back(static_cast<std::uint8_t>(crc >> 8));
    }

    // The client's own steps.
    {
        const FakePort port(reply);
        Cmodbus client;
        client.ReadReply(port.port(), s.readLimit);
        client.CheckReplyCrc();
        client.DecodeReply(s.order);
        if (client.valueCount > kMaxDecodedValues)
            Fail("more values decoded than the buffer holds", client.valueCount);
    }

    // A whole tick, filing into a document in the chosen state.
    ReplyState& state = TheReplyState();
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

    const FakePort port(reply);
    doc.m_PortHandle = port.port();
    AcquisitionTick(doc, state.acquisition, state.timer, kAcquisitionTimerId);
    doc.m_PortHandle = kInvalidPort; // the socket is closed by its owner
    if (doc.m_SampleCount < 0 || doc.m_SampleCount > kMaxSamples)
        Fail("the log counter left its range", static_cast<std::size_t>(doc.m_SampleCount));
    if (doc.m_LiveIndex < 0 || doc.m_LiveIndex >= kRingSlots)
        Fail("the ring index left its range", static_cast<std::size_t>(doc.m_LiveIndex));
    ReadRows(doc, size);
}

} // namespace zentra::fuzz

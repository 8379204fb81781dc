// A simulated meter: a Modbus RTU slave on the master side of a pseudo-terminal (or,
// standing in for a serial device server or a Modbus TCP gateway, on a TCP port of
// the loopback address), answering on its own thread. Clients open DevicePath() (the
// slave side, or the tcp:// or modbus-tcp:// address) as if it were a serial port. It answers fc 17
// (identity), fc 3 (information block), fc 4 (readings) and fc 66 (readings layout) for its own
// node (or, standing in for a bus, for each of several nodes), ignores other nodes, and
// can inject the faults a real line shows.
#pragma once

#include "tools/sim/meter_model.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zentra::sim {

using Layout = std::array<std::uint8_t, kReadingCount>; // reading index per block position

// Position p (1-based) holds reading p.
Layout IdentityLayout();

// Faults applied to the replies (all off by default).
struct SimFaults {
    int dropEvery = 0;                        // leave every Nth reply unsent
    bool corruptCrc = false;                  // send replies with a wrong CRC
    int exceptionCode = 0;                    // answer every request with this exception
    int answerAsNode = 0;                     // put this node in replies (0: own node)
    std::chrono::milliseconds late{0};        // wait this long before answering
    std::chrono::milliseconds splitGap{0};    // send replies in two halves this far apart
    bool garbage = false;                     // send noise of the reply's length instead
    std::size_t flood = 0;                    // send this many noise bytes instead
    bool wrongTransaction = false;            // Modbus TCP: answer under another transaction id
    std::chrono::milliseconds doubleAfter{0}; // send each reply again this long after it
};

// How the simulator is reached. Over Modbus TCP a wrong CRC (corruptCrc) becomes a
// length field that does not match the frame, the one damage that framing can show.
enum class SimTransport {
    Pty,        // a pseudo-terminal
    RtuOverTcp, // RTU frames over TCP (a device server in transparent mode)
    ModbusTcp,  // MBAP frames over TCP (a Modbus TCP gateway)
};

// On a simulated bus node n carries this much more current per phase than node 1
// (A), so node n's phase currents lie between 100 n - 66 and 100 n - 38 A.
inline constexpr double kBusAmpsPerNode = 100.0;

struct SimOptions {
    std::uint8_t node = 1;
    // Several meters on the one line: each node answers with its own load (see
    // kBusAmpsPerNode) and its own serial number (`identity`'s low part plus n - 1,
    // so node 1 keeps it); empty: `node` alone, with the load of node 1.
    std::vector<std::uint8_t> nodes;
    std::vector<std::uint8_t> silentNodes; // nodes that hear their requests but never answer
    // Every reply waits for its request's wire time and goes out at the line's pace:
    // each byte its wire time at the baud rate the client set (network transports:
    // paceBaud), as a real cable would carry it.
    bool pace = false;
    int paceBaud = 38400;
    std::int32_t floatOrder = 0; // the meter's byte order, 0..3 as the client numbers them
    MeterIdentity identity;      // model 760, version 1.01 (variant 1)
    MeterInfo info;              // system type 3 "3ph4w"
    Layout layout = IdentityLayout();
    SimFaults faults;
    std::string link; // when set, a symbolic link to the device is made here (Pty only)
    SimTransport transport = SimTransport::Pty;
    std::uint16_t tcpPort = 0; // network transports: port on 127.0.0.1 (0: any free one)
    // Seconds since start for the readings; empty: the steady clock.
    std::function<double()> clock;
};

class MeterSimulator {
  public:
    explicit MeterSimulator(SimOptions options = {});
    ~MeterSimulator();
    MeterSimulator(const MeterSimulator&) = delete;
    MeterSimulator& operator=(const MeterSimulator&) = delete;

    // Creates the pseudo-terminal (and the link) and starts answering. False with
    // Error() set when that fails.
    bool Start();
    // Stops answering, closes the pseudo-terminal and removes the link.
    void Stop();
    // Closes the master side at once, as a pulled adapter would vanish: the client's
    // port hangs up and the link is removed. The simulator answers nothing afterwards.
    void CloseMaster();
    // Network transports: drops the client's connection (it reads end of file) and
    // waits for the next one, as a gateway that restarts does.
    void DropClient();

    const std::string& DevicePath() const { return devicePath_; }
    // Network transports: the port listened on (after Start).
    std::uint16_t Port() const { return boundPort_; }
    const std::string& Error() const { return error_; }

    void SetFaults(const SimFaults& faults);
    // Keeps a node quiet (or lets it answer again).
    void SetSilent(std::uint8_t node, bool silent);
    // Frames addressed to this node / replies (or fault bytes) written so far.
    std::uint64_t RequestsSeen() const { return requestsSeen_; }
    std::uint64_t RepliesSent() const { return repliesSent_; }

  private:
    struct SimNode {
        std::uint8_t node = 1;
        MeterModel model;
        MeterIdentity identity;
        bool silent = false; // guarded by faultsMutex_
    };
    SimNode* NodeFor(std::uint8_t node);
    // The wire time of one character at the line's settings.
    std::chrono::nanoseconds CharacterTime() const;
    // Waits as a line would: the request's own wire time plus the silence that ends
    // it, then writes the reply a character time per byte.
    bool PacedWrite(const std::uint8_t* data, std::size_t length);
    // Wakes the run with `wake`, waits for it to end, closes `fds` and removes the link.
    void EndRun(char wake, std::initializer_list<int*> fds);
    void Run();
    void HandleFrame(const std::uint8_t* frame, std::size_t length);
    void Send(std::vector<std::uint8_t> reply, const SimFaults& faults);
    bool WriteAll(const std::uint8_t* data, std::size_t length);
    bool StartListening();
    // Network transports: waits for a client; false when the thread must end.
    bool AwaitClient();
    void CloseClient();
    // Empties the wake-up pipe and drops the client if that was asked for.
    void TakeWakeUps();
    // Modbus TCP: answers every whole request at the front of `pending`.
    void AnswerMbap(std::vector<std::uint8_t>& pending);
    // Waits up to d for a wake-up; true when the thread must end.
    bool Pause(std::chrono::milliseconds d);
    double Seconds() const;

    SimOptions options_;
    std::vector<SimNode> meters_;
    std::size_t requestLength_ = 0; // bytes of the request being answered
    std::string devicePath_;
    std::string error_;
    int master_ = -1; // the pseudo-terminal's master, or the connected client's socket
    int listen_ = -1; // network transports: the listening socket
    std::uint16_t boundPort_ = 0;
    std::uint16_t transaction_ = 0; // Modbus TCP: id of the request being answered
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> closeMaster_{false};
    std::atomic<bool> dropClient_{false};
    mutable std::mutex faultsMutex_;
    SimFaults faults_;
    std::uint64_t replyNumber_ = 0;
    std::uint32_t noise_ = 0x2545F491u;
    std::atomic<std::uint64_t> requestsSeen_{0};
    std::atomic<std::uint64_t> repliesSent_{0};
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

} // namespace zentra::sim

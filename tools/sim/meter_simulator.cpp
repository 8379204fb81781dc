#include "tools/sim/meter_simulator.h"

#include "tools/sim/sim_crc.h"
#include "tools/sim/sim_network.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace zentra::sim {
namespace {

using namespace std::chrono_literals;

// A request ends when the line has been quiet this long (3.5 characters at 9600 baud).
constexpr auto kFrameSilence = 4ms;
// While no client holds the slave side, the master reports a hang-up; look again after.
constexpr auto kIdleRecheck = 5ms;
constexpr std::size_t kMaxRequest = 256;
// A paced slave answers no sooner than 3.5 characters after the request, and never
// sooner than 1.75 ms (the fixed silence of lines faster than 19200 baud).
constexpr auto kLeastTurnaround = std::chrono::microseconds(1750);
// Paced bytes are written in bursts no longer than this.
constexpr auto kPaceSlice = std::chrono::microseconds(500);

constexpr int kHoldingRegisters = 2 * kInfoFloats; // 64
constexpr int kInputRegisters = 2 * kReadingCount; // 96
constexpr int kMaxRegistersPerRead = 125;

constexpr std::uint8_t kIllegalFunction = 1;
constexpr std::uint8_t kIllegalAddress = 2;
constexpr std::uint8_t kIllegalValue = 3;

// The four bytes of a float as the meter sends them in each byte order: the indices
// of the IEEE-754 bytes, most significant first as 0.
constexpr std::array<std::array<int, 4>, 4> kWireOrder{{
    {0, 1, 2, 3}, // big-endian: most significant byte first
    {3, 2, 1, 0}, // little-endian: least significant byte first
    {2, 3, 0, 1}, // low word first, each word most significant byte first
    {1, 0, 3, 2}, // high word first, each word least significant byte first
}};

void PutFloat(std::vector<std::uint8_t>& out, float value, std::int32_t order) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const std::uint8_t msbFirst[4] = {
        static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
        static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)};
    for (int i : kWireOrder[static_cast<std::size_t>(order & 3)])
        out.push_back(msbFirst[i]);
}

std::vector<std::uint8_t> Exception(std::uint8_t node, std::uint8_t code, std::uint8_t reason) {
    std::vector<std::uint8_t> reply{node, static_cast<std::uint8_t>(code | 0x80), reason};
    AppendFrameCrc(reply);
    return reply;
}

// The length of a request whose function code says it (the ones this meter answers),
// so a complete one is answered at once instead of after the silence; 0 otherwise.
std::size_t RequestLength(const std::vector<std::uint8_t>& frame) {
    if (frame.size() < 2)
        return 0;
    switch (frame[1]) {
    case 3:
    case 4:
    case 66:
        return 8;
    case 17:
        return 4;
    default:
        return 0;
    }
}

} // namespace

Layout IdentityLayout() {
    Layout layout{};
    for (int i = 0; i < kReadingCount; ++i)
        layout[i] = static_cast<std::uint8_t>(i + 1);
    return layout;
}

MeterSimulator::MeterSimulator(SimOptions options)
    : options_(std::move(options)), faults_(options_.faults) {
    if (options_.nodes.empty()) {
        meters_.push_back(SimNode{options_.node, MeterModel(), options_.identity, false});
    } else {
        // Meters of one line are distinct meters: each its own serial number.
        for (const std::uint8_t node : options_.nodes) {
            MeterIdentity identity = options_.identity;
            identity.serialLow += static_cast<float>(node - 1);
            meters_.push_back(
                SimNode{node, MeterModel(kBusAmpsPerNode * (node - 1)), identity, false});
        }
    }
    for (const std::uint8_t node : options_.silentNodes)
        if (SimNode* meter = NodeFor(node))
            meter->silent = true;
}

MeterSimulator::SimNode* MeterSimulator::NodeFor(std::uint8_t node) {
    for (SimNode& meter : meters_)
        if (meter.node == node)
            return &meter;
    return nullptr;
}

void MeterSimulator::SetSilent(std::uint8_t node, bool silent) {
    std::lock_guard lock(faultsMutex_);
    if (SimNode* meter = NodeFor(node))
        meter->silent = silent;
}

MeterSimulator::~MeterSimulator() {
    Stop();
}

bool MeterSimulator::StartListening() {
    if (!options_.link.empty()) {
        error_ = "a link can only be made to a pseudo-terminal";
        return false;
    }
    listen_ = ListenOnLoopback(options_.tcpPort, &boundPort_, &error_);
    if (listen_ < 0)
        return false;
    const char* scheme = options_.transport == SimTransport::ModbusTcp ? "modbus-tcp://" : "tcp://";
    devicePath_ = scheme + std::string("127.0.0.1:") + std::to_string(boundPort_);
    return true;
}

bool MeterSimulator::Start() {
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        error_ = "cannot create a pipe";
        return false;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    if (options_.transport != SimTransport::Pty) {
        if (!StartListening())
            return false;
        started_ = std::chrono::steady_clock::now();
        thread_ = std::thread([this] { Run(); });
        return true;
    }
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error_ = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        error_ = "cannot name the pseudo-terminal";
        return false;
    }
    devicePath_ = name;
    // Raw from the start: no echo of replies back to us, no line editing.
    termios tio{};
    if (::tcgetattr(master_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(master_, TCSANOW, &tio);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (!options_.link.empty()) {
        std::error_code ec;
        if (std::filesystem::is_symlink(options_.link, ec))
            std::filesystem::remove(options_.link, ec);
        std::filesystem::create_symlink(devicePath_, options_.link, ec);
        if (ec) {
            error_ = "cannot create the link " + options_.link + ": " + ec.message();
            return false;
        }
    }
    started_ = std::chrono::steady_clock::now();
    thread_ = std::thread([this] { Run(); });
    return true;
}

void MeterSimulator::Stop() {
    stop_ = true;
    EndRun('s', {&master_, &listen_, &wakeRead_, &wakeWrite_});
}

void MeterSimulator::CloseMaster() {
    closeMaster_ = true;
    EndRun('c', {&master_, &listen_});
}

void MeterSimulator::EndRun(char wake, std::initializer_list<int*> fds) {
    if (wakeWrite_ >= 0)
        (void)!::write(wakeWrite_, &wake, 1);
    if (thread_.joinable())
        thread_.join();
    for (int* fd : fds) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    // The stable name goes with the device, as udev removes a pulled adapter's by-id
    // link: the pseudo-terminal's number is free again and the next one made, perhaps
    // another program's, may be given it.
    if (options_.link.empty())
        return;
    std::error_code ec;
    if (std::filesystem::is_symlink(options_.link, ec) &&
        std::filesystem::read_symlink(options_.link, ec) == devicePath_)
        std::filesystem::remove(options_.link, ec);
}

void MeterSimulator::DropClient() {
    dropClient_ = true;
    if (wakeWrite_ >= 0)
        (void)!::write(wakeWrite_, "d", 1);
}

void MeterSimulator::SetFaults(const SimFaults& faults) {
    std::lock_guard lock(faultsMutex_);
    faults_ = faults;
}

double MeterSimulator::Seconds() const {
    if (options_.clock)
        return options_.clock();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

bool MeterSimulator::Pause(std::chrono::milliseconds d) {
    pollfd pfd{wakeRead_, POLLIN, 0};
    ::poll(&pfd, 1, static_cast<int>(d.count()));
    return stop_ || closeMaster_ || dropClient_;
}

void MeterSimulator::TakeWakeUps() {
    char bytes[16];
    while (::read(wakeRead_, bytes, sizeof bytes) > 0) {
    }
    if (dropClient_.exchange(false))
        CloseClient();
}

void MeterSimulator::CloseClient() {
    if (listen_ >= 0 && master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

bool MeterSimulator::AwaitClient() {
    while (!stop_ && !closeMaster_) {
        pollfd pfds[2] = {{listen_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(pfds, 2, -1) < 0 && errno != EINTR)
            return false;
        if (pfds[1].revents & POLLIN)
            TakeWakeUps();
        if (!(pfds[0].revents & POLLIN))
            continue;
        const int client = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0)
            continue;
        const int yes = 1;
        (void)::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        master_ = client;
        return true;
    }
    return false;
}

void MeterSimulator::AnswerMbap(std::vector<std::uint8_t>& pending) {
    while (auto request = TakeMbapRequest(pending)) {
        transaction_ = request->transaction;
        HandleFrame(request->rtu.data(), request->rtu.size());
    }
}

void MeterSimulator::Run() {
    std::vector<std::uint8_t> frame;
    std::uint8_t chunk[512];
    const bool network = listen_ >= 0;
    const bool mbap = options_.transport == SimTransport::ModbusTcp;
    while (!stop_ && !closeMaster_) {
        if (network && master_ < 0) {
            frame.clear();
            if (!AwaitClient())
                break;
        }
        pollfd pfds[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        // Collecting a frame: wait only for the silence that ends it (an MBAP frame
        // says its own length instead).
        const int timeout = frame.empty() || mbap ? -1 : static_cast<int>(kFrameSilence.count());
        const int ready = ::poll(pfds, 2, timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (pfds[1].revents & POLLIN) {
            TakeWakeUps(); // stop or close: the loop condition decides
            continue;
        }
        if (ready == 0) {
            HandleFrame(frame.data(), frame.size());
            frame.clear();
            continue;
        }
        if (pfds[0].revents & POLLIN) {
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n > 0) {
                frame.insert(frame.end(), chunk, chunk + n);
                if (mbap) {
                    AnswerMbap(frame);
                } else if (const std::size_t whole = RequestLength(frame);
                           whole != 0 && frame.size() == whole &&
                           FrameCrcMatches(frame.data(), frame.size())) {
                    HandleFrame(frame.data(), frame.size()); // complete: no need to wait
                    frame.clear();
                }
                if (frame.size() > kMaxRequest)
                    frame.clear(); // noise, not a request
                continue;
            }
            if (network && (n == 0 || errno != EAGAIN)) {
                CloseClient(); // the client has gone: wait for the next one
                continue;
            }
        }
        if (network && (pfds[0].revents & (POLLHUP | POLLERR))) {
            CloseClient();
            continue;
        }
        if (pfds[0].revents & (POLLHUP | POLLERR)) {
            // No client on the slave side: whatever was half-received is void.
            frame.clear();
            if (Pause(kIdleRecheck))
                break;
        }
    }
    if (closeMaster_ && master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void MeterSimulator::HandleFrame(const std::uint8_t* frame, std::size_t length) {
    if (length < 4)
        return;
    if (!FrameCrcMatches(frame, length))
        return; // a slave stays silent on a damaged frame
    const std::uint8_t node = frame[0];
    SimNode* meter = NodeFor(node);
    if (meter == nullptr)
        return; // someone else's request (or a broadcast, which gets no reply)
    ++requestsSeen_;
    requestLength_ = length;
    const std::uint8_t code = frame[1];
    const std::int32_t order = options_.floatOrder;

    SimFaults faults;
    {
        std::lock_guard lock(faultsMutex_);
        faults = faults_;
        if (meter->silent)
            return;
    }
    if (faults.exceptionCode != 0) {
        Send(Exception(node, code, static_cast<std::uint8_t>(faults.exceptionCode)), faults);
        return;
    }

    std::vector<std::uint8_t> reply{node, code};
    switch (code) {
    case 3:
    case 4: {
        if (length != 8) {
            Send(Exception(node, code, kIllegalValue), faults);
            return;
        }
        const int address = (frame[2] << 8) | frame[3];
        const int quantity = (frame[4] << 8) | frame[5];
        const int size = code == 3 ? kHoldingRegisters : kInputRegisters;
        if (quantity < 1 || quantity > kMaxRegistersPerRead) {
            Send(Exception(node, code, kIllegalValue), faults);
            return;
        }
        if (address + quantity > size) {
            Send(Exception(node, code, kIllegalAddress), faults);
            return;
        }
        std::vector<std::uint8_t> image;
        if (code == 3) {
            for (float v : MeterModel::InfoBlock(options_.info))
                PutFloat(image, v, order);
        } else {
            const auto values = meter->model.Readings(Seconds());
            for (std::uint8_t index : options_.layout) {
                const float v = (index >= 1 && index <= kReadingCount) ? values[index - 1] : 0.0f;
                PutFloat(image, v, order);
            }
        }
        reply.push_back(static_cast<std::uint8_t>(2 * quantity));
        reply.insert(reply.end(), image.begin() + 2 * address,
                     image.begin() + 2 * (address + quantity));
        break;
    }
    case 17: {
        reply.push_back(static_cast<std::uint8_t>(4 * kIdentityFloats));
        for (float v : MeterModel::IdentityBlock(meter->identity))
            PutFloat(reply, v, order);
        break;
    }
    case 66: {
        if (length != 8) {
            Send(Exception(node, code, kIllegalValue), faults);
            return;
        }
        // Bytes 2..5 echo the request's address and quantity; then the layout.
        for (std::size_t i = 2; i < 6; ++i)
            reply.push_back(frame[i]);
        reply.push_back(static_cast<std::uint8_t>(kReadingCount));
        reply.insert(reply.end(), options_.layout.begin(), options_.layout.end());
        break;
    }
    default:
        Send(Exception(node, code, kIllegalFunction), faults);
        return;
    }
    AppendFrameCrc(reply);
    Send(std::move(reply), faults);
}

void MeterSimulator::Send(std::vector<std::uint8_t> reply, const SimFaults& faults) {
    ++replyNumber_;
    if (faults.dropEvery > 0 && replyNumber_ % static_cast<std::uint64_t>(faults.dropEvery) == 0)
        return;
    auto noise = [this](std::size_t n) {
        std::vector<std::uint8_t> bytes(n);
        for (auto& b : bytes) {
            noise_ ^= noise_ << 13; // xorshift32
            noise_ ^= noise_ >> 17;
            noise_ ^= noise_ << 5;
            b = static_cast<std::uint8_t>(noise_);
        }
        return bytes;
    };
    const bool mbap = options_.transport == SimTransport::ModbusTcp;
    if (faults.flood > 0) {
        reply = noise(faults.flood);
    } else if (faults.garbage && mbap) {
        reply = noise(reply.size() + 4); // the size of the MBAP frame
        reply[2] |= 0x80;                // a protocol id other than 0: never a frame
    } else if (faults.garbage) {
        reply = noise(reply.size());
        // Noise that happens to end in a valid CRC would be a reply; make sure it is not.
        if (FrameCrcMatches(reply.data(), reply.size()))
            reply.back() ^= 0xFF;
    } else {
        if (faults.answerAsNode != 0) {
            reply[0] = static_cast<std::uint8_t>(faults.answerAsNode);
            reply.resize(reply.size() - 2);
            AppendFrameCrc(reply);
        }
        if (faults.corruptCrc)
            reply.back() ^= 0x5A;
        if (mbap)
            reply = MbapReply(
                static_cast<std::uint16_t>(transaction_ + (faults.wrongTransaction ? 1 : 0)), reply,
                faults.corruptCrc ? 1 : 0);
    }
    if (faults.late.count() > 0 && Pause(faults.late))
        return;
    if (options_.pace) {
        PacedWrite(reply.data(), reply.size());
    } else if (faults.splitGap.count() > 0 && reply.size() >= 2) {
        const std::size_t half = reply.size() / 2;
        if (!WriteAll(reply.data(), half) || Pause(faults.splitGap))
            return;
        WriteAll(reply.data() + half, reply.size() - half);
    } else {
        WriteAll(reply.data(), reply.size());
    }
    if (faults.doubleAfter.count() > 0 && !Pause(faults.doubleAfter))
        WriteAll(reply.data(), reply.size()); // a repeater or a second path doubles it
    ++repliesSent_;
}

std::chrono::nanoseconds MeterSimulator::CharacterTime() const {
    int baud = options_.paceBaud;
    int bits = 10; // start, 8 data, stop
    termios tio{};
    if (listen_ < 0 && ::tcgetattr(master_, &tio) == 0) {
        // The master reports the settings the client gave the slave side.
        static constexpr std::pair<speed_t, int> kRates[] = {
            {B4800, 4800},   {B9600, 9600},   {B19200, 19200},
            {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
        const speed_t speed = ::cfgetospeed(&tio);
        for (const auto& [code, rate] : kRates)
            if (code == speed)
                baud = rate;
        bits += (tio.c_cflag & PARENB) ? 1 : 0;
        bits += (tio.c_cflag & CSTOPB) ? 1 : 0;
    }
    return std::chrono::nanoseconds(1'000'000'000LL * bits / std::max(baud, 1));
}

bool MeterSimulator::PacedWrite(const std::uint8_t* data, std::size_t length) {
    using Clock = std::chrono::steady_clock;
    const auto character = CharacterTime();
    const auto turnaround =
        std::max<std::chrono::nanoseconds>(character * 7 / 2, kLeastTurnaround);
    const auto start = Clock::now() + character * static_cast<long>(requestLength_) + turnaround;
    std::size_t sent = 0;
    while (sent < length) {
        // Bytes whose wire time has begun go out now; then wait for the next one.
        const auto now = Clock::now();
        std::size_t due = 0;
        if (now >= start)
            due = std::min(length, static_cast<std::size_t>((now - start) / character) + 1);
        if (due > sent) {
            if (!WriteAll(data + sent, due - sent))
                return false;
            sent = due;
            continue;
        }
        if (stop_ || closeMaster_ || dropClient_)
            return false;
        const auto next = start + character * static_cast<long>(sent);
        std::this_thread::sleep_for(std::min<Clock::duration>(next - now, kPaceSlice));
    }
    return true;
}

bool MeterSimulator::WriteAll(const std::uint8_t* data, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(master_, data + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd pfd{master_, POLLOUT, 0};
            if (::poll(&pfd, 1, 100) <= 0 || stop_ || closeMaster_)
                return false;
            continue;
        }
        return false;
    }
    return true;
}

} // namespace zentra::sim

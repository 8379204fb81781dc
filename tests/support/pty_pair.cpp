#include "tests/support/pty_pair.h"

#include "tools/sim/sim_crc.h"

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace zentra::test {

PtyPair::PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        CloseMaster();
        return;
    }
    slavePath_ = name;
    termios tio{};
    if (::tcgetattr(master_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(master_, TCSANOW, &tio);
    }
}

PtyPair::~PtyPair() {
    CloseMaster();
}

void PtyPair::Send(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            return;
    }
}

std::vector<std::uint8_t> PtyPair::Received(std::chrono::milliseconds wait) {
    std::vector<std::uint8_t> bytes;
    int timeout = static_cast<int>(wait.count());
    for (;;) {
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, timeout) <= 0 || !(pfd.revents & POLLIN))
            return bytes;
        std::uint8_t chunk[256];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n <= 0)
            return bytes;
        bytes.insert(bytes.end(), chunk, chunk + n);
        timeout = 10; // the rest of a burst
    }
}

void PtyPair::CloseMaster() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> frame) {
    sim::AppendFrameCrc(frame);
    return frame;
}

} // namespace zentra::test

#include "platform/file_io.h"

#include <cerrno>
#include <unistd.h>

namespace zentra::platform {

int UniqueFd::Close() {
    int error = 0;
    if (fd_ >= 0 && ::close(fd_) != 0)
        error = errno;
    fd_ = -1;
    return error;
}

int WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return 0;
}

int ReadAll(int fd, std::span<std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::read(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return -1;
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return 0;
}

} // namespace zentra::platform

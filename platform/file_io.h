// Whole-buffer reads and writes on file descriptors, and a descriptor that closes
// itself: shared by the project file, the recovery copy and the settings store.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace zentra::platform {

// Owns a file descriptor and closes it when it goes out of scope.
class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() { Close(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now; 0, or the errno of a failing close (a late write error shows here).
    int Close();
    // Closes the descriptor held (if any) and takes another.
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

// Writes every byte, retrying after interruptions; 0 or the errno of the failure.
int WriteAll(int fd, std::span<const std::uint8_t> bytes);
inline int WriteAll(int fd, std::string_view text) {
    return WriteAll(fd, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

// Reads exactly bytes.size() bytes; 0, the errno of the failure, or -1 when the file
// ended first.
int ReadAll(int fd, std::span<std::uint8_t> bytes);

} // namespace zentra::platform

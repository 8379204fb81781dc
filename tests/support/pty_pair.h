// A raw pseudo-terminal for tests that need to play the far end of a serial line
// byte by byte: the test writes to and reads from the master; the code under test
// opens SlavePath() as its port.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace zentra::test {

class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    int master() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }

    // Writes all bytes to the master side (what the far end sends).
    void Send(const std::vector<std::uint8_t>& bytes);
    // What the code under test has written, waiting up to `wait` for the first byte
    // and then for as long as bytes keep coming.
    std::vector<std::uint8_t> Received(std::chrono::milliseconds wait);
    // Closes the master: the slave side hangs up, as when an adapter is pulled.
    void CloseMaster();

  private:
    int master_ = -1;
    std::string slavePath_;
};

// A frame with its Modbus CRC appended (low byte first), from the simulator's CRC.
std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> frame);

} // namespace zentra::test

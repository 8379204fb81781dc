// Shared pieces of the acquisition tests: a timer that records what it was armed
// with, documents on the heap, readings blocks and a scripted meter on the far side
// of a pseudo-terminal that answers exactly what a test tells it to.
#pragma once

#include "acquisition/acquisition_cycle.h"
#include "comms/modbus_client.h"
#include "document/zentra_doc.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zentra::test {

struct ArmedTimer {
    int id;
    std::chrono::milliseconds period;
};

class FakeTimer final : public AcquisitionTimer {
  public:
    int Arm(int id, std::chrono::milliseconds period) override {
        armed.push_back({id, period});
        return id;
    }
    void Kill(int id) override { killed.push_back(id); }
    std::vector<ArmedTimer> armed;
    std::vector<int> killed;
};

// A new document as the program makes it (defaults applied).
std::unique_ptr<CZentraDoc> NewDoc();

// A readings block whose position p (1-based) holds base + p.
ReadingsBlock Block(double base = 0.0);

// Frames a reply: the bytes given, then the CRC (low byte first).
std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> frame);
// Big-endian (order 0) float bytes.
void AppendFloat(std::vector<std::uint8_t>& frame, float value);
std::vector<std::uint8_t> ReadingsReply(std::uint8_t node, const ReadingsBlock& block,
                                        int count = kBlockReadings);
std::vector<std::uint8_t> InfoReply(std::uint8_t node, float voltage, float current,
                                    float systemType);
std::vector<std::uint8_t> LayoutReply(std::uint8_t node, const std::vector<std::uint8_t>& codes);
std::vector<std::uint8_t> ExceptionReply(std::uint8_t node, std::uint8_t function,
                                         std::uint8_t code);

// The master side of a pseudo-terminal, playing the meter by hand. The document
// opens the slave side through the serial layer, as it would a real port (COM1
// mapped with ZENTRA_COM1).
class ScriptedMeter {
  public:
    ScriptedMeter();
    ~ScriptedMeter();
    ScriptedMeter(const ScriptedMeter&) = delete;
    ScriptedMeter& operator=(const ScriptedMeter&) = delete;

    const std::string& path() const { return path_; }
    // Every request frame written since the last call, split by frame length
    // (8 bytes for fc 3, 4 and 66; 4 for fc 17).
    std::vector<std::vector<std::uint8_t>> TakeRequests();
    void Send(const std::vector<std::uint8_t>& bytes);
    // Closes the master side: the port sees a hang-up, as when an adapter is pulled.
    void HangUp();

  private:
    int master_ = -1;
    std::string path_;
};

// The function code of a request frame (0 for an empty one).
inline int FunctionOf(const std::vector<std::uint8_t>& frame) {
    return frame.size() > 1 ? frame[1] : 0;
}

} // namespace zentra::test

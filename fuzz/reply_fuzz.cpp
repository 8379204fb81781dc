// Fuzz target: the reply path. The first two bytes choose the set-up (float order,
// the request outstanding, logging on or off, the meter variant, where the ring and
// the log stand, whether the frame gets a correct CRC appended); the rest is what the
// meter "sent". It is fed through a socket standing in for the serial port, first to
// the client's own steps (ReadReply, CheckReplyCrc, DecodeReply), then to a whole
// acquisition tick (ReceiveReply, filing in the document, the next request).
#include "fuzz/fixed_time.h"
#include "fuzz/reply_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zentra::fuzz::FixTime();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zentra::fuzz::RunReply(data, size);
    return 0;
}

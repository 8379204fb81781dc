// Fuzz target: the Modbus TCP receive path (MBAP frames converted to RTU at the port).
// See modbus_tcp_harness.h for the input's layout; a broken promise aborts.
#include "fuzz/modbus_tcp_harness.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!zentra::fuzz::RunModbusTcp(data, size) || !zentra::fuzz::RunModbusTcpAwaited(data, size)) {
        std::fputs("zentra fuzz: the Modbus TCP conversion broke a promise\n", stderr);
        std::abort();
    }
    return 0;
}

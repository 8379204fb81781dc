// Fuzz target: the data tables' text over hostile documents (see data_table_harness.h).
#include "fuzz/data_table_harness.h"
#include "platform/clock.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "Europe/London", 1);
    zentra::platform::SetClock([] { return zentra::platform::TimeSeconds{1'357'394'589}; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zentra::fuzz::RunDataTable(data, size);
    return 0;
}

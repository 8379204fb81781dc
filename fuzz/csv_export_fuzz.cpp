// Fuzz target: the CSV export's text over hostile documents (see csv_export_harness.h).
#include "fuzz/csv_export_harness.h"
#include "platform/clock.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "Europe/London", 1);
    zentra::platform::SetClock([] { return zentra::platform::TimeSeconds{1'357'394'589}; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zentra::fuzz::RunCsvExport(data, size);
    return 0;
}

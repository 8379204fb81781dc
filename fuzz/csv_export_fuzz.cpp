// Fuzz target: the CSV export's text over hostile documents (see csv_export_harness.h).
#include "fuzz/csv_export_harness.h"
#include "fuzz/fixed_time.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zentra::fuzz::FixTime();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zentra::fuzz::RunCsvExport(data, size);
    return 0;
}

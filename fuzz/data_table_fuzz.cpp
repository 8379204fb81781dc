// Fuzz target: the data tables' text over hostile documents (see data_table_harness.h).
#include "fuzz/data_table_harness.h"
#include "fuzz/fixed_time.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zentra::fuzz::FixTime();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zentra::fuzz::RunDataTable(data, size);
    return 0;
}

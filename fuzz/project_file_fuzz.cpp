// Fuzz target: the project-file reader. The input is the front of a file image (the
// rest reads as zero bytes), read as a project is opened, then handed to what reads a
// document later: the CSV rows, the graph model, and a store-and-read-back.
#include "fuzz/fixed_time.h"
#include "fuzz/graph_readers.h"
#include "fuzz/project_file_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Saving an unfinished project stamps "now": a fixed now keeps runs repeatable.
    zentra::fuzz::FixTime();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zentra::CZentraDoc& doc = zentra::fuzz::RunProjectFile(data, size);
    zentra::fuzz::ReadGraphs(doc, zentra::fuzz::PickFrom(data, size));
    return 0;
}

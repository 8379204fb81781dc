// Fuzz target: the project-file reader. The input is the set-up front of a file and a
// few sample records (see project_file_harness.h), read as a project is opened, then
// handed to what reads a document later: the CSV rows, a store-and-read-back, and the
// graph model for one graph the input picks.
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
    zentra::fuzz::ReadPickedGraph(doc, zentra::fuzz::PickFrom(data, size));
    return 0;
}

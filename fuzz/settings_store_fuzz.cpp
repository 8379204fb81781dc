// Fuzz target: the settings-store reader (see settings_store_harness.h), with the store
// held in memory; one graph of the new document then goes to the graph model.
#include "fuzz/fixed_time.h"
#include "fuzz/graph_readers.h"
#include "fuzz/settings_store_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zentra::fuzz::FixTime();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zentra::CZentraDoc& doc = zentra::fuzz::RunSettingsStore(data, size);
    zentra::fuzz::ReadPickedGraph(doc, static_cast<unsigned>(size));
    return 0;
}

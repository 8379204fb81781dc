// Fuzz target: the settings-store reader (see settings_store_harness.h), with the store
// held in memory; one graph of the new document then goes to the graph model when the
// stored fields are new.
#include "fuzz/fixed_time.h"
#include "fuzz/graph_readers.h"
#include "fuzz/settings_store_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zentra::fuzz::FixTime();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zentra::CZentraDoc& doc = zentra::fuzz::RunSettingsStore(data, size);
    // The graph model depends on the stored fields alone: it sees each new set once.
    if (zentra::fuzz::TheSettingsState().newFields)
        zentra::fuzz::ReadPickedGraph(doc, static_cast<unsigned>(size));
    return 0;
}

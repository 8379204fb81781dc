// One project-file image made from an input (its front; the rest reads as zero
// bytes), read as a project is opened and handed to the CSV rows and a store-and-
// read-back. Shared by the fuzz target (which adds the graph model) and the tests.
#pragma once

#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "fuzz/document_readers.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace zentra::fuzz {

struct ProjectFileState {
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    std::unique_ptr<CZentraDoc> again = std::make_unique<CZentraDoc>();
    std::vector<std::uint8_t> image = std::vector<std::uint8_t>(kProjectFileSize);
    std::vector<std::uint8_t> first = std::vector<std::uint8_t>(kProjectFileSize);
    std::vector<std::uint8_t> second = std::vector<std::uint8_t>(kProjectFileSize);
};

inline ProjectFileState& TheProjectFileState() {
    static ProjectFileState* state = new ProjectFileState(); // lives for the whole run
    return *state;
}

// The last four input bytes, as a number that picks samples and ring entries.
inline unsigned PickFrom(const std::uint8_t* data, std::size_t size) {
    unsigned pick = 0;
    for (std::size_t i = 0; i < size && i < 4; ++i)
        pick = (pick << 8) | data[size - 1 - i];
    return pick;
}

// Returns the document read (valid until the next call).
inline CZentraDoc& RunProjectFile(const std::uint8_t* data, std::size_t size) {
    ProjectFileState& s = TheProjectFileState();
    const std::size_t used = std::min(size, kProjectFileSize);
    std::memset(s.image.data() + used, 0, kProjectFileSize - used);
    if (used > 0)
        std::memcpy(s.image.data(), data, used);
    SerializeLoad(s.image.data(), *s.doc);
    ReadRows(*s.doc, PickFrom(data, size));
    CheckStoredImageReadsBackToItself(*s.doc, *s.again, s.first, s.second);
    return *s.doc;
}

} // namespace zentra::fuzz

// What reads a document after it came from outside (a project file, the settings
// store, the meter): the CSV and data-table rows and a store-and-read-back of the
// project image. Shared by the fuzz targets and the tests that replay their corpora
// and the crashes they found. Any fault shows as a sanitizer report or a trap.
#pragma once

#include "document/csv_export.h"
#include "document/project_file.h"
#include "document/zentra_doc.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zentra::fuzz {

// Stops with a message: a broken property is a finding like a crash.
[[noreturn]] inline void Fail(const char* what, std::size_t at) {
    std::fprintf(stderr, "zentra fuzz: %s (offset %zu)\n", what, at);
    std::abort();
}

// The heading rows of every mode and the sample rows a reader is likely to ask for:
// the first, the last, one the input picks, and some outside the log.
inline std::size_t ReadRows(const CZentraDoc& doc, unsigned pick) {
    std::size_t length = 0;
    for (int mode = -1; mode <= 3; ++mode)
        length += BuildHeadingRow(doc, mode, kCsvSeparator).size();
    const int count = doc.m_SampleCount;
    const int picked = static_cast<int>(pick % static_cast<unsigned>(kMaxSamples));
    for (const int n : {0, 1, count - 1, count, picked, -1, kMaxSamples})
        length += BuildSampleRow(doc, n, kCsvSeparator).size();
    return length;
}

// Stores the document, reads the image back into another and stores that again: a
// reader that bounds what it reads must give an image that reads back to itself. The
// exceptions are what reading a file always clears: the port-set-up word and each
// graph's real-time flag (a new document takes both from the settings store as they
// were stored). The buffers are the caller's (kProjectFileSize each), so nothing is
// allocated here.
inline void CheckStoredImageReadsBackToItself(CZentraDoc& doc, CZentraDoc& again,
                                              std::vector<std::uint8_t>& first,
                                              std::vector<std::uint8_t>& second) {
    constexpr std::size_t kPortSetUpAt = file_block::kComms + comm_offset::kPortSetUp;
    constexpr std::size_t kPortSetUpSize = 4;
    SerializeStore(doc, first.data());
    SerializeLoad(first.data(), again);
    SerializeStore(again, second.data());
    std::memset(first.data() + kPortSetUpAt, 0, kPortSetUpSize);
    for (std::size_t k = 0; k < kGraphCount; ++k)
        first[file_block::kGraphs + k * kGraphRecordSize + graph_offset::kRealTime] = 0;
    if (std::memcmp(first.data(), second.data(), kProjectFileSize) == 0)
        return;
    for (std::size_t i = 0; i < kProjectFileSize; ++i)
        if (first[i] != second[i])
            Fail("a stored image does not read back to itself", i);
}

} // namespace zentra::fuzz

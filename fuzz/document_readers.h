// What reads a document after it came from outside (a project file, the settings
// store, the meter): the CSV rows. Shared by the fuzz targets and the tests that
// replay their corpora and the crashes they found. Any fault shows as a sanitizer
// report or a trap.
#pragma once

#include "document/csv_export.h"
#include "document/zentra_doc.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zentra::fuzz {

// Stops with a message: a broken property is a finding like a crash.
[[noreturn]] inline void Fail(const char* what, std::size_t at) {
    std::fprintf(stderr, "zentra fuzz: %s (offset %zu)\n", what, at);
    std::abort();
}

// A heading row of the mode the input picks and the sample rows a reader is likely
// to ask for: the last, one the input picks, and some outside the log.
inline std::size_t ReadRows(const CZentraDoc& doc, unsigned pick) {
    constexpr int kModes = 5; // -1 (none) and 0..3
    std::size_t length =
        BuildHeadingRow(doc, static_cast<int>(pick % kModes) - 1, kCsvSeparator).size();
    const int count = doc.m_SampleCount;
    const int picked = static_cast<int>(pick % static_cast<unsigned>(kMaxSamples));
    for (const int n : {count - 1, count, picked, -1, kMaxSamples})
        length += BuildSampleRow(doc, n, kCsvSeparator).size();
    return length;
}

} // namespace zentra::fuzz

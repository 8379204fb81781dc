// One project file made from an input and read as a project is opened, then handed to
// the CSV rows and a store-and-read-back. Shared by the fuzz target (which adds the
// graph model) and the tests.
//
// The input is the set-up front of a file (its first 12,587 bytes: project block,
// graph records, axis texts, serial link, meter set-up, log counters; a shorter input
// leaves the rest of the front zero) followed by up to kRecordsPerInput sample
// records, each [index, 2 bytes little-endian][200 bytes of values][8 bytes of time],
// read into that record of the log; every other record of the log is zero. The front
// and the records go through the very readers and writers a whole file does, so the
// fuzzer spends neither its mutations nor its time on 1.5 MB of zero samples.
#pragma once

#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "fuzz/document_readers.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace zentra::fuzz {

inline constexpr std::size_t kFrontSize = kSetUpFrontSize; // 12,587
inline constexpr std::size_t kInputRecordSize = 2 + file_block::kSampleRecordSize + 8;
inline constexpr std::size_t kRecordsPerInput = 8;
inline constexpr std::size_t kLongestProjectInput =
    kFrontSize + kRecordsPerInput * kInputRecordSize;

// A stored front and the records an input filled, as they lie in a file.
struct StoredProject {
    std::array<std::uint8_t, kFrontSize> front{};
    std::array<std::array<std::uint8_t, file_block::kSampleRecordSize>, kRecordsPerInput> values{};
    std::array<std::array<std::uint8_t, 8>, kRecordsPerInput> times{};
};

struct ProjectFileState {
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    std::unique_ptr<CZentraDoc> again = std::make_unique<CZentraDoc>();
    std::array<std::uint8_t, kFrontSize> front{};
    StoredProject first;
    StoredProject second;
    std::vector<std::size_t> records; // log records the last input filled
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

// Reads the input into the document as its file would be read (see the top of this
// file); the records the last input filled go back to zero first.
inline void ReadInput(const std::uint8_t* data, std::size_t size, ProjectFileState& s) {
    CZentraDoc& doc = *s.doc;
    for (const std::size_t n : s.records) {
        doc.m_SampleValues[n].fill(0.0);
        doc.m_SampleTimes[n] = 0;
    }
    s.records.clear();
    const std::size_t front = std::min(size, kFrontSize);
    std::memcpy(s.front.data(), data, front);
    std::memset(s.front.data() + front, 0, kFrontSize - front);
    LoadSetUpFront(s.front.data(), doc);
    for (std::size_t at = kFrontSize;
         at + kInputRecordSize <= size && s.records.size() < kRecordsPerInput;
         at += kInputRecordSize) {
        const std::size_t n = (data[at] | std::size_t{data[at + 1]} << 8) % kMaxSamples;
        DecodeSampleRecord(data + at + 2, data + at + 2 + file_block::kSampleRecordSize,
                           doc.m_SampleValues[n], doc.m_SampleTimes[n]);
        s.records.push_back(n);
    }
}

inline void Store(CZentraDoc& doc, const std::vector<std::size_t>& records, StoredProject& out) {
    StoreSetUpFront(doc, out.front.data());
    for (std::size_t i = 0; i < records.size(); ++i)
        EncodeSampleRecord(doc.m_SampleValues[records[i]], doc.m_SampleTimes[records[i]],
                           out.values[i].data(), out.times[i].data());
}

// Stores the document, reads what was stored into another and stores that again: a
// reader that bounds what it reads must give a file that reads back to itself. The
// exceptions are what reading a file always clears: the port-set-up word and each
// graph's real-time flag (a new document takes both from the settings store as they
// were stored). Records of the log the input left zero store as zero on both sides.
inline void CheckStoredProjectReadsBackToItself(ProjectFileState& s) {
    constexpr std::size_t kPortSetUpAt = file_block::kComms + comm_offset::kPortSetUp;
    constexpr std::size_t kPortSetUpSize = 4;
    Store(*s.doc, s.records, s.first);
    LoadSetUpFront(s.first.front.data(), *s.again);
    for (std::size_t i = 0; i < s.records.size(); ++i)
        DecodeSampleRecord(s.first.values[i].data(), s.first.times[i].data(),
                           s.again->m_SampleValues[s.records[i]],
                           s.again->m_SampleTimes[s.records[i]]);
    Store(*s.again, s.records, s.second);
    std::memset(s.first.front.data() + kPortSetUpAt, 0, kPortSetUpSize);
    for (std::size_t k = 0; k < kGraphCount; ++k)
        s.first.front[file_block::kGraphs + k * kGraphRecordSize + graph_offset::kRealTime] = 0;
    if (s.first.front != s.second.front) // compared whole first: no byte-wise trace
        for (std::size_t i = 0; i < kFrontSize; ++i)
            if (s.first.front[i] != s.second.front[i])
                Fail("a stored project does not read back to itself", i);
    for (std::size_t i = 0; i < s.records.size(); ++i)
        if (s.first.values[i] != s.second.values[i] || s.first.times[i] != s.second.times[i])
            Fail("a stored sample record does not read back to itself", s.records[i]);
}

// Returns the document read (valid until the next call).
inline CZentraDoc& RunProjectFile(const std::uint8_t* data, std::size_t size) {
    ProjectFileState& s = TheProjectFileState();
    ReadInput(data, size, s);
    const unsigned pick = PickFrom(data, size);
    ReadRows(*s.doc,
             s.records.empty() ? pick : static_cast<unsigned>(s.records[pick % s.records.size()]));
    CheckStoredProjectReadsBackToItself(s);
    return *s.doc;
}

} // namespace zentra::fuzz

// One project-file image made from an input and read as a project is opened, then
// handed to the CSV rows and a store-and-read-back. Shared by the fuzz target (which
// adds the graph model) and the tests.
//
// The input is the set-up front of a file (its first 12,587 bytes: project block,
// graph records, axis texts, serial link, meter set-up, log counters; a shorter input
// leaves the rest of the front zero) followed by up to kRecordsPerInput sample
// records, each [index, 2 bytes little-endian][200 bytes of values][8 bytes of time],
// laid at that index of the log; every other record of the image is zero. So the
// fuzzer spends its mutations on bytes that matter, not on 1.5 MB of samples.
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

inline constexpr std::size_t kFrontSize = file_block::kSamples; // 12,587
inline constexpr std::size_t kInputRecordSize = 2 + file_block::kSampleRecordSize + 8;
inline constexpr std::size_t kRecordsPerInput = 8;
inline constexpr std::size_t kLongestProjectInput =
    kFrontSize + kRecordsPerInput * kInputRecordSize;

struct ProjectFileState {
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    std::unique_ptr<CZentraDoc> again = std::make_unique<CZentraDoc>();
    std::vector<std::uint8_t> image = std::vector<std::uint8_t>(kProjectFileSize);
    std::vector<std::uint8_t> first = std::vector<std::uint8_t>(kProjectFileSize);
    std::vector<std::uint8_t> second = std::vector<std::uint8_t>(kProjectFileSize);
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

// Lays the input into the image (see the top of this file).
inline void LayInput(const std::uint8_t* data, std::size_t size, ProjectFileState& s) {
    std::uint8_t* image = s.image.data();
    for (const std::size_t n : s.records) {
        std::memset(image + file_block::kSamples + n * file_block::kSampleRecordSize, 0,
                    file_block::kSampleRecordSize);
        std::memset(image + file_block::kSampleTimes + n * sizeof(std::int64_t), 0,
                    sizeof(std::int64_t));
    }
    s.records.clear();
    const std::size_t front = std::min(size, kFrontSize);
    std::memcpy(image, data, front);
    std::memset(image + front, 0, kFrontSize - front);
    for (std::size_t at = kFrontSize;
         at + kInputRecordSize <= size && s.records.size() < kRecordsPerInput;
         at += kInputRecordSize) {
        const std::size_t n = (data[at] | std::size_t{data[at + 1]} << 8) % kMaxSamples;
        std::memcpy(image + file_block::kSamples + n * file_block::kSampleRecordSize, data + at + 2,
                    file_block::kSampleRecordSize);
        std::memcpy(image + file_block::kSampleTimes + n * sizeof(std::int64_t),
                    data + at + 2 + file_block::kSampleRecordSize, sizeof(std::int64_t));
        s.records.push_back(n);
    }
}

// Returns the document read (valid until the next call).
inline CZentraDoc& RunProjectFile(const std::uint8_t* data, std::size_t size) {
    ProjectFileState& s = TheProjectFileState();
    LayInput(data, size, s);
    SerializeLoad(s.image.data(), *s.doc);
    const unsigned pick = PickFrom(data, size);
    ReadRows(*s.doc,
             s.records.empty() ? pick : static_cast<unsigned>(s.records[pick % s.records.size()]));
    CheckStoredImageReadsBackToItself(*s.doc, *s.again, s.first, s.second);
    return *s.doc;
}

} // namespace zentra::fuzz

// The project file (".ztr"): a fixed 1,510,187-byte little-endian image of selected
// stretches of the document, with no header, signature or version. Every field is
// encoded and decoded at its named offset; reserved bytes are written as zero and
// ignored on reading. A file is untrusted input: values are taken as stored and
// guarded where they are used; only what no writer of the format leaves (a sample
// count beyond the log, flags other than 0 and 1) is brought into range on reading.
#pragma once

#include "document/zentra_doc.h"
#include "records/graph_record.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace zentra {

// Where each block of the file starts, and its size.
namespace file_block {
inline constexpr std::size_t kProject = 0;
inline constexpr std::size_t kProjectSize = 3376;
inline constexpr std::size_t kGraphs = 3376;
inline constexpr std::size_t kGraphsSize = kGraphCount * kGraphRecordSize; // 8736
inline constexpr std::size_t kLiveAxis = 12112;
inline constexpr std::size_t kLiveAxisSize = 63;
inline constexpr std::size_t kComms = 12175;
inline constexpr std::size_t kCommsSize = kCommSettingsSize; // 76
inline constexpr std::size_t kMeter = 12251;
inline constexpr std::size_t kMeterSize = 264;
inline constexpr std::size_t kLogAxis = 12515;
inline constexpr std::size_t kLogAxisSize = 72;
inline constexpr std::size_t kSampleRecordSize = kSampleValues * sizeof(double); // 200
inline constexpr std::size_t kSamples = 12587;
inline constexpr std::size_t kSamplesSize = kMaxSamples * kSampleRecordSize; // 1,440,000
inline constexpr std::size_t kSampleTimes = 1'452'587;
inline constexpr std::size_t kSampleTimesSize = kMaxSamples * sizeof(std::int64_t); // 57,600
} // namespace file_block

static_assert(file_block::kProject + file_block::kProjectSize == file_block::kGraphs);
static_assert(file_block::kGraphs + file_block::kGraphsSize == file_block::kLiveAxis);
static_assert(file_block::kLiveAxis + file_block::kLiveAxisSize == file_block::kComms);
static_assert(file_block::kComms + file_block::kCommsSize == file_block::kMeter);
static_assert(file_block::kMeter + file_block::kMeterSize == file_block::kLogAxis);
static_assert(file_block::kLogAxis + file_block::kLogAxisSize == file_block::kSamples);
static_assert(file_block::kSamples + file_block::kSamplesSize == file_block::kSampleTimes);
static_assert(file_block::kSampleTimes + file_block::kSampleTimesSize == kProjectFileSize);

// Offsets inside the project block (block starts at file offset 0).
namespace project_field {
inline constexpr std::size_t kReserved = 0;            // 2000 bytes, zero
inline constexpr std::size_t kDescription = 2000;      // char[1001]
inline constexpr std::size_t kBriefDescription = 3001; // char[101]
inline constexpr std::size_t kProjectName = 3102;      // char[101]
inline constexpr std::size_t kProjectStartDate = 3204;
inline constexpr std::size_t kProjectEndDate = 3208;
inline constexpr std::size_t kShowProject = 3212;
inline constexpr std::size_t kPeriod = 3216;
inline constexpr std::size_t kPeriodMultiplier = 3220;
inline constexpr std::size_t kDuration = 3224;
inline constexpr std::size_t kDurationMultiplier = 3228;
inline constexpr std::size_t kSamples = 3232;
inline constexpr std::size_t kLoggingStartTime = 3240;
inline constexpr std::size_t kLoggingEndTime = 3248;
inline constexpr std::size_t kStartDate = 3256;
inline constexpr std::size_t kStartHour = 3260;
inline constexpr std::size_t kStartMinute = 3264;
inline constexpr std::size_t kStartSecond = 3268;
inline constexpr std::size_t kStartImmediately = 3272;
inline constexpr std::size_t kSelectedParameters = 3276; // int32[23]
inline constexpr std::size_t kLoggingSetUp = 3368;
inline constexpr std::size_t kLocked = 3369;
inline constexpr std::size_t kFinished = 3370;
} // namespace project_field

// Offsets inside either axis-text block (real-time at 12112, logged-data at 12515).
namespace axis_field {
inline constexpr std::size_t kStart = 0;        // char[21]
inline constexpr std::size_t kEnd = 21;         // char[21]
inline constexpr std::size_t kDate = 42;        // char[21]
inline constexpr std::size_t kSampleCount = 64; // logged-data block only
inline constexpr std::size_t kDataViewTop = 68; // logged-data block only
} // namespace axis_field

// Offsets inside the meter set-up block (file offset 12251).
namespace meter_field {
inline constexpr std::size_t kModbusNode = 0;
inline constexpr std::size_t kModelNumber = 8;
inline constexpr std::size_t kVersionFraction = 16; // float
inline constexpr std::size_t kSystemVoltage = 24;
inline constexpr std::size_t kSystemCurrent = 32;
inline constexpr std::size_t kSystemTypeNumber = 40;
inline constexpr std::size_t kMeterSpare = 48;
inline constexpr std::size_t kReadingMap = 56; // int32[48]
inline constexpr std::size_t kSystemType = 256;
} // namespace meter_field

struct FileResult {
    bool ok = false;
    std::string error; // why it failed, in words for the user
};

// Writes the whole file image (exactly kProjectFileSize bytes) into out. An
// unfinished project is written as finished, with end time and end date set to now
// (they stay in memory; m_Finished stays 0 in memory).
void SerializeStore(CZentraDoc& doc, std::uint8_t* out);

// Reads a whole file image (kProjectFileSize bytes) into the document: portSetUp 0,
// every graph's m_RealTime 0, m_ArchivedFile 1, live values cleared; texts end in a
// NUL and the values no writer of the format leaves are brought into range.
void SerializeLoad(const std::uint8_t* in, CZentraDoc& doc);

// The set-up front alone: the first file_block::kSamples (12,587) bytes, everything
// of the file but the log. SerializeStore and SerializeLoad are these plus every
// sample record; they serve whoever needs the set-up without 1.5 MB of samples.
inline constexpr std::size_t kSetUpFrontSize = file_block::kSamples;

// Writes the front as SerializeStore does, unfinished project included.
void StoreSetUpFront(CZentraDoc& doc, std::uint8_t* out);

// Reads the front as SerializeLoad does (portSetUp 0, every graph's m_RealTime 0,
// m_ArchivedFile 1, values no writer leaves brought into range); the log and the live
// values are left as they are.
void LoadSetUpFront(const std::uint8_t* in, CZentraDoc& doc);

// One log record: its 25 values (200 bytes at file_block::kSamples + n * 200) and its
// time (8 bytes at file_block::kSampleTimes + n * 8), the two stretches given apart.
// Reading brings NaN to 0.0 and the time into the calendar's range, as a file is read.
void EncodeSampleRecord(const SampleRecord& values, std::int64_t time, std::uint8_t* valuesOut,
                        std::uint8_t* timeOut);
void DecodeSampleRecord(const std::uint8_t* valuesIn, const std::uint8_t* timeIn,
                        SampleRecord& values, std::int64_t& time);

// Brings the set-up values (everything but the log) no writer of the format leaves
// into range, as reading a file does, and keeps everything else as it is; for values
// from any other untrusted source, such as the settings store.
void BoundSetUp(CZentraDoc& doc);

// Saves atomically: a temporary file beside the target, flushed, then renamed over
// it. On failure the previous file is intact, the document stays modified and the
// result says why. On success: modified cleared, m_PathName = path.
FileResult OnSaveDocument(CZentraDoc& doc, const std::string& path);

// Opens a project file. A file of any length other than kProjectFileSize is refused
// and the document is left untouched. On success: m_PathName = path, modified cleared.
FileResult OnOpenDocument(CZentraDoc& doc, const std::string& path);

} // namespace zentra

#include "document/project_file.h"

#include "platform/file_io.h"

#include "platform/clock.h"
#include "records/calendar.h"
#include "records/le_codec.h"
#include "records/readings_catalogue.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zentra {
namespace {

namespace pf = project_field;
namespace af = axis_field;
namespace mf = meter_field;

// Latest moment the calendar shows with a four-digit year (9999-12-31 23:59:59 UTC).
constexpr std::int64_t kLatestTime = 253'402'300'799;
// Logging page limits for the period and the duration.
constexpr std::int32_t kMaxPeriodCount = 100'000;
constexpr std::int32_t kMinSystemType = 1;
constexpr std::int32_t kMaxSystemType = 6;
constexpr std::int32_t kFloatOrders = 4;

// --- Writing ---------------------------------------------------------------------------

void StoreProjectBlock(const CZentraDoc& doc, std::uint8_t* out) {
    std::memset(out, 0, file_block::kProjectSize);
    le::PutText(out, pf::kDescription, doc.m_Description);
    le::PutText(out, pf::kBriefDescription, doc.m_BriefDescription);
    le::PutText(out, pf::kProjectName, doc.m_ProjectName);
    le::Put(out, pf::kProjectStartDate, doc.m_ProjectStartDate);
    le::Put(out, pf::kProjectEndDate, doc.m_ProjectEndDate);
    le::Put(out, pf::kShowProject, doc.m_ShowProject);
    le::Put(out, pf::kPeriod, doc.m_Period);
    le::Put(out, pf::kPeriodMultiplier, doc.m_PeriodMultiplier);
    le::Put(out, pf::kDuration, doc.m_Duration);
    le::Put(out, pf::kDurationMultiplier, doc.m_DurationMultiplier);
    le::Put(out, pf::kSamples, doc.m_Samples);
    le::Put(out, pf::kLoggingStartTime, doc.m_LoggingStartTime);
    le::Put(out, pf::kLoggingEndTime, doc.m_LoggingEndTime);
    le::Put(out, pf::kStartDate, doc.m_StartDate);
    le::Put(out, pf::kStartHour, doc.m_StartHour);
    le::Put(out, pf::kStartMinute, doc.m_StartMinute);
    le::Put(out, pf::kStartSecond, doc.m_StartSecond);
    le::Put(out, pf::kStartImmediately, doc.m_StartImmediately);
    le::PutArray(out, pf::kSelectedParameters, doc.m_SelectedParameters);
    le::Put(out, pf::kLoggingSetUp, doc.m_LoggingSetUp);
    le::Put(out, pf::kLocked, doc.m_Locked);
    // Every saved file describes a finished project (see SerializeStore).
    le::Put(out, pf::kFinished, std::uint8_t{1});
}

void StoreAxisTexts(const std::array<char, kAxisTextCapacity>& start,
                    const std::array<char, kAxisTextCapacity>& end,
                    const std::array<char, kAxisTextCapacity>& date, std::uint8_t* out) {
    le::PutText(out, af::kStart, start);
    le::PutText(out, af::kEnd, end);
    le::PutText(out, af::kDate, date);
}

void StoreMeterBlock(const CZentraDoc& doc, std::uint8_t* out) {
    std::memset(out, 0, file_block::kMeterSize);
    le::Put(out, mf::kModbusNode, doc.m_ModbusNode);
    le::Put(out, mf::kModelNumber, doc.m_ModelNumber);
    le::Put(out, mf::kVersionFraction, doc.m_VersionFraction);
    le::Put(out, mf::kSystemVoltage, doc.m_SystemVoltage);
    le::Put(out, mf::kSystemCurrent, doc.m_SystemCurrent);
    le::Put(out, mf::kSystemTypeNumber, doc.m_SystemTypeNumber);
    le::Put(out, mf::kMeterSpare, doc.m_MeterSpare);
    le::PutArray(out, mf::kReadingMap, doc.m_ReadingMap);
    le::Put(out, mf::kSystemType, doc.m_SystemType);
}

void StoreLogAxisBlock(const CZentraDoc& doc, std::uint8_t* out) {
    std::memset(out, 0, file_block::kLogAxisSize);
    StoreAxisTexts(doc.m_LogAxisStart, doc.m_LogAxisEnd, doc.m_LogAxisDate, out);
    le::Put(out, af::kSampleCount, doc.m_SampleCount);
    le::Put(out, af::kDataViewTop, doc.m_DataViewTop);
}

// --- Reading ---------------------------------------------------------------------------

void LoadProjectBlock(const std::uint8_t* in, CZentraDoc& doc) {
    le::GetText(in, pf::kDescription, doc.m_Description);
    le::GetText(in, pf::kBriefDescription, doc.m_BriefDescription);
    le::GetText(in, pf::kProjectName, doc.m_ProjectName);
    doc.m_ProjectStartDate = le::Get<std::int32_t>(in, pf::kProjectStartDate);
    doc.m_ProjectEndDate = le::Get<std::int32_t>(in, pf::kProjectEndDate);
    doc.m_ShowProject = le::Get<std::uint8_t>(in, pf::kShowProject);
    doc.m_Period = le::Get<std::int32_t>(in, pf::kPeriod);
    doc.m_PeriodMultiplier = le::Get<std::int32_t>(in, pf::kPeriodMultiplier);
    doc.m_Duration = le::Get<std::int32_t>(in, pf::kDuration);
    doc.m_DurationMultiplier = le::Get<std::int32_t>(in, pf::kDurationMultiplier);
    doc.m_Samples = le::Get<std::int32_t>(in, pf::kSamples);
    doc.m_LoggingStartTime = le::Get<std::int64_t>(in, pf::kLoggingStartTime);
    doc.m_LoggingEndTime = le::Get<std::int64_t>(in, pf::kLoggingEndTime);
    doc.m_StartDate = le::Get<std::int32_t>(in, pf::kStartDate);
    doc.m_StartHour = le::Get<std::int32_t>(in, pf::kStartHour);
    doc.m_StartMinute = le::Get<std::int32_t>(in, pf::kStartMinute);
    doc.m_StartSecond = le::Get<std::int32_t>(in, pf::kStartSecond);
    doc.m_StartImmediately = le::Get<std::int32_t>(in, pf::kStartImmediately);
    le::GetArray(in, pf::kSelectedParameters, doc.m_SelectedParameters);
    doc.m_LoggingSetUp = le::Get<std::uint8_t>(in, pf::kLoggingSetUp);
    doc.m_Locked = le::Get<std::uint8_t>(in, pf::kLocked);
    doc.m_Finished = le::Get<std::uint8_t>(in, pf::kFinished);
}

void LoadAxisTexts(const std::uint8_t* in, std::array<char, kAxisTextCapacity>& start,
                   std::array<char, kAxisTextCapacity>& end,
                   std::array<char, kAxisTextCapacity>& date) {
    le::GetText(in, af::kStart, start);
    le::GetText(in, af::kEnd, end);
    le::GetText(in, af::kDate, date);
}

void LoadMeterBlock(const std::uint8_t* in, CZentraDoc& doc) {
    doc.m_ModbusNode = le::Get<double>(in, mf::kModbusNode);
    doc.m_ModelNumber = le::Get<double>(in, mf::kModelNumber);
    doc.m_VersionFraction = le::Get<float>(in, mf::kVersionFraction);
    doc.m_SystemVoltage = le::Get<double>(in, mf::kSystemVoltage);
    doc.m_SystemCurrent = le::Get<double>(in, mf::kSystemCurrent);
    doc.m_SystemTypeNumber = le::Get<double>(in, mf::kSystemTypeNumber);
    doc.m_MeterSpare = le::Get<double>(in, mf::kMeterSpare);
    le::GetArray(in, mf::kReadingMap, doc.m_ReadingMap);
    doc.m_SystemType = le::Get<std::int32_t>(in, mf::kSystemType);
}

void LoadLogAxisBlock(const std::uint8_t* in, CZentraDoc& doc) {
    LoadAxisTexts(in, doc.m_LogAxisStart, doc.m_LogAxisEnd, doc.m_LogAxisDate);
    doc.m_SampleCount = le::Get<std::int32_t>(in, af::kSampleCount);
    doc.m_DataViewTop = le::Get<std::int32_t>(in, af::kDataViewTop);
}

// --- Bounds on what a file may hold ----------------------------------------------------

std::uint8_t AsFlag(std::uint8_t value) {
    return value != 0 ? 1 : 0;
}
double FiniteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}
std::int32_t UnitOrOne(std::int32_t multiplier) {
    return (multiplier == 1 || multiplier == 60 || multiplier == 3600) ? multiplier : 1;
}

} // namespace

// A file is untrusted, but what it holds is taken as stored wherever this program or
// another writer of the format can legitimately hold the value; the use guards it
// (an index, a divisor, a loop bound). Only values no such writer leaves are brought
// into range here: flags other than 0 and 1, timing and enumerations outside what the
// pages accept, a sample count beyond the log's capacity and non-finite node
// addresses (and, in each log record, NaN: see BoundSampleRecord).
void BoundSetUp(CZentraDoc& doc) {
    doc.m_ShowProject = AsFlag(doc.m_ShowProject);
    doc.m_LoggingSetUp = AsFlag(doc.m_LoggingSetUp);
    doc.m_Locked = AsFlag(doc.m_Locked);
    doc.m_Finished = AsFlag(doc.m_Finished);
    doc.m_StartImmediately = doc.m_StartImmediately != 0 ? 1 : 0;

    doc.m_Period = std::clamp(doc.m_Period, 1, kMaxPeriodCount);
    doc.m_Duration = std::clamp(doc.m_Duration, 1, kMaxPeriodCount);
    doc.m_PeriodMultiplier = UnitOrOne(doc.m_PeriodMultiplier);
    doc.m_DurationMultiplier = UnitOrOne(doc.m_DurationMultiplier);
    // m_Samples is taken as stored: logging also ends at the log's capacity, and the
    // Logging Setup page refuses a planned count beyond it.
    doc.m_LoggingStartTime = std::clamp<std::int64_t>(doc.m_LoggingStartTime, 0, kLatestTime);
    doc.m_LoggingEndTime = std::clamp<std::int64_t>(doc.m_LoggingEndTime, 0, kLatestTime);
    doc.m_StartHour = std::clamp(doc.m_StartHour, 0, 23);
    doc.m_StartMinute = std::clamp(doc.m_StartMinute, 0, 59);
    doc.m_StartSecond = std::clamp(doc.m_StartSecond, 0, 59);
    for (auto& parameter : doc.m_SelectedParameters)
        if (parameter < kReadingOff || parameter > kHorsePowerReading)
            parameter = kReadingOff;

    if (doc.m_SystemType < kMinSystemType || doc.m_SystemType > kMaxSystemType)
        doc.m_SystemType = kMinSystemType;
    for (int i = 0; i < kReadingMapSize; ++i) {
        auto& position = doc.m_ReadingMap[static_cast<std::size_t>(i)];
        if (position < 1 || position > kBlockReadings)
            position = i + 1; // the standard layout
    }
    doc.m_ModbusNode = FiniteOr(doc.m_ModbusNode, 1.0);
    // The meter's identity and information values are kept as the meter sent them
    // (any float); only the relative spans divide by them, and they test the span.

    if (doc.m_Comms.floatOrder < 0 || doc.m_Comms.floatOrder >= kFloatOrders)
        doc.m_Comms.floatOrder = 0;

    doc.m_SampleCount = std::clamp(doc.m_SampleCount, 0, kMaxSamples);
    // Page Up stops at page 0 and Page Down at the last sample's page; a stored page
    // beyond the log shows no rows until Page Down brings it back.
    doc.m_DataViewTop = std::max(doc.m_DataViewTop, 0);

    for (Graph& graph : doc.m_Graphs)
        BoundGraph(graph);
}

namespace {

// An infinite reading is a number and is logged as received; only NaN is never
// stored (the logger writes a missing reading as 0.0).
void BoundSampleRecord(SampleRecord& values, std::int64_t& time) {
    for (double& value : values)
        if (std::isnan(value))
            value = 0.0;
    time = std::clamp<std::int64_t>(time, 0, kLatestTime);
}

// Where record n's values and its time lie in the file.
constexpr std::size_t RecordValuesAt(std::size_t n) {
    return file_block::kSamples + n * file_block::kSampleRecordSize;
}
constexpr std::size_t RecordTimeAt(std::size_t n) {
    return file_block::kSampleTimes + n * sizeof(std::int64_t);
}

// --- Files -----------------------------------------------------------------------------

std::string Grouped(std::size_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t i = digits.size(); i > 3; i -= 3)
        digits.insert(i - 3, ",");
    return digits;
}

std::string Describe(std::string_view what, const std::string& path, int error) {
    std::string text(what);
    text += " \"";
    text += path;
    text += "\": ";
    text += std::strerror(error);
    text += ".";
    return text;
}

using platform::ReadAll;
using platform::WriteAll;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr std::string_view kTemporaryPrefix = ".zentra-save-";
constexpr std::string_view kTemporarySuffix = ".tmp";
// A save cut off by a crash, a kill or a power cut leaves its temporary file behind;
// one untouched this long belongs to no save still running.
constexpr std::chrono::hours kAbandonedSaveAge{1};

// Removes the temporary files of saves into this folder that never completed.
void RemoveAbandonedSaves(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix) ||
            !entry.is_regular_file(ec))
            continue;
        const auto written = entry.last_write_time(ec);
        if (!ec && now - written >= kAbandonedSaveAge)
            fs::remove(entry.path(), ec);
    }
}

// A short name in the target's folder (so that the rename stays on one file
// system) that no other save uses; short so that long target names still work.
std::string TemporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return FolderOf(path) + "/" + std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "-" +
           std::to_string(counter++) + std::string(kTemporarySuffix);
}

// Writes the image to a temporary file beside path, flushes it to disk and renames
// it over path. Returns the errno-based reason on failure; the target is untouched.
std::string WriteAtomically(const std::string& path, const std::vector<std::uint8_t>& image) {
    const std::string temporary = TemporaryNameFor(path);
    platform::UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid())
        return Describe("Cannot save", path, errno);

    int error = WriteAll(fd.get(), image);
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    if (const int closeError = fd.Close(); error == 0)
        error = closeError;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return Describe("Cannot save", path, error);
    }
    // Make the rename itself durable; a failure here does not undo the save.
    platform::UniqueFd folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid())
        ::fsync(folder.get());
    RemoveAbandonedSaves(FolderOf(path));
    return {};
}

} // namespace

void EncodeSampleRecord(const SampleRecord& values, std::int64_t time, std::uint8_t* valuesOut,
                        std::uint8_t* timeOut) {
    for (std::size_t k = 0; k < values.size(); ++k)
        le::Put(valuesOut, k * sizeof(double), values[k]);
    le::Put(timeOut, 0, time);
}

void DecodeSampleRecord(const std::uint8_t* valuesIn, const std::uint8_t* timeIn,
                        SampleRecord& values, std::int64_t& time) {
    for (std::size_t k = 0; k < values.size(); ++k)
        values[k] = le::Get<double>(valuesIn, k * sizeof(double));
    time = le::Get<std::int64_t>(timeIn, 0);
    BoundSampleRecord(values, time);
}

void StoreSetUpFront(CZentraDoc& doc, std::uint8_t* out) {
    // An unfinished project (logging running or never started) is saved as
    // finished at this moment; in memory only the end time and date change.
    if (doc.m_Finished == 0) {
        doc.m_LoggingEndTime = platform::Now();
        doc.m_ProjectEndDate = DayNumberOf(doc.m_LoggingEndTime);
    }
    StoreProjectBlock(doc, out + file_block::kProject);
    for (std::size_t k = 0; k < doc.m_Graphs.size(); ++k)
        EncodeGraph(doc.m_Graphs[k], out + file_block::kGraphs + k * kGraphRecordSize);
    StoreAxisTexts(doc.m_LiveAxisStart, doc.m_LiveAxisEnd, doc.m_LiveAxisDate,
                   out + file_block::kLiveAxis);
    EncodeCommSettings(doc.m_Comms, out + file_block::kComms);
    StoreMeterBlock(doc, out + file_block::kMeter);
    StoreLogAxisBlock(doc, out + file_block::kLogAxis);
}

void LoadSetUpFront(const std::uint8_t* in, CZentraDoc& doc) {
    LoadProjectBlock(in + file_block::kProject, doc);
    for (std::size_t k = 0; k < doc.m_Graphs.size(); ++k)
        DecodeGraph(in + file_block::kGraphs + k * kGraphRecordSize, doc.m_Graphs[k]);
    LoadAxisTexts(in + file_block::kLiveAxis, doc.m_LiveAxisStart, doc.m_LiveAxisEnd,
                  doc.m_LiveAxisDate);
    DecodeCommSettings(in + file_block::kComms, doc.m_Comms);
    LoadMeterBlock(in + file_block::kMeter, doc);
    LoadLogAxisBlock(in + file_block::kLogAxis, doc);
    doc.m_Comms.portSetUp = 0;
    doc.m_ArchivedFile = 1;
    for (Graph& graph : doc.m_Graphs)
        graph.m_RealTime = 0;
    BoundSetUp(doc);
}

void SerializeStore(CZentraDoc& doc, std::uint8_t* out) {
    StoreSetUpFront(doc, out);
    for (std::size_t n = 0; n < kMaxSamples; ++n)
        EncodeSampleRecord(doc.m_SampleValues[n], doc.m_SampleTimes[n], out + RecordValuesAt(n),
                           out + RecordTimeAt(n));
}

void SerializeLoad(const std::uint8_t* in, CZentraDoc& doc) {
    LoadSetUpFront(in, doc);
    for (std::size_t n = 0; n < kMaxSamples; ++n)
        DecodeSampleRecord(in + RecordValuesAt(n), in + RecordTimeAt(n), doc.m_SampleValues[n],
                           doc.m_SampleTimes[n]);
    for (RingEntry& entry : doc.m_LiveValues)
        entry.fill(0.0);
}

FileResult OnSaveDocument(CZentraDoc& doc, const std::string& path) {
    std::vector<std::uint8_t> image(kProjectFileSize);
    const std::int64_t previousEndTime = doc.m_LoggingEndTime;
    const DayNumber previousEndDate = doc.m_ProjectEndDate;
    SerializeStore(doc, image.data());

    if (std::string error = WriteAtomically(path, image); !error.empty()) {
        // Nothing was saved: the document stays as it was, and modified.
        doc.m_LoggingEndTime = previousEndTime;
        doc.m_ProjectEndDate = previousEndDate;
        doc.SetModifiedFlag(true);
        return {false, std::move(error)};
    }
    doc.m_PathName = path;
    doc.m_Title = FileNameOf(path);
    doc.SetModifiedFlag(false);
    return {true, {}};
}

FileResult OnOpenDocument(CZentraDoc& doc, const std::string& path) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return {false, Describe("Cannot open", path, errno)};
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return {false, Describe("Cannot open", path, errno)};
    if (!S_ISREG(info.st_mode))
        return {false, "Cannot open \"" + path + "\": it is not a file."};
    if (static_cast<std::uint64_t>(info.st_size) != kProjectFileSize)
        return {false, "Cannot open \"" + path + "\": it is " +
                           Grouped(static_cast<std::size_t>(info.st_size)) +
                           " bytes long, but a Zentra project file is exactly " +
                           Grouped(kProjectFileSize) + " bytes."};

    std::vector<std::uint8_t> image(kProjectFileSize);
    if (const int error = ReadAll(fd.get(), image); error != 0)
        return {false, error < 0 ? "Cannot open \"" + path + "\": the file ended early."
                                 : Describe("Cannot open", path, error)};

    SerializeLoad(image.data(), doc);
    doc.m_PathName = path;
    doc.m_Title = FileNameOf(path);
    doc.SetModifiedFlag(false);
    return {true, {}};
}

} // namespace zentra

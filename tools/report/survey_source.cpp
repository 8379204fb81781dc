#include "tools/report/survey_source.h"

#include "document/project_file.h"
#include "records/le_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <span>

namespace zentra::report {
namespace {

constexpr const char* kOpenProjectName = "the open project";

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

std::string NumberWord(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// What differs between two files' meters, or empty when they are one meter.
std::string MeterDifference(const SurveyMeter& a, const SurveyMeter& b) {
    if (a.node != b.node)
        return "node " + NumberWord(b.node) + " against node " + NumberWord(a.node);
    if (a.model != b.model)
        return "model " + NumberWord(b.model) + " against model " + NumberWord(a.model);
    if (a.variant != b.variant)
        return "meter variant " + std::to_string(b.variant) + " against variant " +
               std::to_string(a.variant);
    if (a.systemTypeNumber != b.systemTypeNumber)
        return "system type " + NumberWord(b.systemTypeNumber) + " against system type " +
               NumberWord(a.systemTypeNumber);
    return {};
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty())
        return false;
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}

} // namespace

std::string ShownName(const std::string& path) {
    if (path.empty())
        return kOpenProjectName;
    return std::filesystem::path(path).filename().string();
}

// A part as read: the document (the open project's own, or a scratch copy of the
// file) and which of its stored values were NaN.
struct SurveySource::Loaded {
    std::unique_ptr<CZentraDoc> scratch;
    const CZentraDoc* doc = nullptr;
    std::vector<std::uint32_t> nanMask; // one per sample
};

SurveySource::SurveySource(std::vector<SurveyPart> parts) : parts_(std::move(parts)) {}
SurveySource::~SurveySource() = default;

SourceResult SurveySource::Load(std::size_t part, Loaded& into) const {
    const SurveyPart& source = parts_[part];
    into.nanMask.clear();
    if (source.doc) {
        into.doc = source.doc;
        const auto count =
            static_cast<std::size_t>(std::clamp(source.doc->m_SampleCount, 0, kMaxSamples));
        into.nanMask.assign(count, 0);
        for (std::size_t n = 0; n < count; ++n)
            for (std::size_t k = 0; k < kSampleValues; ++k)
                if (std::isnan(source.doc->m_SampleValues[n][k]))
                    into.nanMask[n] |= 1u << k;
        return {true, {}};
    }
    if (!into.scratch) {
        into.scratch = std::make_unique<CZentraDoc>();
        // A report reads projects; it never touches the user's stored defaults.
        into.scratch->m_StoreLinkOnClose = false;
    }
    FileResult opened = OnOpenDocument(*into.scratch, source.path);
    if (!opened.ok)
        return {false, opened.error};
    into.doc = into.scratch.get();

    // The reader brings a stored NaN to 0.0, as the program shows it; the figures skip
    // such samples instead, so the stored values are looked at as they are.
    const auto count = static_cast<std::size_t>(into.doc->m_SampleCount);
    into.nanMask.assign(count, 0);
    std::ifstream file(source.path, std::ios::binary);
    std::vector<std::uint8_t> stored(count * file_block::kSampleRecordSize);
    file.seekg(static_cast<std::streamoff>(file_block::kSamples));
    file.read(reinterpret_cast<char*>(stored.data()), static_cast<std::streamsize>(stored.size()));
    if (!file)
        return {false, "Cannot read \"" + source.path + "\": the file ended early."};
    for (std::size_t n = 0; n < count; ++n)
        for (std::size_t k = 0; k < kSampleValues; ++k)
            if (std::isnan(le::Get<double>(stored.data(),
                                           n * file_block::kSampleRecordSize + k * sizeof(double))))
                into.nanMask[n] |= 1u << k;
    return {true, {}};
}

SourceResult SurveySource::Open() {
    files_.clear();
    if (parts_.empty())
        return {false, "No project file was given."};
    for (std::size_t i = 0; i < parts_.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (SameFile(parts_[i].path, parts_[j].path))
                return {false, Quoted(ShownName(parts_[i].path)) + " is named twice."};

    struct Found {
        SurveyFile file;
        std::int64_t sortKey = 0;
        SurveyMeter meter;
    };
    std::vector<Found> found(parts_.size());
    Loaded loaded;
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        if (SourceResult r = Load(i, loaded); !r.ok)
            return r;
        const CZentraDoc& doc = *loaded.doc;
        Found& f = found[i];
        f.file.name = ShownName(parts_[i].path);
        f.file.path = parts_[i].path;
        f.file.count = doc.m_SampleCount;
        f.file.periodS = static_cast<std::int64_t>(doc.m_Period) * doc.m_PeriodMultiplier;
        if (doc.m_SampleCount > 0) {
            const auto times = std::span(doc.m_SampleTimes).first(std::size_t(doc.m_SampleCount));
            f.file.first = *std::min_element(times.begin(), times.end());
            f.file.last = *std::max_element(times.begin(), times.end());
            f.sortKey = f.file.first;
        } else {
            f.sortKey = doc.m_LoggingStartTime;
        }
        f.meter.projectName = doc.m_ProjectName.data();
        f.meter.description = doc.m_Description.data();
        f.meter.node = doc.m_ModbusNode;
        f.meter.model = doc.m_ModelNumber;
        f.meter.versionFraction = doc.m_VersionFraction;
        f.meter.systemVoltage = doc.m_SystemVoltage;
        f.meter.systemCurrent = doc.m_SystemCurrent;
        f.meter.systemTypeNumber = doc.m_SystemTypeNumber;
        f.meter.variant = doc.m_SystemType;
        f.meter.shortList = doc.ShortList();
    }

    std::vector<std::size_t> order(parts_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return found[a].sortKey < found[b].sortKey;
    });

    const Found& head = found[order.front()];
    std::size_t latest = order.front(); // the file whose samples end latest so far
    bool anySamples = head.file.count > 0;
    for (std::size_t k = 1; k < order.size(); ++k) {
        const Found& f = found[order[k]];
        if (std::string why = MeterDifference(head.meter, f.meter); !why.empty())
            return {false, Quoted(f.file.name) + " is not of the same meter as " +
                               Quoted(head.file.name) + ": " + why + "."};
        if (f.file.count == 0)
            continue;
        if (anySamples && f.file.first <= found[latest].file.last)
            return {false, Quoted(found[latest].file.name) + " and " + Quoted(f.file.name) +
                               " overlap in time: " + Quoted(f.file.name) + " begins before " +
                               Quoted(found[latest].file.name) + " ends."};
        if (!anySamples || f.file.last > found[latest].file.last)
            latest = order[k];
        anySamples = true;
    }

    std::vector<SurveyPart> sorted;
    for (std::size_t i : order) {
        sorted.push_back(parts_[i]);
        files_.push_back(found[i].file);
    }
    parts_ = std::move(sorted);
    meter_ = head.meter;
    return {true, {}};
}

SourceResult SurveySource::ForEachSample(const std::function<void(const StoredSample&)>& visit) {
    Loaded loaded;
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        if (SourceResult r = Load(i, loaded); !r.ok)
            return r;
        const CZentraDoc& doc = *loaded.doc;
        const auto count = loaded.nanMask.size();
        for (std::size_t n = 0; n < count; ++n)
            visit({doc.m_SampleTimes[n], &doc.m_SampleValues[n], loaded.nanMask[n], i});
    }
    return {true, {}};
}

} // namespace zentra::report

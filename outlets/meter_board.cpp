#include "outlets/meter_board.h"

#include <algorithm>

namespace zentra::outlets {

MeterSnapshot& MeterBoard::Find(const std::string& meter) {
    for (MeterSnapshot& m : meters_)
        if (m.description.meter == meter)
            return m;
    MeterSnapshot& added = meters_.emplace_back();
    added.description.meter = meter;
    return added;
}

void MeterBoard::Identified(const logger::MeterDescription& meter) {
    const std::lock_guard lock(mutex_);
    MeterSnapshot& m = Find(meter.meter);
    m.description = meter;
    m.identified = true;
}

void MeterBoard::Readings(const std::string& meter, std::int64_t time,
                          std::span<const logger::LiveValue> values) {
    const std::lock_guard lock(mutex_);
    MeterSnapshot& m = Find(meter);
    m.readingsTime = time;
    m.readings.assign(values.begin(), values.end());
}

void MeterBoard::SampleLogged(const std::string& meter, int logged, int planned,
                              const std::string& file) {
    const std::lock_guard lock(mutex_);
    MeterSnapshot& m = Find(meter);
    m.logged = logged;
    m.planned = planned;
    if (m.file != file)
        m.file = file;
    ++m.samplesLogged;
}

void MeterBoard::ProjectSaved(const std::string& meter, const std::string& file) {
    const std::lock_guard lock(mutex_);
    MeterSnapshot& m = Find(meter);
    ++m.projectsSaved;
    if (m.file.empty())
        m.file = file;
}

void MeterBoard::Request(const std::string& meter, logger::RequestResult result,
                         std::chrono::microseconds replyTime) {
    const auto index = static_cast<std::size_t>(result);
    const double seconds = static_cast<double>(replyTime.count()) / 1e6;
    const std::lock_guard lock(mutex_);
    MeterSnapshot& m = Find(meter);
    if (index < m.requests.size())
        ++m.requests[index];
    if (result != logger::RequestResult::kOk)
        return; // only answers have a reply time
    ++m.replyCount;
    m.replySeconds += seconds;
    const auto bucket = std::lower_bound(kReplyBuckets.begin(), kReplyBuckets.end(), seconds);
    if (bucket != kReplyBuckets.end())
        ++m.replyBuckets[static_cast<std::size_t>(bucket - kReplyBuckets.begin())];
}

void MeterBoard::Availability(const std::string& meter, bool answering) {
    const std::lock_guard lock(mutex_);
    Find(meter).link = answering ? LinkState::kAnswering : LinkState::kSilent;
}

std::vector<MeterSnapshot> MeterBoard::Snapshot() const {
    const std::lock_guard lock(mutex_);
    return meters_;
}

} // namespace zentra::outlets

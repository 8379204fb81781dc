// What the outlets know of each meter of the run, kept for the HTTP side to read:
// the logging thread writes into it (short copies under a lock, no allocation once a
// meter's lists have their size), the server's threads take snapshots.
#pragma once

#include "acquisition/live_feed.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace zentra::outlets {

// Upper bounds of the reply-time histogram, in seconds (the last bucket is +Inf).
inline constexpr std::array<double, 9> kReplyBuckets{0.005, 0.01, 0.025, 0.05, 0.1,
                                                     0.25,  0.5,  1.0,   2.5};
inline constexpr int kRequestResults = 5; // RequestResult's values

enum class LinkState { kStarting, kAnswering, kSilent };

struct MeterSnapshot {
    logger::MeterDescription description;
    bool identified = false;
    LinkState link = LinkState::kStarting;
    std::int64_t readingsTime = 0; // 0: no readings yet
    std::vector<logger::LiveValue> readings;
    int logged = 0;  // samples of the current project
    int planned = 0; // its planned samples
    std::string file;
    std::uint64_t samplesLogged = 0; // over the whole run (every project of a roll)
    std::uint64_t projectsSaved = 0;
    std::array<std::uint64_t, kRequestResults> requests{};
    std::array<std::uint64_t, kReplyBuckets.size()> replyBuckets{}; // not cumulative
    std::uint64_t replyCount = 0;
    double replySeconds = 0.0;
};

// Messages the MQTT side has handed to the broker, and dropped (queue full, or lost
// with a connection).
struct MqttCounters {
    std::atomic<std::uint64_t> published{0};
    std::atomic<std::uint64_t> dropped{0};
    std::atomic<bool> enabled{false};
    std::atomic<bool> connected{false};
};

class MeterBoard {
  public:
    void Identified(const logger::MeterDescription& meter);
    void Readings(const std::string& meter, std::int64_t time,
                  std::span<const logger::LiveValue> values);
    void SampleLogged(const std::string& meter, int logged, int planned, const std::string& file);
    void ProjectSaved(const std::string& meter, const std::string& file);
    void Request(const std::string& meter, logger::RequestResult result,
                 std::chrono::microseconds replyTime);
    void Availability(const std::string& meter, bool answering);

    std::vector<MeterSnapshot> Snapshot() const;

  private:
    MeterSnapshot& Find(const std::string& meter); // under mutex_; adds an unknown meter

    mutable std::mutex mutex_;
    std::vector<MeterSnapshot> meters_;
};

} // namespace zentra::outlets

// What a logging run tells the outside world while it runs: a meter's identity, its
// live readings, each logged sample, each saved project, each request's result and
// whether the meter answers. A run calls these from its logging thread; an outlet
// (MQTT, HTTP) must copy what it needs and return at once: it may never block, throw or
// slow a tick. With several meters on a run, `meter` names the meter (its --meter NAME);
// with one, the project file's name without ".ztr".
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace zentra::logger {

// How one request on the line ended.
enum class RequestResult { kOk, kNoReply, kBadCrc, kException, kWrongNode };

struct MeterDescription {
    std::string meter;          // run's name for the meter
    int node = 0;               // Modbus node (unit id behind a gateway)
    std::string link;           // the port as the user named it (COM1, tcp://...)
    std::string model;          // model text as the logger shows it
    std::string version;        // firmware version text
    std::string serial;         // serial number text (a stable identifier)
    int systemType = 0;         // meter variant: 3 or 6 offer the short list
    double systemVoltage = 0.0; // V, from the information block
    double systemCurrent = 0.0; // A
};

// One reading of the meter's offered list: its catalogue index (1..49) and value
// (NaN when the meter sent none).
struct LiveValue {
    int reading = 0;
    double value = 0.0;
};

class LiveFeed {
public:
    virtual ~LiveFeed() = default;
    virtual void MeterIdentified(const MeterDescription& meter) = 0;
    // The one-second readings (time: seconds since 1970 UTC).
    virtual void Readings(const std::string& meter, std::int64_t time,
                          std::span<const LiveValue> values) = 0;
    // A logged sample: the count so far and the planned count of the current project.
    virtual void SampleLogged(const std::string& meter, std::int64_t time,
                              std::span<const LiveValue> values, int logged, int planned,
                              const std::string& file) = 0;
    virtual void ProjectSaved(const std::string& meter, const std::string& file) = 0;
    virtual void Request(const std::string& meter, RequestResult result,
                         std::chrono::microseconds replyTime) = 0;
    // The meter answers again (true) or has stopped answering (false).
    virtual void Availability(const std::string& meter, bool answering) = 0;
};

} // namespace zentra::logger

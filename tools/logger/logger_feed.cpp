#include "tools/logger/logger_feed.h"

#include "document/zentra_doc.h"
#include "outlets/outlets.h"
#include "records/readings_catalogue.h"

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <unistd.h>

namespace zentra::logger {
namespace {

constexpr int kMissesMakeSilent = 3; // as the progress output counts a silent meter

// A line from the MQTT thread: written whole, straight to the error output, so it
// never interleaves with the logging thread's lines mid-way.
void ReportLine(const std::string& text) {
    const std::string line = "zentra-log: " + text + "\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, line.data(), line.size());
}

} // namespace

std::unique_ptr<LiveFeed> StartOutlets(const LoggerOptions& o, std::ostream& err, bool& failed) {
    failed = false;
    if (!o.mqtt && !o.http)
        return nullptr;
    outlets::OutletSettings settings;
    if (o.mqtt) {
        outlets::MqttSettings mqtt;
        mqtt.url = *outlets::ParseMqttUrl(*o.mqtt).url; // checked with the command line
        std::string error;
        const auto password = outlets::MqttPassword(o.mqttPasswordFile, error);
        if (!password) {
            err << "zentra-log: " << error << '\n';
            failed = true;
            return nullptr;
        }
        mqtt.password = *password;
        mqtt.caFile = o.mqttCa;
        mqtt.discovery = o.mqttDiscovery;
        // One meter's run names its meter (--out); a survey's outlets (--meter or
        // --config, no --out) carry every meter of it.
        if (!o.out.empty())
            mqtt.onlyMeter = FeedMeterName(o);
        settings.mqtt = std::move(mqtt);
        settings.every =
            o.mqttEverySample ? outlets::MqttEvery::kSample : outlets::MqttEvery::kSecond;
    }
    if (o.http)
        settings.http = outlets::ParseHttpAddress(*o.http);
    auto started = std::make_unique<outlets::Outlets>(std::move(settings), ReportLine);
    if (!started->Start()) {
        err << "zentra-log: " << started->Error() << '\n';
        failed = true;
        return nullptr;
    }
    return started;
}

std::string FeedMeterName(const LoggerOptions& o) {
    return std::filesystem::path(o.out).stem().string();
}

MeterDescription DescribeMeter(const LoggerOptions& o, const CZentraDoc& doc,
                               const IdentityTexts& identity) {
    MeterDescription d;
    d.meter = FeedMeterName(o);
    d.node = NodeByte(doc.m_ModbusNode);
    d.link = o.port;
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", doc.m_ModelNumber);
    d.model = text;
    d.version = identity.version;
    d.serial = identity.serial;
    d.systemType = doc.m_SystemType;
    d.systemVoltage = doc.m_SystemVoltage;
    d.systemCurrent = doc.m_SystemCurrent;
    return d;
}

void LiveTicker::Tick(const CZentraDoc& doc, const TickOutcome& tick, int before,
                      std::chrono::microseconds took, const std::string& file) {
    if (!feed_ || !tick.exchanged)
        return;
    const bool answered = tick.filed != kReplyNone;
    RequestResult result = RequestResult::kOk;
    if (!answered)
        result = tick.otherNode            ? RequestResult::kWrongNode
                 : tick.badCrc             ? RequestResult::kBadCrc
                 : tick.exceptionCode != 0 ? RequestResult::kException
                                           : RequestResult::kNoReply;
    if (requests_)
        feed_->Request(meter_, result, took);

    if (tick.filed == kFcReadings) {
        missed_ = 0;
        if (!answering_)
            feed_->Availability(meter_, true);
        answering_ = true;
        const auto columns = ColumnsFor(doc.m_SystemType);
        const std::size_t slot =
            doc.m_LiveIndex == 0 ? kRingSlots - 1 : static_cast<std::size_t>(doc.m_LiveIndex - 1);
        values_.clear();
        for (const ReadingIndex r : columns)
            values_.push_back({r, LiveReading(doc, doc.m_LiveValues[slot], r)});
        feed_->Readings(meter_, doc.m_LiveTimes[slot], values_);
        for (int n = before; n < doc.m_SampleCount; ++n) {
            const SampleRecord& record = doc.m_SampleValues[static_cast<std::size_t>(n)];
            values_.clear();
            std::size_t element = 1;
            for (const ReadingIndex r : columns)
                values_.push_back(
                    {r, r == kHorsePowerReading ? HorsePower(record.data()) : record[element++]});
            feed_->SampleLogged(meter_, doc.m_SampleTimes[static_cast<std::size_t>(n)], values_,
                                n + 1, doc.m_Samples, file);
        }
    } else if (!answered && doc.m_LastRequest == kFcReadings && ++missed_ == kMissesMakeSilent &&
               answering_) {
        answering_ = false;
        feed_->Availability(meter_, false);
    }
}

void LiveTicker::Saved(const std::string& file) {
    if (feed_)
        feed_->ProjectSaved(meter_, file);
}

} // namespace zentra::logger

// The survey's configuration file read from arbitrary bytes: the reader must never
// crash, hang or throw, and what it hands on keeps its promises. Either a plan comes
// back or a refusal that names the file (and, from the file's body, the line); a plan
// holds at least one link, every link a port and at least one meter, every meter a
// name that is a plain file-name word, once in the survey, and a node 1 to 247 once
// on its link; the run's period and samples are in range; its outlets (an MQTT
// broker, an HTTP address) are ones the command line would take.
#pragma once

#include "outlets/http_server.h"
#include "outlets/mqtt_url.h"
#include "tools/logger/config/site_config.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace zentra::fuzz {

inline bool RunSiteConfig(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const logger::ConfigResult read = logger::ParseSiteConfig(text, "site.toml");
    if (!read.plan)
        return read.error.starts_with("site.toml:");
    if (!read.error.empty())
        return false;
    const logger::SurveyPlan& plan = *read.plan;
    const logger::LoggerOptions& run = plan.run;
    if (plan.links.empty() || plan.outDir.empty() || run.samples < 1 || run.samples > 7200 ||
        run.period < 1 || run.period > 100000 ||
        (run.periodMultiplier != 1 && run.periodMultiplier != 60 && run.periodMultiplier != 3600))
        return false;
    // The outlets a file names are ones the command line would take.
    if ((run.mqtt && !outlets::ParseMqttUrl(*run.mqtt).url) ||
        (run.http && !outlets::ParseHttpAddress(*run.http)) ||
        ((run.mqttCa || run.mqttPasswordFile) && !run.mqtt) ||
        (run.mqttCa && !run.mqtt->starts_with("mqtts://")))
        return false;
    std::set<std::string> names, ports;
    for (const logger::LinkPlan& link : plan.links) {
        if (link.port.empty() || link.meters.empty() || !ports.insert(link.port).second)
            return false;
        std::set<int> nodes;
        for (const logger::MeterEntry& meter : link.meters) {
            if (!logger::ValidMeterName(meter.name) || !names.insert(meter.name).second ||
                meter.node < 1 || meter.node > 247 || !nodes.insert(meter.node).second ||
                (meter.order && (*meter.order < 0 || *meter.order > 3)))
                return false;
        }
    }
    return true;
}

} // namespace zentra::fuzz

#include "tools/logger/config/outlet_config.h"

#include "outlets/http_server.h"
#include "outlets/mqtt_url.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace zentra::logger {
namespace {

using Entry = PlanSection::Entry;

std::string Named(const Entry& e, const PlanSection& s) {
    return "'" + e.key + "' in [" + s.name + "]";
}

std::optional<OutletFault> UnknownKey(const Entry& e, const PlanSection& s,
                                      std::initializer_list<std::string_view> known) {
    if (std::find(known.begin(), known.end(), e.key) != known.end())
        return std::nullopt;
    std::string list;
    for (const std::string_view k : known)
        list += (list.empty() ? "" : ", ") + std::string(k);
    return OutletFault{e.line, "unknown key " + Named(e, s) + " (the keys here are " + list + ")"};
}

// A file name (of the CA, of the password): a string, not empty.
std::optional<OutletFault> FileName(const Entry& e, const PlanSection& s,
                                    std::optional<std::string>& into) {
    if (!e.quoted || e.value.empty())
        return OutletFault{e.line, Named(e, s) + " must be a file's name in quotes"};
    into = e.value;
    return std::nullopt;
}

std::optional<OutletFault> ReadMqtt(const PlanSection& s, LoggerOptions& o) {
    const Entry* url = nullptr;
    const Entry* ca = nullptr;
    for (const Entry& e : s.entries) {
        if (e.key == "password")
            return OutletFault{e.line, "the MQTT password is never kept in this file: name a "
                                       "file that holds it (password-file = \"...\", readable "
                                       "by root only) or set ZENTRA_MQTT_PASSWORD in the "
                                       "service's environment file"};
        if (auto unknown = UnknownKey(e, s, {"url", "ca", "password-file", "every", "discovery"}))
            return unknown;
        if (e.key == "url") {
            const auto parsed = outlets::ParseMqttUrl(e.value, Named(e, s));
            if (!e.quoted || !parsed.url)
                return OutletFault{e.line, e.quoted
                                               ? parsed.error
                                               : Named(e, s) + " must be mqtt://[USER@]HOST[:PORT]/"
                                                               "PREFIX in quotes"};
            o.mqtt = e.value;
            url = &e;
        } else if (e.key == "ca") {
            if (auto bad = FileName(e, s, o.mqttCa))
                return bad;
            ca = &e;
        } else if (e.key == "password-file") {
            if (auto bad = FileName(e, s, o.mqttPasswordFile))
                return bad;
        } else if (e.key == "every") {
            if (!e.quoted || (e.value != "second" && e.value != "sample"))
                return OutletFault{e.line, Named(e, s) + " must be \"second\" or \"sample\""};
            o.mqttEverySample = e.value == "sample";
        } else if (e.key == "discovery") {
            if (e.quoted || (e.value != "true" && e.value != "false"))
                return OutletFault{e.line, Named(e, s) + " must be true or false"};
            o.mqttDiscovery = e.value == "true";
        }
    }
    if (url == nullptr)
        return OutletFault{s.line, "[mqtt] needs the broker's url "
                                   "(url = \"mqtt://[USER@]HOST[:PORT]/PREFIX\")"};
    if (ca != nullptr && !url->value.starts_with("mqtts://"))
        return OutletFault{ca->line, Named(*ca, s) + " goes with an mqtts:// broker (url = "
                                                     "\"mqtts://...\")"};
    return std::nullopt;
}

std::optional<OutletFault> ReadHttp(const PlanSection& s, LoggerOptions& o) {
    for (const Entry& e : s.entries) {
        if (auto unknown = UnknownKey(e, s, {"listen"}))
            return unknown;
        // A port may come bare (9101) or in quotes; an address only in quotes.
        const bool port =
            !e.value.empty() && std::all_of(e.value.begin(), e.value.end(),
                                            [](char c) { return c >= '0' && c <= '9'; });
        if ((!e.quoted && !port) || !outlets::ParseHttpAddress(e.value))
            return OutletFault{e.line, Named(e, s) + " must be \"ADDRESS:PORT\" or a port, "
                                                     "e.g. \"0.0.0.0:9101\" or 9101"};
        o.http = e.value;
    }
    if (!o.http)
        return OutletFault{s.line, "[http] needs the address to listen on "
                                   "(listen = \"0.0.0.0:9101\", or a port alone for 127.0.0.1)"};
    return std::nullopt;
}

} // namespace

std::optional<OutletFault> ReadOutletSections(const std::vector<PlanSection>& sections,
                                              LoggerOptions& into) {
    for (const PlanSection& s : sections) {
        std::optional<OutletFault> fault;
        if (s.name == "mqtt")
            fault = ReadMqtt(s, into);
        else if (s.name == "http")
            fault = ReadHttp(s, into);
        if (fault)
            return fault;
    }
    return std::nullopt;
}

std::string OverlayOutletOptions(const ParsedArguments& given, LoggerOptions& run) {
    const LoggerOptions& o = given.options;
    if (o.mqtt)
        run.mqtt = o.mqtt;
    if (o.mqttCa)
        run.mqttCa = o.mqttCa;
    if (o.mqttPasswordFile)
        run.mqttPasswordFile = o.mqttPasswordFile;
    if (o.http)
        run.http = o.http;
    if (given.mqttEveryGiven)
        run.mqttEverySample = o.mqttEverySample;
    if (given.mqttDiscoveryGiven)
        run.mqttDiscovery = o.mqttDiscovery;
    return OutletOptionsFault(run);
}

} // namespace zentra::logger

// The broker address of --mqtt: mqtt://[USER@]HOST[:PORT]/PREFIX, or mqtts:// for TLS.
// The password never comes in it: it would show in the process list.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zentra::outlets {

struct MqttUrl {
    bool tls = false;
    std::string user;   // empty: no login
    std::string host;
    int port = 1883;    // 8883 with TLS
    std::string prefix; // topic levels joined by '/', never empty
};

struct MqttUrlResult {
    std::optional<MqttUrl> url;
    std::string error; // why the text is refused
};

// `what` names the setting in the refusals: the option, or a configuration file's key.
MqttUrlResult ParseMqttUrl(const std::string& text, std::string_view what = "--mqtt");

} // namespace zentra::outlets

#include "outlets/mqtt_url.h"

#include <charconv>
#include <string_view>

namespace zentra::outlets {
namespace {

constexpr int kMqttPort = 1883;
constexpr int kMqttTlsPort = 8883;

MqttUrlResult Refuse(std::string why) {
    return {std::nullopt, std::move(why)};
}

} // namespace

MqttUrlResult ParseMqttUrl(const std::string& text, std::string_view what) {
    const std::string w(what);
    MqttUrl url;
    std::string_view rest = text;
    if (rest.starts_with("mqtt://")) {
        rest.remove_prefix(7);
        url.port = kMqttPort;
    } else if (rest.starts_with("mqtts://")) {
        rest.remove_prefix(8);
        url.tls = true;
        url.port = kMqttTlsPort;
    } else {
        return Refuse(w + " needs mqtt://[USER@]HOST[:PORT]/PREFIX (or mqtts://)");
    }
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos || slash + 1 >= rest.size())
        return Refuse(w + " needs a topic prefix after the host, e.g. mqtt://broker/zentra");
    std::string_view authority = rest.substr(0, slash);
    const std::string_view prefix = rest.substr(slash + 1);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        url.user = std::string(authority.substr(0, at));
        authority.remove_prefix(at + 1);
        if (url.user.find(':') != std::string::npos)
            return Refuse(what == "--mqtt"
                              ? "--mqtt must not carry the password (it would show in the "
                                "process list): use --mqtt-password-file or ZENTRA_MQTT_PASSWORD"
                              : w + " must not carry the password: name a file that holds it "
                                    "(password-file) or set ZENTRA_MQTT_PASSWORD");
        if (url.user.empty())
            return Refuse(w + " has an empty user name before '@'");
    }
    std::string_view host = authority;
    std::string_view port;
    if (host.starts_with('[')) {
        const auto close = host.find(']');
        if (close == std::string_view::npos)
            return Refuse(w + " has an unclosed '[' in its host");
        port = host.substr(close + 1);
        host = host.substr(1, close - 1);
        if (!port.empty() && !port.starts_with(':'))
            return Refuse(w + ": a port follows the host after ':'");
        if (!port.empty())
            port.remove_prefix(1);
    } else if (const auto colon = host.find(':'); colon != std::string_view::npos) {
        port = host.substr(colon + 1);
        host = host.substr(0, colon);
    }
    if (host.empty())
        return Refuse(w + " needs a broker host, e.g. mqtt://192.168.1.10/zentra");
    url.host = std::string(host);
    if (!port.empty()) {
        int value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
            return Refuse(w + ": the port must be a number from 1 to 65535");
        url.port = value;
    }
    // Wildcards and empty levels cannot be published to.
    if (prefix.find_first_of("+#") != std::string_view::npos || prefix.starts_with('/') ||
        prefix.ends_with('/') || prefix.find("//") != std::string_view::npos)
        return Refuse(w + ": the topic prefix may not hold '+', '#' or empty levels");
    url.prefix = std::string(prefix);
    return {url, {}};
}

} // namespace zentra::outlets

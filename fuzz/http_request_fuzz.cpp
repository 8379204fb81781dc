// Fuzz target: requests into the HTTP outlet's handlers. The input is a request as
// a client sends it ("METHOD PATH ..."), cut into its method and path (the query
// dropped) as the server's library hands them over; a board with two meters, one
// with a hostile name, answers. Every reply must be one of the statuses the server
// gives, a 405 must carry its Allow header, and the JSON must parse.
#include "outlets/http_routes.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

zentra::outlets::MeterBoard& Board() {
    static zentra::outlets::MeterBoard b;
    static const bool filled = [] {
        for (const char* name : {"incomer", "\"</script>\\\n\x01\xff"}) {
            zentra::logger::MeterDescription m;
            m.meter = name;
            m.model = "760";
            m.serial = "1234560042";
            b.Identified(m);
            const zentra::logger::LiveValue values[] = {{10, 30.5}, {13, std::nan("")}};
            b.Readings(name, 1772445600, values);
            b.Request(name, zentra::logger::RequestResult::kOk, std::chrono::microseconds(21000));
        }
        return true;
    }();
    (void)filled;
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view request(reinterpret_cast<const char*>(data), size);
    const auto space = request.find(' ');
    const std::string_view method = request.substr(0, space);
    std::string_view path = space == std::string_view::npos ? std::string_view()
                                                            : request.substr(space + 1);
    path = path.substr(0, path.find_first_of(" ?\r\n"));
    static const zentra::outlets::MqttCounters mqtt;
    const auto reply = zentra::outlets::Route(method, path, Board(), mqtt, 1772445600);
    if (reply.status != 200 && reply.status != 404 && reply.status != 405)
        std::abort();
    if ((reply.status == 405) != reply.allowHeader)
        std::abort();
    if (reply.status == 200 && reply.contentType == "application/json" &&
        !nlohmann::json::accept(reply.body))
        std::abort();
    return 0;
}

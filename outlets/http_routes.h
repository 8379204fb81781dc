// What the read-only HTTP outlet answers, apart from the socket work: the status
// page, the metrics and the meters' JSON for GET (and HEAD), 405 for any other
// method, 404 for any other path. Nothing a request says changes anything.
#pragma once

#include "outlets/meter_board.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zentra::outlets {

struct HttpReply {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    bool allowHeader = false; // "Allow: GET, HEAD" goes with a 405
};

// `path` without its query; `now` for the documents' time.
HttpReply Route(std::string_view method, std::string_view path, const MeterBoard& board,
                const MqttCounters& mqtt, std::int64_t now);

} // namespace zentra::outlets

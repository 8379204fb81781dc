#include "outlets/http_routes.h"

#include "outlets/metrics_text.h"
#include "outlets/outlet_json.h"
#include "outlets/status_page.h"

namespace zentra::outlets {

HttpReply Route(std::string_view method, std::string_view path, const MeterBoard& board,
                const MqttCounters& mqtt, std::int64_t now) {
    HttpReply reply;
    if (method != "GET" && method != "HEAD") {
        reply.status = 405;
        reply.allowHeader = true;
        reply.body = "Only GET and HEAD: this server only shows the readings.\n";
        return reply;
    }
    if (path == "/" || path == "/index.html") {
        reply.contentType = "text/html; charset=utf-8";
        reply.body = StatusPage(MetersJson(board.Snapshot(), mqtt, now));
    } else if (path == "/metrics") {
        reply.contentType = "text/plain; version=0.0.4; charset=utf-8";
        reply.body = MetricsText(board.Snapshot(), mqtt);
    } else if (path == "/api/meters") {
        reply.contentType = "application/json";
        reply.body = MetersJson(board.Snapshot(), mqtt, now);
    } else {
        reply.status = 404;
        reply.body = "Not found: try /, /metrics or /api/meters\n";
    }
    return reply;
}

} // namespace zentra::outlets

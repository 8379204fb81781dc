// The /metrics page in the Prometheus text format: each reading as a gauge labelled
// by meter and reading, whether each meter answers, its requests by result, a
// histogram of its reply times, samples logged, projects saved, and the MQTT
// messages published and dropped.
#pragma once

#include "outlets/meter_board.h"

#include <string>
#include <vector>

namespace zentra::outlets {

std::string MetricsText(const std::vector<MeterSnapshot>& meters, const MqttCounters& mqtt);

} // namespace zentra::outlets

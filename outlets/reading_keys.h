// How each reading of the catalogue is named and measured outside the program: a
// stable snake_case key (the state JSON, the metrics' reading label, the API), and
// the unit and kind a home-automation system needs to show and keep it.
#pragma once

#include <cstdint>
#include <string_view>

namespace zentra::outlets {

struct ReadingKey {
    std::string_view key;         // "kw_sum"; empty for readings without a name
    std::string_view unit;        // "kW"; empty for a pure number (power factor)
    std::string_view deviceClass; // Home Assistant sensor class; empty when none fits
    bool counter = false;         // an energy counter: only ever grows
};

// The key, unit and class of a reading index (1..41 and 49); an empty key otherwise.
// Keys never change once published: dashboards and databases are built on them.
ReadingKey KeyOf(std::int32_t reading);

} // namespace zentra::outlets

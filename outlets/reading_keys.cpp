#include "outlets/reading_keys.h"

#include <array>

namespace zentra::outlets {
namespace {

constexpr ReadingKey Volts(std::string_view key) {
    return {key, "V", "voltage"};
}
constexpr ReadingKey Amps(std::string_view key) {
    return {key, "A", "current"};
}
constexpr ReadingKey Kilowatts(std::string_view key) {
    return {key, "kW", "power"};
}
constexpr ReadingKey Kva(std::string_view key) {
    return {key, "kVA", "apparent_power"};
}
constexpr ReadingKey Kvar(std::string_view key) {
    return {key, "kvar", "reactive_power"};
}
constexpr ReadingKey Factor(std::string_view key) {
    return {key, "", "power_factor"};
}
constexpr ReadingKey Counter(std::string_view key, std::string_view unit,
                             std::string_view deviceClass = {}) {
    return {key, unit, deviceClass, true};
}

// Indexed by reading index 0..49; 0 and 42..48 have no key.
constexpr std::array<ReadingKey, 50> kKeys{{
    {},
    Volts("v_l1_2"),
    Volts("v_l2_3"),
    Volts("v_l3_1"),
    Volts("v_1"),
    Volts("v_2"),
    Volts("v_3"),
    Amps("i_1"),
    Amps("i_2"),
    Amps("i_3"),
    Kilowatts("kw_sum"),
    Kva("kva_sum"),
    Kvar("kvar_sum"),
    Factor("pf_avg"),
    Counter("kwhr_imp", "kWh", "energy"),
    Counter("kvarhr_imp", "kvarh"),
    {"hz", "Hz", "frequency"},
    Kilowatts("kw_1"),
    Kilowatts("kw_2"),
    Kilowatts("kw_3"),
    Kvar("kvar_1"),
    Kvar("kvar_2"),
    Kvar("kvar_3"),
    Kilowatts("kwd_imp"),
    Kva("kvad"),
    Amps("ad"),
    Amps("neutral_i"),
    Kva("kva_1"),
    Kva("kva_2"),
    Kva("kva_3"),
    Factor("pf_l1"),
    Factor("pf_l2"),
    Factor("pf_l3"),
    Counter("kwhr_exp", "kWh", "energy"),
    Counter("kvarhr_exp", "kvarh"),
    Counter("kvahr", "kVAh"),
    Counter("ahr", "Ah"),
    Kilowatts("kwd_exp"),
    Kilowatts("max_kwd_imp"),
    Kilowatts("max_kwd_exp"),
    Kva("max_kvad"),
    Amps("max_ad"),
    {},
    {},
    {},
    {},
    {},
    {},
    {},
    {"hp", "hp", ""}, // horse power: no sensor class takes this unit
}};

} // namespace

ReadingKey KeyOf(std::int32_t reading) {
    if (reading < 0 || reading >= static_cast<std::int32_t>(kKeys.size()))
        return {};
    return kKeys[static_cast<std::size_t>(reading)];
}

} // namespace zentra::outlets

// The outlets' sections of a survey's configuration file, read into the options the
// command line fills (--mqtt ..., --http), through the command line's own checks:
//
//   [mqtt]
//   url = "mqtts://zentra@broker.plant.lan/plant/cabinet-3"  # as --mqtt (required)
//   ca = "/etc/zentra/plant-ca.pem"                          # as --mqtt-ca
//   password-file = "/etc/zentra/cabinet-3.mqtt"             # as --mqtt-password-file
//   every = "second"                                         # or "sample"
//   discovery = true                                         # Home Assistant's configs
//
//   [http]
//   listen = "0.0.0.0:9101"                                  # or 9101: 127.0.0.1 only
//
// The password itself is never taken from the file: a password file, or the variable
// ZENTRA_MQTT_PASSWORD (the service's environment file).
#pragma once

#include "tools/logger/logger_options.h"
#include "tools/logger/survey_plan.h"

#include <optional>
#include <string>
#include <vector>

namespace zentra::logger {

struct OutletFault {
    int line = 0;
    std::string what;
};

// Sets `into`'s outlet options from the [mqtt] and [http] sections among `sections`
// (others are left alone); the first fault, with its line, when one is wrong.
std::optional<OutletFault> ReadOutletSections(const std::vector<PlanSection>& sections,
                                              LoggerOptions& into);

// The command line's outlet options over the file's: each one given replaces the
// file's. Returns what is wrong with the two together (empty: nothing).
std::string OverlayOutletOptions(const ParsedArguments& given, LoggerOptions& run);

} // namespace zentra::logger

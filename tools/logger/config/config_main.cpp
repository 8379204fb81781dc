#include "tools/logger/config/config_main.h"

#include "tools/logger/config/site_config.h"
#include "tools/logger/logger_options.h"
#include "tools/logger/logger_run.h"

#include <ostream>

namespace zentra::logger {

int ZentraLogMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const std::atomic<bool>& stop) {
    const ParsedArguments parsed = ParseArguments(args);
    if (parsed.help || !parsed.error.empty() || !parsed.options.config)
        return LoggerMain(args, out, err, stop);
    const LoggerOptions& o = parsed.options;
    ConfigResult read = ReadSiteConfig(*o.config);
    if (!read.plan) {
        err << "zentra-log: " << read.error << '\n';
        return kExitUsage;
    }
    SurveyPlan plan = std::move(*read.plan);
    // The outlets' sections are carried for them; until they read them, a section
    // the run would silently pass over is refused.
    for (const PlanSection& section : plan.sections) {
        err << "zentra-log: " << plan.source << ':' << section.line << ": [" << section.name
            << "] is not read from the file by this zentra-log; start the outlets with "
            << "--mqtt or --http beside --config\n";
        return kExitUsage;
    }
    LoggerOptions& run = plan.run;
    run.quiet = run.quiet || o.quiet;
    run.force = o.force;
    run.tickMs = o.tickMs;
    run.mqtt = o.mqtt;
    run.mqttCa = o.mqttCa;
    run.mqttPasswordFile = o.mqttPasswordFile;
    run.http = o.http;
    run.mqttEverySample = o.mqttEverySample;
    run.mqttDiscovery = o.mqttDiscovery;
    return SurveyMain(plan, out, err, stop);
}

} // namespace zentra::logger

#include "tools/logger/config/config_main.h"

#include "tools/logger/config/outlet_config.h"
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
    LoggerOptions& run = plan.run;
    run.quiet = run.quiet || o.quiet;
    run.force = o.force;
    run.tickMs = o.tickMs;
    // The file's [mqtt] and [http] are in run already; the command line's go over them.
    if (const std::string why = OverlayOutletOptions(parsed, run); !why.empty()) {
        err << "zentra-log: " << why << " (beside --config " << plan.source << ")\n";
        return kExitUsage;
    }
    return SurveyMain(plan, out, err, stop);
}

} // namespace zentra::logger

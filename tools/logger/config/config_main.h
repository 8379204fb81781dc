// zentra-log's command line with the configuration file: --config site.toml reads the
// survey from the file (checked whole before any port opens; exit 2 when it is wrong)
// and runs it; any other command line is the logger's own.
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

namespace zentra::logger {

// What main() runs; returns the exit status.
int ZentraLogMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const std::atomic<bool>& stop);

} // namespace zentra::logger

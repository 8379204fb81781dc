// zentra-report's work, apart from the process: parse the command line, build the
// figures, write the PDF (and the JSON). Needs a Qt Gui application object (fonts).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zentra::report {

inline constexpr int kExitWritten = 0;
inline constexpr int kExitFailed =
    1; // a file cannot be read or written, files do not belong together
inline constexpr int kExitCommandLine = 2; // a wrong command line

int ReportMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace zentra::report

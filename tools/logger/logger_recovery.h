// What zentra-log does with the runs that a crash, a kill or a power cut interrupted
// (its own or the desktop program's): at its start it offers each one, and saves each
// one taken up as a project file of its own next to where that run meant to save.
#pragma once

#include "document/recovery_file.h"

#include <iosfwd>
#include <string>

namespace zentra::logger {

// Where a recovered run is saved: "<its save path without .ztr>-recovered.ztr" (then
// "-recovered-2.ztr", ... when taken), or "recovered.ztr" (...) in fallbackFolder
// when the run had no save path.
std::string RecoveredPathFor(const InterruptedRun& run, const std::string& fallbackFolder);

// Offers every interrupted run through the message seam; each one accepted is saved
// (RecoveredPathFor) and its copy removed, each one declined is removed. Returns how
// many were saved; failures are reported on err and leave the copy for a later start.
int RecoverInterruptedRuns(const std::string& fallbackFolder, std::ostream& out, std::ostream& err);

} // namespace zentra::logger

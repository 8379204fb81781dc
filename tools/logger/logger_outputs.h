// The files a run writes, checked against each other before the port opens: two
// names for one file (another spelling, a symbolic or a hard link) would have one
// output written over the other, so they are refused, as is a name of the recovery
// copy's own files.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zentra::logger {

struct RunOutput {
    std::string what; // how the command line names it: "--out", "--csv", ...
    std::string path;
};

// Refuses (with the reason on err) the first pair of outputs that are one file, and
// any output that is one of the recovery copy's files (in recoveryFolder, named
// "recovery-..."). True when refused.
bool RefuseSameFiles(const std::vector<RunOutput>& outputs, const std::string& recoveryFolder,
                     std::ostream& err);

} // namespace zentra::logger

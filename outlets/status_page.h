// The live status page: one self-contained HTML document (no external scripts,
// fonts or style sheets: a cabinet PC is often offline) that shows each meter's main
// readings, its survey's progress and its link health, and asks /api/meters for
// fresh figures every second. The first figures are in the page itself, so it shows
// the meters even before its script has run.
#pragma once

#include <string>

namespace zentra::outlets {

std::string StatusPage(const std::string& metersJson);

} // namespace zentra::outlets

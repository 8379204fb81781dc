// The projects of a run: the document each one is logged in, the names of the files
// of a roll, the checks made on them before logging depends on them, and the step
// from a full project to the next one of a roll.
#pragma once

#include "tools/logger/logger_options.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zentra {
struct AcquisitionState;
class AcquisitionTimer;
struct CZentraDoc;
} // namespace zentra

namespace zentra::logger {

// A new document (built-in and stored defaults) that leaves the user's stored serial
// link and node alone when it closes. 1.7 MB of fixed arrays: never on the stack.
std::unique_ptr<CZentraDoc> NewRunDocument();

// File `number` of a roll that starts with `first`: the first keeps its own name,
// file n > 1 gets "-NNNN" (at least four digits) before the extension, so
// "site/survey.ztr" is followed by "site/survey-0002.ztr", "site/survey-0003.ztr".
std::string RollFileName(const std::string& first, int number);

// The files of roll number n that exist: its project, its CSV (when there is one)
// and the project recovered from an interrupted run of it ("<project>-recovered.ztr").
std::vector<std::string> RollFilesPresent(const std::string& out,
                                          const std::optional<std::string>& csv, int n);

// The first number from `from` on that has none of those files yet; 0 when none is
// free within a sane range.
int FirstFreeRollNumber(const std::string& out, const std::optional<std::string>& csv, int from);

// "a.csv exists", "a.ztr and a.csv exist", "a.ztr, a.csv and a-recovered.ztr exist".
std::string ExistText(const std::vector<std::string>& files);

// Refuses (with the reason on err) a name that stands for a folder.
bool RefuseFolder(const std::string& path, std::ostream& err);

// Checks that a file can be written before an hour of logging depends on it: it must
// not be a folder, must not exist unless `force`, and its folder must exist and be
// writable. The reason goes to err.
bool CheckOutput(const std::string& path, bool force, std::ostream& err);

// CheckOutput for the project (and CSV) file of roll number n.
bool CheckRollFiles(const LoggerOptions& options, int n, std::ostream& err);

// The folder of a path ("." for a bare name).
std::string FolderOf(const std::string& path);

// Turns the document whose logging has just ended (the full project, saved) into the
// next project of the roll and enables logging in it as Enable Logging does, from this
// very moment: the log is emptied and the project begins today. Everything else
// (settings, meter, port, live ring, the request cycle and the countdown to the next
// record) stays, so the next record comes one period after the last one of the full
// project. False when Enable Logging refused.
bool StartNextProject(CZentraDoc& doc, const std::string& path, AcquisitionState& state,
                      AcquisitionTimer& timer);

} // namespace zentra::logger

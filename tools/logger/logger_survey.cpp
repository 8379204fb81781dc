#include "tools/logger/logger_survey.h"

#include "acquisition/calendar.h"
#include "acquisition/logging_commands.h"
#include "document/zentra_doc.h"

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <unistd.h>

namespace zentra::logger {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxRollFiles = 99999; // a minute-period roll of five days a file: 1300 years

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

} // namespace

std::unique_ptr<CZentraDoc> NewRunDocument() {
    auto doc = std::make_unique<CZentraDoc>();
    doc->OnNewDocument();
    doc->m_StoreLinkOnClose = false;
    return doc;
}

std::string RollFileName(const std::string& first, int number) {
    if (number <= 1)
        return first;
    const fs::path path(first);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "-%04d", number);
    fs::path name = path.stem();
    name += suffix;
    name += path.extension();
    return (path.parent_path() / name).string();
}

std::vector<std::string> RollFilesPresent(const std::string& out,
                                          const std::optional<std::string>& csv, int n) {
    const std::string project = RollFileName(out, n);
    // Where zentra-log saves an interrupted run of that project (RecoveredPathFor).
    fs::path recovered(project);
    if (recovered.extension() == ".ztr" || recovered.extension() == ".ZTR")
        recovered.replace_extension();
    recovered += "-recovered.ztr";
    std::vector<std::string> present;
    for (const std::string& file :
         {project, csv ? RollFileName(*csv, n) : std::string(), recovered.string()})
        if (!file.empty() && Exists(file))
            present.push_back(file);
    return present;
}

int FirstFreeRollNumber(const std::string& out, const std::optional<std::string>& csv, int from) {
    for (int n = std::max(from, 1); n <= kMaxRollFiles; ++n)
        if (RollFilesPresent(out, csv, n).empty())
            return n;
    return 0;
}

std::string ExistText(const std::vector<std::string>& files) {
    std::string text;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i > 0)
            text += i + 1 == files.size() ? " and " : ", ";
        text += files[i];
    }
    return text + (files.size() == 1 ? " exists" : " exist");
}

bool RefuseFolder(const std::string& path, std::ostream& err) {
    std::error_code ec;
    const fs::path file(path);
    if (!file.has_filename() || fs::is_directory(file, ec)) {
        err << "zentra-log: " << path << " is a folder; name a file in it\n";
        return true;
    }
    return false;
}

bool CheckOutput(const std::string& path, bool force, std::ostream& err) {
    std::error_code ec;
    if (RefuseFolder(path, err))
        return false;
    if (Exists(path) && !force) {
        err << "zentra-log: " << path << " already exists (use --force to overwrite it)\n";
        return false;
    }
    const std::string folder = FolderOf(path);
    if (!fs::is_directory(folder, ec)) {
        err << "zentra-log: folder " << folder << " does not exist\n";
        return false;
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        err << "zentra-log: cannot write into folder " << folder << '\n';
        return false;
    }
    return true;
}

bool CheckRollFiles(const LoggerOptions& o, int n, std::ostream& err) {
    return CheckOutput(RollFileName(o.out, n), o.force, err) &&
           (!o.csv || CheckOutput(RollFileName(*o.csv, n), o.force, err));
}

std::string FolderOf(const std::string& path) {
    const std::string folder = fs::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

bool StartNextProject(CZentraDoc& doc, const std::string& path, AcquisitionState& state,
                      AcquisitionTimer& timer) {
    // An empty log, as a new document has (Enable Logging below sets the start time).
    doc.ClearLog();
    doc.m_ProjectStartDate = TodayDayNumber();
    doc.m_ProjectEndDate = doc.m_ProjectStartDate;
    doc.m_PathName = path;
    doc.m_Title = fs::path(path).filename().string();

    // Enable Logging on the new, unlocked project starts it now; retrieval runs on,
    // and the countdown the last record set is kept rather than restarted.
    const std::int32_t countdown = doc.m_TickCountdown;
    doc.m_Locked = 0;
    doc.m_StartImmediately = 1;
    const bool enabled = OnEnableLogging(doc, state, timer);
    doc.m_TickCountdown = countdown;
    return enabled;
}

} // namespace zentra::logger

#include "tools/logger/logger_recovery.h"

#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "platform/message_box.h"
#include "tools/logger/logger_survey.h"

#include <filesystem>
#include <memory>
#include <ostream>

namespace zentra::logger {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxRecoveredNames = 1000;

} // namespace

std::string RecoveredPathFor(const InterruptedRun& run, const std::string& fallbackFolder) {
    fs::path stem;
    if (!run.savePath.empty()) {
        stem = fs::path(run.savePath);
        if (stem.extension() == ".ztr" || stem.extension() == ".ZTR")
            stem.replace_extension();
        stem += "-recovered";
    } else {
        stem = fs::path(fallbackFolder.empty() ? "." : fallbackFolder) / "recovered";
    }
    std::error_code ec;
    for (int n = 1; n <= kMaxRecoveredNames; ++n) {
        fs::path candidate = stem;
        if (n > 1)
            candidate += "-" + std::to_string(n);
        candidate += ".ztr";
        if (!fs::exists(candidate, ec))
            return candidate.string();
    }
    return {};
}

int RecoverInterruptedRuns(const std::string& fallbackFolder, std::ostream& out,
                           std::ostream& err) {
    int saved = 0;
    for (const InterruptedRun& run : FindInterruptedRuns()) {
        auto claim = RecoveryClaim::Take(run);
        if (!claim)
            continue; // another program took it meanwhile
        if (!platform::AskYesNo(RecoveryQuestion(run), kRecoveryCaption,
                                platform::MessageIcon::Warning)) {
            claim->Remove();
            continue;
        }
        // The recovered run's own serial link is not the user's default.
        const auto recovered = NewRunDocument();
        const FileResult loaded = claim->Load(*recovered);
        if (!loaded.ok) {
            err << "zentra-log: cannot recover the interrupted run: " << loaded.error << '\n';
            continue;
        }
        const std::string path = RecoveredPathFor(run, fallbackFolder);
        const FileResult result = path.empty() ? FileResult{false, "no free file name"}
                                               : OnSaveDocument(*recovered, path);
        if (!result.ok) {
            err << "zentra-log: cannot save the interrupted run: " << result.error
                << " (it is kept for the next start)\n";
            continue;
        }
        claim->Remove();
        ++saved;
        out << "Recovered " << recovered->m_SampleCount << " samples of an interrupted run to "
            << path << '\n'
            << std::flush;
    }
    return saved;
}

} // namespace zentra::logger

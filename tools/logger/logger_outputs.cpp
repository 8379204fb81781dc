#include "tools/logger/logger_outputs.h"

#include "platform/file_identity.h"

#include <filesystem>
#include <ostream>

namespace zentra::logger {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kRecoveryFilePrefix = "recovery-"; // the copy, its lock, its temporary

bool IsRecoveryFile(const std::string& path, const std::string& recoveryFolder) {
    if (recoveryFolder.empty())
        return false;
    const fs::path written = platform::WrittenFile(path);
    return written.filename().string().starts_with(kRecoveryFilePrefix) &&
           platform::SameFile(written.parent_path().string(), recoveryFolder);
}

} // namespace

bool RefuseSameFiles(const std::vector<RunOutput>& outputs, const std::string& recoveryFolder,
                     std::ostream& err) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (IsRecoveryFile(outputs[i].path, recoveryFolder)) {
            err << "zentra-log: " << outputs[i].what << ' ' << outputs[i].path
                << " is a file of the recovery copy in " << recoveryFolder
                << "; name a file outside that folder\n";
            return true;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (platform::SameFile(outputs[i].path, outputs[j].path)) {
                err << "zentra-log: " << outputs[i].what << ' ' << outputs[i].path << " and "
                    << outputs[j].what << ' ' << outputs[j].path
                    << " are the same file; name two different files\n";
                return true;
            }
        }
    }
    return false;
}

} // namespace zentra::logger

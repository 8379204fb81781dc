#include "document/recent_files.h"

#include "document/reg_funcs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace zentra {
namespace {

std::string ValueName(std::size_t position) {
    return "File" + std::to_string(position + 1);
}

bool Usable(std::string_view path) {
    return !path.empty() && path.size() <= kRecentPathCapacity &&
           path.find('\0') == std::string_view::npos;
}

} // namespace

void RecentFileList::Load() {
    files_.clear();
    const RegFuncs reg;
    const RegKey key = reg.OpenKey(kRecentFileKey);
    if (!key)
        return;
    for (std::size_t i = 0; i < kRecentFileCount; ++i) {
        const auto bytes = platform::ReadSettingsValue(*key, ValueName(i), kRecentPathCapacity);
        if (!bytes)
            continue;
        std::string path(bytes->begin(), bytes->end());
        if (Usable(path) && std::find(files_.begin(), files_.end(), path) == files_.end())
            files_.push_back(std::move(path));
    }
}

bool RecentFileList::Add(const std::string& path) {
    if (!Usable(path))
        return false;
    std::erase(files_, path);
    files_.insert(files_.begin(), path);
    if (files_.size() > kRecentFileCount)
        files_.resize(kRecentFileCount);
    return Save();
}

bool RecentFileList::Remove(const std::string& path) {
    std::erase(files_, path);
    return Save();
}

bool RecentFileList::Save() const {
    const RegFuncs reg;
    const RegKey key = reg.OpenKey(kRecentFileKey);
    if (!key)
        return false;
    platform::SettingsWriteBatch batch;
    bool saved = true;
    for (std::size_t i = 0; i < kRecentFileCount; ++i) {
        if (i < files_.size()) {
            const auto* data = reinterpret_cast<const std::uint8_t*>(files_[i].data());
            saved &= reg.SetValue(key, ValueName(i), std::span(data, files_[i].size()), &batch);
        } else {
            saved &= platform::DeleteSettingsValue(*key, ValueName(i));
        }
    }
    return batch.Commit() && saved;
}

} // namespace zentra

#include "document/reg_funcs.h"

#include <algorithm>

namespace zentra {

RegKey RegFuncs::OpenKey(std::string_view subKeyPath) const {
    return platform::OpenSettingsKey(subKeyPath);
}

bool RegFuncs::SetValue(const RegKey& key, std::string_view name,
                        std::span<const std::uint8_t> data,
                        platform::SettingsWriteBatch* batch) const {
    if (!key)
        return false;
    return batch ? batch->Add(*key, name, data) : platform::WriteSettingsValue(*key, name, data);
}

bool RegFuncs::GetValue(const RegKey& key, std::string_view name,
                        std::span<std::uint8_t> field) const {
    if (!key)
        return false;
    // First learn that the value exists, then fetch it with the field's size: a
    // larger value does not fit and is not taken.
    const auto size = platform::SettingsValueSize(*key, name);
    if (!size || *size > field.size())
        return false;
    const auto bytes = platform::ReadSettingsValue(*key, name, field.size());
    if (!bytes)
        return false;
    std::copy(bytes->begin(), bytes->end(), field.begin());
    return true;
}

} // namespace zentra
